#include "tethra/PduDecoder.h"

#include <string>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/Gsm7NationalTables.h"
#include "tethra/PduHex.h"

namespace {

using Result = CPduResult<CPduMessage>;

// A cursor over the octets that refuses to move past the end.
class CReader {
 public:
  CReader(const std::vector<uint8_t>& data, size_t nPos) : m_data(data), m_nPos(nPos) {}
  size_t Left() const { return m_data.size() - m_nPos; }
  const uint8_t* Here() const { return m_data.data() + m_nPos; }
  size_t Position() const { return m_nPos; }
  bool Take(uint8_t& n) {
    if (Left() < 1)
      return false;
    n = m_data[m_nPos++];
    return true;
  }
  bool Skip(size_t n) {
    if (Left() < n)
      return false;
    m_nPos += n;
    return true;
  }

 private:
  const std::vector<uint8_t>& m_data;
  size_t m_nPos;
};

template <class T = CPduMessage>
CPduResult<T> Missing(const char* pszField, const CReader& r) {
  return CPduResult<T>::Failure(std::string("PDU ends before the ") + pszField + " (octet " +
                                std::to_string(r.Position()) + ")");
}

// Reads TP-UDL and TP-UD into the message according to its coding and header flag,
// and gives the message back complete.
Result ReadUserData(CPduMessage msg, CReader& r) {
  const uint8_t nDcs = msg.m_coding.GetValue();
  if (msg.m_coding.IsCompressed())
    return Result::Failure("compressed user data is not supported (data coding scheme " +
                           CPduHex::Encode(&nDcs, 1) + ")");
  uint8_t nUdl = 0;
  if (!r.Take(nUdl))
    return Missing("user-data length", r);
  msg.m_nUserDataLength = nUdl;
  const bool bSeptets = msg.m_coding.GetAlphabet() == CPduDataCoding::GSM7;
  size_t nOctets = bSeptets ? (nUdl * 7 + 7) / 8 : nUdl;
  if (bSeptets && nUdl > CPduDecoder::MAX_SEPTETS)
    return Result::Failure("user-data length " + std::to_string(nUdl) + " is more than 160 septets");
  if (!bSeptets && nUdl > CPduDecoder::MAX_OCTETS)
    return Result::Failure("user-data length " + std::to_string(nUdl) + " is more than 140 octets");
  if (nOctets > r.Left()) {
    // Cut short: what is there is the message.
    msg.m_bTruncated = true;
    nOctets = r.Left();
    if (bSeptets)
      nUdl = static_cast<uint8_t>(nOctets * 8 / 7);
    else if (msg.m_coding.GetAlphabet() == CPduDataCoding::UCS2)
      nUdl = static_cast<uint8_t>(nOctets & ~size_t(1));
    else
      nUdl = static_cast<uint8_t>(nOctets);
  }
  const uint8_t* pData = r.Here();
  r.Skip(nOctets);

  size_t nHeaderOctets = 0;  // length octet included
  if (msg.IsHeaderIndicator() && nOctets == 0 && !msg.m_bTruncated)
    return msg;  // the header indicator with no user data: an empty message
  if (msg.IsHeaderIndicator()) {
    if (nOctets < 1)
      return Result::Failure("header indicator set but the user data is empty");
    nHeaderOctets = size_t(pData[0]) + 1;
    if (nHeaderOctets > nOctets)
      return Result::Failure("user-data header of " + std::to_string(nHeaderOctets) +
                             " octets is longer than the user data");
    auto header = CPduUserDataHeader::Decode(pData + 1, nHeaderOctets - 1);
    if (!header)
      return Result::Failure(header.GetError());
    msg.m_header = std::move(header).Value();
    msg.m_bHasHeader = true;
  }

  switch (msg.m_coding.GetAlphabet()) {
    case CPduDataCoding::GSM7: {
      const size_t nHeaderSeptets = (nHeaderOctets * 8 + 6) / 7;
      if (nHeaderSeptets > nUdl)
        return Result::Failure("user-data header is longer than the user-data length of " +
                               std::to_string(nUdl) + " septets");
      msg.m_nFillBits = nHeaderSeptets * 7 - nHeaderOctets * 8;
      const size_t nTextSeptets = nUdl - nHeaderSeptets;
      msg.m_payload = CGsm7Alphabet::Unpack(pData, nOctets, nHeaderSeptets * 7, nTextSeptets);
      msg.m_strText =
          CGsm7Alphabet::Decode(msg.m_payload.data(), msg.m_payload.size(), msg.GetNationalTables());
      break;
    }
    case CPduDataCoding::DATA8:
      msg.m_payload.assign(pData + nHeaderOctets, pData + nOctets);
      msg.m_strText = CCharsetUtf::Latin1ToUtf8(msg.m_payload.data(), msg.m_payload.size());
      break;
    case CPduDataCoding::UCS2:
      msg.m_payload.assign(
          pData + nHeaderOctets,
          pData + (msg.m_bTruncated ? nHeaderOctets + ((nOctets - nHeaderOctets) & ~size_t(1)) : nOctets));
      msg.m_strText = CCharsetUtf::Utf16BeToUtf8(msg.m_payload.data(), msg.m_payload.size());
      break;
  }
  return msg;
}

// Reads an address field; the failure names the field.
CPduResult<CPduAddress> ReadAddress(CReader& r, const char* pszWhat) {
  size_t nUsed = 0;
  auto address = CPduAddress::DecodeField(r.Here(), r.Left(), nUsed);
  if (!address)
    return CPduResult<CPduAddress>::Failure(std::string(pszWhat) + ": " + address.GetError());
  r.Skip(nUsed);
  return address;
}

CPduResult<CPduTimeStamp> ReadTimeStamp(CReader& r, const char* pszWhat) {
  if (r.Left() < CPduTimeStamp::OCTETS)
    return Missing<CPduTimeStamp>(pszWhat, r);
  CPduTimeStamp ts = CPduTimeStamp::Decode(r.Here());
  r.Skip(CPduTimeStamp::OCTETS);
  return ts;
}

// Moves the value of a good result into field; false when the result failed.
template <class T>
bool Into(CPduResult<T>& result, T& field) {
  if (!result)
    return false;
  field = std::move(result).Value();
  return true;
}

}  // namespace

