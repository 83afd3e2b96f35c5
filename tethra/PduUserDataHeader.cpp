#include "tethra/PduUserDataHeader.h"

#include <string>

CPduResult<CPduUserDataHeader> CPduUserDataHeader::Decode(const uint8_t* p, size_t nLength) {
  CPduUserDataHeader header;
  size_t i = 0;
  while (i < nLength) {
    if (i + 2 > nLength)
      return CPduResult<CPduUserDataHeader>::Failure("information element at header offset " +
                                                     std::to_string(i) + " has no length octet");
    const uint8_t nIei = p[i];
    const size_t nIeLength = p[i + 1];
    if (i + 2 + nIeLength > nLength)
      return CPduResult<CPduUserDataHeader>::Failure("information element " + std::to_string(nIei) +
                                                     " runs past the end of the user-data header");
    header.m_elements.push_back(
        CPduInformationElement{nIei, std::vector<uint8_t>(p + i + 2, p + i + 2 + nIeLength)});
    i += 2 + nIeLength;
  }
  return header;
}

void CPduUserDataHeader::Encode(std::vector<uint8_t>& out) const {
  out.push_back(static_cast<uint8_t>(GetEncodedLength() - 1));
  for (const auto& e : m_elements) {
    out.push_back(e.m_nIei);
    out.push_back(static_cast<uint8_t>(e.m_data.size()));
    out.insert(out.end(), e.m_data.begin(), e.m_data.end());
  }
}

size_t CPduUserDataHeader::GetEncodedLength() const {
  size_t n = 1;
  for (const auto& e : m_elements)
    n += 2 + e.m_data.size();
  return n;
}

void CPduUserDataHeader::AddElement(uint8_t nIei, std::vector<uint8_t> data) {
  m_elements.push_back(CPduInformationElement{nIei, std::move(data)});
}

bool CPduUserDataHeader::GetConcatenation(CPduConcatInfo& info) const {
  bool bFound = false;
  for (const auto& e : m_elements) {
    CPduConcatInfo c;
    if (e.m_nIei == IEI_CONCAT_8BIT && e.m_data.size() == 3) {
      c.m_nReference = e.m_data[0];
      c.m_nTotal = e.m_data[1];
      c.m_nSequence = e.m_data[2];
    } else if (e.m_nIei == IEI_CONCAT_16BIT && e.m_data.size() == 4) {
      c.m_nReference = static_cast<uint16_t>(e.m_data[0] << 8 | e.m_data[1]);
      c.m_nTotal = e.m_data[2];
      c.m_nSequence = e.m_data[3];
      c.m_b16Bit = true;
    } else {
      continue;
    }
    if (c.m_nTotal == 0 || c.m_nSequence == 0 || c.m_nSequence > c.m_nTotal)
      continue;
    info = c;
    bFound = true;
  }
  return bFound;
}

void CPduUserDataHeader::SetConcatenation(const CPduConcatInfo& info) {
  if (info.m_b16Bit)
    AddElement(IEI_CONCAT_16BIT,
               {static_cast<uint8_t>(info.m_nReference >> 8), static_cast<uint8_t>(info.m_nReference & 0xFF),
                info.m_nTotal, info.m_nSequence});
  else
    AddElement(IEI_CONCAT_8BIT,
               {static_cast<uint8_t>(info.m_nReference & 0xFF), info.m_nTotal, info.m_nSequence});
}
