// Fuzzes the PDU decoder with the input both as hexadecimal text (as the phone
// sends it) and as raw octets, then checks that what decodes can be written back:
// writing a decoded message and reading it again gives the same message, and a
// decoded SMS-SUBMIT sent again as text carries the same text.
//
// Its mutator keeps the PDU's shape: it reads the input as a service-centre address,
// first octet, addresses, PID, DCS, time stamps or validity period, status, and user
// data with a header of information elements, changes one or more of those fields
// and writes the PDU again with the user-data length (septets or octets, after the
// header and its fill bits) agreeing with the data, now and then telling a small lie
// about it. The result goes out as octets or as hexadecimal text.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/ShapeMutator.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDataCoding.h"
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

namespace {

// A PDU taken apart. Fields a message type lacks stay empty; the user data is kept as
// septet values (GSM 7-bit) or octets, after the header.
struct CPduShape {
  std::vector<uint8_t> serviceCenter{0x00};  // the whole field, its length octet first
  uint8_t nFirst = 0x04;
  uint8_t nReference = 0;
  std::vector<uint8_t> address{0x0B, 0x91, 0x44, 0x77, 0x00, 0x90, 0x55, 0xF5};
  uint8_t nPid = 0;
  uint8_t nDcs = 0;
  std::vector<uint8_t> timeStamp{0x62, 0x60, 0x21, 0x90, 0x92, 0x00, 0x00};
  std::vector<uint8_t> validity;  // SMS-SUBMIT: as its first octet's VPF says
  std::vector<uint8_t> discharge{0x62, 0x60, 0x21, 0x90, 0x92, 0x00, 0x00};
  uint8_t nStatus = 0;
  std::vector<uint8_t> indicator{0x07};        // status report: the parameter indicator(s)
  std::vector<std::vector<uint8_t>> elements;  // IEs: identifier, length, data
  std::vector<uint8_t> body;
  int nLengthLie = 0;  // added to the user-data length written
  bool bHex = false;
};

constexpr uint8_t kMtiMask = 0x03, kMtiDeliver = 0x00, kMtiSubmit = 0x01, kMtiReport = 0x02;
constexpr uint8_t kUdhi = 0x40;

int MessageType(const CPduShape& p) { return p.nFirst & kMtiMask; }

bool HasUserData(const CPduShape& p) {
  return MessageType(p) != kMtiReport ||
         (!p.indicator.empty() && p.indicator[0] != 0xFF && (p.indicator[0] & 0x04));
}

bool IsSeptets(uint8_t nDcs) { return CPduDataCoding::Decode(nDcs).GetAlphabet() == CPduDataCoding::GSM7; }

size_t ValidityLength(uint8_t nFirst) {
  switch ((nFirst >> 3) & 0x03) {
    case 0:
      return 0;
    case 2:
      return 1;
    default:
      return 7;
  }
}

// Septets packed from bit nBitOffset on (the header's fill bits come before).
std::vector<uint8_t> PackSeptets(const std::vector<uint8_t>& septets, size_t nBitOffset) {
  std::vector<uint8_t> out((nBitOffset + septets.size() * 7 + 7) / 8, 0);
  for (size_t i = 0; i < septets.size(); ++i)
    for (size_t b = 0; b < 7; ++b)
      if (septets[i] & (1u << b)) {
        const size_t nBit = nBitOffset + i * 7 + b;
        out[nBit / 8] |= static_cast<uint8_t>(1u << (nBit % 8));
      }
  return out;
}

std::vector<uint8_t> UnpackSeptets(const uint8_t* pData, size_t nOctets, size_t nBitOffset, size_t nSeptets) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < nSeptets && nBitOffset + i * 7 + 7 <= nOctets * 8; ++i) {
    uint8_t v = 0;
    for (size_t b = 0; b < 7; ++b) {
      const size_t nBit = nBitOffset + i * 7 + b;
      if (pData[nBit / 8] & (1u << (nBit % 8)))
        v |= static_cast<uint8_t>(1u << b);
    }
    out.push_back(v);
  }
  return out;
}

