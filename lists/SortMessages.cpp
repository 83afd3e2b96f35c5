#include "lists/SortMessages.h"

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The record field a key compares; null for a key whose text is worked out from a
// number (storage, status) and for a key without text.
CRecordText CMessage::*SortField(int32_t nKey) {
  switch (nKey) {
    case SORT_SENDER_NAME:
      return &CMessage::m_strSenderName;
    case SORT_NUMBER:
      return &CMessage::m_strNumber;
    case SORT_RECIPIENT_NAME:
      return &CMessage::m_strName;
    default:
      return nullptr;
  }
}

}  // namespace

std::string GetSortText(const CMessage& message, int32_t nKey) {
  if (const auto field = SortField(nKey))
    return message.*field;
  switch (nKey) {
    case SORT_STORAGE:
      return GetStorageText(message.m_nStorage);
    case SORT_STATUS:
      return GetStatusText(message.m_nStatus);
    default:
      return std::string();
  }
}

namespace {

// Dates: less by stored value alone; equal only with the same value and status.
struct CDateOrder {
  static bool Less(const CDateTime& a, const CDateTime& b) { return a < b; }
  static bool Equal(const CDateTime& a, const CDateTime& b) { return a == b; }
};

struct CTextOrder {
  static bool Less(std::string_view a, std::string_view b) { return a < b; }
  static bool Equal(std::string_view a, std::string_view b) { return a == b; }
};

// An element to sort: its value and its position in the range before the sort. The
// value travels with the position, so a comparison reads no other table.
template <class Value>
struct CSortEntry {
  Value value;
  uint32_t nFrom;
};

// Quicksort of entries low..high around the value at the middle position. Equal
// elements are never exchanged, so a range already in order stays as it is.
template <class Order, class Value>
void QuickSort(std::vector<CSortEntry<Value>>& entries, bool bAscending, int32_t nLow, int32_t nHigh) {
  if (nHigh <= nLow)
    return;
  // x precedes y: x < y ascending, x > y descending.
  auto precedes = [bAscending](const Value& x, const Value& y) {
    return bAscending ? Order::Less(x, y) : Order::Less(y, x);
  };
  auto at = [&entries](int32_t i) -> CSortEntry<Value>& { return entries[static_cast<size_t>(i)]; };
  const Value pivot = at(nLow + (nHigh - nLow) / 2).value;  // taken once for this range

  int32_t lo = nLow;
  int32_t hi = nHigh;
  while (lo <= hi) {
    while (lo < nHigh && precedes(at(lo).value, pivot))
      ++lo;
    while (hi > nLow && precedes(pivot, at(hi).value))
      --hi;
    if (lo <= hi) {
      if (!Order::Equal(at(lo).value, at(hi).value))
        std::swap(at(lo), at(hi));
      ++lo;
      --hi;
    }
  }
  if (nLow < hi)
    QuickSort<Order>(entries, bAscending, nLow, hi);
  if (lo < nHigh)
    QuickSort<Order>(entries, bAscending, lo, nHigh);
}

// Checks the range, works out each element's value once, sorts the positions and
// then moves the messages to their places.
template <class Order, class ValueOf>
bool SortRange(CMessageArray* pList, const ValueOf& valueOf, bool bAscending, int32_t nLow, int32_t nHigh) {
  if (pList == nullptr)
    return false;
  if (nHigh == -1)
    nHigh = static_cast<int32_t>(pList->size()) - 1;
  if (nHigh <= nLow)
    return false;
  if (nLow < 0 || static_cast<size_t>(nHigh) >= pList->size())
    return false;
  CMessageArray& list = *pList;
  const size_t nBase = static_cast<size_t>(nLow);
  const size_t nCount = static_cast<size_t>(nHigh - nLow) + 1;
  std::vector<CSortEntry<decltype(valueOf(*list[0]))>> entries;
  entries.reserve(nCount);
  for (size_t i = 0; i < nCount; ++i)
    entries.push_back({valueOf(*list[nBase + i]), static_cast<uint32_t>(i)});
  // Positions are counted from 0; the middle of low..high is the same element.
  QuickSort<Order>(entries, bAscending, 0, static_cast<int32_t>(nCount) - 1);
  std::vector<std::unique_ptr<CMessage>> sorted(nCount);
  for (size_t i = 0; i < nCount; ++i)
    sorted[i] = std::move(list[nBase + entries[i].nFrom]);
  for (size_t i = 0; i < nCount; ++i)
    list[nBase + i] = std::move(sorted[i]);
  return true;
}

}  // namespace

bool SortMessagesByText(CMessageArray* pList, int32_t nKey, bool bAscending, int32_t nLow, int32_t nHigh) {
  // A field's text is compared where it is. A text worked out (a storage or status
  // word) is kept here, in room reserved for every element so that none moves.
  const auto field = SortField(nKey);
  std::vector<std::string> worked;
  if (field == nullptr && pList != nullptr)
    worked.reserve(pList->size());
  // Cut at the first NUL: compared as std::string_view the texts then order as
  // strcmp does (unsigned bytes, a prefix first).
  auto valueOf = [&](const CMessage& m) {
    const char* psz =
        field != nullptr ? (m.*field).c_str() : worked.emplace_back(GetSortText(m, nKey)).c_str();
    return std::string_view(psz, std::strlen(psz));
  };
  return SortRange<CTextOrder>(pList, valueOf, bAscending, nLow, nHigh);
}

bool SortMessagesByDate(CMessageArray* pList, bool bAscending, int32_t nLow, int32_t nHigh) {
  return SortRange<CDateOrder>(
      pList, [](const CMessage& m) { return m.m_dtDateTime; }, bAscending, nLow, nHigh);
}
