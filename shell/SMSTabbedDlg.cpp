#include "shell/SMSTabbedDlg.h"

#include <QPushButton>
#include <mutex>
#include <thread>
#include <utility>

#include "errors/ErrorTexts.h"
#include "grellow/ComPorts.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "platform/PromptService.h"
#include "platform/Registry.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/DataFolder.h"
#include "shell/Help.h"
#include "shell/PageControls.h"
#include "shell/PhoneTask.h"

namespace {

CSMSTabbedDlg::PhoneFactory& PhoneFactoryHook() {
  static CSMSTabbedDlg::PhoneFactory factory;
  return factory;
}

CSMSTabbedDlg::PortProber& PortProberHook() {
  static CSMSTabbedDlg::PortProber prober;
  return prober;
}

std::string& HostExePathHook() {
  static std::string strPath;
  return strPath;
}

// The process-wide phone lock: created by a page for one worker-thread query and
// deleted when the thread has ended.
std::mutex* g_pPhoneLock = nullptr;

// How far the button row moves to the left after the sheet is built, in pixels.
constexpr int kButtonMove = 125;

}  // namespace

void CSMSTabbedDlg::SetPhoneFactory(PhoneFactory factory) { PhoneFactoryHook() = std::move(factory); }

void CSMSTabbedDlg::SetPortProber(PortProber prober) { PortProberHook() = std::move(prober); }

void CSMSTabbedDlg::SetHostExecutablePath(const std::string& strPath) { HostExePathHook() = strPath; }

CSMSTabbedDlg::CSMSTabbedDlg(const RecipientInfo* pRecipients, QWidget* pParent)
    : CPropertySheet(QString::fromLocal8Bit(LoadString(IDS_SMS_MESSAGE)), pParent, 0), m_recipients{} {
  AddPages();

  SetHasHelp(true);
  setWindowIcon(LoadIconResource(IDI_SMS_MESSAGE));

  ReadBaudRate();
  // Serial devices seen for the first time get their COM names before the names
  // are read and probed (tests that probe ports of their own skip this).
  if (!PortProberHook())
    AssignComNumbers();
  ReadComPort();
  FindAvailablePorts();
  ReadComPortUnset();
  ReadTimeOut();
  ReadDeleteFromPhone();

  GetPromptService().BeginWaitCursor();
  m_bStartWaitPending = true;

  m_recipients = RecipientInfo{};
  if (pRecipients != nullptr)
    m_recipients = *pRecipients;

  ResolveDataFolder();
  SetupPhone();
}

CSMSTabbedDlg::~CSMSTabbedDlg() {
  ClosePhone();
  SaveExportFlag();
  EndStartWaitCursor();
}

void CSMSTabbedDlg::AddPages() {
  AddPage(&m_composePage);
  AddPage(&m_inboxPage);
  AddPage(&m_outboxPage);
  AddPage(&m_optionsPage);
  m_outboxPage.m_pCompose = &m_composePage;
  m_optionsPage.m_pCompose = &m_composePage;
  m_inboxPage.m_pCompose = &m_composePage;
  m_composePage.m_pSheet = this;
  m_inboxPage.m_pSheet = this;
  m_outboxPage.m_pSheet = this;
  m_optionsPage.m_pSheet = this;
}

bool CSMSTabbedDlg::ProbePort(const std::string& strName) const {
  const PortProber& prober = PortProberHook();
  return prober ? prober(strName) : ProbeComPort(strName);
}

int CSMSTabbedDlg::ReadBaudRate() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return m_nBaudRate;
  uint32_t nValue = 0;
  m_nBaudRate = key.QueryNumber(LoadString(IDS_VAL_BAUD_RATE), nValue) ? static_cast<int32_t>(nValue) : 9600;
  key.Close();
  return m_nBaudRate;
}

int CSMSTabbedDlg::ReadTimeOut() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return m_nTimeOut;
  uint32_t nValue = 0;
  m_nTimeOut = key.QueryNumber(LoadString(IDS_VAL_TIME_OUT), nValue) ? static_cast<int32_t>(nValue) : 10000;
  key.Close();
  return m_nTimeOut;
}

void CSMSTabbedDlg::ReadDeleteFromPhone() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return;
  uint32_t nValue = 0;
  m_bDeleteFromPhone = key.QueryNumber(LoadString(IDS_VAL_DELETE_FROM_PHONE), nValue) && nValue != 0;
  key.Close();
}

int CSMSTabbedDlg::ReadComPort() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return -1;
  std::string strPort;
  if (key.QueryText(LoadString(IDS_VAL_COM_PORT), strPort, 260) && !strPort.empty()) {
    m_bComPortUnset = false;
  } else {
    // No port stored yet: offer COM1 when it can be opened.
    m_bComPortUnset = true;
    strPort.clear();
    if (ProbePort(g_szComPortNames[0]))
      strPort = g_szComPortNames[0];
  }
  key.Close();

  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    if (strPort == g_szComPortNames[i]) {
      m_nComPort = i;
      break;
    }
  }
  return m_nComPort;
}