class COctetReader {
 public:
  COctetReader(const std::vector<uint8_t>& octets) : m_octets(octets) {}
  bool Take(uint8_t& n) {
    if (m_nAt >= m_octets.size())
      return false;
    n = m_octets[m_nAt++];
    return true;
  }
  bool Take(size_t nCount, std::vector<uint8_t>& out) {
    if (m_octets.size() - m_nAt < nCount)
      return false;
    out.assign(m_octets.begin() + m_nAt, m_octets.begin() + m_nAt + nCount);
    m_nAt += nCount;
    return true;
  }
  // An address field: digits count (or semi-octets), type, then the digits.
  bool TakeAddress(std::vector<uint8_t>& out) {
    if (m_nAt >= m_octets.size())
      return false;
    return Take(2 + (m_octets[m_nAt] + 1) / 2, out);
  }
  size_t Left() const { return m_octets.size() - m_nAt; }
  const uint8_t* Here() const { return m_octets.data() + m_nAt; }

 private:
  const std::vector<uint8_t>& m_octets;
  size_t m_nAt = 0;
};

// The octets of the input: hexadecimal text when it is all hex digits, else itself.
std::vector<uint8_t> InputOctets(const uint8_t* pData, size_t nSize, bool& bHex) {
  auto hex = [](uint8_t c) {
    return std::isxdigit(c) ? (std::isdigit(c) ? c - '0' : (c | 0x20) - 'a' + 10) : -1;
  };
  bHex = nSize >= 2 && nSize % 2 == 0 &&
         std::all_of(pData, pData + nSize, [&](uint8_t c) { return hex(c) >= 0; });
  if (!bHex)
    return std::vector<uint8_t>(pData, pData + nSize);
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < nSize; i += 2)
    out.push_back(static_cast<uint8_t>(hex(pData[i]) * 16 + hex(pData[i + 1])));
  return out;
}

// Takes the PDU apart as the decoder reads it; false when it is not one.
bool ReadShape(const std::vector<uint8_t>& octets, CPduShape& p) {
  COctetReader r(octets);
  if (octets.empty() || !r.Take(size_t(octets[0]) + 1, p.serviceCenter) || !r.Take(p.nFirst))
    return false;
  switch (MessageType(p)) {
    case kMtiDeliver:
      if (!r.TakeAddress(p.address) || !r.Take(p.nPid) || !r.Take(p.nDcs) || !r.Take(7, p.timeStamp))
        return false;
      break;
    case kMtiSubmit:
      if (!r.Take(p.nReference) || !r.TakeAddress(p.address) || !r.Take(p.nPid) || !r.Take(p.nDcs) ||
          !r.Take(ValidityLength(p.nFirst), p.validity))
        return false;
      break;
    case kMtiReport:
      if (!r.Take(p.nReference) || !r.TakeAddress(p.address) || !r.Take(7, p.timeStamp) ||
          !r.Take(7, p.discharge) || !r.Take(p.nStatus))
        return false;
      p.indicator.clear();
      for (uint8_t n = 0x80; (n & 0x80) && r.Take(n);)
        p.indicator.push_back(n);
      if (!p.indicator.empty() && p.indicator[0] != 0xFF) {
        if ((p.indicator[0] & 0x01) && !r.Take(p.nPid))
          return false;
        if ((p.indicator[0] & 0x02) && !r.Take(p.nDcs))
          return false;
      }
      if (!HasUserData(p))
        return true;
      break;
    default:
      return false;
  }
  uint8_t nUdl = 0;
  if (!r.Take(nUdl))
    return false;
  const bool bSeptets = IsSeptets(p.nDcs);
  const size_t nOctets = std::min(r.Left(), bSeptets ? (nUdl * 7 + 7) / 8 : size_t(nUdl));
  const uint8_t* pData = r.Here();
  size_t nHeader = 0;
  if ((p.nFirst & kUdhi) && nOctets > 0) {
    nHeader = std::min(nOctets, size_t(pData[0]) + 1);
    for (size_t i = 1; i + 1 < nHeader;) {
      const size_t nEnd = std::min(nHeader, i + 2 + pData[i + 1]);
      p.elements.emplace_back(pData + i, pData + nEnd);
      i = nEnd;
    }
  }
  if (bSeptets) {
    const size_t nHeaderSeptets = (nHeader * 8 + 6) / 7;
    p.body =
        UnpackSeptets(pData, nOctets, nHeaderSeptets * 7, nUdl > nHeaderSeptets ? nUdl - nHeaderSeptets : 0);
  } else {
    p.body.assign(pData + nHeader, pData + nOctets);
  }
  return true;
}

