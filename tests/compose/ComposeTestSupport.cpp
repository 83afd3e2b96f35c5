#include "ComposeTestSupport.h"

#include "vphone/SmsPdu.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// Read with the virtual phone's own PDU parser, which shares no code with the
// encoder under test.
std::string DescribeSubmitPdu(const std::string& strHex) {
  vphone::Octets octets;
  vphone::CSmsPdu parsed;
  if (!vphone::CSmsPdu::FromHex(strHex, octets) || !parsed.Parse(octets, vphone::CSmsPdu::eSubmit))
    return "none";
  auto hex = [&octets](size_t nFirst, size_t nEnd) {
    return vphone::CSmsPdu::ToHex(
        vphone::Octets(octets.begin() + static_cast<long>(nFirst), octets.begin() + static_cast<long>(nEnd)));
  };
  // TP-VPF relative: one octet before TP-UDL.
  const bool bRelative = ((parsed.m_nFirstOctet >> 3) & 0x03) == 2;
  return "DA " + hex(parsed.m_nAddressOffset, parsed.m_nAddressOffset + parsed.m_nAddressSize) + " DCS " +
         std::to_string(parsed.m_nDcs) + " VP " +
         (bRelative ? std::to_string(octets[parsed.m_nUdlOffset - 1]) : "-") + " UDL " +
         std::to_string(parsed.m_nUdl) + " UD " + hex(parsed.m_nUdlOffset + 1, octets.size());
}
