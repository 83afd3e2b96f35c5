#include "options/OptionsPage.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <cstdlib>
#include <memory>

#include "compose/ComposePage.h"
#include "grellow/ComPorts.h"
#include "model/CsvExport.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/StoreLists.h"
#include "options/ComPortDelegate.h"
#include "platform/PromptService.h"
#include "platform/Registry.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/PageControls.h"
#include "shell/SMSTabbedDlg.h"

namespace {

// A text as it fits a settings buffer of kMaxSettingText bytes with its terminator:
// longer texts are cut, at a character boundary so that the stored text stays valid.
std::string FitSettingText(const std::string& strText) {
  const size_t nMax = COptionsPage::kMaxSettingText - 1;
  if (strText.size() <= nMax)
    return strText;
  size_t nCut = nMax;
  while (nCut > 0 && (static_cast<unsigned char>(strText[nCut]) & 0xC0) == 0x80)
    --nCut;
  return strText.substr(0, nCut);
}

// The number at the start of a list item's text ("57600"), as the items hold only
// digits; 0 when it has none.
int ItemNumber(const std::string& strText) {
  return static_cast<int>(std::strtol(strText.c_str(), nullptr, 10));
}

}  // namespace

// The page is as large as the largest of the window's pages.
COptionsPage::COptionsPage()
    : CSMSPage(IDD, IDS_PAGE_OPTIONS, IDI_OPTIONS, 344, 175),
      m_pServiceCenters(new CAddressArray),
      m_strServiceCenterFile(LoadString(IDS_FILE_SMSSCA)) {}

COptionsPage::~COptionsPage() {
  // The list deletes its records as it is emptied and destroyed.
  m_pServiceCenters->clear();
  delete m_pServiceCenters;
}

// ---------------------------------------------------------------------------------
// The form
// ---------------------------------------------------------------------------------