// Writes the PDU with its lengths made to agree (but for nLengthLie).
std::vector<uint8_t> WriteShape(const CPduShape& p) {
  std::vector<uint8_t> out = p.serviceCenter;
  auto add = [&out](const std::vector<uint8_t>& v) { out.insert(out.end(), v.begin(), v.end()); };
  out.push_back(p.nFirst);
  switch (MessageType(p)) {
    case kMtiDeliver:
      add(p.address);
      out.push_back(p.nPid);
      out.push_back(p.nDcs);
      add(p.timeStamp);
      break;
    case kMtiSubmit:
      out.push_back(p.nReference);
      add(p.address);
      out.push_back(p.nPid);
      out.push_back(p.nDcs);
      add(p.validity);
      break;
    default:
      out.push_back(p.nReference);
      add(p.address);
      add(p.timeStamp);
      add(p.discharge);
      out.push_back(p.nStatus);
      add(p.indicator);
      if (!p.indicator.empty() && p.indicator[0] != 0xFF) {
        if (p.indicator[0] & 0x01)
          out.push_back(p.nPid);
        if (p.indicator[0] & 0x02)
          out.push_back(p.nDcs);
      }
      if (!HasUserData(p))
        return out;
  }
  std::vector<uint8_t> header;
  if (p.nFirst & kUdhi) {
    for (const auto& e : p.elements)
      header.insert(header.end(), e.begin(), e.end());
    header.insert(header.begin(), static_cast<uint8_t>(header.size()));
  }
  std::vector<uint8_t> data = header;
  size_t nLength = 0;
  if (IsSeptets(p.nDcs)) {
    const size_t nHeaderSeptets = (header.size() * 8 + 6) / 7;
    std::vector<uint8_t> packed = PackSeptets(p.body, nHeaderSeptets * 7);
    for (size_t i = 0; i < header.size() && i < packed.size(); ++i)
      packed[i] |= header[i];
    data = packed.size() >= header.size() ? packed : header;
    nLength = nHeaderSeptets + p.body.size();
  } else {
    data.insert(data.end(), p.body.begin(), p.body.end());
    nLength = data.size();
  }
  out.push_back(static_cast<uint8_t>(std::clamp<int>(static_cast<int>(nLength) + p.nLengthLie, 0, 255)));
  add(data);
  return out;
}

// An address field: a number (international, national, unknown), an alphanumeric
// name, or an odd type and length.
std::vector<uint8_t> MakeAddress(CShapeRandom& random) {
  static const uint8_t types[] = {0x91, 0x81, 0xA1, 0xC9, 0xD0, 0x80, 0xB9, 0xFF};
  const uint8_t nType = random.OneIn(8) ? random.Octet() : random.Pick(types);
  size_t nDigits = random.OneIn(10) ? random.Below(26) : random.Below(21);
  if ((nType & 0x70) == 0x50)
    nDigits = (random.Below(12) * 7 + 3) / 4;  // semi-octets of up to 11 packed characters
  std::vector<uint8_t> field{static_cast<uint8_t>(nDigits), nType};
  for (size_t i = 0; i < (nDigits + 1) / 2; ++i)
    field.push_back(random.OneIn(6) ? random.Octet()
                                    : static_cast<uint8_t>(random.Below(10) * 16 + random.Below(10)));
  if (nDigits % 2 && !random.OneIn(4))
    field.back() |= 0xF0;
  return field;
}

std::vector<uint8_t> MakeTimeStamp(CShapeRandom& random) {
  std::vector<uint8_t> ts;
  for (int i = 0; i < 7; ++i)
    ts.push_back(random.OneIn(5) ? random.Octet()
                                 : static_cast<uint8_t>(random.Below(10) * 16 + random.Below(10)));
  if (random.OneIn(2))
    ts[6] |= 0x08;  // a time zone west of Greenwich
  return ts;
}

