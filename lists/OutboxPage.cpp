#include "lists/OutboxPage.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <new>
#include <string>
#include <vector>

#include "compose/ComposePage.h"
#include "lists/ListDates.h"
#include "lists/ListEdits.h"
#include "lists/ListFetch.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "platform/PromptService.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/PageControls.h"
#include "shell/SMSTabbedDlg.h"

namespace {

// Storage codes that have no word in the list: none given, or both places.
constexpr int32_t kStorageNone = 0;
constexpr int32_t kStorageBoth = 3;

// The cells of a row.
std::string ToCell(const CMessage& m) { return m.m_strName; }
std::string NumberCell(const CMessage& m) { return m.m_strNumber; }
std::string StatusCell(const CMessage& m) { return GetStatusText(m.m_nStatus); }

// The columns: heading (also the value name of the width), default width, sort key,
// cell text.
const SortListColumn kColumns[COutboxPage::NUM_COLUMNS] = {
    {IDS_COL_OUT_TO, 90, SORT_RECIPIENT_NAME, ToCell},
    {IDS_COL_OUT_NUMBER, 90, SORT_NUMBER, NumberCell},
    {IDS_COL_OUT_STATUS, 90, SORT_STATUS, StatusCell},
    {IDS_COL_OUT_DATE_TIME, 180, SORT_DATE, COutboxPage::GetDateCellText},
    {IDS_COL_OUT_STORAGE, 90, SORT_STORAGE, COutboxPage::GetStorageCellText},
};

}  // namespace

const SortListLayout& COutboxPage::GetListLayout() {
  static const SortListLayout s_layout{kColumns, COutboxPage::NUM_COLUMNS, SettingsKeyPath(IDS_SUBKEY_OUTBOX),
                                       IDS_VAL_OUT_SORT_COLUMN, IDS_VAL_OUT_SORT_ORDER};
  return s_layout;
}

COutboxPage::COutboxPage() : CSMSPage(IDD, IDS_PAGE_OUTBOX, IDI_OUTBOX, 335, 175) {}

// The controls are children of the page; the outgoing list belongs to the Compose page.
COutboxPage::~COutboxPage() = default;

// ---------------------------------------------------------------------------------
// The window
// ---------------------------------------------------------------------------------

void COutboxPage::CreateControls(const CDialogUnits& units) {
  // Dialog 131, 335 x 175 dialog units: the list across the page under its label,
  // the detail pane and the status line below it on the left, the three buttons
  // stacked on the right. Controls are made in the template's tab order.
  auto rect = [&units](int x, int y, int cx, int cy) { return units.MapRect(x, y, cx, cy); };

  auto* pLabel = new QLabel(WindowText(IDS_LBL_OUTGOING), this);
  pLabel->setGeometry(rect(7, 7, 250, 9));

  m_pList = new CSortListCtrl(this);
  SetControlId(m_pList, IDC_LIST);
  m_pList->setGeometry(rect(7, 17, 321, 99));
  m_pList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
  pLabel->setBuddy(m_pList);

  m_pRetrieve = MakeButton(this, IDC_RETRIEVE, IDS_BTN_RETRIEVE, rect(273, 121, 55, 14));

  m_pResendNow = MakeButton(this, IDC_RESEND_NOW, IDS_BTN_RESEND_NOW, rect(273, 139, 55, 14));

  m_pDelete = MakeButton(this, IDC_DELETE, IDS_BTN_OUT_DELETE, rect(273, 157, 55, 14));

  m_pDetail = new QPlainTextEdit(this);
  SetControlId(m_pDetail, IDC_DETAIL);
  m_pDetail->setGeometry(rect(7, 121, 259, 38));
  m_pDetail->setReadOnly(true);
  m_pDetail->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m_pDetail->setTabChangesFocus(true);

  // The status line; its template text is emptied at initialisation.
  m_pStatusLine = new QLabel(this);
  SetControlId(m_pStatusLine, IDC_STATUS_LINE);
  m_pStatusLine->setGeometry(rect(7, 162, 259, 9));

  connect(m_pList, &CSortListCtrl::Click, this, [this] { OnClickList(); });
  connect(m_pList, &CSortListCtrl::ColumnClick, this, [this](int n) { OnColumnClickList(n); });
  connect(m_pList, &CSortListCtrl::SetFocus, this, [this] { OnSetFocusList(); });
  connect(m_pList, &CSortListCtrl::KillFocus, this, [this] { OnKillFocusList(); });
  connect(m_pList, &CSortListCtrl::KeyDown, this, [this](int nKey) { OnKeyDownList(nKey); });
  connect(m_pList, &QWidget::customContextMenuRequested, this, [this](const QPoint&) { OnRightClickList(); });
  connect(m_pDelete, &QPushButton::clicked, this, [this] { OnDelete(); });
  connect(m_pResendNow, &QPushButton::clicked, this, [this] { OnResendNow(); });
  connect(m_pRetrieve, &QPushButton::clicked, this, [this] { OnRetrieve(); });
}