void COptionsPage::CreateControls(const CDialogUnits& units) {
  // Dialog 132, 344 x 175 dialog units: the connection above the phone's
  // information on the left, the message options on the right, and the
  // delete-from-phone choice across the foot. Each group box is made before the
  // controls it frames, so that they lie above it and follow it in the tab order.
  auto rect = [&units](int x, int y, int cx, int cy) { return units.MapRect(x, y, cx, cy); };

  // ---- Connection -------------------------------------------------------------
  auto* pConnection = new QGroupBox(WindowText(IDS_GRP_CONNECTION), this);
  pConnection->setGeometry(rect(7, 4, 165, 72));

  m_pComPortList =
      MakeList(this, IDC_COM_PORT, IDS_LBL_COM_PORTS, rect(15, 19, 52, 8), rect(70, 17, 94, kComboHeight));
  m_pComPortList->setItemDelegate(new CComPortDelegate(m_pComPortList));
  m_pComPortList->setMaxVisibleItems(12);

  m_pBaudRateList =
      MakeList(this, IDC_BAUD_RATE, IDS_LBL_BAUD_RATE, rect(15, 37, 52, 8), rect(70, 35, 94, kComboHeight));
  for (unsigned int i = 0; i < NUM_BAUD_RATES; ++i)
    m_pBaudRateList->addItem(WindowText(IDS_BAUD_300 + i));
  m_pBaudRateList->setMaxVisibleItems(static_cast<int>(NUM_BAUD_RATES));

  m_pTimeOutList =
      MakeList(this, IDC_TIME_OUT, IDS_LBL_TIME_OUT, rect(15, 55, 52, 8), rect(70, 53, 40, kComboHeight));
  for (unsigned int i = 0; i < NUM_TIMEOUTS; ++i)
    m_pTimeOutList->addItem(WindowText(IDS_TIMEOUT_FIRST + i));
  m_pTimeOutList->setMaxVisibleItems(12);
  MakeLabel(this, IDS_LBL_SECONDS, rect(114, 55, 50, 8));

  // ---- Phone information ---------------------------------------------------------
  auto* pInformation = new QGroupBox(WindowText(IDS_GRP_PHONE_INFO), this);
  pInformation->setGeometry(rect(7, 80, 165, 76));
  struct CInfoRow {
    unsigned int nLabel;
    int nId;
    QLabel** ppValue;
  };
  const CInfoRow rows[] = {{IDS_LBL_MODEL, IDC_MODEL, &m_pModel},
                           {IDS_LBL_VERSION, IDC_VERSION, &m_pVersion},
                           {IDS_LBL_MANUFACTURER, IDC_MANUFACTURER, &m_pManufacturer}};
  int y = 93;
  for (const CInfoRow& row : rows) {
    MakeLabel(this, row.nLabel, rect(15, y, 50, 8));
    auto* pValue = new QLabel(WindowText(IDS_NOT_AVAILABLE), this);
    SetControlId(pValue, row.nId);
    pValue->setGeometry(rect(66, y, 102, 8));
    pValue->setTextInteractionFlags(Qt::TextSelectableByMouse);
    *row.ppValue = pValue;
    y += 12;
  }
  m_pRefresh = MakeButton(this, IDC_REFRESH, IDS_BTN_REFRESH, rect(15, 135, 149, 14));

  // ---- Message options -----------------------------------------------------------
  auto* pMessages = new QGroupBox(WindowText(IDS_GRP_MESSAGE_OPTIONS), this);
  pMessages->setGeometry(rect(179, 4, 158, 152));

  m_pServiceCenterList = MakeList(this, IDC_SERVICE_CENTER, IDS_LBL_SERVICE_CENTER, rect(187, 17, 142, 8),
                                  rect(187, 27, 142, kComboHeight));
  // A field that also offers the history: what is typed stays as typed (no
  // completion, and Enter never adds an item), and the items keep their order.
  MakeEditableField(m_pServiceCenterList);

  m_pValidityList = MakeList(this, IDC_VALIDITY, IDS_LBL_ATTEMPT_TO_SEND, rect(187, 47, 142, 8),
                             rect(187, 57, 142, kComboHeight));
  for (unsigned int i = 0; i < NUM_LIFETIMES; ++i)
    m_pValidityList->addItem(WindowText(IDS_LIFETIME_FIRST + i));
  m_pValidityList->setMaxVisibleItems(static_cast<int>(NUM_LIFETIMES));

  MakeLabel(this, IDS_LBL_STORE_ON, rect(187, 78, 142, 8));
  m_pMobilePhone =
      MakeTextControl<QRadioButton>(this, IDC_MOBILE_PHONE, IDS_RB_OPT_MOBILE_PHONE, rect(195, 89, 134, 10));
  m_pSim = MakeTextControl<QRadioButton>(this, IDC_SIM, IDS_RB_OPT_SIM, rect(195, 101, 134, 10));

  m_pReplyChargesBox =
      MakeTextControl<QCheckBox>(this, IDC_REPLY_CHARGES, IDS_CHK_OPT_ACCEPT_REPLY, rect(187, 116, 142, 10));
  m_pReplyChargesBox->hide();

  m_btnDeleteAll = MakeButton(this, IDC_DELETE_ALL, IDS_BTN_DELETE_ALL, rect(187, 135, 142, 14));

  // ---- Across the foot -----------------------------------------------------------
  m_pDeleteFromPhoneBox = MakeTextControl<QCheckBox>(this, IDC_DELETE_FROM_PHONE, IDS_CHK_DELETE_FROM_PHONE,
                                                     rect(7, 161, 330, 10));

  // The user's events: the signals used are raised by the user only (activated,
  // clicked), never by what the page sets itself.
  connect(m_pServiceCenterList, &QComboBox::activated, this, [this](int) { OnSelchangeServiceCenter(); });
  m_pServiceCenterList->installEventFilter(this);
  m_pServiceCenterList->lineEdit()->installEventFilter(this);
  connect(m_pComPortList, &QComboBox::activated, this, [this](int) { OnSelchangeComPort(); });
  connect(m_pBaudRateList, &QComboBox::activated, this, [this](int) { OnSelchangeBaudRate(); });
  connect(m_pTimeOutList, &QComboBox::activated, this, [this](int) { OnSelchangeTimeOut(); });
  connect(m_pValidityList, &QComboBox::activated, this, [this](int) { OnSelchangeValidity(); });
  connect(m_pMobilePhone, &QRadioButton::clicked, this, [this] { OnMobilePhone(); });
  connect(m_pSim, &QRadioButton::clicked, this, [this] { OnSim(); });
  connect(m_btnDeleteAll, &QPushButton::clicked, this, [this] { OnDeleteAll(); });
  connect(m_pDeleteFromPhoneBox, &QCheckBox::clicked, this, [this] { OnDeleteFromPhone(); });
  connect(m_pRefresh, &QPushButton::clicked, this, [this] { OnRefreshPhoneOptions(); });
}

