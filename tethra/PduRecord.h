// Between decoded PDUs and the message records (CMessage) the rest of the system
// keeps: which record fields a PDU fills, and the PDUs that send a record.
#pragma once

#include <cstdint>
#include <vector>

#include "model/Message.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduMessage.h"
#include "tethra/PduResult.h"

class CPduRecord {
 public:
  // Sets the fields of the record that come from the phone:
  //  m_strNumber        the originator (DELIVER), destination (SUBMIT) or recipient
  //                     (STATUS-REPORT), with "+" in front when international;
  //  m_strMessage       the text (empty for a status report without user data);
  //  m_dtDateTime       the service-centre time stamp as the sender's local time,
  //                     invalid when the PDU has none (SUBMIT) or it is not valid;
  //  m_strPdu           the whole PDU in upper-case hexadecimal;
  //  m_wFirstOctet      the record's flags word (FlagsFromPdu);
  //  m_bReplyCharges    1 when the reply-path bit is set, else 0;
  //  m_strServiceCenter the service-centre address, "+" in front when international;
  //  m_nValidity        the relative validity of a SUBMIT that has one.
  // Every other field is left as it was.
  static void FillMessage(const CPduMessage& pdu, CMessage& message);

  // The record's flags word for a transfer unit. A DELIVER: type 00, bit 2 "no more
  // messages", bit 3 reply charges (the sender pays for the answer: the reply
  // path), bit 4 the header indicator, bit 5 the reply path. A SUBMIT: type 01,
  // reject-duplicates and the validity format (bits 2-4) as the transfer unit has
  // them, bit 5 reply charges, bit 6 the header indicator, bit 7 the reply path. A
  // status report: type 10 and nothing else.
  static uint16_t FlagsFromPdu(const CPduMessage& pdu);

  // The first octet of an SMS-SUBMIT for a record's flags word: reject-duplicates
  // (bit 2) and the relative validity format (bits 3-4 = 10) sit where the transfer
  // unit has them; "reply charges accepted" (bit 5) and the reply path (bit 7) both
  // become the reply-path bit, which makes the sender pay for the answer. No status
  // report is requested.
  static uint8_t FirstOctetFromFlags(uint16_t wFlags);

  // The PDUs that send a record: m_strNumber (empty: a message stored for later),
  // m_strMessage, m_strServiceCenter (empty: the phone's own), the flags word and
  // m_nValidity as the relative validity value. Texts too long for one message are
  // split, with nConcatReference as the reference of the parts.
  static CPduResult<std::vector<CPduEncoded>> EncodeMessage(const CMessage& message,
                                                            uint8_t nMessageReference,
                                                            uint16_t nConcatReference);
};