bool COutboxPage::DoDataExchange(bool) {
  // The controls are bound when they are made; the page exchanges no values.
  return m_pList != nullptr;
}

// ---------------------------------------------------------------------------------
// Start, activation and closing
// ---------------------------------------------------------------------------------

bool COutboxPage::OnInitDialog() {
  CSMSPage::OnInitDialog();

  InsertColumns();
  LoadListSettings();
  m_pList->SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);

  // The window may have opened on another page than Compose: the outgoing list is
  // read from its file now if that has not happened yet.
  if (m_pCompose != nullptr)
    m_pCompose->EnsureListsLoaded();
  m_pList->BindMessages(GetOutbox());
  // Sorted and filled once, by the activation that follows.
  m_bSortPending = true;

  ClearDetail();
  return true;
}

bool COutboxPage::OnSetActive() {
  m_pRetrieve->setEnabled(IsPhoneReady());

  // A message sent, stored, retrieved or deleted, or the list re-sorted, since the
  // last save, or the page just built: the list takes its sorted order again.
  if (IsOutboxChanged() || m_bSortPending) {
    m_bSortPending = false;
    SortMessages();
    FillList();
    ClearSelection();
  }

  if (m_pList->GetSelectedItem() != -1) {
    m_pDelete->setEnabled(true);
  } else {
    m_pResendNow->setEnabled(false);
    m_pDelete->setEnabled(false);
  }
  return CSMSPage::OnSetActive();
}

void COutboxPage::OnOK() {
  SaveListSettings();
  if (m_pCompose != nullptr)
    m_pCompose->SaveChangedLists();
  CSMSPage::OnOK();
}

// ---------------------------------------------------------------------------------
// The list
// ---------------------------------------------------------------------------------

void COutboxPage::InsertColumns() { InsertSortListColumns(*m_pList, GetListLayout()); }

std::string COutboxPage::GetDateCellText(const CMessage& message) {
  // A date that is not valid, or the zero date of a record that never had one,
  // shows nothing.
  const CDateTime& dt = message.m_dtDateTime;
  if (!dt.IsValid() || dt.GetDate() == 0.0)
    return std::string();
  return FormatListDateTime(dt);
}

std::string COutboxPage::GetStorageCellText(const CMessage& message) {
  if (message.m_nStorage == kStorageNone || message.m_nStorage == kStorageBoth)
    return std::string();
  return GetStorageText(message.m_nStorage);
}

bool COutboxPage::FillList() {
  const CMessageArray* pOutbox = GetOutbox();
  if (pOutbox == nullptr || pOutbox->empty())
    return false;
  // Row i shows element i; the cells are made from the messages when shown.
  if (m_pList->GetModel()->GetMessages() != pOutbox)
    m_pList->BindMessages(pOutbox);
  m_pList->ResetItems(static_cast<int>(pOutbox->size()));
  return true;
}