bool COptionsPage::eventFilter(QObject* pWatched, QEvent* pEvent) {
  if (pEvent->type() == QEvent::FocusOut && m_pServiceCenterList != nullptr &&
      (pWatched == m_pServiceCenterList || pWatched == m_pServiceCenterList->lineEdit())) {
    // The field loses the focus: not to its own drop-down list, and not from one of
    // its parts to the other.
    const auto* pFocus = static_cast<QFocusEvent*>(pEvent);
    const QWidget* pNew = QApplication::focusWidget();
    const bool bInside =
        pNew != nullptr && (pNew == m_pServiceCenterList || m_pServiceCenterList->isAncestorOf(pNew));
    if (pFocus->reason() != Qt::PopupFocusReason && !bInside)
      OnKillfocusServiceCenter();
  }
  return CSMSPage::eventFilter(pWatched, pEvent);
}

bool COptionsPage::DoDataExchange(bool bSaveAndValidate) {
  if (m_pComPortList == nullptr)
    return false;
  if (bSaveAndValidate) {
    m_strServiceCenter = GetFieldText(m_pServiceCenterList);
    m_nBaudIndex = m_pBaudRateList->currentIndex();
    m_strComPort = GetItemText(m_pComPortList, m_pComPortList->currentIndex());
    m_bReplyCharges = m_pReplyChargesBox->isChecked() ? 1 : 0;
    m_nTimeOutIndex = m_pTimeOutList->currentIndex();
    m_bDeleteFromPhone = m_pDeleteFromPhoneBox->isChecked() ? 1 : 0;
    return true;
  }
  SelectText(m_pServiceCenterList, m_strServiceCenter);
  SelectItem(m_pBaudRateList, m_nBaudIndex);
  SelectText(m_pComPortList, m_strComPort);
  m_pReplyChargesBox->setChecked(m_bReplyCharges != 0);
  SelectItem(m_pTimeOutList, m_nTimeOutIndex);
  m_pDeleteFromPhoneBox->setChecked(m_bDeleteFromPhone != 0);
  return true;
}

// ---------------------------------------------------------------------------------
// Start, activation and leaving
// ---------------------------------------------------------------------------------

bool COptionsPage::OnInitDialog() {
  // The delete-from-phone box shows the flag the window works with (off when
  // nothing is stored), never a default of its own.
  if (m_pSheet != nullptr)
    m_bDeleteFromPhone = m_pSheet->IsDeleteFromPhone() ? 1 : 0;
  // The base puts the fields into the controls; the lists of baud rates, time-outs
  // and validities were filled when the controls were made.
  CSMSPage::OnInitDialog();

  FillComPortList();
  ReadOptions();
  LoadServiceCenters();
  UpdateData(true);

  if (IsPhoneReady()) {
    QueryPhoneInformation();
    ShowPhoneInfo();
  }

  // Once the page is shown: ask for a COM port if none is chosen yet.
  QMetaObject::invokeMethod(
      this, [this] { OnComPortReminder(); }, Qt::QueuedConnection);
  return true;
}

int COptionsPage::OnComPortReminder() {
  if (m_strComPort.empty())
    GetPromptService().MessageBox(LoadString(IDS_COM_PORT_REMINDER), LoadString(IDS_SMS_MESSAGE), MB_OK);
  return 1;
}

bool COptionsPage::OnSetActive() {
  FillComPortList();
  SelectComPort();
  UpdateStorageButtons();
  SelectServiceCenter();
  m_btnDeleteAll->setEnabled(IsPhoneReady());
  return CSMSPage::OnSetActive();
}

