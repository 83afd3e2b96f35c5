// The header of the message lists: a horizontal header whose items are clicked to
// sort, with an arrow drawn in the sorted column, pointing up for ascending and down
// for descending order. A column once marked as sorted is drawn by this class from
// then on (without arrow while another column is sorted); the others keep the
// style's look. The arrow's geometry is measured in u, twice the width of a blank in
// the header's font, from the item's right and bottom edges.
#pragma once

#include <QHeaderView>
#include <QList>
#include <cstdint>

// The header of the list: draws an arrow in the sorted column.
class CSortHeaderCtrl : public QHeaderView {
  Q_OBJECT

 public:
  explicit CSortHeaderCtrl(QWidget* pParent = nullptr);

  // Marks nColumn as the sorted column, ascending or descending, and repaints the
  // header; returns the previously sorted column (-1 when none). A column once
  // marked stays drawn by this class, without arrow when another column is sorted.
  int32_t SetSortImage(int32_t nColumn, bool bAscending);
  int32_t GetSortColumn() const { return m_nSortCol; }
  bool IsSortAscending() const { return m_bSortAscending; }
  // True once the column has been marked (it is drawn by this class since).
  bool IsOwnerDrawn(int nColumn) const;
  QSize sizeHint() const override;

  int32_t m_nSortCol = -1;       // the sorted column; -1: none (no arrow)
  bool m_bSortAscending = true;  // arrow up

 protected:
  void paintSection(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const override;
  void mouseReleaseEvent(QMouseEvent* pEvent) override;
  // Draws one owner-drawn header item in rect: background, text, and the arrow when
  // it is the sorted column.
  void DrawItem(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const;

 private:
  QList<int> m_ownerDrawn;  // columns marked by SetSortImage
  int m_nPressed = -1;      // the item held down by the mouse, drawn pushed
};
