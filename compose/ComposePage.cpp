#include "compose/ComposePage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <memory>

#include "compose/AddressBook.h"
#include "compose/MessageEdit.h"
#include "compose/MessageSize.h"
#include "model/CsvExport.h"
#include "model/DateTime.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/StoreLists.h"
#include "platform/PromptService.h"
#include "platform/Registry.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/PageControls.h"
#include "shell/SMSTabbedDlg.h"

namespace {

// Message status words of a record, by number.
constexpr int kStatusSent = 1;
constexpr int kStatusStored = 3;
constexpr int kStatusError = 6;

// Storage of a record: the phone's own memory, the SIM card, or not known.
constexpr int kStorageNone = 0;
constexpr int kStoragePhone = 1;
constexpr int kStorageSim = 2;

}  // namespace

CComposePage::CComposePage()
    : CSMSPage(IDD, IDS_PAGE_COMPOSE, IDI_COMPOSE, 344, 175),
      m_strOutFile(LoadString(IDS_FILE_SMSOUT)),
      m_strAddressFile(LoadString(IDS_FILE_SMSADD)),
      m_strListFile(LoadString(IDS_FILE_SMSLIST)),
      m_pOutbox(new CMessageArray),
      m_pAddressBook(new CAddressArray),
      m_pPresets(new CMessageArray) {}

CComposePage::~CComposePage() {
  // Each list deletes its records as it is emptied and destroyed.
  m_pOutbox->clear();
  delete m_pOutbox;
  m_pAddressBook->clear();
  delete m_pAddressBook;
  m_pPresets->clear();
  delete m_pPresets;
}

// ---------------------------------------------------------------------------------
// The form
// ---------------------------------------------------------------------------------

void CComposePage::CreateControls(const CDialogUnits& units) {
  // Dialog 129, 344 x 175 dialog units: the recipient, the lifetime and the storage
  // place down the left, the preset list and the message with its counter and the
  // Send button on the right. Controls are made in the template's tab order.
  auto rect = [&units](int x, int y, int cx, int cy) { return units.MapRect(x, y, cx, cy); };

  m_pNameList = MakeList(this, IDC_NAME, IDS_LBL_NAME, rect(7, 7, 120, 9), rect(7, 17, 120, kComboHeight));

  m_pNumberList =
      MakeList(this, IDC_NUMBER, IDS_LBL_NUMBER, rect(7, 37, 120, 9), rect(7, 47, 120, kComboHeight));

  for (QComboBox* pList : {m_pNameList, m_pNumberList}) {
    // A field that also offers the address book: what is typed stays as typed (no
    // completion, and Enter never adds an item), and the items keep their order.
    MakeEditableField(pList);
    pList->lineEdit()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pList->lineEdit(), &QLineEdit::customContextMenuRequested, this,
            [this, pList](const QPoint& pos) { ShowRecipientMenu(pList, pos); });
  }

  m_pPresetList =
      MakeList(this, IDC_PRESET, IDS_LBL_PRESET, rect(137, 7, 200, 9), rect(137, 17, 200, kComboHeight));
  m_pPresetList->setMaxVisibleItems(12);

  m_pMessageEdit = new CMessageEdit(this);
  SetControlId(m_pMessageEdit, IDC_MESSAGE);
  m_pMessageEdit->setGeometry(rect(137, 37, 200, 101));
  m_pMessageEdit->SetLimit(kMaxMessageChars);

  m_pCharacterCount =
      MakeTextControl<QLabel>(this, IDC_CHARACTER_COUNT, IDS_LBL_CHARACTER_COUNT, rect(137, 142, 144, 20));
  m_pCharacterCount->setWordWrap(true);
  m_pCharacterCount->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  // Below the count: how the text goes out when that is more than one message in
  // the GSM alphabet.
  m_pMessageSize = new QLabel(this);
  SetControlId(m_pMessageSize, IDC_MESSAGE_SIZE);
  m_pMessageSize->setGeometry(rect(137, 163, 200, 10));
  m_pMessageSize->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  m_pSend = MakeButton(this, IDC_SEND, IDS_BTN_SEND, rect(287, 142, 50, 20));

  m_pLifetimeList =
      MakeList(this, IDC_LIFETIME, IDS_LBL_LIFETIME, rect(7, 67, 120, 9), rect(7, 77, 120, kComboHeight));
  for (unsigned int i = 0; i < NUM_LIFETIMES; ++i)
    m_pLifetimeList->addItem(WindowText(IDS_LIFETIME_FIRST + i));
  m_pLifetimeList->setMaxVisibleItems(static_cast<int>(NUM_LIFETIMES));

  // The group box only frames the two buttons, which belong to the page itself.
  auto* pGroup = new QGroupBox(WindowText(IDS_GRP_STORE_IN), this);
  pGroup->setGeometry(rect(7, 98, 120, 42));
  m_pMobilePhone =
      MakeTextControl<QRadioButton>(this, IDC_MOBILE_PHONE, IDS_RB_MOBILE_PHONE, rect(15, 110, 104, 11));
  m_pSimCard = MakeTextControl<QRadioButton>(this, IDC_SIM_CARD, IDS_RB_SIM_CARD, rect(15, 124, 104, 11));

  m_pReplyChargesBox =
      MakeTextControl<QCheckBox>(this, IDC_REPLY_CHARGES, IDS_CHK_ACCEPT_REPLY, rect(7, 146, 120, 10));
  m_pReplyChargesBox->hide();

  m_pClear = MakeButton(this, IDC_CLEAR, IDS_BTN_CLEAR, rect(7, 158, 50, 14));
  m_pClear->hide();

  // The user's events. The change signals used are the ones raised by the user only
  // (activated, textEdited); the message edit's text is set from code with its
  // signals blocked.
  connect(m_pSend, &QPushButton::clicked, this, [this] { OnSend(); });
  connect(m_pMessageEdit, &QPlainTextEdit::textChanged, this, [this] { OnUpdateMessage(); });
  connect(m_pPresetList, &QComboBox::activated, this, [this](int) { OnSelchangePreset(); });
  connect(m_pNumberList->lineEdit(), &QLineEdit::textEdited, this,
          [this](const QString&) { OnEditupdateNumber(); });
  connect(m_pClear, &QPushButton::clicked, this, [this] { OnClear(); });
  connect(m_pNameList, &QComboBox::activated, this, [this](int) { OnSelchangeName(); });
}

