// CPhoneInterface over the AT channel: GSM 07.05/07.07 in PDU mode. The public
// operations; set-up is in PhoneSetup.cpp, the messages in PhoneMessages.cpp.
#include "model/PhoneInterface.h"

#include <new>

#include "tethra/PhoneImpl.h"

// Every operation runs inside this guard: nothing may leave the library as an
// exception, and running out of memory has a code of its own.
template <class F>
static int Guarded(CPhoneInterface::Impl& impl, F&& f) {
  impl.BeginOperation();
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return impl.Fail(PHONE_OUT_OF_MEMORY);
  } catch (...) {
    return impl.Fail(PHONE_EXEC_FAILED);
  }
}

CPhoneInterface::CPhoneInterface() : m_pImpl(std::make_unique<Impl>()) {}

CPhoneInterface::~CPhoneInterface() = default;

int CPhoneInterface::SetupCommPort(int nPort, int nBaudRate, int nTimeOut) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Setup(nPort, nBaudRate, nTimeOut); });
}

int CPhoneInterface::GetPhoneErrorCode() const { return m_pImpl->nError; }

int CPhoneInterface::SendMessageToPhone(CMessage* pMessage, const std::string& strCommand) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Send(pMessage, strCommand); });
}

int CPhoneInterface::GetIncomingMessagesFromPhone(CMessageArray* pArray) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Fetch(false, pArray); });
}

int CPhoneInterface::GetOutgoingMessagesFromPhone(CMessageArray* pArray) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Fetch(true, pArray); });
}

int CPhoneInterface::ListAllMessages(std::string& strList) {
  return Guarded(*m_pImpl, [&] {
    if (int nCode = m_pImpl->CheckReady(); nCode != PHONE_SUCCESS)
      return nCode;
    std::vector<CListedMessage> listed;
    if (int nCode = m_pImpl->ListAll(listed); nCode != PHONE_SUCCESS) {
      // The deletes that follow with this listing must not wait again.
      m_pImpl->bStalled = nCode == PHONE_TIMEOUT || nCode == PHONE_WRITE_FAILED;
      m_pImpl->strStalledList = strList;
      return m_pImpl->Fail(nCode);
    }
    strList = FormatListing(listed);
    m_pImpl->bStalled = false;
    return m_pImpl->Succeed();
  });
}

int CPhoneInterface::DeletePhoneMessage(std::string& strList, const CMessage* pMessage) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Delete(strList, pMessage); });
}

int CPhoneInterface::DeleteAllPhoneMessages() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->DeleteAll(); });
}

int CPhoneInterface::GetAvailableStorage() const {
  return m_pImpl->bReady ? m_pImpl->nAvailable : MSG_STORAGE_UNKNOWN;
}

int CPhoneInterface::GetPreferredMessageStorage() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->PreferredStorage(); });
}

int CPhoneInterface::SetPreferredMessageStorage(Msg_Storage storage) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->SetPreferredStorage(storage); });
}

int CPhoneInterface::ChangeBaudRate(int nBaudRate) {
  return Guarded(*m_pImpl, [&] { return m_pImpl->ChangeBaud(nBaudRate); });
}

void CPhoneInterface::ChangeTimeOut(int nTimeOut) {
  m_pImpl->nTimeOut = nTimeOut > 0 ? nTimeOut : 1;
  if (m_pImpl->pChannel)
    m_pImpl->pChannel->SetTimeOut(m_pImpl->nTimeOut);
}

void CPhoneInterface::SetProgressCallback(PhoneProgress progress) { m_pImpl->progress = std::move(progress); }

void CPhoneInterface::SetSimPin(const std::string& strPin) { m_pImpl->strPin = strPin; }

const CPhoneDiagnostics& CPhoneInterface::GetDiagnostics() const { return m_pImpl->diag; }

int CPhoneInterface::GetPhoneInformation() {
  return Guarded(*m_pImpl, [&] { return m_pImpl->Information(); });
}

std::string CPhoneInterface::GetPhoneManufacturer() const { return m_pImpl->strManufacturer; }

std::string CPhoneInterface::GetPhoneModel() const { return m_pImpl->strModel; }

std::string CPhoneInterface::GetPhoneVersion() const { return m_pImpl->strVersion; }
