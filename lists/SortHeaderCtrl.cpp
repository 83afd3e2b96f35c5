#include "lists/SortHeaderCtrl.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionHeader>
#include <algorithm>

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

void CSortHeaderCtrl::paintSection(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const {
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
  const QVariant vText =
      model() != nullptr ? model()->headerData(nLogicalIndex, orientation(), Qt::DisplayRole) : QVariant();
  const QString strText = vText.toString().left(255);
  const QVariant vAlign = model() != nullptr
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
      pPainter->drawLine(QPoint(nRight - 5 * u / 2 - 1, nBottom - u - 1), QPoint(nRight - 2 * u, u - 2));
    } else {
      pPainter->setPen(light);
      pPainter->drawLine(QPoint(nRight - 3 * u / 2, u - 1), QPoint(nRight - 2 * u - 1, nBottom - u + 1));
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