void COutboxPage::LoadListSettings() {
  LoadSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

void COutboxPage::SaveListSettings() {
  SaveSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

void COutboxPage::SetDefaultListSettings() {
  SetDefaultSortListSettings(*m_pList, GetListLayout(), m_nSortColumn, m_bSortAscending);
}

int32_t COutboxPage::ColumnToSortKey(int32_t nColumn) {
  return SortListColumnToKey(GetListLayout(), nColumn);
}

void COutboxPage::SortMessages() {
  SortMessageList(*m_pList, GetListLayout(), GetOutbox(), m_nSortColumn, m_bSortAscending);
}

void COutboxPage::OnColumnClickList(int nColumn) {
  // Every click flips the direction, also on another column than the sorted one.
  m_bSortAscending = !m_bSortAscending;
  m_nSortColumn = nColumn;
  SortMessages();
  FillList();
  ClearSelection();
  SetOutboxChanged();
}

// ---------------------------------------------------------------------------------
// Showing the selected message
// ---------------------------------------------------------------------------------

void COutboxPage::OnClickList() {
  const int nItem = m_pList->GetSelectedItem();
  const int nSelected = m_pList->GetSelectedCount();
  if (nItem == -1) {
    ClearDetail();
    m_pResendNow->setEnabled(false);
    m_pDelete->setEnabled(false);
    return;
  }
  m_pDelete->setEnabled(true);
  if (nSelected != 1) {
    m_pDetail->setPlainText(WindowText(IDS_OUT_MULTIPLE_SELECTION));
    m_pStatusLine->clear();
  } else if (const CMessage* pMessage = GetMessageAt(nItem)) {
    ShowMessage(*pMessage);
  }
  m_pResendNow->setEnabled(nSelected == 1);
}

void COutboxPage::OnSetFocusList() {
  ClearDetail();
  if (m_pList->GetSelectedItem() == -1) {
    m_pResendNow->setEnabled(false);
    m_pDelete->setEnabled(false);
  } else {
    m_pDelete->setEnabled(true);
  }
  if (!IsPhoneReady())
    m_pResendNow->setEnabled(false);
}

void COutboxPage::OnKillFocusList() {
  if (m_pList->GetSelectedItem() == -1)
    ClearDetail();
}

void COutboxPage::OnKeyDownList(int nVirtKey) {
  // Runs before the list moves its selection: shows the row the key moves to.
  const int nItem = m_pList->GetSelectedItem();
  const int nCount = m_pList->GetItemCount();
  const int nSelected = m_pList->GetSelectedCount();
  int nTarget = -1;
  if (nVirtKey == VK_UP && nItem >= 1)
    nTarget = nItem - 1;
  else if (nVirtKey == VK_DOWN && nItem >= 0 && nItem < nCount - 1)
    nTarget = nItem + 1;
  if (nTarget == -1)
    return;
  if (nSelected > 1) {
    m_pDetail->setPlainText(WindowText(IDS_OUT_MULTIPLE_SELECTION));
    m_pStatusLine->clear();
    m_pResendNow->setEnabled(false);
  } else if (const CMessage* pMessage = GetMessageAt(nTarget)) {
    ShowMessage(*pMessage);
    m_pResendNow->setEnabled(true);
  }
}

void COutboxPage::ShowMessage(const CMessage& message) {
  m_pDetail->setPlainText(ToWindowText(message.m_strMessage));
  if (message.m_bReplyCharges != 0)
    m_pStatusLine->setText(WindowText(IDS_REPLY_CHARGES));
  else
    m_pStatusLine->clear();
}

void COutboxPage::ClearDetail() {
  m_pDetail->clear();
  m_pStatusLine->clear();
}

void COutboxPage::ClearSelection() {
  m_pList->clearSelection();
  ClearDetail();
  m_pResendNow->setEnabled(false);
  m_pDelete->setEnabled(false);
}

// ---------------------------------------------------------------------------------
// Retrieve, delete, resend
// ---------------------------------------------------------------------------------

int COutboxPage::RetrieveFromPhone(CMessageArray& fetched, bool* pbCancelled) {
  if (m_pSheet == nullptr)
    return PHONE_NO_OBJECT;
  return m_pSheet->RunPhoneOperation(
      IDS_TASK_RETRIEVE,
      [&fetched](CPhoneInterface& phone) { return phone.GetOutgoingMessagesFromPhone(&fetched); },
      pbCancelled);
}

void COutboxPage::OnRetrieve() {
  if (GetOutbox() == nullptr || m_pSheet == nullptr)
    return;
  try {
    // No phone object (Retrieve is offered only while the phone is ready, so it went
    // away since) is reported as code 0.
    RunListFetch({IDS_NO_NEW_OUTGOING,
                  [this](CMessageArray& fetched, bool* pbCancelled) {
                    return RetrieveFromPhone(fetched, pbCancelled);
                  },
                  [this](CMessageArray& fetched) { return AddRetrieved(fetched); },
                  [this] { ClearSelection(); },
                  [this](int nCode) {
                    SetErrorCode(nCode);
                    ReportError();
                  }});
  } catch (const std::bad_alloc&) {
    // Out of memory: the operation ends quietly with what was added so far.
    SetOutboxChanged();
    FillList();
    ClearSelection();
  }
}

CFetchMerge COutboxPage::AddRetrieved(CMessageArray& fetched) {
  CMessageArray* pOutbox = GetOutbox();
  if (pOutbox == nullptr)
    return CFetchMerge();
  // Each message is kept, unchanged, unless the list already holds one with the
  // same key; the ones added by this retrieval count too.
  const CFetchMerge merged = MergeFetched(*pOutbox, fetched, nullptr, false);
  if (merged.Any())
    SetOutboxChanged();
  // The new messages go to the end; they take their sorted place at the next
  // activation or column click.
  if (IsOutboxChanged())
    FillList();
  ClearSelection();
  return merged;
}

void COutboxPage::OnDelete() {
  const int nAnswer =
      GetPromptService().MessageBox(LoadString(IDS_CONFIRM_DELETE_SELECTED), LoadString(IDS_SMS_MESSAGE),
                                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (nAnswer != IDYES)
    return;
  CMessageArray* pOutbox = GetOutbox();
  if (pOutbox == nullptr)
    return;

  std::vector<int> rows = m_pList->GetSelectedItems();
  // The phone deletes in row order, first selected row first.
  const std::vector<const CMessage*> doomed = RecordsAtRows(*pOutbox, rows);
  if (!rows.empty()) {
    {
      // The wait cursor while the phone works, when it is asked at all.
      const CWaitCursor wait(m_pSheet != nullptr && m_pSheet->IsDeleteFromPhone() &&
                             m_pSheet->GetPhone() != nullptr);
      // Stopped by the user during the phone's part: the rows stay.
      if (m_pSheet != nullptr && !m_pSheet->DeleteOnPhone(doomed))
        return;
    }
    EraseRows(*pOutbox, rows);
    m_pList->DeleteItems(rows);
    SetOutboxChanged();
  }
  ClearSelection();
}

void COutboxPage::OnResendNow() {
  const int nItem = m_pList->GetSelectedItem();
  if (nItem == -1 || m_pCompose == nullptr || m_pSheet == nullptr)
    return;
  m_pCompose->SetResendIndex(nItem);
  m_pSheet->SetActivePage(m_pCompose);
}

// ---------------------------------------------------------------------------------
// The window and the Compose page
// ---------------------------------------------------------------------------------

CMessageArray* COutboxPage::GetOutbox() const {
  if (m_pCompose == nullptr)
    return nullptr;
  m_pCompose->EnsureListsLoaded();
  return m_pCompose->m_pOutbox;
}

const CMessage* COutboxPage::GetMessageAt(int nIndex) const {
  const CMessageArray* pOutbox = GetOutbox();
  if (pOutbox == nullptr || nIndex < 0 || static_cast<size_t>(nIndex) >= pOutbox->size())
    return nullptr;
  return (*pOutbox)[static_cast<size_t>(nIndex)].get();
}

void COutboxPage::SetOutboxChanged() {
  if (m_pCompose != nullptr)
    m_pCompose->m_bOutboxChanged = true;
}

bool COutboxPage::IsOutboxChanged() const { return m_pCompose != nullptr && m_pCompose->m_bOutboxChanged; }
