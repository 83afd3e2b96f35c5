#include "tethra/PduEncoder.h"

#include <algorithm>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/Gsm7NationalTables.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduHex.h"

namespace {

// Octets of a concatenation header, its length octet included.
size_t ConcatHeaderOctets(bool b16Bit) { return b16Bit ? 7 : 6; }

// Octets the national table elements take (three each), with the header's length
// octet when they are the whole header.
size_t NationalHeaderOctets(const CGsm7Tables& tables) {
  const size_t n = (tables.nLocking ? 3 : 0) + (tables.nSingle ? 3 : 0);
  return n;
}

void AddNationalElements(const CGsm7Tables& tables, CPduUserDataHeader& header) {
  if (tables.nLocking)
    header.AddElement(CGsm7NationalTables::IEI_LOCKING_SHIFT, {static_cast<uint8_t>(tables.nLocking)});
  if (tables.nSingle)
    header.AddElement(CGsm7NationalTables::IEI_SINGLE_SHIFT, {static_cast<uint8_t>(tables.nSingle)});
}

// Greedy split of units (one group per character) into parts of at most nLimit.
template <class Groups>
std::vector<std::vector<uint8_t>> Split(const Groups& groups, size_t nLimit) {
  std::vector<std::vector<uint8_t>> parts(1);
  for (const auto& g : groups) {
    if (parts.back().size() + g.size() > nLimit)
      parts.emplace_back();
    parts.back().insert(parts.back().end(), g.begin(), g.end());
  }
  return parts;
}

CPduResult<CPduSegments> Fail(const std::string& s) { return CPduResult<CPduSegments>::Failure(s); }

using EncodedList = std::vector<CPduEncoded>;

// Shared by SUBMIT and DELIVER: one message per segment with a concatenation header
// when there is more than one.
template <class Fill>
CPduResult<EncodedList> EncodeParts(const CPduSegments& segments, int nClass, uint16_t nReference,
                                    bool b16Bit, CPduMessage base, Fill fill) {
  EncodedList out;
  base.m_coding = CPduDataCoding::Decode(CPduDataCoding::Make(segments.m_alphabet, nClass));
  const size_t nParts = segments.m_parts.size();
  for (size_t i = 0; i < nParts; ++i) {
    CPduMessage msg = base;
    msg.m_payload = segments.m_parts[i];
    msg.m_bHasHeader = nParts > 1 || !segments.m_tables.IsDefault();
    AddNationalElements(segments.m_tables, msg.m_header);
    if (nParts > 1) {
      CPduConcatInfo info;
      info.m_nReference = b16Bit ? nReference : static_cast<uint16_t>(nReference & 0xFF);
      info.m_nTotal = static_cast<uint8_t>(nParts);
      info.m_nSequence = static_cast<uint8_t>(i + 1);
      info.m_b16Bit = b16Bit;
      msg.m_header.SetConcatenation(info);
    }
    fill(msg, i);
    auto encoded = CPduEncoder::Encode(msg);
    if (!encoded)
      return CPduResult<EncodedList>::Failure(encoded.GetError());
    out.push_back(std::move(encoded).Value());
  }
  return out;
}

}  // namespace

CPduResult<CPduSegments> CPduEncoder::Segment(std::string_view strText, const std::vector<uint8_t>& data,
                                              PduEncoding encoding, bool b16BitReference) {
  CPduSegments seg;
  const size_t nHeader = ConcatHeaderOctets(b16BitReference);

  if (encoding == PduEncoding::DATA8) {
    seg.m_alphabet = CPduDataCoding::DATA8;
    if (data.size() <= CPduDecoder::MAX_OCTETS) {
      seg.m_parts.push_back(data);
    } else {
      const size_t nLimit = CPduDecoder::MAX_OCTETS - nHeader;
      for (size_t i = 0; i < data.size(); i += nLimit)
        seg.m_parts.emplace_back(data.begin() + i, data.begin() + std::min(data.size(), i + nLimit));
    }
  } else {
    const std::u32string text = CCharsetUtf::DecodeUtf8(strText);
    bool bGsm7 = encoding == PduEncoding::GSM7;
    if (encoding == PduEncoding::AUTO)
      bGsm7 = CGsm7Alphabet::ChooseTables(text, seg.m_tables);
    std::vector<std::vector<uint8_t>> groups;  // the units of each character
    groups.reserve(text.size());
    size_t nTotal = 0;
    for (char32_t c : text) {
      std::vector<uint8_t> g;
      if (bGsm7)
        CGsm7Alphabet::Encode(std::u32string(1, c), g, seg.m_tables);
      else
        g = CCharsetUtf::ToUtf16Be(std::u32string(1, c));
      nTotal += g.size();
      groups.push_back(std::move(g));
    }
    if (bGsm7) {
      seg.m_alphabet = CPduDataCoding::GSM7;
      // The header of a single part holds the national elements only; of a long
      // text's parts, the concatenation element too.
      const size_t nNational = NationalHeaderOctets(seg.m_tables);
      const size_t nSingleHeader = nNational ? nNational + 1 : 0;
      const size_t nSingleLimit = CPduDecoder::MAX_SEPTETS - (nSingleHeader * 8 + 6) / 7;
      const size_t nHeaderSeptets = ((nHeader + nNational) * 8 + 6) / 7;
      seg.m_parts = nTotal <= nSingleLimit ? Split(groups, nSingleLimit)
                                           : Split(groups, CPduDecoder::MAX_SEPTETS - nHeaderSeptets);
    } else {
      seg.m_alphabet = CPduDataCoding::UCS2;
      // Whole UTF-16 units only: 134 octets, or 132 when the header takes 7.
      const size_t nLimit = (CPduDecoder::MAX_OCTETS - nHeader) / 2 * 2;
      seg.m_parts =
          nTotal <= CPduDecoder::MAX_OCTETS ? Split(groups, CPduDecoder::MAX_OCTETS) : Split(groups, nLimit);
    }
  }
  if (seg.m_parts.empty())
    seg.m_parts.emplace_back();
  if (seg.m_parts.size() > MAX_PARTS)
    return Fail("text needs " + std::to_string(seg.m_parts.size()) + " messages, more than 255");
  return seg;
}