bool COptionsPage::OnKillActive() {
  if (m_bModified) {
    CRegistryBatch batch;  // the options in one write of the settings file
    UpdateData(true);
    WriteOptions();
    if (m_pSheet != nullptr && m_pSheet->IsComPortUnset() && m_pCompose != nullptr)
      m_pCompose->ReloadMessageOptions();
  }
  return CSMSPage::OnKillActive();
}

void COptionsPage::OnOK() {
  UpdateData(true);
  WriteOptions();
  SaveServiceCenters();
  if (IsExportToCsv())
    WriteServiceCenterCsv();
  CSMSPage::OnOK();
}

void COptionsPage::OnCancel() {
  // The history is kept on Cancel too; the settings are not written.
  RestoreStoredBaudRate();
  SaveServiceCenters();
  if (IsExportToCsv())
    WriteServiceCenterCsv();
  CSMSPage::OnCancel();
}

// ---------------------------------------------------------------------------------
// Handlers
// ---------------------------------------------------------------------------------

void COptionsPage::OnSelchangeServiceCenter() {
  UpdateData(true);
  m_bModified = true;
  if (m_pCompose != nullptr)
    m_pCompose->SetServiceCenter(m_strServiceCenter);
}

void COptionsPage::OnKillfocusServiceCenter() {
  UpdateData(true);
  m_strLastServiceCenter = m_strServiceCenter;
  if (m_pCompose != nullptr)
    m_pCompose->SetServiceCenter(m_strLastServiceCenter);
  // A new address joins the history; the list shows it once the history has been
  // saved and loaded again.
  AddServiceCenter(m_strServiceCenter);
}

void COptionsPage::OnSelchangeComPort() {
  UpdateData(true);
  if (m_pSheet == nullptr)
    return;
  if (m_pSheet->IsComPortUnset())
    m_pSheet->SetComPortUnset(false);
  m_pSheet->SetComPort(GetPortIndex(m_strComPort));
  ReconnectPhone();
}

void COptionsPage::ReconnectPhone() {
  if (m_pSheet == nullptr)
    return;
  if (IsPhoneReady())
    m_pSheet->ClosePhone();
  m_pSheet->SetupPhone();
  m_bModified = true;

  if (IsPhoneReady()) {
    if (CPhoneInterface* pPhone = m_pSheet->GetPhone(); pPhone != nullptr)
      pPhone->GetPreferredMessageStorage();
    UpdateStorageButtons();
    QueryPhoneInformation();
    ShowPhoneInfo();
    SelectServiceCenter();
    m_btnDeleteAll->setEnabled(true);
  } else {
    // The failure is kept in the window's error code; the page that next needs the
    // phone reports it.
    ShowPhoneInfoUnavailable();
  }
}

void COptionsPage::OnRefreshPhoneOptions() {
  UpdateData(true);
  if (m_strComPort.empty()) {
    AfxMessageBox(LoadString(IDS_SELECT_COM_PORT_FIRST), MB_OK);
    return;
  }
  const CWaitCursor wait;
  if (m_pSheet != nullptr && m_pSheet->IsComPortUnset()) {
    m_pSheet->SetComPort(GetPortIndex(m_strComPort));
    m_pSheet->SetComPortUnset(false);
  }
  ReconnectPhone();
}

void COptionsPage::OnSelchangeBaudRate() {
  UpdateData(true);
  if (m_nBaudIndex < 0 || m_pSheet == nullptr)
    return;
  const int nBaud = ItemNumber(GetItemText(m_pBaudRateList, m_nBaudIndex));
  m_pSheet->SetBaudRate(nBaud);
  CPhoneInterface* pPhone = m_pSheet->GetPhone();
  if (IsPhoneReady() && pPhone != nullptr && pPhone->ChangeBaudRate(nBaud) != PHONE_SUCCESS) {
    // The window keeps the new rate all the same.
    SetErrorCode(pPhone->GetPhoneErrorCode());
    ReportError();
  }
}

void COptionsPage::OnSelchangeTimeOut() {
  UpdateData(true);
  if (m_nTimeOutIndex < 0 || m_pSheet == nullptr)
    return;
  const int nMilliseconds = GetTimeOutMilliseconds(m_nTimeOutIndex);
  m_pSheet->SetTimeOut(nMilliseconds);
  CPhoneInterface* pPhone = m_pSheet->GetPhone();
  if (IsPhoneReady() && pPhone != nullptr)
    pPhone->ChangeTimeOut(nMilliseconds);
}