CPduResult<CPduMessage> CPduDecoder::Decode(std::string_view strHex) {
  auto octets = CPduHex::Decode(strHex);
  if (!octets)
    return Result::Failure(octets.GetError());
  return Decode(octets.Value());
}

CPduResult<CPduMessage> CPduDecoder::Decode(const std::vector<uint8_t>& octets) {
  CPduMessage msg;
  if (octets.empty())
    return Result::Failure("empty PDU");
  msg.m_strPdu = CPduHex::Encode(octets);

  size_t nUsed = 0;
  auto sc = CPduAddress::DecodeServiceCenter(octets.data(), octets.size(), nUsed);
  if (!sc)
    return Result::Failure(sc.GetError());
  msg.m_serviceCenter = std::move(sc).Value();
  msg.m_nServiceCenterOctets = nUsed;

  CReader r(octets, nUsed);
  if (!r.Take(msg.m_nFirstOctet))
    return Missing("first octet", r);
  switch (msg.m_nFirstOctet & CPduMessage::FO_MTI_MASK) {
    case CPduMessage::FO_MTI_DELIVER:
      msg.m_type = PduType::DELIVER;
      if (auto address = ReadAddress(r, "originating address"); !Into(address, msg.m_address))
        return Result::Failure(address.GetError());
      if (!r.Take(msg.m_nPid))
        return Missing("protocol identifier", r);
      {
        uint8_t nDcs = 0;
        if (!r.Take(nDcs))
          return Missing("data coding scheme", r);
        msg.m_coding = CPduDataCoding::Decode(nDcs);
      }
      if (auto ts = ReadTimeStamp(r, "service-centre time stamp"); !Into(ts, msg.m_timeStamp))
        return Result::Failure(ts.GetError());
      break;

    case CPduMessage::FO_MTI_SUBMIT:
      msg.m_type = PduType::SUBMIT;
      if (!r.Take(msg.m_nMessageReference))
        return Missing("message reference", r);
      if (auto address = ReadAddress(r, "destination address"); !Into(address, msg.m_address))
        return Result::Failure(address.GetError());
      if (!r.Take(msg.m_nPid))
        return Missing("protocol identifier", r);
      {
        uint8_t nDcs = 0;
        if (!r.Take(nDcs))
          return Missing("data coding scheme", r);
        msg.m_coding = CPduDataCoding::Decode(nDcs);
      }
      {
        const CPduValidity::Format format = msg.GetValidityFormat();
        const size_t nLength = CPduValidity::FieldLength(format);
        if (r.Left() < nLength)
          return Missing("validity period", r);
        msg.m_validity = CPduValidity::Decode(format, r.Here());
        r.Skip(nLength);
      }
      break;

    case CPduMessage::FO_MTI_STATUS_REPORT:
      msg.m_type = PduType::STATUS_REPORT;
      if (!r.Take(msg.m_nMessageReference))
        return Missing("message reference", r);
      if (auto address = ReadAddress(r, "recipient address"); !Into(address, msg.m_address))
        return Result::Failure(address.GetError());
      if (auto ts = ReadTimeStamp(r, "service-centre time stamp"); !Into(ts, msg.m_timeStamp))
        return Result::Failure(ts.GetError());
      if (auto ts = ReadTimeStamp(r, "discharge time"); !Into(ts, msg.m_dischargeTime))
        return Result::Failure(ts.GetError());
      if (!r.Take(msg.m_nStatus))
        return Missing("status", r);
      {
        // The optional parameters: a parameter indicator (with extension octets while
        // bit 7 is set) says which of PID, DCS and UDL follow.
        // FF is the padding of a SIM record, and an extension chain that runs off
        // the end announces nothing that is there: no optional parameters.
        uint8_t nPi = 0;
        if (!r.Take(nPi) || nPi == 0xFF) {
          msg.m_bHasUserData = false;
          return msg;
        }
        uint8_t nExt = nPi;
        while (nExt & 0x80)
          if (!r.Take(nExt)) {
            msg.m_bHasUserData = false;
            return msg;
          }
        msg.m_nParameterIndicator = nPi;
        if ((nPi & 0x01) && !r.Take(msg.m_nPid))
          return Missing("protocol identifier", r);
        if (nPi & 0x02) {
          uint8_t nDcs = 0;
          if (!r.Take(nDcs))
            return Missing("data coding scheme", r);
          msg.m_coding = CPduDataCoding::Decode(nDcs);
        }
        if (!(nPi & 0x04)) {
          msg.m_bHasUserData = false;
          return msg;
        }
      }
      break;

    default:
      return Result::Failure("reserved message type (first octet " + CPduHex::Encode(&msg.m_nFirstOctet, 1) +
                             ")");
  }

  return ReadUserData(std::move(msg), r);
}
