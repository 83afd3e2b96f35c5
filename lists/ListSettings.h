// A page's list described once: its columns (heading, default width, sort key, cell
// text) and its settings key, and the operations every page runs from that table:
// inserting the columns, mapping a column to its sort key, sorting the page's array
// by the sorted column, and loading and saving the column widths, sort column and
// sort order in the page's settings key.
//
// Default widths are given in pixels of the classic dialog font and scaled to the
// list's own font, so a default column shows what it was sized for (a full
// international number in the Number column). Widths read from the settings are
// pixels already and are used as they are.
#pragma once

#include <cstdint>
#include <string>

#include "lists/SortListCtrl.h"
#include "model/Lists.h"

// One column of a page: its heading (string-table number; the heading is also the
// value name of its width), its default width, its sort key and its cell text.
struct SortListColumn {
  unsigned int nIdHeading;
  int nDefaultWidth;
  int32_t nSortKey;
  CSortListModel::CellText pfnCellText = nullptr;
};

// A page's column table and settings key (below HKEY_CURRENT_USER).
struct SortListLayout {
  const SortListColumn* pColumns;
  int nColumns;
  std::string strKey;          // "SOFTWARE\Kelvane\Mireth\Inbox"
  unsigned int nIdSortColumn;  // value name "Sort Column"
  unsigned int nIdSortOrder;   // value name "Sort Order"
};

// Inserts the columns of the table, left-aligned, at their default widths, with
// their cell texts.
void InsertSortListColumns(CSortListCtrl& list, const SortListLayout& layout);
// The sort key of a column; any other column number is returned unchanged.
int32_t SortListColumnToKey(const SortListLayout& layout, int32_t nColumn);
// Every column to its default width; column 0, descending.
void SetDefaultSortListSettings(CSortListCtrl& list, const SortListLayout& layout, int32_t& nSortColumn,
                                bool& bSortAscending);
// Reads the widths (low 16 bits; a missing value gives the default), the sort column
// (missing: 0) and the order (nonzero: ascending; missing: descending). A key that
// cannot be opened gives the defaults.
void LoadSortListSettings(CSortListCtrl& list, const SortListLayout& layout, int32_t& nSortColumn,
                          bool& bSortAscending);
// Writes the current widths, the sort column and the order (1 or 0), creating the
// key; does nothing when the key cannot be created.
void SaveSortListSettings(const CSortListCtrl& list, const SortListLayout& layout, int32_t nSortColumn,
                          bool bSortAscending);
// Marks the sorted column in the header and sorts the array by that column's key.
// The rows are not rebuilt: the caller fills the list afterwards.
void SortMessageList(CSortListCtrl& list, const SortListLayout& layout, CMessageArray* pList,
                     int32_t nSortColumn, bool bSortAscending);
