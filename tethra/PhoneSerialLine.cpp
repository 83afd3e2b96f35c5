#include "tethra/PhoneSerialLine.h"

#include "model/PhoneStatus.h"

std::unique_ptr<CPhoneSerialLine> CPhoneSerialLine::Open(const std::string& strDevice, int nBaudRate,
                                                         int& nStatus) {
  std::unique_ptr<CPhoneSerialLine> line(new CPhoneSerialLine);
  SerialResult result = line->m_port.Open(strDevice, nBaudRate);
  if (result != SERIAL_OK) {
    nStatus = result == SERIAL_BAD_BAUD ? PHONE_BAUD_REFUSED : PHONE_PORT_OPEN_FAILED;
    return nullptr;
  }
  nStatus = PHONE_SUCCESS;
  return line;
}

long CPhoneSerialLine::Read(void* pBuffer, size_t nSize, int nTimeoutMs) {
  return m_port.Read(pBuffer, nSize, nTimeoutMs < 0 ? 0 : nTimeoutMs);
}

bool CPhoneSerialLine::Write(const void* pData, size_t nSize) { return m_port.Write(pData, nSize); }

bool CPhoneSerialLine::SetBaudRate(int nBaudRate) { return m_port.SetBaudRate(nBaudRate) == SERIAL_OK; }
