#include "lists/ListSettings.h"

#include "platform/Registry.h"
#include "res/StringTable.h"

void InsertSortListColumns(CSortListCtrl& list, const SortListLayout& layout) {
  for (int i = 0; i < layout.nColumns; ++i) {
    const SortListColumn& column = layout.pColumns[i];
    list.InsertColumn(i, LoadString(column.nIdHeading), list.ScaleWidth(column.nDefaultWidth));
    list.SetColumnCellText(i, column.pfnCellText);
  }
}

int32_t SortListColumnToKey(const SortListLayout& layout, int32_t nColumn) {
  if (nColumn >= 0 && nColumn < layout.nColumns)
    return layout.pColumns[nColumn].nSortKey;
  return nColumn;
}

void SetDefaultSortListSettings(CSortListCtrl& list, const SortListLayout& layout, int32_t& nSortColumn,
                                bool& bSortAscending) {
  for (int i = 0; i < layout.nColumns; ++i)
    list.SetColumnWidth(i, list.ScaleWidth(layout.pColumns[i].nDefaultWidth));
  nSortColumn = 0;
  bSortAscending = false;
}

void LoadSortListSettings(CSortListCtrl& list, const SortListLayout& layout, int32_t& nSortColumn,
                          bool& bSortAscending) {
  CRegKey key;
  if (!key.Open(layout.strKey)) {
    SetDefaultSortListSettings(list, layout, nSortColumn, bSortAscending);
    return;
  }
  for (int i = 0; i < layout.nColumns; ++i) {
    uint32_t nWidth = 0;
    if (key.QueryNumber(LoadString(layout.pColumns[i].nIdHeading), nWidth))
      list.SetColumnWidth(i, static_cast<int>(nWidth & 0xFFFFu));
    else
      list.SetColumnWidth(i, list.ScaleWidth(layout.pColumns[i].nDefaultWidth));
  }
  uint32_t nValue = 0;
  nSortColumn = key.QueryNumber(LoadString(layout.nIdSortColumn), nValue) ? static_cast<int32_t>(nValue) : 0;
  bSortAscending = key.QueryNumber(LoadString(layout.nIdSortOrder), nValue) && nValue != 0;
}

void SaveSortListSettings(const CSortListCtrl& list, const SortListLayout& layout, int32_t nSortColumn,
                          bool bSortAscending) {
  CRegKey key;
  if (!key.Create(layout.strKey))
    return;
  for (int i = 0; i < layout.nColumns; ++i)
    key.SetNumber(LoadString(layout.pColumns[i].nIdHeading), static_cast<uint32_t>(list.GetColumnWidth(i)));
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
