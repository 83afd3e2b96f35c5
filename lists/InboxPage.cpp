#include "lists/InboxPage.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

#include "compose/ComposePage.h"
#include "lists/ListDates.h"
#include "lists/ListEdits.h"
#include "lists/ListFetch.h"
#include "lists/SenderNames.h"
#include "model/CsvExport.h"
#include "model/DateTime.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"
#include "platform/PromptService.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/PageControls.h"
#include "shell/SMSTabbedDlg.h"

namespace {

// The cells of a row.
std::string FromCell(const CMessage& m) { return m.m_strSenderName; }
std::string NumberCell(const CMessage& m) { return m.m_strNumber; }
std::string DateCell(const CMessage& m) { return FormatListDateTime(m.m_dtDateTime); }
std::string StorageCell(const CMessage& m) { return GetStorageText(m.m_nStorage); }

const SortListColumn kColumns[] = {
    {IDS_COL_IN_FROM, 90, SORT_SENDER_NAME, FromCell},
    {IDS_COL_IN_NUMBER, 90, SORT_NUMBER, NumberCell},
    {IDS_COL_IN_DATE_TIME, 180, SORT_DATE, DateCell},
    {IDS_COL_IN_STORAGE, 90, SORT_STORAGE, StorageCell},
};

}  // namespace

const SortListLayout& CInboxPage::GetListLayout() {
  static const SortListLayout s_layout{kColumns, static_cast<int>(std::size(kColumns)),
                                       SettingsKeyPath(IDS_SUBKEY_INBOX), IDS_VAL_IN_SORT_COLUMN,
                                       IDS_VAL_IN_SORT_ORDER};
  return s_layout;
}

CInboxPage::CInboxPage()
    : CSMSPage(IDD, IDS_PAGE_INBOX, IDI_INBOX, 335, 175),
      m_strFileName(LoadString(IDS_FILE_SMSIN)),
      m_pMessages(new CMessageArray) {}

CInboxPage::~CInboxPage() {
  m_pMessages->clear();  // deletes the messages
  delete m_pMessages;
}

// ---------------------------------------------------------------------------------
// The form
// ---------------------------------------------------------------------------------

void CInboxPage::CreateControls(const CDialogUnits& units) {
  // Dialog 130, 335 x 175 dialog units: the list under its label across the page;
  // below it the detail pane and the status line, with the two buttons on their
  // right (as on the Outbox page).
  auto rect = [&units](int x, int y, int cx, int cy) { return units.MapRect(x, y, cx, cy); };

  auto* pLabel = new QLabel(WindowText(IDS_LBL_RECEIVED), this);
  pLabel->setGeometry(rect(7, 7, 250, 9));

  m_pList = new CSortListCtrl(this);
  SetControlId(m_pList, IDC_LIST);
  m_pList->setGeometry(rect(7, 17, 321, 99));
  pLabel->setBuddy(m_pList);

  m_pGetMessages = MakeButton(this, IDC_GET_MESSAGES, IDS_BTN_GET_MESSAGES, rect(273, 121, 55, 14));

  m_pDelete = MakeButton(this, IDC_DELETE, IDS_BTN_IN_DELETE, rect(273, 139, 55, 14));

  m_pDetail = new QPlainTextEdit(this);
  SetControlId(m_pDetail, IDC_MESSAGE_TEXT);
  m_pDetail->setGeometry(rect(7, 121, 259, 38));
  m_pDetail->setReadOnly(true);
  m_pDetail->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_pDetail->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_pDetail->setTabChangesFocus(true);

  m_pStatusLine = new QLabel(QStringLiteral("Static"), this);
  SetControlId(m_pStatusLine, IDC_STATUS);
  m_pStatusLine->setGeometry(rect(7, 162, 259, 9));

  connect(m_pList, &CSortListCtrl::Click, this, [this] { OnClickList(); });
  connect(m_pList, &CSortListCtrl::ColumnClick, this, [this](int n) { OnColumnClickList(n); });
  connect(m_pList, &CSortListCtrl::KeyDown, this, [this](int n) { OnKeyDownList(n); });
  connect(m_pList, &CSortListCtrl::SetFocus, this, [this] { OnSetFocusList(); });
  connect(m_pList, &CSortListCtrl::KillFocus, this, [this] { OnKillFocusList(); });
  connect(m_pDelete, &QPushButton::clicked, this, [this] { OnDelete(); });
  connect(m_pGetMessages, &QPushButton::clicked, this, [this] { OnGetMessages(); });
}

bool CInboxPage::DoDataExchange(bool) {
  // The controls are bound when they are built; the page has no field values.
  return m_pList != nullptr;
}

// ---------------------------------------------------------------------------------
// Start, activation and closing
// ---------------------------------------------------------------------------------

