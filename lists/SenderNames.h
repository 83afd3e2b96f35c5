// Names the senders of received messages from the address book. A book entry names
// a sender when their numbers have the same digits, every other character (blanks,
// '+', dashes) left out on both sides; when both have at least 9 digits, only the
// last 9 are compared, so "+44 7700 900555" in the book names a message from
// +447700900555 and one from 07700900555. The first entry in book order wins. A
// sender number without digits is never named.
//
// The book is read once into a hash table, so naming n senders costs O(n + book).
// No Qt here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "model/Lists.h"

class CSenderNames {
 public:
  // pBook may be null (no names).
  explicit CSenderNames(const CAddressArray* pBook);

  // The name for a sender number, or empty when no entry matches. The text lives as
  // long as this object.
  std::string_view Lookup(std::string_view strNumber) const;

 private:
  // What is compared of a number, its digits or their last 9 when there are at least
  // 9, as one value: their count times 10^9 plus the number they make, so that
  // "0123" and "123" differ. 0 for a number without digits.
  static uint64_t MatchKey(std::string_view strNumber);

  std::unordered_map<uint64_t, std::string> m_names;  // match key -> first name
};