// An information element of the user-data header: concatenation (8- and 16-bit
// references), port addressing, national language shifts, and others.
std::vector<uint8_t> MakeElement(CShapeRandom& random) {
  const uint8_t nTotal = random.OneIn(6) ? random.Octet() : static_cast<uint8_t>(1 + random.Below(4));
  const uint8_t nPart =
      random.OneIn(6) ? random.Octet() : static_cast<uint8_t>(1 + random.Below(nTotal ? nTotal : 1));
  switch (random.Below(9)) {
    case 0:
      return {0x00, 0x03, random.Octet(), nTotal, nPart};
    case 1:
      return {0x08, 0x04, random.Octet(), random.Octet(), nTotal, nPart};
    case 2:
      return {0x04, 0x02, random.Octet(), random.Octet()};
    case 3:
      return {0x05, 0x04, 0x0B, 0x84, 0x23, 0xF0};
    case 4:
      return {0x24, 0x01, static_cast<uint8_t>(random.Below(16))};
    case 5:
      return {0x25, 0x01, static_cast<uint8_t>(random.Below(16))};
    case 6:
      return {0x01, 0x02, random.Octet(), random.Octet()};
    case 7:
      return {0x0A, 0x03, random.Octet(), random.Octet(), random.Octet()};
    default: {
      std::vector<uint8_t> e{random.Octet(), static_cast<uint8_t>(random.Below(8))};
      for (size_t i = 0; i < e[1]; ++i)
        e.push_back(random.Octet());
      return e;
    }
  }
}

// Data coding schemes of every group: GSM 7-bit, 8-bit and UCS2 with and without a
// class, compressed, message waiting, data coding/class, auto-deletion, reserved.
uint8_t MakeDcs(CShapeRandom& random) {
  static const uint8_t values[] = {0x00, 0x04, 0x08, 0x0C, 0x10, 0x11, 0x12, 0x13, 0x14, 0x16,
                                   0x18, 0x20, 0x24, 0x40, 0x44, 0x48, 0x80, 0xC0, 0xC8, 0xD0,
                                   0xD8, 0xE0, 0xE8, 0xF0, 0xF1, 0xF4, 0xF6, 0xF7};
  return random.OneIn(6) ? random.Octet() : random.Pick(values);
}

