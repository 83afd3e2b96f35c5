#include "ComposeTestSupport.h"

#include "vphone/SmsPdu.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// Read with the virtual phone's own PDU parser, which shares no code with the
// encoder under test.
std::optional<CSubmitPdu> ReadSubmitPdu(const std::string& strHex) {
  vphone::Octets octets;
  vphone::CSmsPdu parsed;
  if (!vphone::CSmsPdu::FromHex(strHex, octets) || !parsed.Parse(octets, vphone::CSmsPdu::eSubmit))
    return std::nullopt;
  auto hex = [&octets](size_t nFirst, size_t nEnd) {
    return vphone::CSmsPdu::ToHex(
        vphone::Octets(octets.begin() + static_cast<long>(nFirst), octets.begin() + static_cast<long>(nEnd)));
  };
  CSubmitPdu pdu;
  pdu.nFirstOctet = parsed.m_nFirstOctet;
  pdu.strAddressField = hex(parsed.m_nAddressOffset, parsed.m_nAddressOffset + parsed.m_nAddressSize);
  pdu.nDcs = parsed.m_nDcs;
  if (((parsed.m_nFirstOctet >> 3) & 0x03) == 2)  // TP-VPF relative: one octet before TP-UDL
    pdu.nRelativeValidity = octets[parsed.m_nUdlOffset - 1];
  pdu.nUdl = parsed.m_nUdl;
  pdu.strUserData = hex(parsed.m_nUdlOffset + 1, octets.size());
  return pdu;
}

std::string CComposeTest::SubmitText(size_t n) const {
  const std::optional<CSubmitPdu> pdu = SubmitPdu(n);
  if (!pdu)
    return "none";
  return "DA " + pdu->strAddressField + " DCS " + std::to_string(pdu->nDcs) + " VP " +
         (pdu->nRelativeValidity ? std::to_string(*pdu->nRelativeValidity) : "-") + " UDL " +
         std::to_string(pdu->nUdl) + " UD " + pdu->strUserData;
}
