// The interpreter's general commands: error reports, PIN, character set, indications,
// rate, message format and service, service centre, identification, and the network
// and power state.
#include "vphone/AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "vphone/CommandText.h"

namespace vphone {
namespace {

const int kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

}  // namespace

CAtInterpreter::CResult CAtInterpreter::OnCmee(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int n = 0;
  switch (eKind) {
    case eTest:
      AddInfo("+CMEE: (0-2)");
      return Ok();
    case eRead:
      AddInfo("+CMEE: " + std::to_string(m_nCmee));
      return Ok();
    case eExec:
      m_nCmee = 0;
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], n) || n > 2)
        return Error();
      if (!m_config.m_bCmeeFixed)
        m_nCmee = n;
      return Ok();
  }
  return Error();
}

CAtInterpreter::CResult CAtInterpreter::OnCpin(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  switch (eKind) {
    case eTest:
      return Ok();
    case eRead:
      AddInfo(m_bPinLocked ? "+CPIN: SIM PIN" : "+CPIN: READY");
      return m_config.m_bCpinWithoutOk ? CResult{CResult::eNoAnswer, 0, {}} : Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.empty() || args.size() > 2)
        return Error();
      if (!m_bPinLocked)
        return Cme(3);
      if (args[0].m_strText != m_config.m_strPin) {
        WriteLog("PIN refused");
        return Cme(16);
      }
      m_bPinLocked = false;
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCscs(ECommandKind eKind, const std::string& strArgs) {
  static const char* const kSets[] = {"GSM", "IRA", "8859-1", "UCS2"};
  std::vector<CArg> args;
  switch (eKind) {
    case eTest:
      AddInfo("+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\")");
      return Ok();
    case eRead:
      AddInfo("+CSCS: \"" + m_strCharset + "\"");
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1)
        return Error();
      for (const char* pszSet : kSets) {
        if (Upper(args[0].m_strText) == pszSet) {
          m_strCharset = pszSet;
          return Ok();
        }
      }
      return Error();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCnmi(ECommandKind eKind, const std::string& strArgs) {
  static const int kMax[5] = {2, 1, 0, 1, 1};
  std::vector<CArg> args;
  std::string strValue;
  int anNew[5];
  switch (eKind) {
    case eTest:
      AddInfo("+CNMI: (0-2),(0,1),(0),(0,1),(0,1)");
      return Ok();
    case eRead:
      for (int i = 0; i < 5; ++i)
        strValue += (i ? "," : "") + std::to_string(m_anCnmi[i]);
      AddInfo("+CNMI: " + strValue);
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() > 5)
        return Error();
      std::copy(m_anCnmi, m_anCnmi + 5, anNew);
      for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].IsEmpty())
          continue;
        if (!ToInt(args[i], anNew[i]) || anNew[i] > kMax[i])
          return Error();
      }
      std::copy(anNew, anNew + 5, m_anCnmi);
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnIpr(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  std::string strList;
  int nRate = 0;
  switch (eKind) {
    case eTest:
      for (int n : kRates)
        strList += (strList.empty() ? "" : ",") + std::to_string(n);
      AddInfo("+IPR: (0),(" + strList + ")");
      return Ok();
    case eRead:
      AddInfo("+IPR: " + std::to_string(m_nIpr));
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nRate))
        return Error();
      if (nRate != 0 && std::find(std::begin(kRates), std::end(kRates), nRate) == std::end(kRates))
        return Error();
      m_nIpr = nRate;
      // A paced line follows the new rate once the OK has left at the old one.
      if (m_nRate > 0 && nRate > 0)
        m_nPendingRate = nRate;
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCmgf(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nMode = 0;
  switch (eKind) {
    case eTest:
      AddInfo("+CMGF: (0)");
      return Ok();
    case eRead:
      AddInfo("+CMGF: 0");
      return Ok();
    case eExec:
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nMode) || nMode > 1)
        return Error();
      return nMode == 0 ? Ok() : Cms(303);  // PDU mode only
  }
  return Error();
}