void COptionsPage::OnSelchangeValidity() {
  m_nValidity = m_pValidityList->currentIndex();
  if (m_pCompose != nullptr)
    m_pCompose->SetDefaultLifetime(m_nValidity);
  m_bModified = true;
}

void COptionsPage::OnMobilePhone() {
  m_bModified = true;
  UpdateData(true);
  m_nStorageButton = IDC_MOBILE_PHONE;
  if (!IsPhoneReady()) {
    SetStorageChecks(false, false);
    return;
  }
  if (CPhoneInterface* pPhone = m_pSheet->GetPhone(); pPhone != nullptr)
    pPhone->SetPreferredMessageStorage(MSG_STORAGE_PHONE);
}

void COptionsPage::OnSim() {
  m_bModified = true;
  UpdateData(true);
  m_nStorageButton = IDC_SIM;
  if (!IsPhoneReady()) {
    SetStorageChecks(false, false);
    return;
  }
  if (CPhoneInterface* pPhone = m_pSheet->GetPhone(); pPhone != nullptr)
    pPhone->SetPreferredMessageStorage(MSG_STORAGE_SIM);
}

int COptionsPage::ReadStoredBaudRate() {
  CRegKey key;
  uint32_t nValue = 0;
  const bool bStored = key.Open(OptionsKeyPath()) && key.QueryNumber(LoadString(IDS_VAL_BAUD_RATE), nValue);
  key.Close();
  return bStored ? static_cast<int>(nValue) : 9600;
}

void COptionsPage::RestoreStoredBaudRate() {
  if (m_pSheet == nullptr)
    return;
  const int nStored = ReadStoredBaudRate();
  if (m_pSheet->GetBaudRate() == nStored)
    return;
  // A rate sent to the phone but never written: the phone goes back to the rate the
  // next start will use, or that start would not reach it.
  m_pSheet->SetBaudRate(nStored);
  CPhoneInterface* pPhone = m_pSheet->GetPhone();
  if (IsPhoneReady() && pPhone != nullptr)
    pPhone->ChangeBaudRate(nStored);
}

void COptionsPage::OnDeleteFromPhone() {
  m_bModified = true;
  m_bDeleteFromPhone = m_pDeleteFromPhoneBox->isChecked() ? 1 : 0;
  if (m_pSheet != nullptr)
    m_pSheet->SetDeleteFromPhone(m_bDeleteFromPhone != 0);
}

