// Puts the parts of concatenated messages back together. Parts belong together when
// they have the same type, address (originator of a DELIVER, destination of a
// SUBMIT), reference and number of parts, and their service-centre time stamps lie
// within an hour of the group's first part (references wrap every 256 messages, so
// one sender reuses them). A group holds each part number once: a part whose number
// is taken by a different part goes to another group (two complete sets are never
// merged, and a second different copy of a part stays visible as a group of its
// own); only a byte-for-byte repeat is listed as a duplicate. A group is complete
// when every part from 1 to the total is there, and its text is then the parts
// joined in order. Messages without a concatenation header each form a complete
// group of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tethra/PduMessage.h"

struct CPduConcatGroup {
  PduType m_type = PduType::DELIVER;
  std::string m_strAddress;  // as CPduAddress::GetText() gives it
  uint16_t m_nReference = 0;
  uint8_t m_nTotal = 1;
  bool m_bConcatenated = false;      // false: a single message
  std::vector<int> m_parts;          // by part number - 1: index of the message in the input, -1 when missing
  std::vector<size_t> m_duplicates;  // indexes of byte-for-byte repeats of a part already present
  std::string m_strText;             // the joined text; empty while incomplete

  bool IsComplete() const;
  // Part numbers (1-based) that are not there.
  std::vector<int> GetMissing() const;
};

class CPduConcatenation {
 public:
  // Groups in the order their first part appears in the input.
  static std::vector<CPduConcatGroup> Group(const std::vector<CPduMessage>& messages);
  static std::vector<CPduConcatGroup> Group(const std::vector<const CPduMessage*>& messages);
};
