#include "lists/SortListCtrl.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Registry.h"
#include "res/StringTable.h"

// ---------------------------------------------------------------------------------
// Header
// ---------------------------------------------------------------------------------

CSortHeaderCtrl::CSortHeaderCtrl(QWidget* pParent) : QHeaderView(Qt::Horizontal, pParent) {
  setSectionsClickable(true);
  setSectionsMovable(false);
  setHighlightSections(false);
  setSortIndicatorShown(false);
  setStretchLastSection(false);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setSectionResizeMode(QHeaderView::Interactive);
  // The pressed item is drawn shifted, as a pushed button.
  connect(this, &QHeaderView::sectionPressed, this, [this](int n) {
    m_nPressed = n;
    viewport()->update();
  });
}

int32_t CSortHeaderCtrl::SetSortImage(int32_t nColumn, bool bAscending) {
  const int32_t nPrevious = m_nSortCol;
  m_nSortCol = nColumn;
  m_bSortAscending = bAscending;
  if (!m_ownerDrawn.contains(nColumn))
    m_ownerDrawn.append(nColumn);
  viewport()->update();
  return nPrevious;
}

QSize CSortHeaderCtrl::sizeHint() const {
  // High enough for the arrow, which lies u - 1 below the top and u above the
  // bottom (u: two blanks' width).
  QSize size = QHeaderView::sizeHint();
  const int u = 2 * fontMetrics().horizontalAdvance(QLatin1Char(' '));
  size.setHeight(std::max(size.height(), 3 * u));
  return size;
}

bool CSortHeaderCtrl::IsOwnerDrawn(int nColumn) const { return m_ownerDrawn.contains(nColumn); }

void CSortHeaderCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
  QHeaderView::mouseReleaseEvent(pEvent);
  if (m_nPressed != -1) {
    m_nPressed = -1;
    viewport()->update();
  }
}

void CSortHeaderCtrl::paintSection(QPainter* pPainter, const QRect& rect,
                                   int nLogicalIndex) const {
  if (!rect.isValid())
    return;
  if (IsOwnerDrawn(nLogicalIndex))
    DrawItem(pPainter, rect, nLogicalIndex);
  else
    QHeaderView::paintSection(pPainter, rect, nLogicalIndex);
}