void COptionsPage::OnDeleteAll() {
  const int nAnswer =
      AfxMessageBox(LoadString(IDS_CONFIRM_DELETE_ALL), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (nAnswer != IDYES || !IsPhoneReady())
    return;
  if (m_pSheet->GetPhone() == nullptr)
    return;
  // The desktop's lists keep their copies of the messages.
  m_pSheet->RunPhoneOperation(IDS_TASK_DELETE_ALL,
                              [](CPhoneInterface& phone) { return phone.DeleteAllPhoneMessages(); });
}

// ---------------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------------

bool COptionsPage::ReadOptions() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath())) {
    SetDefaultOptions();
    return false;
  }

  uint32_t nValue = 0;
  if (key.QueryNumber(LoadString(IDS_VAL_BAUD_RATE), nValue)) {
    const int nIndex = FindItemPrefix(m_pBaudRateList, std::to_string(nValue));
    if (nIndex >= 0)
      SelectItem(m_pBaudRateList, nIndex);
  } else {
    SelectItem(m_pBaudRateList, kDefaultBaudIndex);
  }

  std::string strText;
  if (key.QueryText(LoadString(IDS_VAL_SERVICE_CENTER), strText, kMaxSettingText)) {
    m_strServiceCenter = strText;
    m_strLastServiceCenter = strText;
  }

  if (key.QueryText(LoadString(IDS_VAL_COM_PORT), strText, kMaxSettingText)) {
    m_strComPort = strText;
    SelectComPort();
  }

  if (key.QueryNumber(LoadString(IDS_VAL_MESSAGE_VALIDITY), nValue)) {
    m_nValidity = nValue <= static_cast<uint32_t>(kHighestValidity) ? static_cast<int>(nValue) : 0;
  } else {
    // Nothing stored: the lifetime the Compose page starts with, so that both pages
    // show (and Close writes) the same one.
    m_nValidity = CComposePage::kDefaultLifetime;
  }
  SelectItem(m_pValidityList, m_nValidity);

  if (key.QueryNumber(LoadString(IDS_VAL_STORAGE), nValue)) {
    m_nStorageButton =
        (nValue == static_cast<uint32_t>(IDC_MOBILE_PHONE) || nValue == static_cast<uint32_t>(IDC_SIM))
            ? static_cast<int>(nValue)
            : IDC_SIM;
    SetStorageButtonOfCompose(m_nStorageButton);
    SetStorageChecks(m_nStorageButton == IDC_MOBILE_PHONE, m_nStorageButton == IDC_SIM);
  } else {
    SetStorageChecks(false, true);
  }

  if (key.QueryNumber(LoadString(IDS_VAL_TIME_OUT), nValue)) {
    // Item i stands for i + 1 seconds; a value outside "1" to "60" selects none.
    const uint32_t nSeconds = nValue / 1000;
    m_nTimeOutIndex = (nSeconds >= 1 && nSeconds <= NUM_TIMEOUTS) ? static_cast<int>(nSeconds) - 1 : -1;
    SelectItem(m_pTimeOutList, m_nTimeOutIndex);
  } else {
    m_nTimeOutIndex = kDefaultTimeOutIndex;
    SelectItem(m_pTimeOutList, kDefaultTimeOutIndex);
  }

  if (key.QueryNumber(LoadString(IDS_VAL_DELETE_FROM_PHONE), nValue)) {
    m_bDeleteFromPhone = nValue != 0 ? 1 : 0;
    m_pDeleteFromPhoneBox->setChecked(m_bDeleteFromPhone != 0);
  }
  key.Close();
  return true;
}

void COptionsPage::SetDefaultOptions() {
  SelectItem(m_pBaudRateList, kDefaultBaudIndex);
  m_nValidity = CComposePage::kDefaultLifetime;
  SelectItem(m_pValidityList, m_nValidity);
  m_nTimeOutIndex = kDefaultTimeOutIndex;
  SelectItem(m_pTimeOutList, kDefaultTimeOutIndex);
}

bool COptionsPage::WriteOptions() {
  CRegKey key;
  if (!key.Create(OptionsKeyPath()))
    return false;

  const int nBaud = m_nBaudIndex >= 0 && m_nBaudIndex < m_pBaudRateList->count()
                        ? ItemNumber(GetItemText(m_pBaudRateList, m_nBaudIndex))
                        : 9600;
  int nStorage = 0;
  if (m_pMobilePhone->isChecked())
    nStorage = IDC_MOBILE_PHONE;
  else if (m_pSim->isChecked())
    nStorage = IDC_SIM;
  // A stored time-out that no item stands for stays as the window uses it, until
  // the user chooses one.
  int nTimeOut = GetTimeOutMilliseconds(m_nTimeOutIndex);
  if (m_nTimeOutIndex < 0 && m_pSheet != nullptr)
    nTimeOut = m_pSheet->GetTimeOut();

  key.SetNumber(LoadString(IDS_VAL_MESSAGE_VALIDITY), static_cast<uint32_t>(m_nValidity));
  key.SetNumber(LoadString(IDS_VAL_BAUD_RATE), static_cast<uint32_t>(nBaud));
  key.SetText(LoadString(IDS_VAL_SERVICE_CENTER), FitSettingText(m_strServiceCenter));
  key.SetText(LoadString(IDS_VAL_COM_PORT), FitSettingText(m_strComPort));
  key.SetNumber(LoadString(IDS_VAL_STORAGE), static_cast<uint32_t>(nStorage));
  key.SetNumber(LoadString(IDS_VAL_TIME_OUT), static_cast<uint32_t>(nTimeOut));
  key.SetNumber(LoadString(IDS_VAL_DELETE_FROM_PHONE), static_cast<uint32_t>(m_bDeleteFromPhone));
  key.Close();
  return true;
}

