// mireth pdu: decodes PDUs as a phone shows them in PDU mode, and builds the PDUs
// that AT+CMGS sends.
//
//   mireth pdu decode HEX [HEX...] [--json]
//   mireth pdu encode --to NUMBER --text TEXT [--smsc NUMBER] [--validity N] [--ucs2]
//                     [--class N] [--mr N] [--ref N] [--16bit] [--status-report]
//                     [--reject-duplicates] [--reply-path]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/TableCell.h"
#include "model/RecordJson.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"

namespace {

const char kUsage[] =
    "usage: mireth pdu decode HEX [HEX...] [--json]\n"
    "       mireth pdu encode --to NUMBER --text TEXT [--smsc NUMBER] [--validity N] [--ucs2]\n"
    "                         [--class N] [--mr N] [--ref N] [--16bit] [--status-report]\n"
    "                         [--reject-duplicates] [--reply-path]\n";

int Usage(const char* pszError) {
  if (pszError)
    std::fprintf(stderr, "mireth pdu: %s\n", pszError);
  std::fputs(kUsage, stderr);
  return 2;
}

std::string Hex2(unsigned n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", n & 0xFF);
  return buf;
}

// A JSON string literal of UTF-8 text, in the spelling this command has always
// printed.
std::string Json(const std::string& s) { return JsonString(s, JSON_HEX_UPPER_DEL_KEPT); }

const char* Bool(bool b) { return b ? "true" : "false"; }

std::string AddressJson(const CPduAddress& a) {
  return "{\"text\": " + Json(a.GetText()) + ", \"toa\": \"" + Hex2(a.GetTypeOfAddress()) +
         "\", \"type_of_number\": " + std::to_string(a.GetTypeOfNumber()) +
         ", \"numbering_plan\": " + std::to_string(a.GetNumberingPlan()) + "}";
}

std::string TimeJson(const CPduTimeStamp& ts) {
  if (!ts.IsPresent())
    return "null";
  std::string s = "{\"text\": " + Json(ts.Format()) + ", \"valid\": " + Bool(ts.IsValid());
  if (ts.IsValid()) {
    s += ", \"year\": " + std::to_string(ts.GetYear()) + ", \"month\": " + std::to_string(ts.GetMonth()) +
         ", \"day\": " + std::to_string(ts.GetDay()) + ", \"hour\": " + std::to_string(ts.GetHour()) +
         ", \"minute\": " + std::to_string(ts.GetMinute()) +
         ", \"second\": " + std::to_string(ts.GetSecond()) +
         ", \"offset_minutes\": " + std::to_string(ts.GetOffsetMinutes()) +
         ", \"utc_seconds\": " + std::to_string(ts.ToUtcSeconds());
  }
  return s + "}";
}

void PrintJson(const CPduMessage& m) {
  std::printf("{\n");
  std::printf("  \"type\": %s,\n", Json(CPduMessage::TypeName(m.m_type)).c_str());
  std::printf("  \"pdu\": %s,\n", Json(m.m_strPdu).c_str());
  std::printf("  \"tpdu_length\": %zu,\n", m.GetTpduLength());
  std::printf("  \"service_center\": %s,\n",
              m.m_serviceCenter.IsEmpty() ? "null" : AddressJson(m.m_serviceCenter).c_str());
  std::printf("  \"first_octet\": \"%s\",\n", Hex2(m.m_nFirstOctet).c_str());
  std::printf("  \"header_indicator\": %s,\n", Bool(m.IsHeaderIndicator()));
  std::printf("  \"status_report_flag\": %s,\n", Bool(m.IsStatusReportFlag()));
  if (m.m_type == PduType::SUBMIT) {
    std::printf("  \"reject_duplicates\": %s,\n", Bool(m.IsRejectDuplicates()));
    std::printf("  \"reply_path\": %s,\n", Bool(m.IsReplyPath()));
    std::printf("  \"message_reference\": %u,\n", m.m_nMessageReference);
    std::printf("  \"destination\": %s,\n", AddressJson(m.m_address).c_str());
    std::printf("  \"validity\": %s,\n", Json(m.m_validity.Describe()).c_str());
    std::printf("  \"validity_seconds\": %lld,\n", static_cast<long long>(m.m_validity.GetSeconds()));
  } else {
    std::printf("  \"more_messages\": %s,\n", Bool(m.IsMoreMessagesToSend()));
    std::printf("  \"loop_prevention\": %s,\n", Bool(m.IsLoopPrevention()));
  }
  if (m.m_type == PduType::DELIVER) {
    std::printf("  \"reply_path\": %s,\n", Bool(m.IsReplyPath()));
    std::printf("  \"originator\": %s,\n", AddressJson(m.m_address).c_str());
  }
  if (m.m_type == PduType::STATUS_REPORT) {
    std::printf("  \"message_reference\": %u,\n", m.m_nMessageReference);
    std::printf("  \"recipient\": %s,\n", AddressJson(m.m_address).c_str());
    std::printf("  \"discharge_time\": %s,\n", TimeJson(m.m_dischargeTime).c_str());
    std::printf("  \"status\": \"%s\",\n", Hex2(m.m_nStatus).c_str());
    std::printf("  \"status_text\": %s,\n", Json(CPduMessage::StatusText(m.m_nStatus)).c_str());
  }
  if (m.m_type != PduType::SUBMIT)
    std::printf("  \"time_stamp\": %s,\n", TimeJson(m.m_timeStamp).c_str());
  std::printf("  \"pid\": \"%s\",\n", Hex2(m.m_nPid).c_str());
  std::printf("  \"dcs\": \"%s\",\n", Hex2(m.m_coding.GetValue()).c_str());
  std::printf("  \"alphabet\": %s,\n", Json(CPduDataCoding::AlphabetName(m.m_coding.GetAlphabet())).c_str());
  std::printf("  \"message_class\": %d,\n", m.m_coding.GetMessageClass());
  std::printf("  \"coding\": %s,\n", Json(m.m_coding.Describe()).c_str());
  std::printf("  \"has_user_data\": %s,\n", Bool(m.m_bHasUserData));
  std::printf("  \"user_data_length\": %u,\n", m.m_nUserDataLength);
  std::printf("  \"truncated\": %s,\n", Bool(m.m_bTruncated));
  std::printf("  \"header\": [");
  if (m.m_bHasHeader) {
    const auto& elements = m.m_header.GetElements();
    for (size_t i = 0; i < elements.size(); ++i)
      std::printf("%s{\"iei\": \"%s\", \"data\": \"%s\"}", i ? ", " : "", Hex2(elements[i].m_nIei).c_str(),
                  CPduHex::Encode(elements[i].m_data).c_str());
  }
  std::printf("],\n");
  CPduConcatInfo info;
  if (m.GetConcatenation(info))
    std::printf(
        "  \"concatenation\": {\"reference\": %u, \"total\": %u, \"sequence\": %u, \"reference_bits\": "
        "%d},\n",
        info.m_nReference, info.m_nTotal, info.m_nSequence, info.m_b16Bit ? 16 : 8);
  std::printf("  \"text\": %s\n}\n", Json(m.m_strText).c_str());
}

// Every value is shown terminal-safe: texts and addresses come from the sender.
void Line(const char* pszName, const std::string& value) {
  std::printf("%-20s %s\n", pszName, TerminalText(value).c_str());
}

std::string AddressText(const CPduAddress& a) {
  if (a.IsEmpty() && a.GetTypeOfAddress() == 0)
    return "(none)";
  return (a.IsEmpty() ? std::string("(empty)") : a.GetText()) + "  (type " + Hex2(a.GetTypeOfAddress()) + ")";
}

void PrintText(const CPduMessage& m) {
  Line("Type:", CPduMessage::TypeName(m.m_type));
  Line("Service centre:", m.m_nServiceCenterOctets <= 1 ? "(phone default)" : AddressText(m.m_serviceCenter));
  std::string fo = Hex2(m.m_nFirstOctet);
  if (m.IsHeaderIndicator())
    fo += " header";
  if (m.IsReplyPath())
    fo += " reply-path";
  if (m.IsStatusReportFlag())
    fo += m.m_type == PduType::SUBMIT ? " status-report-request" : " status-report";
  if (m.IsRejectDuplicates())
    fo += " reject-duplicates";
  if (m.IsMoreMessagesToSend())
    fo += " more-messages";
  if (m.IsLoopPrevention())
    fo += " loop-prevention";
  Line("First octet:", fo);
  switch (m.m_type) {
    case PduType::DELIVER:
      Line("From:", AddressText(m.m_address));
      Line("Time stamp:", m.m_timeStamp.Format());
      break;
    case PduType::SUBMIT:
      Line("Message reference:", std::to_string(m.m_nMessageReference));
      Line("To:", AddressText(m.m_address));
      Line("Validity:", m.m_validity.Describe());
      break;
    case PduType::STATUS_REPORT:
      Line("Message reference:", std::to_string(m.m_nMessageReference));
      Line("Recipient:", AddressText(m.m_address));
      Line("Time stamp:", m.m_timeStamp.Format());
      Line("Discharge time:", m.m_dischargeTime.Format());
      Line("Status:", Hex2(m.m_nStatus) + " " + CPduMessage::StatusText(m.m_nStatus));
      break;
  }
  Line("Protocol id:", Hex2(m.m_nPid));
  Line("Data coding:", Hex2(m.m_coding.GetValue()) + " " + m.m_coding.Describe());
  if (m.m_bHasUserData) {
    const bool bSeptets = m.m_coding.GetAlphabet() == CPduDataCoding::GSM7;
    Line("User data length:", std::to_string(m.m_nUserDataLength) + (bSeptets ? " septets" : " octets") +
                                  (m.m_bTruncated ? " (truncated: the PDU ends before)" : ""));
  }
  if (m.m_bHasHeader) {
    for (const auto& e : m.m_header.GetElements())
      Line("Header element:", Hex2(e.m_nIei) + " " + CPduHex::Encode(e.m_data));
    CPduConcatInfo info;
    if (m.GetConcatenation(info))
      Line("Part:", std::to_string(info.m_nSequence) + " of " + std::to_string(info.m_nTotal) +
                        ", reference " + std::to_string(info.m_nReference) +
                        (info.m_b16Bit ? " (16-bit)" : " (8-bit)"));
  }
  Line("PDU length:", std::to_string(m.GetTpduLength()) + " octets after the service centre");
  Line("Text:", m.m_strText);
}

int RunDecode(const std::vector<std::string>& args) {
  bool bJson = false;
  std::vector<std::string> hex;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json")
      bJson = true;
    else if (args[i].rfind("--", 0) == 0)
      return Usage(("unknown option " + args[i]).c_str());
    else
      hex.push_back(args[i]);
  }
  if (hex.empty())
    return Usage("decode needs a PDU in hexadecimal");
  std::vector<CPduMessage> messages;
  int nStatus = 0;
  for (const auto& h : hex) {
    auto result = CPduDecoder::Decode(h);
    if (!result) {
      std::fprintf(stderr, "mireth pdu: cannot decode %s: %s\n", h.c_str(), result.GetError().c_str());
      nStatus = 1;
      continue;
    }
    if (bJson)
      PrintJson(result.Value());
    else {
      if (!messages.empty())
        std::printf("\n");
      PrintText(result.Value());
    }
    messages.push_back(std::move(result).Value());
  }
  if (messages.size() > 1 && !bJson) {
    for (const auto& g : CPduConcatenation::Group(messages)) {
      if (!g.m_bConcatenated)
        continue;
      std::printf("\nConcatenated message from/to %s, reference %u, %u parts: ",
                  TerminalText(g.m_strAddress).c_str(), g.m_nReference, g.m_nTotal);
      if (g.IsComplete()) {
        std::printf("complete\n");
        Line("Text:", g.m_strText);
      } else {
        std::string missing;
        for (int n : g.GetMissing())
          missing += (missing.empty() ? "" : ", ") + std::to_string(n);
        std::printf("incomplete, missing part(s) %s\n", missing.c_str());
      }
    }
  }
  return nStatus;
}