bool CComposePage::DoDataExchange(bool bSaveAndValidate) {
  if (m_pMessageEdit == nullptr)
    return false;
  if (bSaveAndValidate) {
    const int nPreset = m_pPresetList->currentIndex();
    m_strPreset = nPreset >= 0 ? GetItemText(m_pPresetList, nPreset) : std::string();
    m_bReplyCharges = m_pReplyChargesBox->isChecked() ? 1 : 0;
    const std::string strMessage = m_pMessageEdit->GetFieldText();
    if (CountMessageCharacters(strMessage) > kMaxMessageChars)
      return false;
    m_strMessage = strMessage;
    m_strNumber = GetFieldText(m_pNumberList);
    m_strName = GetFieldText(m_pNameList);
    m_nLifetime = m_pLifetimeList->currentIndex();
    return true;
  }
  {
    const QSignalBlocker blocker(m_pPresetList);
    m_pPresetList->setCurrentIndex(m_strPreset.empty()
                                       ? -1
                                       : m_pPresetList->findText(QString::fromLocal8Bit(m_strPreset),
                                                                 Qt::MatchExactly | Qt::MatchCaseSensitive));
  }
  m_pReplyChargesBox->setChecked(m_bReplyCharges != 0);
  if (m_pMessageEdit->GetFieldText() != m_strMessage)
    m_pMessageEdit->SetFieldText(m_strMessage);
  SetFieldText(m_pNumberList, m_strNumber);
  SetFieldText(m_pNameList, m_strName);
  SelectItem(m_pLifetimeList, m_nLifetime);
  return true;
}

// ---------------------------------------------------------------------------------
// Start, activation and leaving
// ---------------------------------------------------------------------------------

bool CComposePage::OnInitDialog() {
  CSMSPage::OnInitDialog();

  m_pNumberList->lineEdit()->setMaxLength(kMaxNumberChars);

  UpdateData(true);
  m_pCharacterCount->clear();
  m_pMessageSize->clear();
  m_pSend->setIcon(LoadIconResource(IDI_SEND));

  EnsureListsLoaded();

  ReadMessageValidity();
  SelectDefaultLifetime();
  ReadReplyCharges();
  ReadStorage();
  ReadServiceCenter();

  FillPresetList();
  ApplyHostRecipients();

  if (IsPhoneReady()) {
    // The phone's preferred storage is asked on a worker thread under the phone
    // lock; this thread waits for it.
    CSMSTabbedDlg::RunPhoneQuery(&CSMSTabbedDlg::QueryPreferredStorage, m_pSheet);
    UpdateStorageButtons();
    m_bCanSend = true;
  } else {
    ReportError();
    m_bCanSend = false;
  }

  // The page has finished its start: end the wait cursor the window began while it
  // was being built.
  if (m_pSheet != nullptr)
    m_pSheet->EndStartWaitCursor();
  return true;
}

