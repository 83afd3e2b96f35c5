// A decoded SMS transfer unit with the service-centre part the phone puts in front
// of it in PDU mode: SMS-DELIVER, SMS-SUBMIT or SMS-STATUS-REPORT (3GPP TS 23.040).
// CPduDecoder fills it; CPduRecord turns it into a CMessage record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tethra/Gsm7Alphabet.h"
#include "tethra/PduAddress.h"
#include "tethra/PduDataCoding.h"
#include "tethra/PduTimeStamp.h"
#include "tethra/PduUserDataHeader.h"
#include "tethra/PduValidity.h"

enum class PduType { DELIVER, SUBMIT, STATUS_REPORT };

class CPduMessage {
 public:
  // First-octet bits (9.2.3.1 to 9.2.3.26).
  static constexpr uint8_t FO_MTI_MASK = 0x03;
  static constexpr uint8_t FO_MTI_DELIVER = 0x00;
  static constexpr uint8_t FO_MTI_SUBMIT = 0x01;
  static constexpr uint8_t FO_MTI_STATUS_REPORT = 0x02;
  static constexpr uint8_t FO_MMS_RD = 0x04;    // DELIVER/STATUS: no more messages; SUBMIT: reject duplicates
  static constexpr uint8_t FO_LP = 0x08;        // DELIVER/STATUS: loop prevention
  static constexpr uint8_t FO_VPF_MASK = 0x18;  // SUBMIT: validity-period format
  static constexpr uint8_t FO_SRI_SRR = 0x20;   // status report indication / request / qualifier
  static constexpr uint8_t FO_UDHI = 0x40;
  static constexpr uint8_t FO_RP = 0x80;  // reply path (DELIVER/SUBMIT)

  PduType m_type = PduType::DELIVER;
  std::string m_strPdu;               // the whole PDU, upper-case hexadecimal
  size_t m_nServiceCenterOctets = 0;  // length octet included
  CPduAddress m_serviceCenter;        // empty when the PDU names none
  uint8_t m_nFirstOctet = 0;
  uint8_t m_nMessageReference = 0;  // SUBMIT and STATUS-REPORT
  CPduAddress m_address;            // originator (DELIVER), destination (SUBMIT), recipient (STATUS-REPORT)
  uint8_t m_nPid = 0;
  CPduDataCoding m_coding;
  CPduTimeStamp m_timeStamp;       // service-centre time stamp (DELIVER, STATUS-REPORT)
  CPduValidity m_validity;         // SUBMIT
  CPduTimeStamp m_dischargeTime;   // STATUS-REPORT
  uint8_t m_nStatus = 0;           // STATUS-REPORT
  int m_nParameterIndicator = -1;  // STATUS-REPORT: -1 when absent
  bool m_bHasUserData = true;      // a STATUS-REPORT may carry none
  uint8_t m_nUserDataLength = 0;   // TP-UDL as read: septets for 7-bit, octets otherwise
  bool m_bTruncated = false;       // the user data ends before TP-UDL says: the text is what there is
  bool m_bHasHeader = false;
  CPduUserDataHeader m_header;
  size_t m_nFillBits = 0;          // 7-bit with a header: bits between header and text
  std::vector<uint8_t> m_payload;  // the user data after the header: septets (7-bit) or octets
  std::string m_strText;           // the text in UTF-8 (8-bit data read as Latin-1)

  // Octets of the transfer unit without the service-centre part (what AT+CMGS counts).
  size_t GetTpduLength() const { return m_strPdu.size() / 2 - m_nServiceCenterOctets; }

  bool IsHeaderIndicator() const { return (m_nFirstOctet & FO_UDHI) != 0; }
  bool IsReplyPath() const { return m_type != PduType::STATUS_REPORT && (m_nFirstOctet & FO_RP) != 0; }
  // SRI (DELIVER), SRR (SUBMIT), SRQ (STATUS-REPORT).
  bool IsStatusReportFlag() const { return (m_nFirstOctet & FO_SRI_SRR) != 0; }
  bool IsRejectDuplicates() const { return m_type == PduType::SUBMIT && (m_nFirstOctet & FO_MMS_RD) != 0; }
  // DELIVER/STATUS-REPORT: bit 2 clear means more messages are waiting.
  bool IsMoreMessagesToSend() const { return m_type != PduType::SUBMIT && (m_nFirstOctet & FO_MMS_RD) == 0; }
  bool IsLoopPrevention() const { return m_type != PduType::SUBMIT && (m_nFirstOctet & FO_LP) != 0; }
  CPduValidity::Format GetValidityFormat() const {
    return m_type == PduType::SUBMIT ? static_cast<CPduValidity::Format>((m_nFirstOctet & FO_VPF_MASK) >> 3)
                                     : CPduValidity::NONE;
  }
  bool GetConcatenation(CPduConcatInfo& info) const {
    return m_bHasHeader && m_header.GetConcatenation(info);
  }
  // The national language tables the header names (elements 0x25 and 0x24); a
  // language without such a table reads as the default one.
  CGsm7Tables GetNationalTables() const;

  static const char* TypeName(PduType type);
  // The meaning of a status-report status octet (9.2.3.15).
  static std::string StatusText(uint8_t nStatus);
};
