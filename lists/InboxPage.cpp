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
#include "model/CsvExport.h"
#include "model/DateTime.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/StoreLists.h"
#include "platform/PromptService.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/SMSTabbedDlg.h"

namespace {

const SortListColumn kColumns[] = {
    {IDS_COL_IN_FROM, 90, SORT_SENDER_NAME},
    {IDS_COL_IN_NUMBER, 90, SORT_NUMBER},
    {IDS_COL_IN_DATE_TIME, 180, SORT_DATE},
    {IDS_COL_IN_STORAGE, 90, SORT_STORAGE},
};

QString WindowText(unsigned int nId) { return ToWindowText(LoadString(nId)); }

// Ends the wait cursor when it goes out of scope, also when an operation ends early.
class CWaitCursor {
 public:
  CWaitCursor() { GetPromptService().BeginWaitCursor(); }
  ~CWaitCursor() { Restore(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore() {
    if (m_bOn)
      GetPromptService().EndWaitCursor();
    m_bOn = false;
  }

 private:
  bool m_bOn = true;
};

}  // namespace

const SortListLayout& CInboxPage::GetListLayout() {
  static const SortListLayout s_layout{
      kColumns, static_cast<int>(std::size(kColumns)),
      LoadString(IDS_KEY_ROOT) + "\\" + LoadString(IDS_SUBKEY_INBOX), IDS_VAL_IN_SORT_COLUMN,
      IDS_VAL_IN_SORT_ORDER};
  return s_layout;
}

CInboxPage::CInboxPage()
    : CPropertyPage(IDD, IDS_PAGE_INBOX, IDI_INBOX, 335, 175),
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

  m_pGetMessages = new QPushButton(WindowText(IDS_BTN_GET_MESSAGES), this);
  SetControlId(m_pGetMessages, IDC_GET_MESSAGES);
  m_pGetMessages->setGeometry(rect(273, 121, 55, 14));
  m_pGetMessages->setAutoDefault(false);

  m_pDelete = new QPushButton(WindowText(IDS_BTN_IN_DELETE), this);
  SetControlId(m_pDelete, IDC_DELETE);
  m_pDelete->setGeometry(rect(273, 139, 55, 14));
  m_pDelete->setAutoDefault(false);

  m_pDetail = new QPlainTextEdit(this);
  SetControlId(m_pDetail, IDC_MESSAGE_TEXT);
  m_pDetail->setGeometry(rect(7, 121, 259, 38));
  m_pDetail->setReadOnly(true);
  m_pDetail->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_pDetail->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_pDetail->setTabChangesFocus(true);

