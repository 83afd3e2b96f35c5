// The sort of a page's message array by one column's key: the sort keys, the text a
// key compares, and the quicksort that reorders the array in place.
//
// The quicksort takes the middle element of a range as its pivot, never exchanges two
// elements with equal values (so an array already in order keeps its order) and is
// not stable otherwise. The values it compares are worked out once per sort, before
// the partitioning starts, so a sort of n messages looks up n sort texts, not one per
// comparison (a field's text is compared where it lies; only a storage or status word
// is made). No Qt here.
#pragma once

#include <cstdint>
#include <string>

#include "model/Lists.h"
#include "model/MessageText.h"

// Sort keys: a page maps each of its columns to one (ColumnToSortKey). Any other
// value acts as a key whose text is always empty.
constexpr int32_t SORT_SENDER_NAME = -1000;    // m_strSenderName
constexpr int32_t SORT_NUMBER = -999;          // m_strNumber
constexpr int32_t SORT_DATE = -998;            // m_dtDateTime (dates compared)
constexpr int32_t SORT_STORAGE = -997;         // storage word of m_nStorage
constexpr int32_t SORT_RECIPIENT_NAME = -996;  // m_strName
constexpr int32_t SORT_STATUS = -995;          // status word of m_nStatus

// Sorts elements nLow..nHigh of the array in place (nHigh -1: the last element) by
// the text of nKey (byte order up to the first NUL, bytes unsigned, case-sensitive),
// or by date (stored values, whatever their status), ascending or descending.
// Elements with equal values are never exchanged (dates are equal with the same
// value and status). False when the array is null or the range holds fewer than two
// elements or lies outside the array.
bool SortMessagesByText(CMessageArray* pList, int32_t nKey, bool bAscending, int32_t nLow, int32_t nHigh);
bool SortMessagesByDate(CMessageArray* pList, bool bAscending, int32_t nLow, int32_t nHigh);
// The text a key compares; empty for SORT_DATE and for any unknown key.
std::string GetSortText(const CMessage& message, int32_t nKey);