// ---------------------------------------------------------------------------------
// COM ports, storage buttons, phone information, service centre
// ---------------------------------------------------------------------------------

std::vector<std::string> COptionsPage::SplitPortList(const std::string& strPorts) {
  std::vector<std::string> names;
  std::string strRest = strPorts;
  for (size_t nTab = strRest.find('\t'); nTab != std::string::npos; nTab = strRest.find('\t')) {
    std::string strName = TrimBlanks(strRest.substr(0, nTab));
    if (!strName.empty())
      names.push_back(std::move(strName));
    // The next name starts after the tab and the white space that follows it.
    strRest.erase(0, strRest.find_first_not_of(kBlankChars, nTab));
  }
  return names;
}

int COptionsPage::GetPortIndex(const std::string& strName) {
  const int nIndex = GetComPortIndex(strName);
  return nIndex >= 0 ? nIndex : 0;
}

void COptionsPage::FillComPortList() {
  const QSignalBlocker blocker(m_pComPortList);
  m_pComPortList->clear();
  const std::string strPorts = m_pSheet != nullptr ? m_pSheet->GetAvailablePorts() : std::string();
  for (const std::string& strName : SplitPortList(strPorts)) {
    // The list keeps itself sorted as text: "COM10" comes before "COM2".
    const QString strItem = QString::fromLocal8Bit(strName);
    int nAt = 0;
    while (nAt < m_pComPortList->count() &&
           QString::compare(m_pComPortList->itemText(nAt), strItem, Qt::CaseInsensitive) <= 0)
      ++nAt;
    m_pComPortList->insertItem(nAt, strItem);
    const QString strDevice = QString::fromLocal8Bit(ResolveComPort(strName));
    m_pComPortList->setItemData(nAt, strDevice, CComPortDelegate::kDeviceRole);
    m_pComPortList->setItemData(nAt, strDevice, Qt::ToolTipRole);
  }
  // Filling an empty list makes its first item current: nothing is chosen yet.
  m_pComPortList->setCurrentIndex(-1);
  CComPortDelegate::FitPopupWidth(m_pComPortList);
}

void COptionsPage::SelectComPort() {
  const int nIndex = FindItemPrefix(m_pComPortList, m_strComPort);
  if (nIndex >= 0)
    SelectItem(m_pComPortList, nIndex);
}

void COptionsPage::UpdateStorageButtons() {
  const bool bReady = IsPhoneReady();
  m_pMobilePhone->setEnabled(bReady);
  m_pSim->setEnabled(bReady);
  SetStorageChecks(false, true);
  if (!bReady)
    SetStorageButtonOfCompose(-1);

  CPhoneInterface* pPhone = m_pSheet != nullptr ? m_pSheet->GetPhone() : nullptr;
  const int nAvailable = bReady && pPhone != nullptr ? pPhone->GetAvailableStorage() : 0;
  switch (nAvailable) {
    case MSG_STORAGE_PHONE:
      SetStorageChecks(true, false);
      m_pSim->setEnabled(false);
      SetStorageButtonOfCompose(IDC_MOBILE_PHONE);
      break;
    case MSG_STORAGE_SIM:
      SetStorageChecks(false, true);
      m_pMobilePhone->setEnabled(false);
      SetStorageButtonOfCompose(IDC_SIM);
      break;
    case MSG_STORAGE_BOTH:
      m_pMobilePhone->setEnabled(true);
      m_pSim->setEnabled(true);
      SetStorageChecks(m_nStorageButton == IDC_MOBILE_PHONE, m_nStorageButton != IDC_MOBILE_PHONE);
      break;
    default:
      SetStorageChecks(false, false);
      break;
  }
}

void COptionsPage::QueryPhoneInformation() {
  if (m_pSheet != nullptr)
    CSMSTabbedDlg::RunPhoneQuery(&CSMSTabbedDlg::QueryPhoneInformation, m_pSheet);
}

