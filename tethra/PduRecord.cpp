#include "tethra/PduRecord.h"

void CPduRecord::FillMessage(const CPduMessage& pdu, CMessage& message) {
  message.m_strNumber = pdu.m_address.GetText();
  message.m_strMessage = pdu.m_strText;
  message.m_dtDateTime = pdu.m_timeStamp.ToDateTime();
  message.m_strPdu = pdu.m_strPdu;
  message.m_wFirstOctet = FlagsFromPdu(pdu);
  message.m_bReplyCharges = pdu.IsReplyPath() ? 1 : 0;
  message.m_strServiceCenter = pdu.m_serviceCenter.GetText();
  if (pdu.m_type == PduType::SUBMIT && pdu.m_validity.GetFormat() == CPduValidity::RELATIVE)
    message.m_nValidity = pdu.m_validity.GetRelative();
}

uint16_t CPduRecord::FlagsFromPdu(const CPduMessage& pdu) {
  const uint8_t fo = pdu.m_nFirstOctet;
  const bool bReplyPath = (fo & CPduMessage::FO_RP) != 0;
  const bool bHeader = (fo & CPduMessage::FO_UDHI) != 0;
  switch (pdu.m_type) {
    case PduType::DELIVER:
      return static_cast<uint16_t>((fo & CPduMessage::FO_MMS_RD) | (bReplyPath ? 0x08 | 0x20 : 0) |
                                   (bHeader ? 0x10 : 0));
    case PduType::SUBMIT:
      return static_cast<uint16_t>(0x01 | (fo & (CPduMessage::FO_MMS_RD | CPduMessage::FO_VPF_MASK)) |
                                   (bReplyPath ? 0x20 | 0x80 : 0) | (bHeader ? 0x40 : 0));
    case PduType::STATUS_REPORT:
      break;
  }
  return 0x02;
}

uint8_t CPduRecord::FirstOctetFromFlags(uint16_t wFlags) {
  uint8_t n = CPduMessage::FO_MTI_SUBMIT;
  if (wFlags & 0x04)
    n |= CPduMessage::FO_MMS_RD;
  if ((wFlags & 0x18) == 0x10)
    n |= 0x10;  // relative validity period
  if (wFlags & 0xA0)
    n |= CPduMessage::FO_RP;
  return n;
}

CPduResult<std::vector<CPduEncoded>> CPduRecord::EncodeMessage(const CMessage& message,
                                                               uint8_t nMessageReference,
                                                               uint16_t nConcatReference) {
  CPduSubmitRequest r;
  r.m_strServiceCenter = message.m_strServiceCenter;
  r.m_strDestination = message.m_strNumber;
  r.m_strText = message.m_strMessage;
  r.m_nFirstOctet = FirstOctetFromFlags(message.m_wFirstOctet);
  r.m_nValidity = static_cast<uint8_t>(message.m_nValidity);
  r.m_nMessageReference = nMessageReference;
  r.m_nConcatReference = nConcatReference;
  return CPduEncoder::EncodeSubmit(r);
}