bool CComposePage::OnSetActive() {
  if (m_nResendIndex != -1) {
    // A message to send again, chosen on the Outbox page.
    m_pMessageEdit->SetFieldText(std::string());
    SelectItem(m_pNameList, -1);
    SelectItem(m_pNumberList, -1);
    if (m_nResendIndex >= 0 && static_cast<size_t>(m_nResendIndex) < m_pOutbox->size()) {
      const CMessage& record = *(*m_pOutbox)[static_cast<size_t>(m_nResendIndex)];
      m_strMessage = record.m_strMessage;
      m_strName = record.m_strName;
      m_strNumber = record.m_strNumber;
      m_pMessageEdit->SetFieldText(m_strMessage);
      // The book's entry when one matches; otherwise the record's own name and
      // number stay in the fields, so that Send sends it again rather than storing it.
      SelectText(m_pNumberList, m_strNumber);
      SelectText(m_pNameList, m_strName);
    }
    SelectItem(m_pLifetimeList, m_nDefaultLifetime);
    UpdateCharacterCount();
    m_nResendIndex = -1;
  }

  m_pSend->setEnabled(m_bCanSend && HasMessageText());

  if (m_bOutboxChanged) {
    // The lists are built anew from the same book; the recipient in the fields and
    // the chosen preset stay as they were.
    const int nName = m_pNameList->currentIndex();
    const int nNumber = m_pNumberList->currentIndex();
    const std::string strName = GetFieldText(m_pNameList);
    const std::string strNumber = GetFieldText(m_pNumberList);
    const int nPreset = m_pPresetList->currentIndex();
    FillNameAndNumberLists();
    FillPresetList();
    if (nName >= 0 && GetItemText(m_pNameList, nName) == strName)
      SelectItem(m_pNameList, nName);
    else
      SetFieldText(m_pNameList, strName);
    if (nNumber >= 0 && GetItemText(m_pNumberList, nNumber) == strNumber)
      SelectItem(m_pNumberList, nNumber);
    else
      SetFieldText(m_pNumberList, strNumber);
    if (nPreset < m_pPresetList->count())
      SelectItem(m_pPresetList, nPreset);
  }

  if (m_nStorageButton != -1) {
    // Ask the phone again: its storage may have changed since the page was left.
    UpdateStorageButtons();
    m_bCanSend = true;
  } else {
    SetStorageChecks(false, false);
    m_pMobilePhone->setEnabled(false);
    m_pSimCard->setEnabled(false);
    m_bCanSend = false;
  }

  SelectDefaultLifetime();
  // The fields take what the controls now show, so that the base activation, which
  // puts the fields into the controls, changes nothing.
  UpdateData(true);
  return CSMSPage::OnSetActive();
}

bool CComposePage::OnQueryCancel() {
  if (HasMessageText()) {
    const int nAnswer = GetPromptService().MessageBox(
        LoadString(IDS_QUERY_CANCEL_COMPOSE), LoadString(IDS_SMS_MESSAGE), MB_YESNO | MB_ICONQUESTION);
    if (nAnswer != IDYES)
      return false;
  }
  return CSMSPage::OnQueryCancel();
}

void CComposePage::OnOK() {
  SaveChangedLists();
  CSMSPage::OnOK();
}

void CComposePage::OnCancel() {
  SaveChangedLists();
  CSMSPage::OnCancel();
}

CAddressArray* CComposePage::GetAddressBook() {
  EnsureListsLoaded();
  return m_pAddressBook;
}

