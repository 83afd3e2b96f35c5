// The interpreter's message commands: storages as the client names them, the PDU
// written after the prompt and sent to the network, and AT+CPMS, +CMGL, +CMGR,
// +CMGD, +CMGS, +CMGW and +CMSS.
#include "vphone/AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "vphone/CommandText.h"
#include "vphone/MessagesFile.h"

namespace vphone {
namespace {

const int kMaxTpdu = 164;  // largest SMS-SUBMIT TPDU

}  // namespace

// ---------------------------------------------------------------------------------
// Storages as the client names them

std::string CAtInterpreter::RealName(const std::string& strName) const {
  std::string strUpper = Upper(strName);
  for (const std::string& strAlias : m_config.m_vecStorageAliases) {
    std::size_t nEquals = strAlias.find('=');
    if (nEquals != std::string::npos && Upper(strAlias.substr(0, nEquals)) == strUpper)
      return Upper(strAlias.substr(nEquals + 1));
  }
  return strUpper;
}

bool CAtInterpreter::IsSelectable(const std::string& strName) const {
  for (const std::string& strRefused : m_config.m_vecUnselectable)
    if (Upper(strRefused) == Upper(strName))
      return false;
  return m_store.HasStorage(strName) || (strName == "MT" && m_config.m_bMtStorage);
}

std::vector<CAtInterpreter::CPlace> CAtInterpreter::Places(const std::string& strMem) const {
  std::vector<CPlace> places;
  int nOffset = 0;
  for (const std::string& strName : m_store.GetStorageNames()) {
    if (strMem != "MT" && strName != strMem)
      continue;
    for (int nIndex : m_store.GetIndexes(strName))
      places.push_back({strName, nIndex, nOffset + nIndex});
    nOffset += m_store.GetCapacity(strName);
  }
  return places;
}

bool CAtInterpreter::Resolve(const std::string& strMem, int nView, CPlace& place) const {
  int nOffset = 0;
  for (const std::string& strName : m_store.GetStorageNames()) {
    if (strMem != "MT" && strName != strMem)
      continue;
    int nCapacity = m_store.GetCapacity(strName);
    if (nView > nOffset && nView <= nOffset + nCapacity) {
      place = {strName, nView - nOffset, nView};
      return true;
    }
    nOffset += nCapacity;
  }
  return false;
}

int CAtInterpreter::ViewUsed(const std::string& strMem) const {
  if (strMem != "MT")
    return m_store.GetUsed(strMem);
  int n = 0;
  for (const std::string& strName : m_store.GetStorageNames())
    n += m_store.GetUsed(strName);
  return n;
}

int CAtInterpreter::ViewCapacity(const std::string& strMem) const {
  if (strMem != "MT")
    return m_store.GetCapacity(strMem);
  int n = 0;
  for (const std::string& strName : m_store.GetStorageNames())
    n += m_store.GetCapacity(strName);
  return n;
}

std::string CAtInterpreter::WriteTarget(const std::string& strMem) const {
  if (strMem != "MT")
    return strMem;
  return m_store.HasStorage("SM") ? "SM" : m_store.GetStorageNames().front();
}

// ---------------------------------------------------------------------------------
// Sending

int CAtInterpreter::SendToNetwork(const Octets& octets, const CSmsPdu& pdu) {
  int nReference = m_nNextReference;
  m_nNextReference = (m_nNextReference + 1) % 256;
  std::string strHex = CSmsPdu::ToHex(octets);
  m_vecSent.push_back(strHex);
  WriteLog("SENT " + std::to_string(nReference) + " " + strHex);
  m_reports.Sent(octets, pdu, nReference, m_strSmsc, CNetworkReports::Clock::now());
  if (!pdu.m_bAlphanumericAddress && SameNumber(pdu.m_strAddress, m_config.m_strOwnNumber)) {
    Octets deliver = pdu.MakeDeliver(octets, m_strSmsc, CSmsPdu::MakeTimeStamp(std::time(nullptr)));
    std::string strError;
    // The reply to the send command is still open, so +CMTI follows its OK.
    Receive(m_strMem[2], CSmsPdu::ToHex(deliver), strError);
  }
  return nReference;
}

void CAtInterpreter::FinishPdu() {
  WriteLog("PDU " + Printable(m_strPduText));
  m_bReplyOpen = true;
  std::string strFault;
  strFault.swap(m_strPduFault);
  CResult result;
  Octets octets;
  CSmsPdu pdu;
  std::string strWhy;
  CSmsPdu::EType eType = (m_bPduForSend || m_nPduStatus >= eStoUnsent) ? CSmsPdu::eSubmit : CSmsPdu::eDeliver;
  if (!strFault.empty()) {
    result.m_eKind = CResult::eRaw;
    result.m_strText = strFault;
  } else if (m_bPduOverflow || !CSmsPdu::FromHex(m_strPduText, octets) || octets.empty()) {
    WriteLog("REJECTED not a hex PDU");
    result = Cms(304);
  } else if (octets.size() != 1u + octets[0] + static_cast<std::size_t>(m_nPduLength)) {
    WriteLog("REJECTED " +
             std::to_string(octets.size() - std::min<std::size_t>(octets.size(), 1u + octets[0])) +
             " TPDU octets, " + std::to_string(m_nPduLength) + " announced");
    result = Cms(304);
  } else if (!pdu.Parse(octets, eType, &strWhy)) {
    WriteLog("REJECTED " + strWhy);
    result = Cms(304);
  } else if (m_bPduForSend) {
    if (octets[0] == 0 && m_strSmsc.empty()) {
      result = Cms(330);
    } else {
      int nReference = SendToNetwork(octets, pdu);
      AddInfo("+CMGS: " + std::to_string(nReference));
    }
  } else {
    CStoredMessage message;
    message.m_nStatus = m_nPduStatus;
    message.m_strPdu = CSmsPdu::ToHex(octets);
    message.m_nTpduLength = static_cast<int>(pdu.TpduLength());
    const std::string strTarget = WriteTarget(m_strMem[1]);
    int nIndex = m_store.Add(strTarget, message);
    if (nIndex == 0) {
      result = Cms(322);
    } else {
      WriteLog("STORED " + strTarget + " " + std::to_string(nIndex) + " " + message.m_strPdu);
      int nView = nIndex;
      for (const CPlace& place : Places(m_strMem[1]))
        if (place.m_strStorage == strTarget && place.m_nIndex == nIndex)
          nView = place.m_nView;
      AddInfo("+CMGW: " + std::to_string(nView));
    }
  }
  m_bInPdu = false;
  m_strPduText.clear();
  EmitReply(result);
}

// ---------------------------------------------------------------------------------
// Commands

CAtInterpreter::CResult CAtInterpreter::OnCpms(ECommandKind eKind, const std::string& strArgs) {
  const int nParams = m_config.m_nCpmsParameters;
  std::vector<CArg> args;
  std::string strText;
  auto use = [this](const std::string& strMem) {
    return std::to_string(ViewUsed(strMem)) + "," + std::to_string(ViewCapacity(strMem));
  };
  switch (eKind) {
    case eTest: {
      if (!m_config.m_strCpmsTestReply.empty()) {
        AddInfo(m_config.m_strCpmsTestReply);
        return Ok();
      }
      std::string strSet;
      for (const std::string& strName : m_store.GetStorageNames())
        strSet += (strSet.empty() ? "\"" : ",\"") + strName + "\"";
      if (m_config.m_bMtStorage)
        strSet += ",\"MT\"";
      for (int i = 0; i < nParams; ++i)
        strText += (i ? ",(" : "(") + strSet + ")";
      AddInfo("+CPMS: " + strText);
      return Ok();
    }
    case eRead:
      if (!m_config.m_strCpmsReadReply.empty()) {
        AddInfo(m_config.m_strCpmsReadReply);
        return Ok();
      }
      for (int i = 0; i < nParams; ++i)
        strText += (i ? ",\"" : "\"") + m_strMem[i] + "\"," + use(m_strMem[i]);
      AddInfo("+CPMS: " + strText);
      return Ok();
    case eSet: {
      if (!SplitArgs(strArgs, args) || args.empty() || static_cast<int>(args.size()) > nParams ||
          static_cast<int>(args.size()) < m_config.m_nCpmsMinParameters)
        return Error();
      std::string astrNew[3] = {m_strMem[0], m_strMem[1], m_strMem[2]};
      for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].IsEmpty())
          continue;
        std::string strName = RealName(args[i].m_strText);
        if (!IsSelectable(strName))
          return Cms(302);
        astrNew[i] = strName;
      }
      // Memories the phone does not let the client choose follow the first.
      for (int i = nParams; i < 3; ++i)
        astrNew[i] = astrNew[0];
      for (int i = 0; i < 3; ++i)
        m_strMem[i] = astrNew[i];
      for (int i = 0; i < nParams; ++i)
        strText += (i ? "," : "") + use(m_strMem[i]);
      AddInfo("+CPMS: " + strText);
      return Ok();
    }
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCmgl(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nStat = eRecUnread;
  if (eKind == eTest) {
    AddInfo("+CMGL: (0-4)");
    return Ok();
  }
  if (eKind == eRead)
    return Error();
  if (eKind == eSet && (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nStat) || nStat > 4))
    return Error();
  if (m_config.m_bCmglHangs) {
    WriteLog("HANGS");
    return CResult{CResult::eNoAnswer, 0, {}};
  }
  std::vector<CPlace> entries;
  for (const CPlace& place : Places(m_strMem[0]))
    if (nStat == 4 || m_store.Get(place.m_strStorage, place.m_nIndex)->m_nStatus == nStat)
      entries.push_back(place);
  const int nCut = m_faults.m_nHangUpInListing;
  bool bCut = nCut >= 0 && static_cast<int>(entries.size()) > nCut;
  if (bCut)
    entries.resize(static_cast<std::size_t>(nCut));
  int nEntry = 0;
  for (const CPlace& place : entries) {
    CStoredMessage* pMessage = m_store.Get(place.m_strStorage, place.m_nIndex);
    AddInfo("+CMGL: " + std::to_string(place.m_nView) + "," + std::to_string(pMessage->m_nStatus) + ",," +
            std::to_string(pMessage->m_nTpduLength));
    std::string strPdu = pMessage->m_strPdu;
    if (++nEntry == m_config.m_nCorruptEntry && strPdu.size() > 8)
      strPdu.replace(strPdu.size() - 4, 2, "ZZ");  // as a damaged SIM record reads
    AddInfo(strPdu, true);
    if (pMessage->m_nStatus == eRecUnread)
      pMessage->m_nStatus = eRecRead;  // listed = read
  }
  if (bCut) {
    m_bHangUpAfterInfo = true;
    return CResult{CResult::eNoAnswer, 0, {}};
  }
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCmgr(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nIndex = 0;
  if (eKind == eTest)
    return Ok();
  if (eKind != eSet || !SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nIndex))
    return Error();
  CPlace place;
  CStoredMessage* pMessage =
      Resolve(m_strMem[0], nIndex, place) ? m_store.Get(place.m_strStorage, place.m_nIndex) : nullptr;
  if (!pMessage)
    return Cms(321);
  AddInfo("+CMGR: " + std::to_string(pMessage->m_nStatus) + ",," + std::to_string(pMessage->m_nTpduLength));
  AddInfo(pMessage->m_strPdu, true);
  if (pMessage->m_nStatus == eRecUnread)
    pMessage->m_nStatus = eRecRead;
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCmgd(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nIndex = 0;
  int nFlag = 0;
  if (eKind == eTest) {
    std::string strList;
    for (const CPlace& place : Places(m_strMem[0]))
      strList += (strList.empty() ? "" : ",") + std::to_string(place.m_nView);
    AddInfo("+CMGD: (" + strList + "),(0-4)");
    return Ok();
  }
  if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 2)
    return Error();
  if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nFlag) || nFlag > 4))
    return Error();
  if (nFlag == 0) {
    CPlace place;
    if (!ToInt(args[0], nIndex))
      return Error();
    if (!Resolve(m_strMem[0], nIndex, place))
      return Cms(321);
    if (m_store.Delete(place.m_strStorage, place.m_nIndex))
      WriteLog("DELETED " + place.m_strStorage + " " + std::to_string(place.m_nIndex));
    return Ok();
  }
  if (!args[0].IsEmpty() && !ToInt(args[0], nIndex))
    return Error();
  for (const CPlace& place : Places(m_strMem[0])) {
    int nStatus = m_store.Get(place.m_strStorage, place.m_nIndex)->m_nStatus;
    bool bDelete = nFlag == 4 || nStatus == eRecRead || (nFlag >= 2 && nStatus == eStoSent) ||
                   (nFlag >= 3 && nStatus == eStoUnsent);
    if (bDelete && m_store.Delete(place.m_strStorage, place.m_nIndex))
      WriteLog("DELETED " + place.m_strStorage + " " + std::to_string(place.m_nIndex));
  }
  return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCmgs(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nLength = 0;
  if (eKind == eTest)
    return Ok();
  if (eKind != eSet || !SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nLength))
    return Error();
  if (nLength < 1 || nLength > kMaxTpdu)
    return Cms(304);
  m_bPduForSend = true;
  m_nPduLength = nLength;
  return CResult{CResult::ePrompt, 0, {}};
}

