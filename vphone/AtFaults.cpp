// The faults the interpreter plays on request: hanging up or falling silent after so
// many commands, line noise and floods of unsolicited codes around the replies, and
// canned answers to chosen commands.
#include "vphone/AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "vphone/CommandText.h"

namespace vphone {
namespace {

// Unsolicited codes the flood fault cycles through.
const char* const kFloodCodes[] = {"+CMTI: \"SM\",3", "RING", "+CREG: 1", "^RSSI: 12"};
// Line noise sent by the garbage fault: no CR or LF, some bytes no text uses.
const char kGarbage[] = "\xff\xfe\x13~#\x7f\xf0\x05%&";

}  // namespace

void CAtInterpreter::SetFaults(const CVirtualPhoneFaults& faults) {
  m_faults = faults;
  m_nCommands = 0;
  m_bSilent = faults.m_nSilentAfter == 0;
}

void CAtInterpreter::EmitUrcFlood() {
  for (int i = 0; i < m_faults.m_nUrcFlood; ++i) {
    const char* pszCode = kFloodCodes[m_nUrcTurn++ % (sizeof kFloodCodes / sizeof kFloodCodes[0])];
    Emit(Eol() + pszCode + Eol());
  }
}

void CAtInterpreter::AfterCommandLine() {
  if (m_faults.m_nHangUpAfter >= 0 && m_nCommands >= m_faults.m_nHangUpAfter)
    HangUp();
  if (m_faults.m_nSilentAfter >= 0 && m_nCommands >= m_faults.m_nSilentAfter) {
    if (!m_bSilent)
      WriteLog("SILENT");
    m_bSilent = true;
  }
}

// The hang-up fault: the command past the count is not run and the line closes.
bool CAtInterpreter::HangUpBeforeCommand() {
  if (m_faults.m_nHangUpAfter < 0 || m_nCommands <= m_faults.m_nHangUpAfter)
    return false;
  HangUp();
  return true;
}

// Garbage before every so many replies, and the flood of unsolicited codes.
void CAtInterpreter::EmitLineNoise() {
  if (m_faults.m_nGarbageEvery > 0 && m_nCommands % m_faults.m_nGarbageEvery == 0)
    Emit(std::string(kGarbage, sizeof kGarbage - 1));
  EmitUrcFlood();
}

// A canned answer for a command whose start matches a fault: sent in place of the
// command's own (true), or kept for the answer after the PDU of AT+CMGS and AT+CMGW.
bool CAtInterpreter::AnswerByCommandFault(const std::string& strUpper) {
  for (CVirtualPhoneCommandFault& fault : m_faults.m_vecCommandFaults) {
    if (fault.m_nTimes == 0 || fault.m_strPrefix.empty() || strUpper.rfind(Upper(fault.m_strPrefix), 0) != 0)
      continue;
    if (fault.m_nTimes > 0)
      --fault.m_nTimes;
    WriteLog("FAULT " + fault.m_strReply);
    if (strUpper.rfind("AT+CMGS=", 0) == 0 || strUpper.rfind("AT+CMGW=", 0) == 0) {
      m_strPduFault = fault.m_strReply;  // answered after the PDU
      return false;
    }
    CResult result;
    result.m_eKind = CResult::eRaw;
    result.m_strText = fault.m_strReply;
    EmitReply(result);
    AfterCommandLine();
    return true;
  }
  return false;
}

}  // namespace vphone