CAtInterpreter::CResult CAtInterpreter::OnCsms(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nService = 0;
  switch (eKind) {
    case eTest:
      AddInfo("+CSMS: (0,1)");
      return Ok();
    case eRead:
      AddInfo("+CSMS: " + std::to_string(m_nCsms) + ",1,1,1");
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nService) || nService > 1)
        return Error();
      m_nCsms = nService;
      AddInfo("+CSMS: 1,1,1");
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCsca(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  std::string strNumber;
  int nType = -1;
  Octets field;
  switch (eKind) {
    case eTest:
      return Ok();
    case eRead:
      AddInfo("+CSCA: \"" + ToTeString(m_strSmsc, m_strCharset) + "\"," + std::to_string(m_nSmscType));
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.empty() || args.size() > 2 || !args[0].m_bQuoted)
        return Error();
      if (!FromTeString(args[0].m_strText, m_strCharset, strNumber))
        return Error();
      if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nType) || nType < 128 || nType > 255))
        return Error();
      if (!strNumber.empty() && !CSmsPdu::EncodeSmscAddress(strNumber, nType, field))
        return Error();
      m_strSmsc = strNumber;
      m_nSmscType = (!strNumber.empty() && strNumber[0] == '+') ? 145 : (nType < 0 ? 129 : nType);
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::InfoText(ECommandKind eKind, const char* pszName,
                                                 const std::string& strValue) {
  if (eKind == eTest)
    return Ok();
  if (eKind != eExec)
    return Error();
  AddInfo(m_config.m_bPrefixedInfo ? std::string(pszName) + ": " + strValue : strValue);
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCgmi(ECommandKind eKind, const std::string&) {
  return InfoText(eKind, "+CGMI", m_config.m_strManufacturer);
}

CAtInterpreter::CResult CAtInterpreter::OnCgmm(ECommandKind eKind, const std::string&) {
  return InfoText(eKind, "+CGMM", m_config.m_strModel);
}

CAtInterpreter::CResult CAtInterpreter::OnCgmr(ECommandKind eKind, const std::string&) {
  return InfoText(eKind, "+CGMR", m_config.m_strRevision);
}

CAtInterpreter::CResult CAtInterpreter::OnCgsn(ECommandKind eKind, const std::string&) {
  return InfoText(eKind, "+CGSN", m_config.m_strImei);
}

CAtInterpreter::CResult CAtInterpreter::OnCimi(ECommandKind eKind, const std::string&) {
  if (eKind == eTest)
    return Ok();
  if (eKind != eExec)
    return Error();
  AddInfo(m_config.m_strImsi);
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCsq(ECommandKind eKind, const std::string&) {
  if (eKind == eTest)
    AddInfo("+CSQ: (0-31,99),(0-7,99)");
  else if (eKind == eExec)
    AddInfo("+CSQ: 21,99");
  else
    return Error();
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCreg(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int n = 0;
  switch (eKind) {
    case eTest:
      AddInfo("+CREG: (0-2)");
      return Ok();
    case eRead:
      AddInfo("+CREG: " + std::to_string(m_nCreg) + ",1");
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], n) || n > 2)
        return Error();
      m_nCreg = n;
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCops(ECommandKind eKind, const std::string&) {
  switch (eKind) {
    case eTest:
      AddInfo("+COPS: (2,\"Kelvane Mobile\",\"Kelvane\",\"23415\"),,(0-4),(0-2)");
      return Ok();
    case eRead:
      AddInfo("+COPS: 0,0,\"Kelvane Mobile\"");
      return Ok();
    case eSet:
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCfun(ECommandKind eKind, const std::string&) {
  switch (eKind) {
    case eTest:
      AddInfo("+CFUN: (0,1),(0,1)");
      return Ok();
    case eRead:
      AddInfo("+CFUN: 1");
      return Ok();
    case eSet:
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCbc(ECommandKind eKind, const std::string&) {
  if (eKind == eTest)
    AddInfo("+CBC: (0-3),(0-100)");
  else if (eKind == eExec)
    AddInfo("+CBC: 0,80");
  else
    return Error();
  return Ok();
}

}  // namespace vphone
