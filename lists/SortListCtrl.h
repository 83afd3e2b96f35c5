// The list of the Inbox and Outbox pages: a report-style table view over a
// CSortListModel, with a CSortHeaderCtrl whose items are clicked to sort.
//
// The list never sorts by itself. A page binds its message array (BindMessages),
// sorts the array itself (SortMessages.h) and refills the rows with ResetItems, so
// that row i always shows element i of the array; the sorted order is also the order
// the page saves. The calls of a list control (InsertItem, SetItemText, DeleteItem,
// GetSelectedItem ...) stay as a thin layer over the model and the selection model;
// asking for the selection costs the number of selected ranges, not the row count.
//
// Notifications are Qt signals named after the list-view notifications they stand
// for: ColumnClick (a header item clicked), Click (a mouse click in the list, after
// the selection has followed it), KeyDown (a key pressed, before the list moves its
// selection), SetFocus and KillFocus. Left and Right scroll the columns, as in a
// report list, and leave the selection alone.
#pragma once

#include <QTableView>
#include <cstdint>
#include <string>
#include <vector>

#include "lists/SortHeaderCtrl.h"
#include "lists/SortListModel.h"
#include "lists/SortMessages.h"
#include "model/Lists.h"

// Extended list styles understood by SetExtendedStyle.
constexpr uint32_t LVS_EX_GRIDLINES = 0x00000001;
constexpr uint32_t LVS_EX_FULLROWSELECT = 0x00000020;

// Virtual-key codes of the keys a page looks at in KeyDown.
constexpr int VK_UP = 38;
constexpr int VK_DOWN = 40;

class CSortListCtrl : public QTableView {
  Q_OBJECT

 public:
  explicit CSortListCtrl(QWidget* pParent = nullptr);
  ~CSortListCtrl() override;

  CSortHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }
  CSortListModel* GetModel() const { return m_pModel; }

  // ---- Selection ------------------------------------------------------------------
  // The first selected row, or -1 when there are no rows or none is selected.
  int GetSelectedItem() const;
  int GetSelectedCount() const;
  // Every selected row, ascending.
  std::vector<int> GetSelectedItems() const;
  bool IsItemSelected(int nItem) const;
  void SetItemSelected(int nItem, bool bSelected);
  int GetItemCount() const { return m_pModel->GetRowCount(); }

  // Sets exactly these extended styles (LVS_EX_GRIDLINES, LVS_EX_FULLROWSELECT).
  void SetExtendedStyle(uint32_t dwStyle);
  uint32_t GetExtendedStyle() const { return m_dwExStyle; }

  // ---- Columns --------------------------------------------------------------------
  // Inserted at nCol, left-aligned, with the text as its header.
  int InsertColumn(int nCol, const std::string& strHeading, int nWidth);
  int GetColumnWidth(int nCol) const { return columnWidth(nCol); }
  void SetColumnWidth(int nCol, int nWidth) { setColumnWidth(nCol, nWidth); }
  int GetColumnCount() const { return m_pModel->GetColumnCount(); }
  // A width given in pixels of the classic dialog font (6 pixels a character and a
  // digit), in pixels of the font this list uses (by its average character or its
  // digits, whichever is wider).
  int ScaleWidth(int nClassicPixels) const;

  // ---- Rows of a bound message array ----------------------------------------------
  // The array the rows show and how each column gives its cell text.
  void BindMessages(const CMessageArray* pMessages);
  void SetColumnCellText(int nCol, CSortListModel::CellText pfnCellText);
  // The rows become elements 0..nCount-1 of the array, in one reset; nothing stays
  // selected.
  void ResetItems(int nCount);
  // Deletes the rows given (ascending, distinct) in one reset.
  void DeleteItems(const std::vector<int>& rows);

  // ---- Rows, one at a time ----------------------------------------------------------
  // Texts are in the locale's character set. InsertItem inserts a row at nItem with
  // the text of column 0 and returns its index (with a bound array the row shows
  // element nItem and the text is not kept).
  void DeleteAllItems();
  // A hint that about nCount rows will be inserted; adds no row.
  void SetItemCount(int nCount);
  int InsertItem(int nItem, const std::string& strText);
  void SetItemText(int nItem, int nSubItem, const std::string& strText);
  std::string GetItemText(int nItem, int nSubItem) const;
  bool DeleteItem(int nItem);

 signals:
  void ColumnClick(int nColumn);
  void Click();
  void KeyDown(int nVirtKey);
  void SetFocus();
  void KillFocus();

 protected:
  void keyPressEvent(QKeyEvent* pEvent) override;
  void mouseReleaseEvent(QMouseEvent* pEvent) override;
  void focusInEvent(QFocusEvent* pEvent) override;
  void focusOutEvent(QFocusEvent* pEvent) override;

 private:
  // The selected rows as ascending, disjoint [first, last] spans.
  std::vector<std::pair<int, int>> SelectedSpans() const;

  CSortListModel* m_pModel;
  CSortHeaderCtrl* m_pHeader;
  uint32_t m_dwExStyle = 0;
};