void CComposePage::EnsureListsLoaded() {
  if (m_bListsLoaded || m_pSheet == nullptr)
    return;
  m_bListsLoaded = true;
  // Whatever another page put into a list before is kept after what the files hold.
  CMessageArray outboxBefore = std::move(*m_pOutbox);
  CAddressArray bookBefore = std::move(*m_pAddressBook);
  m_pOutbox->clear();
  m_pAddressBook->clear();
  m_pPresets->clear();
  LoadAddressBook();
  LoadOutbox();
  LoadPresets();
  for (auto& pRecord : outboxBefore)
    m_pOutbox->push_back(std::move(pRecord));
  for (auto& pEntry : bookBefore)
    m_pAddressBook->push_back(std::move(pEntry));
}

void CComposePage::SaveChangedLists() {
  if (!m_bListsLoaded) {
    // Saving lists whose files were never read would replace those files.
    EnsureListsLoaded();
  }
  if (m_bOutboxChanged) {
    SaveOutbox();
    SavePresets();
    if (IsExportToCsv()) {
      WriteOutboxCsv();
      WritePresetCsv();
    }
    m_bOutboxChanged = false;
  }
  if (m_bAddressesChanged) {
    if (IsExportToCsv())
      WriteAddressCsv();
    SaveAddressBook();
    m_bAddressesChanged = false;
  }
}

void CComposePage::ReloadMessageOptions() {
  ReadMessageValidity();
  // A page never shown has no lifetime list yet; its start selects the default.
  if (IsWindowCreated())
    SelectDefaultLifetime();
  ReadStorage();
}

// ---------------------------------------------------------------------------------
// Counter, number field, storage buttons, lifetime
// ---------------------------------------------------------------------------------

void CComposePage::UpdateCharacterCount() {
  UpdateData(true);
  UpdateMessageSize();
  const int n = CountMessageCharacters(m_strMessage);
  if (n == 0) {
    m_pCharacterCount->hide();
    m_pSend->setEnabled(false);
  } else if (n == 1) {
    m_pCharacterCount->setText(WindowText(IDS_ONE_CHARACTER));
    m_pCharacterCount->show();
    m_pSend->setEnabled(m_bCanSend);
  } else if (n != kMaxMessageChars) {
    m_pCharacterCount->setText(QString::number(n) + WindowText(IDS_N_CHARACTERS));
    m_pCharacterCount->show();
    m_pSend->setEnabled(IsPhoneReady());
  } else {
    // At the limit the counter says so; whether it shows is left as it was.
    m_pCharacterCount->setText(WindowText(IDS_MAX_CHARACTERS));
    m_pSend->setEnabled(IsPhoneReady());
  }
}

void CComposePage::UpdateMessageSize() {
  m_pMessageSize->setText(QString::fromLocal8Bit(DescribeMessageSize(MeasureMessage(m_strMessage))));
}

void CComposePage::OnEditupdateNumber() {
  UpdateData(true);
  m_pSend->setEnabled(m_bCanSend && HasMessageText());
}

void CComposePage::UpdateStorageButtons() {
  m_pMobilePhone->setEnabled(true);
  m_pSimCard->setEnabled(true);
  SetStorageChecks(false, true);

  int s = MSG_STORAGE_UNKNOWN;
  if (IsPhoneReady() && m_pSheet->GetPhone() != nullptr) {
    s = m_pSheet->GetPhone()->GetAvailableStorage();
  } else {
    m_nStorageButton = -1;
  }

  switch (s) {
    case MSG_STORAGE_PHONE:
      SetStorageChecks(true, false);
      m_pSimCard->setEnabled(false);
      m_nStorageButton = IDC_MOBILE_PHONE;
      m_bCanSend = true;
      break;
    case MSG_STORAGE_SIM:
      SetStorageChecks(false, true);
      m_pMobilePhone->setEnabled(false);
      m_nStorageButton = IDC_SIM_CARD;
      m_bCanSend = true;
      break;
    case MSG_STORAGE_BOTH:
      SetStorageChecks(m_nStorageButton == IDC_MOBILE_PHONE, m_nStorageButton != IDC_MOBILE_PHONE);
      m_bCanSend = true;
      break;
    default:
      SetStorageChecks(false, false);
      SetErrorCode(PHONE_STORAGE_UNKNOWN);
      ReportError();
      m_bCanSend = false;
      break;
  }
}

int CComposePage::GetValidityPeriod() const { return GetValidityForLifetime(m_nLifetime); }

void CComposePage::SelectDefaultLifetime() { SelectItem(m_pLifetimeList, m_nDefaultLifetime); }

// ---------------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------------