bool ParseNumber(const std::string& s, long nMin, long nMax, long& n) {
  if (s.empty())
    return false;
  char* pEnd = nullptr;
  n = std::strtol(s.c_str(), &pEnd, 0);
  return *pEnd == '\0' && n >= nMin && n <= nMax;
}

int RunEncode(const std::vector<std::string>& args) {
  CPduSubmitRequest r;
  r.m_nFirstOctet = CPduMessage::FO_MTI_SUBMIT;
  bool bTo = false;
  bool bText = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size())
        return false;
      out = args[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (a == "--to") {
      if (!value(r.m_strDestination))
        return Usage("--to needs a number");
      bTo = true;
    } else if (a == "--text") {
      if (!value(r.m_strText))
        return Usage("--text needs a text");
      bText = true;
    } else if (a == "--smsc") {
      if (!value(r.m_strServiceCenter))
        return Usage("--smsc needs a number");
    } else if (a == "--validity") {
      if (!value(v) || !ParseNumber(v, 0, 255, n))
        return Usage("--validity needs a relative validity value 0-255");
      r.m_nValidity = static_cast<uint8_t>(n);
      r.m_nFirstOctet |= 0x10;
    } else if (a == "--class") {
      if (!value(v) || !ParseNumber(v, 0, 3, n))
        return Usage("--class needs a message class 0-3");
      r.m_nMessageClass = static_cast<int>(n);
    } else if (a == "--mr") {
      if (!value(v) || !ParseNumber(v, 0, 255, n))
        return Usage("--mr needs a message reference 0-255");
      r.m_nMessageReference = static_cast<uint8_t>(n);
    } else if (a == "--ref") {
      if (!value(v) || !ParseNumber(v, 0, 65535, n))
        return Usage("--ref needs a concatenation reference 0-65535");
      r.m_nConcatReference = static_cast<uint16_t>(n);
    } else if (a == "--ucs2") {
      r.m_encoding = PduEncoding::UCS2;
    } else if (a == "--16bit") {
      r.m_b16BitReference = true;
    } else if (a == "--status-report") {
      r.m_nFirstOctet |= CPduMessage::FO_SRI_SRR;
    } else if (a == "--reject-duplicates") {
      r.m_nFirstOctet |= CPduMessage::FO_MMS_RD;
    } else if (a == "--reply-path") {
      r.m_nFirstOctet |= CPduMessage::FO_RP;
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }
  if (!bTo)
    return Usage("encode needs --to NUMBER");
  if (!bText)
    return Usage("encode needs --text TEXT");
  if (r.m_nConcatReference > 255 && !r.m_b16BitReference)
    return Usage("--ref above 255 needs --16bit");
  auto result = CPduEncoder::EncodeSubmit(r);
  if (!result) {
    std::fprintf(stderr, "mireth pdu: cannot encode: %s\n", result.GetError().c_str());
    return 1;
  }
  for (const auto& e : result.Value())
    std::printf("AT+CMGS=%zu\n%s\n", e.m_nTpduLength, e.m_strPdu.c_str());
  return 0;
}

int RunPdu(const std::vector<std::string>& args) {
  if (args.empty())
    return Usage(nullptr);
  if (args[0] == "decode")
    return RunDecode(args);
  if (args[0] == "encode")
    return RunEncode(args);
  if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Usage(("unknown sub-command " + args[0]).c_str());
}

}  // namespace

static CCommandRegistrar reg("pdu", "decode SMS PDUs and build the PDUs that AT+CMGS sends", RunPdu);
