// The user-data header (3GPP TS 23.040, 9.2.3.24): information elements in front of
// the text. Every element is kept as read; the concatenation elements (IEI 00, 8-bit
// reference, and IEI 08, 16-bit reference) are also understood.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tethra/PduResult.h"

struct CPduInformationElement {
  uint8_t m_nIei = 0;
  std::vector<uint8_t> m_data;
};

// One part of a concatenated message, as its header says.
struct CPduConcatInfo {
  uint16_t m_nReference = 0;
  uint8_t m_nTotal = 0;     // number of parts, 1-255
  uint8_t m_nSequence = 0;  // this part, 1..total
  bool m_b16Bit = false;    // reference from IEI 08
};

class CPduUserDataHeader {
 public:
  static constexpr uint8_t IEI_CONCAT_8BIT = 0x00;
  static constexpr uint8_t IEI_CONCAT_16BIT = 0x08;

  // Reads the elements of a header whose length octet said nLength (p points just
  // after the length octet). An element running past the header is an error.
  static CPduResult<CPduUserDataHeader> Decode(const uint8_t* p, size_t nLength);
  // Appends the header length octet and the elements.
  void Encode(std::vector<uint8_t>& out) const;
  // Octets Encode() writes, the length octet included.
  size_t GetEncodedLength() const;

  bool IsEmpty() const { return m_elements.empty(); }
  const std::vector<CPduInformationElement>& GetElements() const { return m_elements; }
  void AddElement(uint8_t nIei, std::vector<uint8_t> data);

  // The concatenation details of the last well-formed concatenation element; false
  // when there is none (an element with sequence 0, a sequence above the total, or
  // a total of 0 is ignored, as the standard asks).
  bool GetConcatenation(CPduConcatInfo& info) const;
  // Adds a concatenation element (IEI 08 when b16Bit, else IEI 00).
  void SetConcatenation(const CPduConcatInfo& info);

 private:
  std::vector<CPduInformationElement> m_elements;
};