void CComposePage::ReadServiceCenter() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return;
  std::string strValue;
  if (key.QueryText(LoadString(IDS_VAL_SERVICE_CENTER), strValue, 260))
    m_strServiceCenter = strValue;
  key.Close();
}

void CComposePage::ReadMessageValidity() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return;
  uint32_t nValue = 0;
  if (key.QueryNumber(LoadString(IDS_VAL_MESSAGE_VALIDITY), nValue))
    m_nDefaultLifetime = static_cast<int>(nValue);
  key.Close();
}

void CComposePage::ReadStorage() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return;
  uint32_t nValue = 0;
  m_nStorageButton = -1;
  if (key.QueryNumber(LoadString(IDS_VAL_STORAGE), nValue) &&
      (nValue == static_cast<uint32_t>(IDC_MOBILE_PHONE) || nValue == static_cast<uint32_t>(IDC_SIM_CARD)))
    m_nStorageButton = static_cast<int>(nValue);
  key.Close();
}

void CComposePage::ReadReplyCharges() {
  CRegKey key;
  if (!key.Open(OptionsKeyPath()))
    return;
  uint32_t nValue = 0;
  m_nReplyChargesSetting =
      key.QueryNumber(LoadString(IDS_VAL_REPLY_CHARGES), nValue) ? static_cast<int>(nValue) : 0;
  key.Close();
  // The stored choice starts the (hidden) box, the one source of the reply-charges
  // flag of the messages sent.
  m_bReplyCharges = m_nReplyChargesSetting != 0 ? 1 : 0;
  m_pReplyChargesBox->setChecked(m_bReplyCharges != 0);
}

// ---------------------------------------------------------------------------------
// Sending
// ---------------------------------------------------------------------------------

void CComposePage::OnSend() {
  if (!UpdateData(true))
    return;
  m_bOutboxChanged = true;

  auto pNew = std::make_unique<CMessage>();
  const CDateTime now = CDateTime::GetCurrentTime();
  pNew->m_strName = m_strName;
  pNew->m_strNumber = m_strNumber;
  pNew->m_dtDateTime = now;
  pNew->m_strDateTime = now.Format();
  pNew->m_nType = MSG_TYPE_COMPOSED;
  pNew->m_strMessage = m_strMessage;
  if (m_pMobilePhone->isChecked())
    pNew->m_nStorage = kStoragePhone;
  else if (m_pSimCard->isChecked())
    pNew->m_nStorage = kStorageSim;
  else
    pNew->m_nStorage = kStorageNone;
  pNew->m_strServiceCenter = m_strServiceCenter;
  pNew->SetSubmitType();
  pNew->SetReplyPath(false);
  pNew->SetHeaderIndicator(false);
  pNew->SetReplyCharges(m_bReplyCharges != 0);
  pNew->SetRelativeValidity(m_nLifetime != 0);
  pNew->SetRejectDuplicates(true);
  pNew->m_nValidity = GetValidityPeriod();

  CMessage* pMessage = pNew.get();
  m_pOutbox->push_back(std::move(pNew));

  if (SendToPhone(pMessage)) {
    std::string strText;
    if (!m_strNumber.empty()) {
      strText = LoadString(IDS_MSG_SENT);
      pMessage->m_nStatus = kStatusSent;
    } else {
      strText = LoadString(IDS_MSG_STORED);
      pMessage->m_nStatus = kStatusStored;
    }
    GetPromptService().MessageBox(strText, LoadString(IDS_SMS_MESSAGE), MB_OK);
    AddPreset(m_strMessage);
    m_pCharacterCount->clear();
    m_pMessageSize->clear();
    m_pMessageEdit->SetFieldText(std::string());
    m_pSend->setEnabled(false);
    SelectDefaultLifetime();
  } else if (m_bSendCancelled) {
    // Stopped before the phone took it: the outgoing list is as it was, and the
    // form keeps everything for another try.
    m_pOutbox->pop_back();
    return;
  } else {
    pMessage->m_nStatus = kStatusError;
    ReportError();
  }
  const bool bSent = pMessage->m_nStatus != kStatusError;

  FillPresetList();
  AddToAddressBook();
  FillNameAndNumberLists();
  if (!bSent) {
    // The recipient stays with the text, so that Send tries the same message again.
    SetFieldText(m_pNameList, m_strName);
    SetFieldText(m_pNumberList, m_strNumber);
  }
}