void CSMSTabbedDlg::FindAvailablePorts() {
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    if (ProbePort(g_szComPortNames[i])) {
      m_strAvailablePorts += g_szComPortNames[i];
      m_strAvailablePorts += '\t';
    }
  }
}

void CSMSTabbedDlg::ReadComPortUnset() {
  CRegKey key;
  std::string strPort;
  m_bComPortUnset = !(key.Open(OptionsKeyPath()) &&
                      key.QueryText(LoadString(IDS_VAL_COM_PORT), strPort, 260) && !strPort.empty());
  key.Close();
}

void CSMSTabbedDlg::ResolveDataFolder() {
  std::string strExe = HostExePathHook();
  if (strExe.empty())
    strExe = CDataFolder::GetHostExecutablePath();
  CDataFolder::Resolve(strExe, m_strDataFolder, m_bExportToCsv);
}

void CSMSTabbedDlg::SaveDataFolder() { CDataFolder::Save(m_strDataFolder); }

void CSMSTabbedDlg::SaveExportFlag() { CDataFolder::SaveExportFlag(m_bExportToCsv); }

void CSMSTabbedDlg::SetupPhone() {
  if (m_bComPortUnset) {
    // First run: the user must choose a port on the Options page. A phone object
    // that exists is left alone.
    SetActivePage(&m_optionsPage);
    m_nErrorCode = m_strAvailablePorts.empty() ? PHONE_NO_PORT : PHONE_PORT_PROBLEM;
    m_bPhoneReady = false;
    return;
  }
  ClosePhone();
  if (m_strAvailablePorts.empty()) {
    SetActivePage(&m_optionsPage);
    m_nErrorCode = PHONE_NO_PORT;
    m_bPhoneReady = false;
    return;
  }

  const PhoneFactory& factory = PhoneFactoryHook();
  m_pPhone = factory ? factory() : std::make_unique<CPhoneInterface>();
  if (!m_pPhone) {
    // No phone object could be made: nothing can talk to the phone.
    m_nErrorCode = PHONE_OUT_OF_MEMORY;
    m_bPhoneReady = false;
    return;
  }

  int nResult = PHONE_NOT_READY;
  if (isVisible()) {
    // Set up from the window (a port chosen, Refresh): off this thread, with the
    // progress dialog if the phone is slow to answer.
    CPhoneInterface* pPhone = m_pPhone.get();
    const int nPort = m_nComPort, nBaud = m_nBaudRate, nTimeOut = m_nTimeOut;
    nResult = CPhoneTask(this, pPhone, IDS_TASK_RECONNECT).Run([=] {
      return pPhone->SetupCommPort(nPort, nBaud, nTimeOut);
    });
  } else {
    IPromptService& prompt = GetPromptService();
    prompt.BeginWaitCursor();
    nResult = m_pPhone->SetupCommPort(m_nComPort, m_nBaudRate, m_nTimeOut);
    prompt.EndWaitCursor();
  }

  if (nResult == PHONE_SUCCESS) {
    m_bPhoneReady = true;
    m_nErrorCode = PHONE_SUCCESS;
    return;
  }
  m_nErrorCode = m_pPhone->GetPhoneErrorCode();
  m_bPhoneReady = false;
}

bool CSMSTabbedDlg::DeleteOnPhone(const std::vector<const CMessage*>& messages) {
  if (!m_bDeleteFromPhone || !m_pPhone || messages.empty())
    return true;
  bool bCancelled = false;
  RunPhoneOperation(
      IDS_TASK_DELETE,
      [&messages](CPhoneInterface& phone) {
        std::string strListing;
        phone.ListAllMessages(strListing);
        for (const CMessage* pMessage : messages)
          phone.DeletePhoneMessage(strListing, pMessage);
        return static_cast<int>(PHONE_SUCCESS);
      },
      &bCancelled);
  return !bCancelled;
}

