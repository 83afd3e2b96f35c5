#include "compose/MessageSize.h"

#include <vector>

#include "res/StringTable.h"
#include "tethra/PduEncoder.h"

CMessageSize MeasureMessage(const std::string& strText) {
  CMessageSize size;
  if (strText.empty())
    return size;
  const auto segments = CPduEncoder::Segment(strText, std::vector<uint8_t>(), PduEncoding::AUTO, false);
  if (!segments)
    return size;
  size.nParts = static_cast<int>(segments->m_parts.size());
  size.bUcs2 = segments->m_alphabet == CPduDataCoding::UCS2;
  return size;
}

std::string DescribeMessageSize(const CMessageSize& size) {
  if (size.nParts <= 1)
    return size.bUcs2 ? LoadString(IDS_PARTS_UCS2) : std::string();
  std::string strLine =
      LoadString(IDS_PARTS_PREFIX) + std::to_string(size.nParts) + LoadString(IDS_PARTS_SUFFIX);
  if (size.bUcs2)
    strLine += LoadString(IDS_PARTS_IN_UCS2);
  return strLine;
}