bool CComposePage::SendToPhone(CMessage* pMessage) {
  m_bSendCancelled = false;
  if (pMessage == nullptr)
    return false;
  if (m_pSheet == nullptr || m_pSheet->GetPhone() == nullptr) {
    SetErrorCode(PHONE_NO_OBJECT);
    return false;
  }
  const std::string strCommand =
      !pMessage->m_strNumber.empty() ? LoadString(IDS_CMD_SEND) : LoadString(IDS_CMD_STORE);
  const int nResult =
      m_pSheet->RunPhoneOperation(IDS_TASK_SEND, [pMessage, &strCommand](CPhoneInterface& phone) {
        return phone.SendMessageToPhone(pMessage, strCommand);
      });
  if (nResult == PHONE_SUCCESS)
    return true;
  m_bSendCancelled = nResult == PHONE_CANCELLED;
  // A phone that went away is named as such; any other failure is a failed send.
  SetErrorCode(nResult == PHONE_WRITE_FAILED ? PHONE_WRITE_FAILED : PHONE_SEND_FAILED);
  return false;
}

// ---------------------------------------------------------------------------------
// Address book and presets
// ---------------------------------------------------------------------------------

void CComposePage::FillNameAndNumberLists() {
  const QSignalBlocker nameBlocker(m_pNameList);
  const QSignalBlocker numberBlocker(m_pNumberList);
  m_pNameList->clear();
  m_pNumberList->clear();
  m_pNameList->clearEditText();
  m_pNumberList->clearEditText();
  for (const auto& pEntry : *m_pAddressBook) {
    m_pNameList->addItem(QString::fromLocal8Bit(pEntry->m_strName));
    pEntry->SetIndex(m_pNameList->count() - 1);
    m_pNumberList->addItem(QString::fromLocal8Bit(pEntry->m_strNumber));
  }
  // Adding items to an empty list makes the first one current: the fields stay empty.
  SelectItem(m_pNameList, -1);
  SelectItem(m_pNumberList, -1);
}

void CComposePage::FillPresetList() {
  const QSignalBlocker blocker(m_pPresetList);
  m_pPresetList->clear();
  const std::string strEllipsis = LoadString(IDS_ELLIPSIS);
  for (const auto& pPreset : *m_pPresets)
    m_pPresetList->addItem(QString::fromLocal8Bit(GetPresetListText(pPreset->m_strMessage, strEllipsis)));
  m_pPresetList->setCurrentIndex(-1);
}

void CComposePage::OnSelchangePreset() {
  UpdateData(true);
  const int nSel = m_pPresetList->currentIndex();
  if (nSel >= 0 && static_cast<size_t>(nSel) < m_pPresets->size())
    m_pMessageEdit->SetFieldText((*m_pPresets)[static_cast<size_t>(nSel)]->m_strMessage);
  else
    m_pMessageEdit->SetFieldText(std::string());
  UpdateCharacterCount();
}

void CComposePage::OnSelchangeName() {
  const int nSel = m_pNameList->currentIndex();
  if (nSel < 0)
    return;
  const std::string strItem = GetItemText(m_pNameList, nSel);
  if (strItem.empty())
    return;
  for (const auto& pEntry : *m_pAddressBook) {
    if (pEntry->m_nIndex != nSel || pEntry->m_strName != strItem)
      continue;
    // The first number that begins with the entry's number; none empties the field.
    SelectItem(m_pNumberList, FindItemPrefix(m_pNumberList, pEntry->m_strNumber));
    m_bCanSend = true;
    return;
  }
}

void CComposePage::AddToAddressBook() {
  if (m_strName.empty() && m_strNumber.empty())
    return;
  if (!AddAddressEntry(*m_pAddressBook, m_strName, m_strNumber, LoadString(IDS_NO_NAME)))
    return;
  m_bAddressesChanged = true;
  SelectItem(m_pNameList, -1);
  SelectItem(m_pNumberList, -1);
}

void CComposePage::AddPreset(const std::string& strText) { AddPresetText(*m_pPresets, strText); }

void CComposePage::AddDefaultPresets() { ::AddDefaultPresets(*m_pPresets); }

