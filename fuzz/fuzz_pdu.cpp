// Fuzzes the PDU decoder with the input both as hexadecimal text (as the phone
// sends it) and as raw octets, then checks that what decodes can be written back:
// writing a decoded message and reading it again gives the same message, and a
// decoded SMS-SUBMIT sent again as text carries the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition)
    std::abort();
}

void Rewrite(const CPduMessage& m) {
  auto first = CPduEncoder::Encode(m);
  Check(first.IsOk());
  auto again = CPduDecoder::Decode(first->m_strPdu);
  Check(again.IsOk());
  Check(again->m_type == m.m_type);
  Check(again->m_nFirstOctet == m.m_nFirstOctet);
  Check(again->m_address.GetText() == m.m_address.GetText());
  Check(again->m_strText == m.m_strText);
  Check(again->m_payload == m.m_payload);
  auto second = CPduEncoder::Encode(again.Value());
  Check(second.IsOk());
  Check(second->m_strPdu == first->m_strPdu);
}

void Resend(const CPduMessage& m) {
  if (m.m_type != PduType::SUBMIT || m.m_address.IsAlphanumeric() || m.m_serviceCenter.IsAlphanumeric())
    return;
  const CPduValidity::Format format = m.GetValidityFormat();
  if (format != CPduValidity::NONE && format != CPduValidity::RELATIVE)
    return;
  CPduSubmitRequest r;
  r.m_strServiceCenter = m.m_serviceCenter.GetText();
  r.m_strDestination = m.m_address.GetText();
  r.m_strText = m.m_strText;
  r.m_nFirstOctet = m.m_nFirstOctet;
  r.m_nValidity = m.m_validity.GetRelative();
  r.m_nMessageReference = m.m_nMessageReference;
  auto parts = CPduEncoder::EncodeSubmit(r);
  Check(parts.IsOk());
  std::vector<CPduMessage> decoded;
  for (const auto& p : parts.Value()) {
    auto d = CPduDecoder::Decode(p.m_strPdu);
    Check(d.IsOk());
    decoded.push_back(std::move(d).Value());
  }
  const auto groups = CPduConcatenation::Group(decoded);
  Check(groups.size() == 1 && groups[0].IsComplete());
  Check(groups[0].m_strText == m.m_strText);
}

void Exercise(const CPduResult<CPduMessage>& r) {
  if (!r.IsOk()) {
    Check(!r.GetError().empty());
    return;
  }
  Rewrite(r.Value());
  Resend(r.Value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096)
    return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Exercise(CPduDecoder::Decode(text));
  const std::vector<uint8_t> octets(data, data + size);
  Exercise(CPduDecoder::Decode(octets));
  return 0;
}
