// Builds PDUs for the phone in PDU mode (AT+CMGS / AT+CMGW): the service-centre part
// followed by an SMS-SUBMIT, or an SMS-DELIVER (for tests and tools), as upper-case
// hexadecimal text.
//
// A text goes in the GSM 7-bit default alphabet (with the extension table) when
// every character has a place there, and in UCS2 otherwise. A text too long for one
// PDU (160 septets / 140 octets) is split into a concatenated message: each part
// carries a header with the reference, the number of parts and its own number, which
// leaves 153 septets or 134 octets (152 / 133 with a 16-bit reference). An escape
// pair or a surrogate pair is never split across two parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/PduDataCoding.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/PduMessage.h"
#include "tethra/PduResult.h"
#include "tethra/PduTimeStamp.h"

enum class PduEncoding {
  AUTO,  // GSM 7-bit when the text fits the alphabet, UCS2 otherwise
  GSM7,  // GSM 7-bit; characters without a place become '?'
  UCS2,
  DATA8,  // the octets of m_data, text ignored
};

// What to send. Numbers as a user types them ("+46708251358", "0708251358").
struct CPduSubmitRequest {
  std::string m_strServiceCenter;  // empty: the phone's own (written as "00")
  std::string m_strDestination;    // empty: no destination (a message stored for later)
  std::string m_strText;           // UTF-8; invalid sequences become '?'
  std::vector<uint8_t> m_data;     // the payload for PduEncoding::DATA8
  PduEncoding m_encoding = PduEncoding::AUTO;
  // First octet of the transfer unit. Its reject-duplicates, validity-period format,
  // status-report-request and reply-path bits are used; the message type and the
  // header indicator are set here. Of the validity formats only relative (10) and
  // none (00) can be built.
  uint8_t m_nFirstOctet = 0x11;
  uint8_t m_nValidity = 0xA7;       // relative validity (0xA7 = 24 hours)
  uint8_t m_nMessageReference = 0;  // part i gets this value + i (the phone may set its own)
  uint8_t m_nPid = 0;
  int m_nMessageClass = -1;         // 0-3, -1 for none
  uint16_t m_nConcatReference = 0;  // reference shared by the parts of a long text
  bool m_b16BitReference = false;   // IEI 08 (16-bit reference) instead of IEI 00
};

struct CPduDeliverRequest {
  std::string m_strServiceCenter;
  std::string m_strOriginator;  // a number, or a name when m_bAlphanumericOriginator
  bool m_bAlphanumericOriginator = false;
  std::string m_strText;
  std::vector<uint8_t> m_data;
  PduEncoding m_encoding = PduEncoding::AUTO;
  // More-messages, loop-prevention, status-report-indication and reply-path bits are
  // used; the type and header indicator are set here. 0x04: no more messages.
  uint8_t m_nFirstOctet = 0x04;
  CPduTimeStamp m_timeStamp;  // absent: all zero digits
  uint8_t m_nPid = 0;
  int m_nMessageClass = -1;
  uint16_t m_nConcatReference = 0;
  bool m_b16BitReference = false;
};

// One PDU ready for the phone.
struct CPduEncoded {
  std::string m_strPdu;      // upper-case hexadecimal, service-centre part first
  size_t m_nTpduLength = 0;  // octets after the service-centre part: the AT+CMGS length
};

// A text cut into parts of user data: septets (GSM 7-bit) or octets.
// A text that the default alphabet cannot carry but a national language table can
// goes as 7-bit with that table named in every part's header (3GPP TS 23.038 Annex
// A) rather than as UCS2.
struct CPduSegments {
  CPduDataCoding::Alphabet m_alphabet = CPduDataCoding::GSM7;
  CGsm7Tables m_tables;  // national tables of 7-bit text (default: none)
  std::vector<std::vector<uint8_t>> m_parts;
};

class CPduEncoder {
 public:
  static constexpr size_t MAX_PARTS = 255;

  static CPduResult<std::vector<CPduEncoded>> EncodeSubmit(const CPduSubmitRequest& request);
  static CPduResult<std::vector<CPduEncoded>> EncodeDeliver(const CPduDeliverRequest& request);

  // Chooses the alphabet and cuts the text (or the data) into parts that each fit
  // one PDU, with room for a concatenation header when there is more than one part.
  static CPduResult<CPduSegments> Segment(std::string_view strText, const std::vector<uint8_t>& data,
                                          PduEncoding encoding, bool b16BitReference);

  // Writes a message from its fields: the service-centre part, the first octet as
  // given (with user data, the header indicator follows m_bHasHeader), the fields
  // of its type, and
  // the user data from m_header and m_payload (septets or octets by m_coding).
  // Decoding the result gives the same fields back.
  static CPduResult<CPduEncoded> Encode(const CPduMessage& message);
};