void CComposePage::OnClear() {
  UpdateData(true);
  if (!m_strName.empty() && !m_strNumber.empty()) {
    for (size_t i = 0; i < m_pAddressBook->size();) {
      const CAddress& entry = *(*m_pAddressBook)[i];
      if (entry.m_strName == m_strName && entry.m_strNumber == m_strNumber &&
          GetPromptService().MessageBox(LoadString(IDS_QUERY_DELETE_ADDRESS), LoadString(IDS_SMS_MESSAGE),
                                        MB_YESNO | MB_ICONQUESTION) == IDYES) {
        // The entry that takes its place is looked at next.
        m_pAddressBook->erase(m_pAddressBook->begin() + static_cast<std::ptrdiff_t>(i));
        m_bAddressesChanged = true;
        continue;
      }
      ++i;
    }
    SelectItem(m_pNameList, -1);
    SelectItem(m_pNumberList, -1);
  }
  FillNameAndNumberLists();
}

void CComposePage::ApplyHostRecipients() {
  m_strName = m_pSheet != nullptr ? m_pSheet->GetHostName() : std::string();
  const std::string strNumbers = m_pSheet != nullptr ? m_pSheet->GetHostNumbers() : std::string();
  const int nCount = m_pSheet != nullptr ? m_pSheet->GetHostNumberCount() : 0;

  if (!m_strName.empty() && !strNumbers.empty() && nCount >= 1) {
    for (const std::string& strNumber : SplitHostNumbers(strNumbers, nCount)) {
      m_strNumber = strNumber;
      AddToAddressBook();
    }
  }
  FillNameAndNumberLists();

  if (!m_strName.empty() && !strNumbers.empty()) {
    for (const auto& pEntry : *m_pAddressBook) {
      if (pEntry->m_strName != m_strName || pEntry->m_strNumber != m_strNumber)
        continue;
      const int nIndex = pEntry->m_nIndex;
      SelectItem(m_pNameList, nIndex);
      SelectItem(m_pNumberList, nIndex);
    }
  }
}

void CComposePage::ShowRecipientMenu(QComboBox* pList, const QPoint& pos) {
  // The field's own editing menu, with the removal of the pair in the fields from
  // the address book at its end.
  std::unique_ptr<QMenu> pMenu(pList->lineEdit()->createStandardContextMenu());
  pMenu->addSeparator();
  QAction* pClear = pMenu->addAction(WindowText(IDS_BTN_CLEAR));
  pClear->setEnabled(!m_pNameList->currentText().isEmpty() && !m_pNumberList->currentText().isEmpty());
  connect(pClear, &QAction::triggered, this, [this] { OnClear(); });
  pMenu->exec(pList->lineEdit()->mapToGlobal(pos));
}

// ---------------------------------------------------------------------------------
// Store files
// ---------------------------------------------------------------------------------

void CComposePage::LoadAddressBook() {
  if (m_pSheet != nullptr)
    ::LoadAddressBook(GetDataFolder(), *m_pAddressBook);
}

void CComposePage::LoadOutbox() {
  if (m_pSheet != nullptr)
    ::LoadOutbox(GetDataFolder(), *m_pOutbox);
}

void CComposePage::LoadPresets() {
  if (m_pSheet != nullptr)
    ::LoadPresets(GetDataFolder(), *m_pPresets);
}

void CComposePage::SaveOutbox() {
  if (m_pSheet != nullptr)
    ::SaveOutbox(GetDataFolder(), *m_pOutbox);
}

void CComposePage::SavePresets() {
  if (m_pSheet != nullptr)
    ::SavePresets(GetDataFolder(), *m_pPresets);
}

void CComposePage::SaveAddressBook() {
  if (m_pSheet != nullptr)
    ::SaveAddressBook(GetDataFolder(), *m_pAddressBook);
}

void CComposePage::WriteOutboxCsv() {
  if (m_pSheet != nullptr)
    ::WriteOutboxCsv(GetDataFolder(), *m_pOutbox);
}

void CComposePage::WritePresetCsv() {
  if (m_pSheet != nullptr)
    ::WritePresetCsv(GetDataFolder(), *m_pPresets);
}

void CComposePage::WriteAddressCsv() {
  if (m_pSheet != nullptr)
    ::WriteAddressCsv(GetDataFolder(), *m_pAddressBook);
}

// ---------------------------------------------------------------------------------
// The window's services and control helpers
// ---------------------------------------------------------------------------------

void CComposePage::SetStorageChecks(bool bPhone, bool bSim) {
  ::SetStorageChecks(m_pMobilePhone, bPhone, m_pSimCard, bSim);
}

bool CComposePage::HasMessageText() const { return !m_pMessageEdit->toPlainText().isEmpty(); }