void COptionsPage::ShowPhoneInfo() {
  if (!IsPhoneReady() || m_pSheet->GetPhone() == nullptr)
    return;
  const CPhoneInterface& phone = *m_pSheet->GetPhone();
  const std::pair<QLabel*, std::string> fields[] = {{m_pModel, phone.GetPhoneModel()},
                                                    {m_pVersion, phone.GetPhoneVersion()},
                                                    {m_pManufacturer, phone.GetPhoneManufacturer()}};
  for (const auto& [pLabel, strValue] : fields) {
    const QString strText =
        strValue.empty() ? WindowText(IDS_INFO_NOT_AVAILABLE) : QString::fromLocal8Bit(strValue);
    pLabel->setText(strText);
    // A long text is cut by the field; its tip shows it whole.
    pLabel->setToolTip(strText);
  }
}

void COptionsPage::ShowPhoneInfoUnavailable() {
  for (QLabel* pLabel : {m_pModel, m_pVersion, m_pManufacturer}) {
    pLabel->setText(WindowText(IDS_NOT_AVAILABLE));
    pLabel->setToolTip(QString());
  }
  UpdateStorageButtons();
}

void COptionsPage::SelectServiceCenter() {
  if (m_strLastServiceCenter.empty())
    return;
  const QString strLast = QString::fromLocal8Bit(m_strLastServiceCenter);
  const int nIndex = FindItemPrefix(m_pServiceCenterList, m_strLastServiceCenter);
  if (nIndex < 0) {
    // The remembered address is not listed yet (it may be in the history already,
    // typed on this page): the history gets it once, and the list offers it at once
    // (so that it is found, not added again, next time).
    AddServiceCenter(m_strLastServiceCenter);
    const QSignalBlocker blocker(m_pServiceCenterList);
    m_pServiceCenterList->addItem(strLast);
    m_pServiceCenterList->setCurrentIndex(m_pServiceCenterList->count() - 1);
    return;
  }
  const QSignalBlocker blocker(m_pServiceCenterList);
  m_pServiceCenterList->setCurrentIndex(nIndex);
  m_pServiceCenterList->setEditText(strLast);
}

void COptionsPage::AddServiceCenter(const std::string& strNumber) {
  // The history holds each number once, however it was reached (typed, chosen,
  // remembered from the settings).
  if (strNumber.empty() || IsInServiceCenterHistory(strNumber))
    return;
  auto pEntry = std::make_unique<CAddress>();
  pEntry->m_strNumber = strNumber;
  m_pServiceCenters->push_back(std::move(pEntry));
}

bool COptionsPage::IsInServiceCenterHistory(const std::string& strNumber) const {
  for (const auto& pEntry : *m_pServiceCenters) {
    if (pEntry->m_strNumber == strNumber)
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------
// The service-centre history and its files
// ---------------------------------------------------------------------------------

void COptionsPage::LoadServiceCenters() {
  if (m_pSheet == nullptr)
    return;
  if (::LoadServiceCenters(GetDataFolder(), *m_pServiceCenters) == LoadResult::loaded)
    FillServiceCenterList();
}

void COptionsPage::SaveServiceCenters() {
  if (m_pSheet != nullptr)
    ::SaveServiceCenters(GetDataFolder(), *m_pServiceCenters);
}

void COptionsPage::WriteServiceCenterCsv() {
  if (m_pSheet != nullptr)
    ::WriteServiceCenterCsv(GetDataFolder(), *m_pServiceCenters);
}

void COptionsPage::FillServiceCenterList() {
  const QSignalBlocker blocker(m_pServiceCenterList);
  m_pServiceCenterList->clear();
  for (const auto& pEntry : *m_pServiceCenters)
    m_pServiceCenterList->addItem(QString::fromLocal8Bit(pEntry->m_strNumber));
  // Filling the list chooses nothing: the field stays empty.
  m_pServiceCenterList->setCurrentIndex(-1);
  m_pServiceCenterList->clearEditText();
}

// ---------------------------------------------------------------------------------
// The window's services and control helpers
// ---------------------------------------------------------------------------------

void COptionsPage::SetStorageChecks(bool bPhone, bool bSim) {
  ::SetStorageChecks(m_pMobilePhone, bPhone, m_pSim, bSim);
}

void COptionsPage::SetStorageButtonOfCompose(int nId) {
  if (m_pCompose != nullptr)
    m_pCompose->SetStorageButton(nId);
}