bool CInboxPage::OnInitDialog() {
  CSMSPage::OnInitDialog();
  InsertColumns();
  m_pList->BindMessages(m_pMessages);
  LoadListSettings();
  m_pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  m_pDelete->setEnabled(m_pList->GetSelectedItem() != -1);
  m_pStatusLine->clear();
  // The rows are filled once, by the activation that follows, after the sort.
  LoadInbox();
  return true;
}

bool CInboxPage::OnSetActive() {
  const bool bReady = IsPhoneReady();
  m_bGetDisabled = !bReady;
  m_pGetMessages->setEnabled(bReady);
  SortMessages();
  FillList();
  ClearSelection();
  return CSMSPage::OnSetActive();
}

void CInboxPage::OnOK() {
  SaveListSettings();
  SaveChangedInbox();
  CSMSPage::OnOK();
}

void CInboxPage::OnCancel() {
  SaveChangedInbox();
  CSMSPage::OnCancel();
}

void CInboxPage::OnClose() { SaveInbox(); }

void CInboxPage::closeEvent(QCloseEvent* pEvent) {
  OnClose();
  CSMSPage::closeEvent(pEvent);
}

// ---------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------

void CInboxPage::InsertColumns() { InsertSortListColumns(*m_pList, GetListLayout()); }

bool CInboxPage::FillList() {
  if (m_pList == nullptr || m_pMessages->empty())
    return false;
  // Row i shows message i; the cells are made from the messages when shown.
  m_pList->ResetItems(static_cast<int>(m_pMessages->size()));
  return true;
}

