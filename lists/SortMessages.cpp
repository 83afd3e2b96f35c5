#include "lists/SortMessages.h"

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

std::string GetSortText(const CMessage& message, int32_t nKey) {
  switch (nKey) {
    case SORT_SENDER_NAME:
      return message.m_strSenderName;
    case SORT_NUMBER:
      return message.m_strNumber;
    case SORT_STORAGE:
      return GetStorageText(message.m_nStorage);
    case SORT_RECIPIENT_NAME:
      return message.m_strName;
    case SORT_STATUS:
      return GetStatusText(message.m_nStatus);
    default:
      return std::string();
  }
}

namespace {

// The text a key compares, cut at its first NUL: compared as std::string it then
// orders as strcmp does (unsigned bytes, a prefix first).
std::string TextValue(const CMessage& message, int32_t nKey) {
  std::string strText = GetSortText(message, nKey);
  strText.resize(std::strlen(strText.c_str()));
  return strText;
}

// Dates: less by stored value alone; equal only with the same value and status.
struct CDateOrder {
  static bool Less(const CDateTime& a, const CDateTime& b) { return a < b; }
  static bool Equal(const CDateTime& a, const CDateTime& b) { return a == b; }
};

struct CTextOrder {
  static bool Less(const std::string& a, const std::string& b) { return a < b; }
  static bool Equal(const std::string& a, const std::string& b) { return a == b; }
};

// Quicksort of positions low..high of order around the value at the middle
// position. order[i] names the value (and the message) at position i; exchanging two
// positions exchanges their entries, so the values themselves never move. Equal
// elements are never exchanged, so a range already in order stays as it is.
template <class Order, class Value>
void QuickSort(const std::vector<Value>& values, std::vector<uint32_t>& order, bool bAscending, int32_t nLow,
               int32_t nHigh) {
  if (nHigh <= nLow)
    return;
  // x precedes y: x < y ascending, x > y descending.
  auto precedes = [bAscending](const Value& x, const Value& y) {
    return bAscending ? Order::Less(x, y) : Order::Less(y, x);
  };
  auto at = [&values, &order](int32_t i) -> const Value& { return values[order[static_cast<size_t>(i)]]; };
  const Value& pivot = at(nLow + (nHigh - nLow) / 2);  // taken once for this range

  int32_t lo = nLow;
  int32_t hi = nHigh;
  while (lo <= hi) {
    while (lo < nHigh && precedes(at(lo), pivot))
      ++lo;
    while (hi > nLow && precedes(pivot, at(hi)))
      --hi;
    if (lo <= hi) {
      if (!Order::Equal(at(lo), at(hi)))
        std::swap(order[static_cast<size_t>(lo)], order[static_cast<size_t>(hi)]);
      ++lo;
      --hi;
    }
  }
  if (nLow < hi)
    QuickSort<Order>(values, order, bAscending, nLow, hi);
  if (lo < nHigh)
    QuickSort<Order>(values, order, bAscending, lo, nHigh);
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
  using Value = decltype(valueOf(*list[0]));
  std::vector<Value> values;
  values.reserve(nCount);
  std::vector<uint32_t> order(nCount);
  for (size_t i = 0; i < nCount; ++i) {
    values.push_back(valueOf(*list[nBase + i]));
    order[i] = static_cast<uint32_t>(i);
  }
  // Positions are counted from 0; the middle of low..high is the same element.
  QuickSort<Order>(values, order, bAscending, 0, static_cast<int32_t>(nCount) - 1);
  std::vector<std::unique_ptr<CMessage>> sorted(nCount);
  for (size_t i = 0; i < nCount; ++i)
    sorted[i] = std::move(list[nBase + order[i]]);
  for (size_t i = 0; i < nCount; ++i)
    list[nBase + i] = std::move(sorted[i]);
  return true;
}

}  // namespace

bool SortMessagesByText(CMessageArray* pList, int32_t nKey, bool bAscending, int32_t nLow, int32_t nHigh) {
  return SortRange<CTextOrder>(
      pList, [nKey](const CMessage& m) { return TextValue(m, nKey); }, bAscending, nLow, nHigh);
}

bool SortMessagesByDate(CMessageArray* pList, bool bAscending, int32_t nLow, int32_t nHigh) {
  return SortRange<CDateOrder>(
      pList, [](const CMessage& m) { return m.m_dtDateTime; }, bAscending, nLow, nHigh);
}
