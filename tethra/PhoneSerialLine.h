// The phone's line over a serial device (grellow's CSerialPort).
#pragma once

#include <memory>
#include <string>

#include "grellow/SerialPort.h"
#include "tethra/PhoneLine.h"

class CPhoneSerialLine : public IPhoneLine {
 public:
  // Opens the device exclusively at nBaudRate; nothing on failure, with nStatus set
  // (-993 for a rate the line refuses, -995 for anything else).
  static std::unique_ptr<CPhoneSerialLine> Open(const std::string& strDevice, int nBaudRate, int& nStatus);

  long Read(void* pBuffer, size_t nSize, int nTimeoutMs) override;
  bool Write(const void* pData, size_t nSize) override;
  bool SetBaudRate(int nBaudRate) override;

 private:
  CPhoneSerialLine() = default;
  CSerialPort m_port;
};
