#include "lists/SortListCtrl.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "shell/DialogTemplate.h"

namespace {

// The virtual-key code of a key, for the keys a page may look at.
int ToVirtualKey(int nQtKey) {
  switch (nQtKey) {
    case Qt::Key_Up:
      return VK_UP;
    case Qt::Key_Down:
      return VK_DOWN;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Tab:
      return 9;
    default:
      break;
  }
  // Letters and digits have the codes of their upper-case characters.
  if ((nQtKey >= Qt::Key_0 && nQtKey <= Qt::Key_9) || (nQtKey >= Qt::Key_A && nQtKey <= Qt::Key_Z))
    return nQtKey;
  return 0;
}

// Average character (and digit) width of the classic dialog font, in pixels: the
// widths the pages give in pixels were chosen for it.
constexpr double kClassicCharWidth = 6.0;

}  // namespace

CSortListCtrl::CSortListCtrl(QWidget* pParent)
    : QTableView(pParent), m_pModel(new CSortListModel(this)), m_pHeader(new CSortHeaderCtrl(this)) {
  setModel(m_pModel);
  setHorizontalHeader(m_pHeader);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  // Report view: whole rows are selected, several at a time with Ctrl and Shift; the
  // cells are never edited; the order is the page's, never the view's.
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setWordWrap(false);
  setTextElideMode(Qt::ElideRight);
  setCornerButtonEnabled(false);
  setTabKeyNavigation(false);
  setShowGrid(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  connect(m_pHeader, &QHeaderView::sectionClicked, this, [this](int n) { emit ColumnClick(n); });
}

CSortListCtrl::~CSortListCtrl() = default;

// ---------------------------------------------------------------------------------
// Selection
// ---------------------------------------------------------------------------------

std::vector<std::pair<int, int>> CSortListCtrl::SelectedSpans() const {
  std::vector<std::pair<int, int>> spans;
  if (selectionModel() == nullptr)
    return spans;
  const QItemSelection selection = selectionModel()->selection();
  spans.reserve(static_cast<size_t>(selection.size()));
  for (const QItemSelectionRange& range : selection)
    if (range.isValid())
      spans.emplace_back(range.top(), range.bottom());
  // Ranges of different columns may cover the same rows: merge them.
  std::sort(spans.begin(), spans.end());
  std::vector<std::pair<int, int>> merged;
  for (const auto& span : spans) {
    if (!merged.empty() && span.first <= merged.back().second + 1)
      merged.back().second = std::max(merged.back().second, span.second);
    else
      merged.push_back(span);
  }
  return merged;
}

int CSortListCtrl::GetSelectedItem() const {
  if (GetItemCount() == 0)
    return -1;
  const auto spans = SelectedSpans();
  return spans.empty() ? -1 : spans.front().first;
}

int CSortListCtrl::GetSelectedCount() const {
  int nSelected = 0;
  for (const auto& [nFirst, nLast] : SelectedSpans())
    nSelected += nLast - nFirst + 1;
  return nSelected;
}

std::vector<int> CSortListCtrl::GetSelectedItems() const {
  std::vector<int> rows;
  for (const auto& [nFirst, nLast] : SelectedSpans())
    for (int i = nFirst; i <= nLast; ++i)
      rows.push_back(i);
  return rows;
}

bool CSortListCtrl::IsItemSelected(int nItem) const {
  if (nItem < 0 || nItem >= GetItemCount() || selectionModel() == nullptr)
    return false;
  // A row counts as selected when any of its cells is, as GetSelectedItems counts.
  return selectionModel()->rowIntersectsSelection(nItem, QModelIndex());
}

void CSortListCtrl::SetItemSelected(int nItem, bool bSelected) {
  if (nItem < 0 || nItem >= GetItemCount() || GetColumnCount() == 0)
    return;
  selectionModel()->select(
      m_pModel->index(nItem, 0),
      (bSelected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

void CSortListCtrl::SetExtendedStyle(uint32_t dwStyle) {
  m_dwExStyle = dwStyle;
  // Grid lines are drawn or not; a row is always selected as a whole here, with or
  // without LVS_EX_FULLROWSELECT (the bit is kept for GetExtendedStyle).
  setShowGrid((dwStyle & LVS_EX_GRIDLINES) != 0);
  viewport()->update();
}

// ---------------------------------------------------------------------------------
// Columns
// ---------------------------------------------------------------------------------

int CSortListCtrl::InsertColumn(int nCol, const std::string& strHeading, int nWidth) {
  nCol = m_pModel->InsertColumn(nCol, QString::fromLocal8Bit(strHeading));
  setColumnWidth(nCol, nWidth);
  return nCol;
}

int CSortListCtrl::ScaleWidth(int nClassicPixels) const {
  // By the font's average character, as dialog units scale, or by its digits when
  // they are wider: the classic columns were sized for numbers.
  const CDialogUnits units(font());
  const QString strDigits = QStringLiteral("+0123456789");
  const double dDigit = fontMetrics().horizontalAdvance(strDigits) / double(strDigits.size());
  const double dChar = std::max<double>(units.GetBaseX(), dDigit);
  return static_cast<int>(std::lround(nClassicPixels * dChar / kClassicCharWidth));
}

// ---------------------------------------------------------------------------------
// Rows
// ---------------------------------------------------------------------------------

void CSortListCtrl::BindMessages(const CMessageArray* pMessages) {
  m_pModel->SetMessages(pMessages);
  m_pModel->ResetRows(0);
}

void CSortListCtrl::SetColumnCellText(int nCol, CSortListModel::CellText pfnCellText) {
  m_pModel->SetCellText(nCol, pfnCellText);
}

void CSortListCtrl::ResetItems(int nCount) { m_pModel->ResetRows(nCount); }

void CSortListCtrl::DeleteItems(const std::vector<int>& rows) { m_pModel->RemoveRows(rows); }

void CSortListCtrl::DeleteAllItems() { m_pModel->ResetRows(0); }

void CSortListCtrl::SetItemCount(int) {}

int CSortListCtrl::InsertItem(int nItem, const std::string& strText) {
  return m_pModel->InsertRow(nItem, QString::fromLocal8Bit(strText));
}

void CSortListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText) {
  m_pModel->SetText(nItem, nSubItem, QString::fromLocal8Bit(strText));
}

std::string CSortListCtrl::GetItemText(int nItem, int nSubItem) const {
  return m_pModel->GetText(nItem, nSubItem).toLocal8Bit().toStdString();
}

bool CSortListCtrl::DeleteItem(int nItem) { return m_pModel->RemoveRow(nItem); }

// ---------------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------------

void CSortListCtrl::keyPressEvent(QKeyEvent* pEvent) {
  // The page hears of the key before the selection moves.
  emit KeyDown(ToVirtualKey(pEvent->key()));
  // In a report list Left and Right scroll the columns; they never move the
  // selection.
  if (pEvent->key() == Qt::Key_Left || pEvent->key() == Qt::Key_Right) {
    QScrollBar* pBar = horizontalScrollBar();
    const int nStep = pBar->singleStep() * (pEvent->key() == Qt::Key_Left ? -1 : 1);
    pBar->setValue(pBar->value() + nStep);
    pEvent->accept();
    return;
  }
  QTableView::keyPressEvent(pEvent);
}

void CSortListCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
  QTableView::mouseReleaseEvent(pEvent);
  if (pEvent->button() == Qt::LeftButton)
    emit Click();
}

void CSortListCtrl::focusInEvent(QFocusEvent* pEvent) {
  QTableView::focusInEvent(pEvent);
  emit SetFocus();
}

void CSortListCtrl::focusOutEvent(QFocusEvent* pEvent) {
  QTableView::focusOutEvent(pEvent);
  emit KillFocus();
}