CAtInterpreter::CResult CAtInterpreter::OnCmgw(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nLength = 0;
  int nStatus = eStoUnsent;
  if (eKind == eTest)
    return Ok();
  if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 2 ||
      !ToInt(args[0], nLength))
    return Error();
  if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nStatus) || nStatus > 3))
    return Error();
  if (nLength < 1 || nLength > kMaxTpdu)
    return Cms(304);
  m_bPduForSend = false;
  m_nPduLength = nLength;
  m_nPduStatus = nStatus;
  return CResult{CResult::ePrompt, 0, {}};
}

CAtInterpreter::CResult CAtInterpreter::OnCmss(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nIndex = 0;
  int nType = -1;
  if (eKind == eTest)
    return Ok();
  if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 3 ||
      !ToInt(args[0], nIndex))
    return Error();
  if (args.size() == 3 && !args[2].IsEmpty() && (!ToInt(args[2], nType) || nType < 128 || nType > 255))
    return Error();
  CPlace place;
  CStoredMessage* pMessage =
      Resolve(m_strMem[1], nIndex, place) ? m_store.Get(place.m_strStorage, place.m_nIndex) : nullptr;
  if (!pMessage)
    return Cms(321);
  if (pMessage->m_nStatus < eStoUnsent)
    return Cms(302);  // a received message cannot be sent
  Octets octets;
  CSmsPdu pdu;
  if (!CSmsPdu::FromHex(pMessage->m_strPdu, octets) || !pdu.Parse(octets, CSmsPdu::eSubmit))
    return Cms(300);
  if (args.size() >= 2 && !args[1].IsEmpty()) {
    std::string strNumber;
    Octets field;
    if (!args[1].m_bQuoted || !FromTeString(args[1].m_strText, m_strCharset, strNumber) ||
        !CSmsPdu::EncodeAddress(strNumber, nType, field))
      return Error();
    octets = pdu.WithDestination(octets, field);
    if (!pdu.Parse(octets, CSmsPdu::eSubmit))
      return Cms(300);
  }
  if (octets[0] == 0 && m_strSmsc.empty())
    return Cms(330);
  int nReference = SendToNetwork(octets, pdu);
  pMessage->m_nStatus = eStoSent;
  AddInfo("+CMSS: " + std::to_string(nReference));
  return Ok();
}

}  // namespace vphone