// Changes one field of the PDU.
void MutateField(CPduShape& p, CShapeRandom& random, size_t nMaxBody) {
  switch (random.Below(14)) {
    case 0:  // another message type (now and then the reserved one)
      p.nFirst = static_cast<uint8_t>((p.nFirst & ~kMtiMask) | (random.OneIn(16) ? 3 : random.Below(3)));
      p.validity.resize(ValidityLength(p.nFirst));
      break;
    case 1: {  // a flag of the first octet: header, reply path, report, validity format
      static const uint8_t flags[] = {kUdhi, 0x80, 0x20, 0x04, 0x08, 0x10};
      p.nFirst ^= random.Pick(flags);
      p.validity.resize(ValidityLength(p.nFirst));
      if (p.validity.size() == 7 && random.OneIn(2))
        p.validity = MakeTimeStamp(random);
      break;
    }
    case 2:
      p.address = MakeAddress(random);
      break;
    case 3:
      p.serviceCenter = random.OneIn(3) ? std::vector<uint8_t>{0x00} : MakeAddress(random);
      if (p.serviceCenter.size() > 1)
        p.serviceCenter[0] = static_cast<uint8_t>(p.serviceCenter.size() - 1);  // its length counts octets
      break;
    case 4: {
      static const uint8_t pids[] = {0x00, 0x20, 0x21, 0x39, 0x40, 0x41, 0x47, 0x5E, 0x5F, 0x7C, 0x7F, 0xC0};
      p.nPid = random.OneIn(4) ? random.Octet() : random.Pick(pids);
      break;
    }
    case 5:
      p.nDcs = MakeDcs(random);
      if (IsSeptets(p.nDcs))
        for (uint8_t& c : p.body)
          c &= 0x7F;
      break;
    case 6:
      (random.OneIn(2) ? p.timeStamp : p.discharge) = MakeTimeStamp(random);
      break;
    case 7: {
      static const uint8_t statuses[] = {0x00, 0x01, 0x02, 0x20, 0x25, 0x30,
                                         0x40, 0x41, 0x49, 0x60, 0x65, 0x7F};
      p.nStatus = random.OneIn(4) ? random.Octet() : random.Pick(statuses);
      static const uint8_t indicators[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x06, 0x07, 0x87, 0xFF};
      p.indicator = {random.Pick(indicators)};
      if (p.indicator[0] & 0x80)
        p.indicator.push_back(random.OneIn(3) ? 0x80 : 0x00);
      break;
    }
    case 8:  // a header element more (and the header flag on)
      p.nFirst |= kUdhi;
      p.elements.insert(p.elements.begin() + random.Below(p.elements.size() + 1), MakeElement(random));
      break;
    case 9:  // a header element less
      if (!p.elements.empty())
        p.elements.erase(p.elements.begin() + random.Below(p.elements.size()));
      else
        p.nFirst ^= kUdhi;
      break;
    case 10:  // the data of an element, its length kept (now and then not)
      if (!p.elements.empty()) {
        std::vector<uint8_t>& e = p.elements[random.Below(p.elements.size())];
        e.resize(std::max<size_t>(2, e.size()));
        std::vector<uint8_t> data;
        data.assign(e.begin() + 2, e.end());
        MutateLeaf(data, 16, random);
        e.resize(2);
        e.insert(e.end(), data.begin(), data.end());
        if (!random.OneIn(8))
          e[1] = static_cast<uint8_t>(e.size() - 2);
      }
      break;
    case 11:
      p.nLengthLie = random.OneIn(2) ? 0 : static_cast<int>(random.Below(7)) - 3;
      break;
    case 12:
      p.bHex = !p.bHex;
      break;
    default:
      MutateLeaf(p.body, nMaxBody, random);
      if (IsSeptets(p.nDcs))
        for (uint8_t& c : p.body)
          c &= 0x7F;
      break;
  }
}

std::vector<uint8_t> AsHex(const std::vector<uint8_t>& octets, bool bLower) {
  const char* digits = bLower ? "0123456789abcdef" : "0123456789ABCDEF";
  std::vector<uint8_t> out;
  for (uint8_t n : octets) {
    out.push_back(static_cast<uint8_t>(digits[n >> 4]));
    out.push_back(static_cast<uint8_t>(digits[n & 0x0F]));
  }
  return out;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* pData, size_t nSize, size_t nMaxSize, unsigned nSeed) {
  CShapeRandom random(nSeed);
  if (ShapeMutationOff() || random.OneIn(10))
    return LLVMFuzzerMutate(pData, nSize, nMaxSize);  // bytes without regard to the shape, too
  CPduShape p;
  p.bHex = false;
  const std::vector<uint8_t> octets = InputOctets(pData, nSize, p.bHex);
  if (!ReadShape(octets, p)) {
    p = CPduShape();  // start again from a plain SMS-DELIVER
    p.bHex = random.OneIn(2);
  }
  const size_t nMaxBody = IsSeptets(p.nDcs) ? 170 : 150;
  for (size_t n = 1 + random.Below(3); n > 0; --n)
    MutateField(p, random, nMaxBody);
  std::vector<uint8_t> out = WriteShape(p);
  if (random.OneIn(20) && !out.empty())
    out.resize(random.Below(out.size()));  // cut short
  if (p.bHex)
    out = AsHex(out, random.OneIn(8));
  if (out.size() > nMaxSize)
    return LLVMFuzzerMutate(pData, nSize, nMaxSize);
  std::copy(out.begin(), out.end(), pData);
  return out.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096)
    return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Exercise(CPduDecoder::Decode(text));
  const std::vector<uint8_t> octets(data, data + size);
  Exercise(CPduDecoder::Decode(octets));
  return 0;
}