CPduResult<CPduEncoded> CPduEncoder::Encode(const CPduMessage& m) {
  using Result = CPduResult<CPduEncoded>;
  std::vector<uint8_t> out;
  m.m_serviceCenter.EncodeServiceCenter(out);
  const size_t nScOctets = out.size();

  // Build the user data first: its header decides the first octet's indicator.
  std::vector<uint8_t> ud;
  size_t nUdl = 0;
  if (m.m_bHasUserData) {
    if (m.m_coding.IsCompressed())
      return Result::Failure("compressed user data cannot be written");
    const size_t nHeaderOctets = m.m_bHasHeader ? m.m_header.GetEncodedLength() : 0;
    if (m.m_bHasHeader)
      m.m_header.Encode(ud);
    if (m.m_coding.GetAlphabet() == CPduDataCoding::GSM7) {
      const size_t nHeaderSeptets = (nHeaderOctets * 8 + 6) / 7;
      nUdl = nHeaderSeptets + m.m_payload.size();
      if (nUdl > CPduDecoder::MAX_SEPTETS)
        return Result::Failure("user data of " + std::to_string(nUdl) + " septets is more than 160");
      CGsm7Alphabet::Pack(m.m_payload, nHeaderSeptets * 7, ud);
      ud.resize((nUdl * 7 + 7) / 8, 0);
    } else {
      nUdl = nHeaderOctets + m.m_payload.size();
      if (nUdl > CPduDecoder::MAX_OCTETS)
        return Result::Failure("user data of " + std::to_string(nUdl) + " octets is more than 140");
      ud.insert(ud.end(), m.m_payload.begin(), m.m_payload.end());
    }
  }

  // With user data the header indicator says whether it has a header; a status
  // report without user data, or an empty message (user-data length 0), keeps the
  // bit as it came.
  uint8_t nFirst = static_cast<uint8_t>(m.m_nFirstOctet & ~CPduMessage::FO_MTI_MASK);
  if (m.m_bHasUserData && (m.m_bHasHeader || !m.m_payload.empty())) {
    nFirst = static_cast<uint8_t>(nFirst & ~CPduMessage::FO_UDHI);
    if (m.m_bHasHeader)
      nFirst |= CPduMessage::FO_UDHI;
  }
  switch (m.m_type) {
    case PduType::DELIVER:
      out.push_back(nFirst | CPduMessage::FO_MTI_DELIVER);
      m.m_address.EncodeField(out);
      out.push_back(m.m_nPid);
      out.push_back(m.m_coding.GetValue());
      m.m_timeStamp.Encode(out);
      break;
    case PduType::SUBMIT: {
      const CPduValidity::Format format =
          static_cast<CPduValidity::Format>((nFirst & CPduMessage::FO_VPF_MASK) >> 3);
      if (format != m.m_validity.GetFormat())
        return Result::Failure("the validity period does not match the format of the first octet");
      out.push_back(nFirst | CPduMessage::FO_MTI_SUBMIT);
      out.push_back(m.m_nMessageReference);
      m.m_address.EncodeField(out);
      out.push_back(m.m_nPid);
      out.push_back(m.m_coding.GetValue());
      m.m_validity.Encode(out);
      break;
    }
    case PduType::STATUS_REPORT: {
      out.push_back(nFirst | CPduMessage::FO_MTI_STATUS_REPORT);
      out.push_back(m.m_nMessageReference);
      m.m_address.EncodeField(out);
      m.m_timeStamp.Encode(out);
      m.m_dischargeTime.Encode(out);
      out.push_back(m.m_nStatus);
      if (m.m_nParameterIndicator >= 0 || m.m_bHasUserData) {
        uint8_t nPi =
            static_cast<uint8_t>(m.m_nParameterIndicator >= 0 ? m.m_nParameterIndicator & 0x7B : 0x03);
        if (m.m_bHasUserData)
          nPi |= 0x04;
        else
          nPi &= static_cast<uint8_t>(~0x04);
        out.push_back(nPi);
        if (nPi & 0x01)
          out.push_back(m.m_nPid);
        if (nPi & 0x02)
          out.push_back(m.m_coding.GetValue());
      }
      break;
    }
  }
  if (m.m_bHasUserData) {
    out.push_back(static_cast<uint8_t>(nUdl));
    out.insert(out.end(), ud.begin(), ud.end());
  }
  CPduEncoded e;
  e.m_strPdu = CPduHex::Encode(out);
  e.m_nTpduLength = out.size() - nScOctets;
  return e;
}