int CSMSTabbedDlg::RunPhoneOperation(unsigned int nTextId, const PhoneOperation& operation,
                                     bool* pbCancelled) {
  if (pbCancelled != nullptr)
    *pbCancelled = false;
  if (CPhoneTask::IsBusy())
    return PHONE_CANCELLED;
  if (!m_pPhone && !m_bComPortUnset && !m_strAvailablePorts.empty()) {
    const PhoneFactory& factory = PhoneFactoryHook();
    m_pPhone = factory ? factory() : std::make_unique<CPhoneInterface>();
  }
  if (!m_pPhone)
    return m_nErrorCode != PHONE_SUCCESS ? m_nErrorCode : PHONE_NO_OBJECT;

  CPhoneInterface* pPhone = m_pPhone.get();
  const int nPort = m_nComPort, nBaud = m_nBaudRate, nTimeOut = m_nTimeOut;
  // With no port chosen yet there is nothing to set up: the phone's own code stands.
  const bool bCanSetUp = !m_bComPortUnset;
  const bool bWasReady = m_bPhoneReady;
  bool bReady = m_bPhoneReady;
  CPhoneTask task(this, pPhone, nTextId);
  const int nCode = task.Run([&]() -> int {
    if (!bReady) {
      if (!bCanSetUp || pPhone->SetupCommPort(nPort, nBaud, nTimeOut) != PHONE_SUCCESS)
        return pPhone->GetPhoneErrorCode();
      bReady = true;
    }
    if (operation(*pPhone) == PHONE_SUCCESS)
      return PHONE_SUCCESS;
    const int nFirst = pPhone->GetPhoneErrorCode();
    if (nFirst != PHONE_WRITE_FAILED || !bWasReady)
      return nFirst;
    // The line of a phone that answered before is gone: reach it anew and try again.
    if (pPhone->SetupCommPort(nPort, nBaud, nTimeOut) != PHONE_SUCCESS) {
      bReady = false;
      return PHONE_WRITE_FAILED;
    }
    return operation(*pPhone) == PHONE_SUCCESS ? PHONE_SUCCESS : pPhone->GetPhoneErrorCode();
  });
  // A line that went away is set up again by the next operation.
  m_bPhoneReady = bReady && nCode != PHONE_WRITE_FAILED;
  if (m_bPhoneReady && !bWasReady)
    m_nErrorCode = PHONE_SUCCESS;
  if (pbCancelled != nullptr)
    *pbCancelled = task.WasCancelled();
  return nCode;
}

void CSMSTabbedDlg::ClosePhone() {
  m_pPhone.reset();
  m_bPhoneReady = false;
}

void CSMSTabbedDlg::ReportError() {
  const CErrorParagraphs texts = GetErrorParagraphs(m_nErrorCode);
  GetPromptService().ShowErrorDialog(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
}

std::string CSMSTabbedDlg::GetHostName() const {
  return m_recipients.pszName != nullptr ? std::string(m_recipients.pszName) : std::string();
}

std::string CSMSTabbedDlg::GetHostNumbers() const {
  return m_recipients.pszNumbers != nullptr ? std::string(m_recipients.pszNumbers) : std::string();
}

int CSMSTabbedDlg::GetHostNumberCount() const { return m_recipients.nCount; }

int CSMSTabbedDlg::QueryPreferredStorage(CSMSTabbedDlg* pSheet) {
  std::unique_lock<std::mutex> lock;
  if (g_pPhoneLock != nullptr)
    lock = std::unique_lock<std::mutex>(*g_pPhoneLock);
  CPhoneInterface* pPhone = pSheet->GetPhone();
  const int nStorage = pPhone->GetPreferredMessageStorage();
  pSheet->SetErrorCode(pPhone->GetPhoneErrorCode());
  return nStorage;
}

int CSMSTabbedDlg::QueryPhoneInformation(CSMSTabbedDlg* pSheet) {
  std::unique_lock<std::mutex> lock;
  if (g_pPhoneLock != nullptr)
    lock = std::unique_lock<std::mutex>(*g_pPhoneLock);
  const int nResult = pSheet->GetPhone()->GetPhoneInformation();
  pSheet->SetErrorCode(nResult);
  return nResult;
}

int CSMSTabbedDlg::RunPhoneQuery(int (*pfnRoutine)(CSMSTabbedDlg*), CSMSTabbedDlg* pSheet) {
  if (pfnRoutine == nullptr || pSheet == nullptr)
    return 0;
  std::mutex* pLock = new std::mutex;
  g_pPhoneLock = pLock;
  int nExitCode = 0;
  std::thread worker([&nExitCode, pfnRoutine, pSheet] { nExitCode = pfnRoutine(pSheet); });
  worker.join();
  g_pPhoneLock = nullptr;
  delete pLock;
  return nExitCode;
}

void CSMSTabbedDlg::EndStartWaitCursor() {
  if (!m_bStartWaitPending)
    return;
  m_bStartWaitPending = false;
  GetPromptService().EndWaitCursor();
}

bool CSMSTabbedDlg::OnInitDialog() {
  CPropertySheet::OnInitDialog();
  ArrangeButtons();
  return true;
}

void CSMSTabbedDlg::ArrangeButtons() {
  GetButton(ID_OK)->setText(QString::fromLocal8Bit(LoadString(IDS_CLOSE)));
  // Each of Close, Cancel and Help moves 125 pixels to the left with its size kept.
  // The buttons stay right-aligned in their row, so the move is 125 pixels more room
  // to the right of Help than a plain sheet leaves.
  MoveButtonsLeft(kButtonMove);
  GetButton(ID_HELP)->setEnabled(true);
}

void CSMSTabbedDlg::OnHelp() {
  const CPropertyPage* pPage = GetActivePage();
  if (pPage != nullptr)
    ShowHelpTopic(HELP_TOPIC_BASE + pPage->GetTemplateId(), this);
}