  m_pStatus = new QLabel(QStringLiteral("Static"), this);
  SetControlId(m_pStatus, IDC_STATUS);
  m_pStatus->setGeometry(rect(7, 162, 259, 9));

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
  CPropertyPage::OnInitDialog();
  InsertColumns();
  LoadListSettings();
  m_pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  m_pDelete->setEnabled(m_pList->GetSelectedItem() != -1);
  m_pStatus->clear();
  LoadInbox();
  FillList();
  return true;
}

bool CInboxPage::OnSetActive() {
  const bool bReady = m_pSheet != nullptr && m_pSheet->IsPhoneReady();
  m_bGetDisabled = !bReady;
  m_pGetMessages->setEnabled(bReady);
  SortMessages();
  FillList();
  return CPropertyPage::OnSetActive();
}

void CInboxPage::OnOK() {
  SaveListSettings();
  if (m_bChanged) {
    if (m_pSheet != nullptr && m_pSheet->IsExportToCsv())
      WriteInboxCsv();
    SaveInbox();
  }
  CPropertyPage::OnOK();
}

void CInboxPage::OnCancel() {
  if (m_bChanged) {
    if (m_pSheet != nullptr && m_pSheet->IsExportToCsv())
      WriteInboxCsv();
    SaveInbox();
  }
  CPropertyPage::OnCancel();
}

void CInboxPage::OnClose() { SaveInbox(); }

void CInboxPage::closeEvent(QCloseEvent* pEvent) {
  OnClose();
  CPropertyPage::closeEvent(pEvent);
}

// ---------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------

void CInboxPage::InsertColumns() { InsertSortListColumns(*m_pList, GetListLayout()); }

bool CInboxPage::FillList() {
  if (m_pList == nullptr || m_pMessages->empty())
    return false;
  m_pList->DeleteAllItems();
  m_pList->SetItemCount(static_cast<int>(m_pMessages->size()) + 1);
  int nItem = 0;
  for (const auto& pMessage : *m_pMessages) {
    m_pList->InsertItem(nItem, pMessage->m_strSenderName);
    m_pList->SetItemText(nItem, 1, pMessage->m_strNumber);
    m_pList->SetItemText(nItem, 2,
                         pMessage->m_dtDateTime.IsValid() ? pMessage->m_dtDateTime.Format()
                                                          : std::string());
    m_pList->SetItemText(nItem, 3, GetStorageText(pMessage->m_nStorage));
    ++nItem;
  }
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

int32_t CInboxPage::ColumnToSortKey(int32_t nColumn) const {
  return SortListColumnToKey(GetListLayout(), nColumn);
}

void CInboxPage::OnColumnClickList(int nColumn) {
  m_bSortAscending = !m_bSortAscending;
  m_nSortColumn = nColumn;
  SortMessages();
  FillList();
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
  m_pStatus->setText(message.IsReplyCharges() ? WindowText(IDS_REPLY_CHARGES) : QString());
}

void CInboxPage::ClearDetail() {
  m_pDetail->clear();
  m_pStatus->clear();
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
      m_pStatus->clear();
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
  if (strNumber.empty() || m_pCompose == nullptr)
    return std::string();
  const CAddressArray* pBook = m_pCompose->GetAddressBook();
  if (pBook == nullptr)
    return std::string();
  for (const auto& pEntry : *pBook) {
    // Only the book's side is reduced to digits: "+47 11" matches "4711", while a
    // sender number with any other character never matches.
    std::string strDigits;
    for (const char c : pEntry->m_strNumber)
      if (c >= '0' && c <= '9')
        strDigits += c;
    if (strDigits == strNumber)
      return pEntry->m_strName;
  }
  return std::string();
}

void CInboxPage::OnGetMessages() {
  CWaitCursor wait;
  try {
    CMessageArray received;
    bool bCancelled = false;
    const int nCode = m_pSheet == nullptr ? PHONE_NO_OBJECT
                                          : m_pSheet->RunPhoneOperation(
                                                IDS_TASK_GET_MESSAGES,
                                                [&received](CPhoneInterface& phone) {
                                                  return phone.GetIncomingMessagesFromPhone(&received);
                                                },
                                                &bCancelled);
    // Stopped by the user: the Inbox stays as it was.
    if (bCancelled || nCode == PHONE_CANCELLED)
      return;
    if (nCode != 1) {
      if (nCode == PHONE_NO_MESSAGES) {
        AfxMessageBox(LoadString(IDS_NO_NEW_INCOMING), MB_OK);
      } else if (m_pSheet != nullptr) {
        m_pSheet->SetErrorCode(nCode);
        m_pSheet->ReportError();
      }
      return;
    }

    bool bArrived = false;
    for (const auto& pReceived : received) {
      auto pMessage = std::make_unique<CMessage>();
      *pMessage = *pReceived;
      pMessage->m_strSenderName = LookupName(pMessage->m_strNumber);
      if (!pMessage->m_dtDateTime.IsValid())
        pMessage->m_dtDateTime = CDateTime::GetCurrentTime();
      pMessage->m_strDateTime = pMessage->m_dtDateTime.Format();
      // Every stored message is compared, those of this fetch included.
      const std::string strKey = pMessage->GetPduKey();
      bool bKnown = false;
      for (const auto& pStored : *m_pMessages)
        if (pStored->GetPduKey() == strKey)
          bKnown = true;
      if (!bKnown) {
        m_pMessages->push_back(std::move(pMessage));
        m_bChanged = true;
        bArrived = true;
      }
    }
    wait.Restore();
    received.clear();
    if (m_bChanged)
      FillList();
    if (!bArrived)
      AfxMessageBox(LoadString(IDS_NO_NEW_INCOMING), MB_OK);
  } catch (const std::bad_alloc&) {
    // Out of memory ends the fetch quietly; what was added stays.
  }
}

void CInboxPage::OnDelete() {
  const int nAnswer = GetPromptService().MessageBox(
      LoadString(IDS_CONFIRM_DELETE_SELECTED), LoadString(IDS_SMS_MESSAGE),
      MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (nAnswer != IDYES)
    return;

  try {
    if (m_pSheet != nullptr && m_pSheet->IsDeleteFromPhone() && m_pSheet->GetPhone() != nullptr) {
      // One listing of the phone's messages serves every deletion, which keeps it up
      // to date. The desktop deletion goes ahead whatever the phone answers, unless
      // the user stopped the phone's part.
      std::vector<const CMessage*> selected;
      for (int nItem = 0; nItem < m_pList->GetItemCount(); ++nItem)
        if (m_pList->IsItemSelected(nItem) && static_cast<size_t>(nItem) < m_pMessages->size())
          selected.push_back((*m_pMessages)[static_cast<size_t>(nItem)].get());
      bool bCancelled = false;
      m_pSheet->RunPhoneOperation(
          IDS_TASK_DELETE,
          [&selected](CPhoneInterface& phone) {
            std::string strListing;
            phone.ListAllMessages(strListing);
            for (const CMessage* pMessage : selected)
              phone.DeletePhoneMessage(strListing, pMessage);
            return 1;
          },
          &bCancelled);
      if (bCancelled)
        return;
    }

    for (int nItem = m_pList->GetSelectedItem(); nItem != -1;
         nItem = m_pList->GetSelectedItem()) {
      if (static_cast<size_t>(nItem) < m_pMessages->size())
        m_pMessages->erase(m_pMessages->begin() + nItem);
      m_pList->DeleteItem(nItem);
      ClearDetail();
      m_bChanged = true;
    }
  } catch (const std::bad_alloc&) {
    // Out of memory ends the deletion quietly; what was deleted stays deleted.
  }
  m_pDelete->setEnabled(m_pList->GetSelectedItem() != -1);
}

// ---------------------------------------------------------------------------------
// The store file and its CSV copy
// ---------------------------------------------------------------------------------

std::string CInboxPage::GetDataFolder() const {
  return m_pSheet != nullptr ? m_pSheet->GetDataFolder() : std::string();
}

void CInboxPage::LoadInbox() {
  if (m_pSheet == nullptr)
    return;
  if (::LoadInbox(GetDataFolder(), *m_pMessages) != LoadResult::loaded)
    return;
  for (const auto& pMessage : *m_pMessages)
    pMessage->m_strSenderName = LookupName(pMessage->m_strNumber);
  FillList();
}

void CInboxPage::SaveInbox() {
  if (m_pSheet != nullptr)
    ::SaveInbox(GetDataFolder(), *m_pMessages);
}

void CInboxPage::WriteInboxCsv() {
  if (m_pSheet != nullptr)
    ::WriteInboxCsv(GetDataFolder(), *m_pMessages);
}
