// The list of the Inbox and Outbox pages: a report-style list whose column headers
// can be clicked to sort the messages, with an arrow in the header of the sorted
// column (up for ascending, down for descending).
//
// The list never sorts by itself. A page sorts its own message array (the free
// functions below) and then rebuilds the rows, so that row i always shows element i
// of the array; the sorted order is also the order the page saves.
//
// Notifications are Qt signals named after the list-view notifications they stand
// for: ColumnClick (a header item clicked), Click (a mouse click in the list, after
// the selection has followed it), KeyDown (a key pressed, before the list moves its
// selection), SetFocus and KillFocus. Left and Right scroll the columns, as in a
// report list, and leave the selection alone.
//
// A page keeps its column widths and sort state in its own settings key; the
// helpers at the end do that from the page's column table.
#pragma once

#include <QHeaderView>
#include <QTableWidget>
#include <cstdint>
#include <string>

#include "model/Lists.h"
#include "model/MessageText.h"

// Sort keys: a page maps each of its columns to one (ColumnToSortKey). Any other
// value acts as a key whose text is always empty.
constexpr int32_t SORT_SENDER_NAME = -1000;     // m_strSenderName
constexpr int32_t SORT_NUMBER = -999;           // m_strNumber
constexpr int32_t SORT_DATE = -998;             // m_dtDateTime (dates compared)
constexpr int32_t SORT_STORAGE = -997;          // storage word of m_nStorage
constexpr int32_t SORT_RECIPIENT_NAME = -996;   // m_strName
constexpr int32_t SORT_STATUS = -995;           // status word of m_nStatus

// Extended list styles understood by SetExtendedStyle.
constexpr uint32_t LVS_EX_GRIDLINES = 0x00000001;
constexpr uint32_t LVS_EX_FULLROWSELECT = 0x00000020;

// Virtual-key codes of the keys a page looks at in KeyDown.
constexpr int VK_UP = 38;
constexpr int VK_DOWN = 40;

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

  int32_t m_nSortCol = -1;        // the sorted column; -1: none (no arrow)
  bool m_bSortAscending = true;   // arrow up

 protected:
  void paintSection(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const override;
  void mouseReleaseEvent(QMouseEvent* pEvent) override;
  // Draws one owner-drawn header item in rect: background, text, and the arrow when
  // it is the sorted column.
  void DrawItem(QPainter* pPainter, const QRect& rect, int nLogicalIndex) const;

 private:
  QList<int> m_ownerDrawn;   // columns marked by SetSortImage
  int m_nPressed = -1;       // the item held down by the mouse, drawn pushed
};

class CSortListCtrl : public QTableWidget {
  Q_OBJECT

 public:
  explicit CSortListCtrl(QWidget* pParent = nullptr);
  ~CSortListCtrl() override;

  CSortHeaderCtrl* GetHeaderCtrl() const { return m_pHeader; }

  // The first selected row, or -1 when there are no rows or none is selected.
  int GetSelectedItem() const;
  int GetSelectedCount() const;
  bool IsItemSelected(int nItem) const;
  void SetItemSelected(int nItem, bool bSelected);
  int GetItemCount() const { return rowCount(); }

  // Sets exactly these extended styles (LVS_EX_GRIDLINES, LVS_EX_FULLROWSELECT).
  void SetExtendedStyle(uint32_t dwStyle);
  uint32_t GetExtendedStyle() const { return m_dwExStyle; }

  // Columns: appended at nCol, left-aligned, with the text as its header.
  int InsertColumn(int nCol, const std::string& strHeading, int nWidth);
  int GetColumnWidth(int nCol) const { return columnWidth(nCol); }
  void SetColumnWidth(int nCol, int nWidth) { setColumnWidth(nCol, nWidth); }
  int GetColumnCount() const { return columnCount(); }

  // Rows. Texts are in the locale's character set. InsertItem inserts a row at nItem
  // with the text of column 0 and returns its index.
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
  CSortHeaderCtrl* m_pHeader;
  uint32_t m_dwExStyle = 0;
};

// Sorts elements nLow..nHigh of the array in place (nHigh -1: the last element) by
// the text of nKey (byte order, case-sensitive), or by date, ascending or
// descending. Elements with equal values are never exchanged, so an array already
// in order keeps its order. False when the array is null or the range holds fewer
// than two elements.
bool SortMessagesByText(CMessageArray* pList, int32_t nKey, bool bAscending, int32_t nLow,
                        int32_t nHigh);
bool SortMessagesByDate(CMessageArray* pList, bool bAscending, int32_t nLow, int32_t nHigh);
// The text a key compares; empty for SORT_DATE and for any unknown key.
std::string GetSortText(const CMessage& message, int32_t nKey);

// ---------------------------------------------------------------------------------
// Helpers for the pages' list settings and sorting
// ---------------------------------------------------------------------------------

// One column of a page: its heading (string-table number; the heading is also the
// value name of its width), its default width and its sort key.
struct SortListColumn {
  unsigned int nIdHeading;
  int nDefaultWidth;
  int32_t nSortKey;
};

// A page's column table and settings key (below HKEY_CURRENT_USER).
struct SortListLayout {
  const SortListColumn* pColumns;
  int nColumns;
  std::string strKey;               // "SOFTWARE\Kelvane\Mireth\Inbox"
  unsigned int nIdSortColumn;       // value name "Sort Column"
  unsigned int nIdSortOrder;        // value name "Sort Order"
};

// Inserts the columns of the table, left-aligned, at their default widths.
void InsertSortListColumns(CSortListCtrl& list, const SortListLayout& layout);
// The sort key of a column; any other column number is returned unchanged.
int32_t SortListColumnToKey(const SortListLayout& layout, int32_t nColumn);
// Every column to its default width; column 0, descending.
void SetDefaultSortListSettings(CSortListCtrl& list, const SortListLayout& layout,
                                int32_t& nSortColumn, bool& bSortAscending);
// Reads the widths (low 16 bits; a missing value gives the default), the sort column
// (missing: 0) and the order (nonzero: ascending; missing: descending). A key that
// cannot be opened gives the defaults.
void LoadSortListSettings(CSortListCtrl& list, const SortListLayout& layout,
                          int32_t& nSortColumn, bool& bSortAscending);
// Writes the current widths, the sort column and the order (1 or 0), creating the
// key; does nothing when the key cannot be created.
void SaveSortListSettings(const CSortListCtrl& list, const SortListLayout& layout,
                          int32_t nSortColumn, bool bSortAscending);
// Marks the sorted column in the header and sorts the array by that column's key.
// The rows are not rebuilt: the caller fills the list afterwards.
void SortMessageList(CSortListCtrl& list, const SortListLayout& layout, CMessageArray* pList,
                     int32_t nSortColumn, bool bSortAscending);