void CInboxPage::LoadListSettings() {
  LoadSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

void CInboxPage::SaveListSettings() {
  SaveSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

void CInboxPage::SetDefaultListSettings() {
  SetDefaultSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

void CInboxPage::SortMessages() {
  SortMessageList(*m_pList, GetListLayout(), m_pMessages, m_nSortColumn, m_bSortAscending);
}

int32_t CInboxPage::ColumnToSortKey(int32_t nColumn) { return SortListColumnToKey(GetListLayout(), nColumn); }

void CInboxPage::OnColumnClickList(int nColumn) {
  m_bSortAscending = !m_bSortAscending;
  m_nSortColumn = nColumn;
  SortMessages();
  FillList();
  ClearSelection();
  m_bChanged = true;
}

// ---------------------------------------------------------------------------------
// The detail pane
// ---------------------------------------------------------------------------------

void CInboxPage::ShowMessage(int nItem) {
  if (nItem < 0 || static_cast<size_t>(nItem) >= m_pMessages->size())
    return;
  const CMessage& message = *(*m_pMessages)[static_cast<size_t>(nItem)];
  m_pDetail->setPlainText(ToWindowText(message.m_strMessage));
  m_pStatusLine->setText(message.IsReplyCharges() ? WindowText(IDS_REPLY_CHARGES) : QString());
}

void CInboxPage::ClearDetail() {
  m_pDetail->clear();
  m_pStatusLine->clear();
}

void CInboxPage::ClearSelection() {
  m_pList->clearSelection();
  ClearDetail();
  m_pDelete->setEnabled(false);
}

void CInboxPage::OnClickList() {
  const int nItem = m_pList->GetSelectedItem();
  if (nItem == -1) {
    m_pDelete->setEnabled(false);
    ClearDetail();
    return;
  }
  ShowMessage(nItem);
  m_pDelete->setEnabled(true);
}

void CInboxPage::OnKeyDownList(int nVirtKey) {
  // Runs before the list moves its selection: it shows what the key is about to
  // select.
  const int nItem = m_pList->GetSelectedItem();
  const int nCount = m_pList->GetItemCount();
  const int nSelected = m_pList->GetSelectedCount();
  m_pDelete->setEnabled(nItem != -1);
  if (nVirtKey == VK_UP && nItem >= 1) {
    ShowMessage(nItem - 1);
  } else if (nVirtKey == VK_DOWN && nItem >= 0 && nItem < nCount - 1) {
    if (nSelected >= 2) {
      m_pDetail->setPlainText(WindowText(IDS_IN_MULTIPLE_SELECTION));
      m_pStatusLine->clear();
    } else {
      ShowMessage(nItem + 1);
    }
  }
  if (nSelected > 1)
    m_pDetail->setPlainText(WindowText(IDS_IN_MULTIPLE_SELECTION));
}

void CInboxPage::OnKillFocusList() {
  if (m_pList->GetSelectedItem() == -1)
    ClearDetail();
}

void CInboxPage::OnSetFocusList() {
  if (m_pList->GetSelectedItem() == -1)
    ClearDetail();
  if (m_pList->GetSelectedCount() > 1)
    m_pDetail->setPlainText(WindowText(IDS_IN_MULTIPLE_SELECTION));
}

// ---------------------------------------------------------------------------------
// Fetching and deleting
// ---------------------------------------------------------------------------------

std::string CInboxPage::LookupName(const std::string& strNumber) const {
  return std::string(CSenderNames(GetAddressBook()).Lookup(strNumber));
}

const CAddressArray* CInboxPage::GetAddressBook() const {
  return m_pCompose != nullptr ? m_pCompose->GetAddressBook() : nullptr;
}

int CInboxPage::FetchFromPhone(CMessageArray& received, bool* pbCancelled) {
  if (m_pSheet == nullptr)
    return PHONE_NO_OBJECT;
  return m_pSheet->RunPhoneOperation(
      IDS_TASK_GET_MESSAGES,
      [&received](CPhoneInterface& phone) { return phone.GetIncomingMessagesFromPhone(&received); },
      pbCancelled);
}

void CInboxPage::OnGetMessages() {
  try {
    RunListFetch(
        {IDS_NO_NEW_INCOMING,
         [this](CMessageArray& received, bool* pbCancelled) { return FetchFromPhone(received, pbCancelled); },
         [this](CMessageArray& received) { return AddReceived(received); }, [this] { ClearSelection(); },
         [this](int nCode) {
           SetErrorCode(nCode);
           ReportError();
         }});
  } catch (const std::bad_alloc&) {
    // Out of memory ends the fetch quietly; what was added stays.
    if (m_bChanged)
      FillList();
  }
}

CFetchMerge CInboxPage::AddReceived(CMessageArray& received) {
  // The book is read once for the whole fetch; the stored keys are hashed once.
  const CSenderNames names(GetAddressBook());
  const CFetchMerge merged = MergeFetched(
      *m_pMessages, received,
      [&names](CMessage& message) {
        message.m_strSenderName = names.Lookup(message.m_strNumber);
        if (!message.m_dtDateTime.IsValid())
          message.m_dtDateTime = CDateTime::GetCurrentTime();
        message.m_strDateTime = message.m_dtDateTime.Format();
      },
      true);
  if (merged.Any())
    m_bChanged = true;
  if (m_bChanged)
    FillList();
  ClearSelection();
  return merged;
}

void CInboxPage::OnDelete() {
  const int nAnswer =
      GetPromptService().MessageBox(LoadString(IDS_CONFIRM_DELETE_SELECTED), LoadString(IDS_SMS_MESSAGE),
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (nAnswer != IDYES)
    return;

  try {
    std::vector<int> rows = m_pList->GetSelectedItems();
    // The phone deletes in row order, first selected row first.
    const std::vector<const CMessage*> doomed = RecordsAtRows(*m_pMessages, rows);
    if (!rows.empty()) {
      // Stopped by the user during the phone's part: the rows stay.
      if (m_pSheet != nullptr && !m_pSheet->DeleteOnPhone(doomed))
        return;
      m_deletedKeys.reserve(m_deletedKeys.size() + doomed.size());  // one rehash at most
      for (const CMessage* pMessage : doomed)
        m_deletedKeys.insert(pMessage->GetPduKey());
      EraseRows(*m_pMessages, rows);
      m_pList->DeleteItems(rows);
      m_bChanged = true;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory ends the deletion quietly; nothing was taken off the list.
  }
  ClearSelection();
}

// ---------------------------------------------------------------------------------
// The store file and its CSV copy
// ---------------------------------------------------------------------------------

void CInboxPage::LoadInbox() {
  if (m_pSheet == nullptr)
    return;
  if (::LoadInbox(GetDataFolder(), *m_pMessages) != LoadResult::loaded)
    return;
  const CSenderNames names(GetAddressBook());
  for (const auto& pMessage : *m_pMessages) {
    // Most names stored with the messages are still right; those stay as they are.
    const std::string_view strName = names.Lookup(pMessage->m_strNumber);
    if (pMessage->m_strSenderName != strName)
      pMessage->m_strSenderName = strName;
  }
}

void CInboxPage::SaveInbox() {
  if (m_pSheet == nullptr)
    return;
  // What mireth watch stored while the window was open stays in the file.
  CMessageArray onFile;
  ReadStoreFile(GetStorePath(GetDataFolder(), StoreList::inbox), onFile);
  if (KeepAddedElsewhere(*m_pMessages, onFile, m_deletedKeys) != 0)
    m_bChanged = true;
  ::SaveInbox(GetDataFolder(), *m_pMessages);
}

void CInboxPage::SaveChangedInbox() {
  if (!m_bChanged)
    return;
  if (IsExportToCsv())
    WriteInboxCsv();
  SaveInbox();
}

void CInboxPage::WriteInboxCsv() {
  if (m_pSheet != nullptr)
    ::WriteInboxCsv(GetDataFolder(), *m_pMessages);
}