CPduResult<std::vector<CPduEncoded>> CPduEncoder::EncodeSubmit(const CPduSubmitRequest& r) {
  using Result = CPduResult<EncodedList>;
  CPduMessage base;
  base.m_type = PduType::SUBMIT;
  auto sc = CPduAddress::FromNumber(r.m_strServiceCenter);
  if (!sc)
    return Result::Failure("service centre: " + sc.GetError());
  base.m_serviceCenter = std::move(sc).Value();
  auto da = CPduAddress::FromNumber(r.m_strDestination);
  if (!da)
    return Result::Failure("destination: " + da.GetError());
  base.m_address = std::move(da).Value();
  base.m_nFirstOctet = r.m_nFirstOctet & (CPduMessage::FO_MMS_RD | CPduMessage::FO_VPF_MASK |
                                          CPduMessage::FO_SRI_SRR | CPduMessage::FO_RP);
  switch (base.GetValidityFormat()) {
    case CPduValidity::NONE:
      break;
    case CPduValidity::RELATIVE:
      base.m_validity = CPduValidity::Relative(r.m_nValidity);
      break;
    default:
      return Result::Failure("only a relative validity period can be written");
  }
  base.m_nPid = r.m_nPid;
  if (r.m_nMessageClass < -1 || r.m_nMessageClass > 3)
    return Result::Failure("message class " + std::to_string(r.m_nMessageClass) + " is not 0 to 3");
  auto segments = Segment(r.m_strText, r.m_data, r.m_encoding, r.m_b16BitReference);
  if (!segments)
    return Result::Failure(segments.GetError());
  return EncodeParts(segments.Value(), r.m_nMessageClass, r.m_nConcatReference, r.m_b16BitReference,
                     std::move(base), [&](CPduMessage& msg, size_t i) {
                       msg.m_nMessageReference = static_cast<uint8_t>(r.m_nMessageReference + i);
                     });
}

CPduResult<std::vector<CPduEncoded>> CPduEncoder::EncodeDeliver(const CPduDeliverRequest& r) {
  using Result = CPduResult<EncodedList>;
  CPduMessage base;
  base.m_type = PduType::DELIVER;
  auto sc = CPduAddress::FromNumber(r.m_strServiceCenter);
  if (!sc)
    return Result::Failure("service centre: " + sc.GetError());
  base.m_serviceCenter = std::move(sc).Value();
  auto oa = r.m_bAlphanumericOriginator ? CPduAddress::FromAlphanumeric(r.m_strOriginator)
                                        : CPduAddress::FromNumber(r.m_strOriginator);
  if (!oa)
    return Result::Failure("originator: " + oa.GetError());
  base.m_address = std::move(oa).Value();
  base.m_nFirstOctet = r.m_nFirstOctet & (CPduMessage::FO_MMS_RD | CPduMessage::FO_LP |
                                          CPduMessage::FO_SRI_SRR | CPduMessage::FO_RP);
  base.m_timeStamp =
      r.m_timeStamp.IsPresent() ? r.m_timeStamp : CPduTimeStamp::Decode(std::vector<uint8_t>(7).data());
  base.m_nPid = r.m_nPid;
  if (r.m_nMessageClass < -1 || r.m_nMessageClass > 3)
    return Result::Failure("message class " + std::to_string(r.m_nMessageClass) + " is not 0 to 3");
  auto segments = Segment(r.m_strText, r.m_data, r.m_encoding, r.m_b16BitReference);
  if (!segments)
    return Result::Failure(segments.GetError());
  return EncodeParts(segments.Value(), r.m_nMessageClass, r.m_nConcatReference, r.m_b16BitReference,
                     std::move(base), [](CPduMessage&, size_t) {});
}