void CSortHeaderCtrl::DrawItem(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const {
  // R is the item rectangle with exclusive right and bottom edges; u is twice the
  // width of a blank in the header's font.
  const QFontMetrics fm(font());
  const int u = 2 * fm.horizontalAdvance(QLatin1Char(' '));
  const int nLeft = rect.left();
  const int nTop = rect.top();
  const int nRight = rect.left() + rect.width();
  const int nBottom = rect.top() + rect.height();
  const bool bSorted = nLogicalIndex == m_nSortCol;
  const bool bPressed = nLogicalIndex == m_nPressed;

  pPainter->save();
  pPainter->setClipRect(rect);

  // The item's face: the style's header section, so that it matches the items the
  // header draws itself.
  QStyleOptionHeader opt;
  initStyleOption(&opt);
  opt.rect = rect;
  opt.section = nLogicalIndex;
  opt.state |= QStyle::State_Enabled | QStyle::State_Raised;
  if (bPressed)
    opt.state |= QStyle::State_Sunken;
  opt.text.clear();
  opt.sortIndicator = QStyleOptionHeader::None;
  pPainter->fillRect(rect, palette().button());
  style()->drawControl(QStyle::CE_HeaderSection, &opt, pPainter, this);

  // The label.
  const QVariant vText = model() != nullptr
                             ? model()->headerData(nLogicalIndex, orientation(), Qt::DisplayRole)
                             : QVariant();
  const QString strText = vText.toString().left(255);
  const QVariant vAlign =
      model() != nullptr
          ? model()->headerData(nLogicalIndex, orientation(), Qt::TextAlignmentRole)
          : QVariant();
  Qt::Alignment align = Qt::AlignLeft;
  if (vAlign.isValid()) {
    const Qt::Alignment a = Qt::Alignment(vAlign.toInt());
    if (a & Qt::AlignHCenter)
      align = Qt::AlignHCenter;
    else if (a & Qt::AlignRight)
      align = Qt::AlignRight;
  }
  int lLeft = nLeft;
  int lTop = nTop;
  int lRight = nRight;
  if (bPressed) {
    lLeft += 1;
    lTop += 2;
    lRight += 1;
  }
  if (bSorted)
    lRight -= 3 * u;
  lLeft += u;
  lRight -= u;
  if (lLeft < lRight) {
    const QRect label(lLeft, lTop, lRight - lLeft, nBottom - lTop);
    pPainter->setPen(palette().color(QPalette::ButtonText));
    pPainter->setFont(font());
    pPainter->drawText(label, align | Qt::AlignVCenter | Qt::TextSingleLine,
                       fm.elidedText(strText, Qt::ElideRight, label.width()));
  }

  // The arrow: two one-pixel pens in header coordinates, a lit edge and a shaded
  // one. On the light faces of today's styles a white edge would vanish, so the lit
  // edge takes the style's dark grey and the shaded edge its shadow.
  if (bSorted) {
    const QPen light(palette().color(QPalette::Dark), 1);
    const QPen dark(palette().color(QPalette::Shadow), 1);
    const QPen previous = pPainter->pen();
    pPainter->setRenderHint(QPainter::Antialiasing, false);
    if (m_bSortAscending) {
      pPainter->setPen(light);
      const QPoint top(nRight - 2 * u, u - 1);
      const QPoint right(nRight - 3 * u / 2, nBottom - u);
      pPainter->drawLine(top, right);
      pPainter->drawLine(right, QPoint(nRight - 5 * u / 2 - 2, nBottom - u));
      pPainter->setPen(dark);
      pPainter->drawLine(QPoint(nRight - 5 * u / 2 - 1, nBottom - u - 1),
                         QPoint(nRight - 2 * u, u - 2));
    } else {
      pPainter->setPen(light);
      pPainter->drawLine(QPoint(nRight - 3 * u / 2, u - 1),
                         QPoint(nRight - 2 * u - 1, nBottom - u + 1));
      pPainter->setPen(dark);
      const QPoint bottom(nRight - 2 * u - 1, nBottom - u);
      const QPoint left(nRight - 5 * u / 2 - 1, u - 1);
      pPainter->drawLine(bottom, left);
      pPainter->drawLine(left, QPoint(nRight - 3 * u / 2, u - 1));
    }
    pPainter->setPen(previous);
  }
  pPainter->restore();
}

// ---------------------------------------------------------------------------------
// List
// ---------------------------------------------------------------------------------

namespace {

// The virtual-key code of a key, for the keys a page may look at.
int ToVirtualKey(int nQtKey) {
  switch (nQtKey) {
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Left: return 37;
    case Qt::Key_Right: return 39;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Space: return 32;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab: return 9;
    default: break;
  }
  // Letters and digits have the codes of their upper-case characters.
  if ((nQtKey >= Qt::Key_0 && nQtKey <= Qt::Key_9) || (nQtKey >= Qt::Key_A && nQtKey <= Qt::Key_Z))
    return nQtKey;
  return 0;
}

}  // namespace

CSortListCtrl::CSortListCtrl(QWidget* pParent)
    : QTableWidget(pParent), m_pHeader(new CSortHeaderCtrl(this)) {
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

int CSortListCtrl::GetSelectedItem() const {
  const int nCount = rowCount();
  if (nCount == 0)
    return -1;
  for (int i = 0; i < nCount; ++i)
    if (IsItemSelected(i))
      return i;
  return -1;
}

int CSortListCtrl::GetSelectedCount() const {
  int nSelected = 0;
  for (int i = 0; i < rowCount(); ++i)
    if (IsItemSelected(i))
      ++nSelected;
  return nSelected;
}

bool CSortListCtrl::IsItemSelected(int nItem) const {
  if (nItem < 0 || nItem >= rowCount() || selectionModel() == nullptr)
    return false;
  return selectionModel()->isRowSelected(nItem, QModelIndex());
}

void CSortListCtrl::SetItemSelected(int nItem, bool bSelected) {
  if (nItem < 0 || nItem >= rowCount() || columnCount() == 0)
    return;
  selectionModel()->select(
      model()->index(nItem, 0),
      (bSelected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
          QItemSelectionModel::Rows);
}

void CSortListCtrl::SetExtendedStyle(uint32_t dwStyle) {
  m_dwExStyle = dwStyle;
  // Grid lines are drawn or not; a row is always selected as a whole here, with or
  // without LVS_EX_FULLROWSELECT (the bit is kept for GetExtendedStyle).
  setShowGrid((dwStyle & LVS_EX_GRIDLINES) != 0);
  viewport()->update();
}

int CSortListCtrl::InsertColumn(int nCol, const std::string& strHeading, int nWidth) {
  if (nCol < 0 || nCol > columnCount())
    nCol = columnCount();
  insertColumn(nCol);
  auto* pHeading = new QTableWidgetItem(QString::fromLocal8Bit(strHeading));
  pHeading->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setHorizontalHeaderItem(nCol, pHeading);
  setColumnWidth(nCol, nWidth);
  return nCol;
}

void CSortListCtrl::DeleteAllItems() { setRowCount(0); }

void CSortListCtrl::SetItemCount(int) {}

int CSortListCtrl::InsertItem(int nItem, const std::string& strText) {
  if (nItem < 0 || nItem > rowCount())
    nItem = rowCount();
  insertRow(nItem);
  for (int nCol = 0; nCol < columnCount(); ++nCol) {
    auto* pCell = new QTableWidgetItem(nCol == 0 ? QString::fromLocal8Bit(strText) : QString());
    pCell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    pCell->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setItem(nItem, nCol, pCell);
  }
  return nItem;
}

void CSortListCtrl::SetItemText(int nItem, int nSubItem, const std::string& strText) {
  QTableWidgetItem* pCell = item(nItem, nSubItem);
  if (pCell != nullptr)
    pCell->setText(QString::fromLocal8Bit(strText));
}

std::string CSortListCtrl::GetItemText(int nItem, int nSubItem) const {
  const QTableWidgetItem* pCell = item(nItem, nSubItem);
  return pCell != nullptr ? pCell->text().toLocal8Bit().toStdString() : std::string();
}

bool CSortListCtrl::DeleteItem(int nItem) {
  if (nItem < 0 || nItem >= rowCount())
    return false;
  removeRow(nItem);
  return true;
}

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
  QTableWidget::keyPressEvent(pEvent);
}

void CSortListCtrl::mouseReleaseEvent(QMouseEvent* pEvent) {
  QTableWidget::mouseReleaseEvent(pEvent);
  if (pEvent->button() == Qt::LeftButton)
    emit Click();
}

void CSortListCtrl::focusInEvent(QFocusEvent* pEvent) {
  QTableWidget::focusInEvent(pEvent);
  emit SetFocus();
}

void CSortListCtrl::focusOutEvent(QFocusEvent* pEvent) {
  QTableWidget::focusOutEvent(pEvent);
  emit KillFocus();
}

// ---------------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------------

std::string GetSortText(const CMessage& message, int32_t nKey) {
  switch (nKey) {
    case SORT_SENDER_NAME: return message.m_strSenderName;
    case SORT_NUMBER: return message.m_strNumber;
    case SORT_STORAGE: return GetStorageText(message.m_nStorage);
    case SORT_RECIPIENT_NAME: return message.m_strName;
    case SORT_STATUS: return GetStatusText(message.m_nStatus);
    default: return std::string();
  }
}

namespace {

// What the text sort compares: byte order up to the first NUL, bytes unsigned.
struct CTextOrder {
  int32_t nKey;
  std::string Value(const CMessage& m) const { return GetSortText(m, nKey); }
  static bool Less(const std::string& a, const std::string& b) {
    return std::strcmp(a.c_str(), b.c_str()) < 0;
  }
  static bool Equal(const std::string& a, const std::string& b) {
    return std::strcmp(a.c_str(), b.c_str()) == 0;
  }
};

// What the date sort compares: the stored day numbers, whatever their status; two
// values are equal only with the same number and the same status.
struct CDateOrder {
  CDateTime Value(const CMessage& m) const { return m.m_dtDateTime; }
  static bool Less(const CDateTime& a, const CDateTime& b) { return a < b; }
  static bool Equal(const CDateTime& a, const CDateTime& b) { return a == b; }
};

// Quicksort of list[low..high] in place around the value of the middle element.
// Equal elements are never exchanged, so a range already in order stays as it is.
template <class Order>
bool QuickSort(CMessageArray* pList, const Order& order, bool bAscending, int32_t nLow,
               int32_t nHigh) {
  if (pList == nullptr)
    return false;
  if (nHigh == -1)
    nHigh = static_cast<int32_t>(pList->size()) - 1;
  if (nHigh <= nLow)
    return false;
  if (nLow < 0 || static_cast<size_t>(nHigh) >= pList->size())
    return false;

  CMessageArray& list = *pList;
  auto at = [&list, &order](int32_t i) { return order.Value(*list[static_cast<size_t>(i)]); };
  // x precedes y: x < y ascending, x > y descending.
  auto precedes = [bAscending](const auto& x, const auto& y) {
    return bAscending ? Order::Less(x, y) : Order::Less(y, x);
  };
  const auto pivot = at((nLow + nHigh) / 2);  // taken once for this range

  int32_t lo = nLow;
  int32_t hi = nHigh;
  while (lo <= hi) {
    while (lo < nHigh && precedes(at(lo), pivot))
      ++lo;
    while (hi > nLow && precedes(pivot, at(hi)))
      --hi;
    if (lo <= hi) {
      if (!Order::Equal(at(lo), at(hi)))
        std::swap(list[static_cast<size_t>(lo)], list[static_cast<size_t>(hi)]);
      ++lo;
      --hi;
    }
  }
  if (nLow < hi)
    QuickSort(pList, order, bAscending, nLow, hi);
  if (lo < nHigh)
    QuickSort(pList, order, bAscending, lo, nHigh);
  return true;
}

}  // namespace

bool SortMessagesByText(CMessageArray* pList, int32_t nKey, bool bAscending, int32_t nLow,
                        int32_t nHigh) {
  return QuickSort(pList, CTextOrder{nKey}, bAscending, nLow, nHigh);
}

bool SortMessagesByDate(CMessageArray* pList, bool bAscending, int32_t nLow, int32_t nHigh) {
  return QuickSort(pList, CDateOrder{}, bAscending, nLow, nHigh);
}

// ---------------------------------------------------------------------------------
// List settings of a page
// ---------------------------------------------------------------------------------

void InsertSortListColumns(CSortListCtrl& list, const SortListLayout& layout) {
  for (int i = 0; i < layout.nColumns; ++i)
    list.InsertColumn(i, LoadString(layout.pColumns[i].nIdHeading),
                      layout.pColumns[i].nDefaultWidth);
}

int32_t SortListColumnToKey(const SortListLayout& layout, int32_t nColumn) {
  if (nColumn >= 0 && nColumn < layout.nColumns)
    return layout.pColumns[nColumn].nSortKey;
  return nColumn;
}

void SetDefaultSortListSettings(CSortListCtrl& list, const SortListLayout& layout,
                                int32_t& nSortColumn, bool& bSortAscending) {
  for (int i = 0; i < layout.nColumns; ++i)
    list.SetColumnWidth(i, layout.pColumns[i].nDefaultWidth);
  nSortColumn = 0;
  bSortAscending = false;
}

void LoadSortListSettings(CSortListCtrl& list, const SortListLayout& layout,
                          int32_t& nSortColumn, bool& bSortAscending) {
  CRegKey key;
  if (!key.Open(layout.strKey)) {
    SetDefaultSortListSettings(list, layout, nSortColumn, bSortAscending);
    return;
  }
  for (int i = 0; i < layout.nColumns; ++i) {
    uint32_t nWidth = 0;
    if (!key.QueryNumber(LoadString(layout.pColumns[i].nIdHeading), nWidth))
      nWidth = static_cast<uint32_t>(layout.pColumns[i].nDefaultWidth);
    list.SetColumnWidth(i, static_cast<int>(nWidth & 0xFFFFu));
  }
  uint32_t nValue = 0;
  nSortColumn = key.QueryNumber(LoadString(layout.nIdSortColumn), nValue)
                    ? static_cast<int32_t>(nValue)
                    : 0;
  bSortAscending = key.QueryNumber(LoadString(layout.nIdSortOrder), nValue) && nValue != 0;
}

void SaveSortListSettings(const CSortListCtrl& list, const SortListLayout& layout,
                          int32_t nSortColumn, bool bSortAscending) {
  CRegKey key;
  if (!key.Create(layout.strKey))
    return;
  for (int i = 0; i < layout.nColumns; ++i)
    key.SetNumber(LoadString(layout.pColumns[i].nIdHeading),
                  static_cast<uint32_t>(list.GetColumnWidth(i)));
  key.SetNumber(LoadString(layout.nIdSortColumn), static_cast<uint32_t>(nSortColumn));
  key.SetNumber(LoadString(layout.nIdSortOrder), bSortAscending ? 1u : 0u);
}

void SortMessageList(CSortListCtrl& list, const SortListLayout& layout, CMessageArray* pList,
                     int32_t nSortColumn, bool bSortAscending) {
  list.GetHeaderCtrl()->SetSortImage(nSortColumn, bSortAscending);
  const int32_t nKey = SortListColumnToKey(layout, nSortColumn);
  if (nKey == SORT_DATE)
    SortMessagesByDate(pList, bSortAscending, 0, -1);
  else
    SortMessagesByText(pList, nKey, bSortAscending, 0, -1);
}
