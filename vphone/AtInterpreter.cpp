#include "vphone/AtInterpreter.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "vphone/MessagesFile.h"

namespace vphone {
namespace {

const std::size_t kMaxLine = 1024;     // longer command lines are refused
const std::size_t kMaxPduText = 400;   // hex digits after the prompt (176 octets fit in 352)
const int kMaxTpdu = 164;              // largest SMS-SUBMIT TPDU

// Unsolicited codes the flood fault cycles through.
const char* const kFloodCodes[] = {"+CMTI: \"SM\",3", "RING", "+CREG: 1", "^RSSI: 12"};
// Line noise sent by the garbage fault: no CR or LF, some bytes no text uses.
const char kGarbage[] = "\xff\xfe\x13~#\x7f\xf0\x05%&";

const int kRates[] = {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800};

std::string Upper(std::string str) {
    for (char& c : str) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return str;
}

// Upper case outside double quotes, so quoted parameters keep their case.
std::string UpperOutsideQuotes(const std::string& str) {
    std::string out = str;
    bool bQuoted = false;
    for (char& c : out) {
        if (c == '"') bQuoted = !bQuoted;
        else if (!bQuoted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The log is a text file of lines: control and non-ASCII bytes are written as \xHH.
std::string Printable(const std::string& str) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : str) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

const char* CmeText(int nCode) {
    switch (nCode) {
    case 0: return "phone failure";
    case 3: return "operation not allowed";
    case 4: return "operation not supported";
    case 10: return "SIM not inserted";
    case 11: return "SIM PIN required";
    case 13: return "SIM failure";
    case 14: return "SIM busy";
    case 16: return "incorrect password";
    case 20: return "memory full";
    case 21: return "invalid index";
    case 22: return "not found";
    default: return "unknown";
    }
}

const char* CmsText(int nCode) {
    switch (nCode) {
    case 300: return "ME failure";
    case 302: return "operation not allowed";
    case 303: return "operation not supported";
    case 304: return "invalid PDU mode parameter";
    case 305: return "invalid text mode parameter";
    case 310: return "SIM not inserted";
    case 311: return "SIM PIN required";
    case 313: return "SIM failure";
    case 314: return "SIM busy";
    case 320: return "memory failure";
    case 321: return "invalid memory index";
    case 322: return "memory full";
    case 330: return "SMSC address unknown";
    case 331: return "no network service";
    case 332: return "network timeout";
    default: return "unknown error";
    }
}

// Texts in the TE character set: with "UCS2" each character is four hex digits.
std::string ToTeString(const std::string& str, const std::string& strCharset) {
    if (strCharset != "UCS2") return str;
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : str) {
        out += "00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

bool FromTeString(const std::string& str, const std::string& strCharset, std::string& out) {
    if (strCharset != "UCS2") {
        out = str;
        return true;
    }
    Octets octets;
    if (str.size() % 4 != 0 || !CSmsPdu::FromHex(str, octets)) return false;
    out.clear();
    for (std::size_t i = 0; i < octets.size(); i += 2) {
        if (octets[i] != 0 || octets[i + 1] >= 0x80) return false;  // numbers are ASCII
        out += static_cast<char>(octets[i + 1]);
    }
    return true;
}

}  // namespace

CAtInterpreter::CAtInterpreter(const CVirtualPhoneConfig& config) : m_config(config) {}

bool CAtInterpreter::Init(std::string& strError) {
    if (m_config.m_vecStorages.empty()) {
        strError = "the phone needs at least one storage";
        return false;
    }
    for (const std::string& strRaw : m_config.m_vecStorages) {
        std::string strName = Upper(strRaw);
        int nCapacity;
        if (strName == "ME") nCapacity = m_config.m_nPhoneCapacity;
        else if (strName == "SM") nCapacity = m_config.m_nSimCapacity;
        else {
            strError = "unknown storage \"" + strRaw + "\" (use ME and/or SM)";
            return false;
        }
        if (nCapacity < 1 || nCapacity > 9999) {
            strError = "the capacity of " + strName + " must be 1 to 9999";
            return false;
        }
        if (!m_store.AddStorage(strName, nCapacity)) {
            strError = "storage " + strName + " given twice";
            return false;
        }
    }
    if (m_config.m_nCpmsMinParameters < 1 || m_config.m_nCpmsMinParameters > m_config.m_nCpmsParameters) {
        strError = "AT+CPMS cannot want more storage names than it takes";
        return false;
    }
    if (m_config.m_strLineEnd.empty()) {
        strError = "the phone needs a line end";
        return false;
    }
    if (m_config.m_nCpmsParameters < 1 || m_config.m_nCpmsParameters > 3) {
        strError = "AT+CPMS takes 1, 2 or 3 storage parameters";
        return false;
    }
    if (m_config.m_nBaudRate < 0) {
        strError = "the baud rate must not be negative";
        return false;
    }
    if (m_config.m_nCmee < 0 || m_config.m_nCmee > 2) {
        strError = "the +CMEE mode must be 0, 1 or 2";
        return false;
    }
    Octets field;
    if (!m_config.m_strSmsc.empty() && !CSmsPdu::EncodeSmscAddress(m_config.m_strSmsc, -1, field)) {
        strError = "bad service-centre number \"" + m_config.m_strSmsc + "\"";
        return false;
    }
    if (!CSmsPdu::EncodeAddress(m_config.m_strOwnNumber, -1, field)) {
        strError = "bad own number \"" + m_config.m_strOwnNumber + "\"";
        return false;
    }
    std::string strFirst = m_store.HasStorage("SM") ? "SM" : m_store.GetStorageNames().front();
    for (std::string& strMem : m_strMem) strMem = strFirst;
    m_strSmsc = m_config.m_strSmsc;
    m_nSmscType = (!m_strSmsc.empty() && m_strSmsc[0] == '+') ? 145 : 129;
    m_bPinLocked = !m_config.m_strPin.empty();
    m_nRate = m_config.m_nBaudRate;
    if (m_nRate > 0) m_nIpr = m_nRate;
    ResetSettings();
    SetFaults(m_config.m_faults);
    if (!m_config.m_strLogFile.empty()) {
        m_logFile.open(m_config.m_strLogFile, std::ios::out | std::ios::trunc);
        if (!m_logFile) {
            strError = m_config.m_strLogFile + ": cannot be written";
            return false;
        }
    }
    return true;
}

void CAtInterpreter::ResetSettings() {
    m_bEcho = true;
    m_nCmee = m_config.m_nCmee;
    m_strCharset = "GSM";
    const int anCnmi[5] = {2, 1, 0, 0, 0};
    std::copy(anCnmi, anCnmi + 5, m_anCnmi);
}

void CAtInterpreter::SetFaults(const CVirtualPhoneFaults& faults) {
    m_faults = faults;
    m_nCommands = 0;
    m_bSilent = faults.m_nSilentAfter == 0;
}

std::vector<COutputItem> CAtInterpreter::TakeOutput() {
    std::vector<COutputItem> items;
    items.swap(m_vecOutput);
    return items;
}

// ---------------------------------------------------------------------------------
// Input

void CAtInterpreter::Feed(const char* pData, std::size_t nSize) {
    for (std::size_t i = 0; i < nSize; ++i) {
        if (m_bHungUp) return;
        if (m_bInPdu) FeedPduByte(pData[i]);
        else FeedCommandByte(pData[i]);
    }
}

void CAtInterpreter::FeedCommandByte(char c) {
    if (c == '\n' && m_bLastWasCr) {  // CR LF ends one line, not two
        m_bLastWasCr = false;
        return;
    }
    m_bLastWasCr = c == '\r';
    if (m_bEcho) Emit(std::string(1, c));
    if (c == '\r' || c == '\n') {
        std::string strLine;
        strLine.swap(m_strLine);
        bool bOverflow = m_bLineOverflow;
        m_bLineOverflow = false;
        if (bOverflow) {
            WriteLog("CMD " + Printable(strLine) + "...");
            EmitReply(Error());
            return;
        }
        ExecuteLine(strLine);
        return;
    }
    if (c == '\b') {
        if (!m_strLine.empty()) m_strLine.pop_back();
        return;
    }
    if (c == 0x1A || c == 0x1B) return;  // stray end or cancel of a PDU
    if (m_strLine.size() < kMaxLine) m_strLine += c;
    else m_bLineOverflow = true;
}

void CAtInterpreter::FeedPduByte(char c) {
    if (c == 0x1A) {
        FinishPdu();
        return;
    }
    if (c == 0x1B) {  // cancelled: nothing sent or stored
        m_bInPdu = false;
        WriteLog("PDU-CANCELLED " + Printable(m_strPduText));
        m_strPduText.clear();
        m_strPduFault.clear();
        EmitReply(Ok());
        return;
    }
    if (c == '\r' || c == '\n' || c == ' ') return;
    if (m_bEcho) Emit(std::string(1, c));
    if (m_strPduText.size() < kMaxPduText) m_strPduText += c;
    else m_bPduOverflow = true;
}

void CAtInterpreter::ExecuteLine(const std::string& strLine) {
    std::size_t nAt = std::string::npos;
    for (std::size_t i = 0; i + 1 < strLine.size(); ++i) {
        if ((strLine[i] == 'A' && strLine[i + 1] == 'T') || (strLine[i] == 'a' && strLine[i + 1] == 't')) {
            nAt = i;
            break;
        }
    }
    if (nAt == std::string::npos) {  // no command: a modem ignores the line
        if (strLine.find_first_not_of(" \t") != std::string::npos) WriteLog("NOISE " + Printable(strLine));
        return;
    }
    WriteLog("CMD " + Printable(strLine.substr(nAt)));
    ++m_nCommands;
    if (m_faults.m_nHangUpAfter >= 0 && m_nCommands > m_faults.m_nHangUpAfter) {
        HangUp();
        return;
    }
    if (m_bSilent) return;  // a phone that stopped answering does nothing at all
    m_vecInfo.clear();
    m_bHangUpAfterInfo = false;
    m_nPendingRate = 0;
    m_bReplyOpen = true;
    if (m_faults.m_nGarbageEvery > 0 && m_nCommands % m_faults.m_nGarbageEvery == 0)
        Emit(std::string(kGarbage, sizeof kGarbage - 1));
    EmitUrcFlood();

    std::string strUpper = UpperOutsideQuotes(strLine.substr(nAt));
    for (CVirtualPhoneCommandFault& fault : m_faults.m_vecCommandFaults) {
        if (fault.m_nTimes == 0 || fault.m_strPrefix.empty() || strUpper.rfind(Upper(fault.m_strPrefix), 0) != 0)
            continue;
        if (fault.m_nTimes > 0) --fault.m_nTimes;
        WriteLog("FAULT " + fault.m_strReply);
        if (strUpper.rfind("AT+CMGS=", 0) == 0 || strUpper.rfind("AT+CMGW=", 0) == 0) {
            m_strPduFault = fault.m_strReply;  // answered after the PDU
            break;
        }
        CResult result;
        result.m_eKind = CResult::eRaw;
        result.m_strText = fault.m_strReply;
        EmitReply(result);
        AfterCommandLine();
        return;
    }

    CResult result;
    ExecuteCommands(strUpper, 2, result);
    if (result.m_eKind == CResult::ePrompt) {
        m_bReplyOpen = false;
        EmitInfo();
        Emit(Eol() + "> ");
        m_bInPdu = true;
        m_strPduText.clear();
        m_bPduOverflow = false;
    } else {
        m_strPduFault.clear();
        EmitReply(result);
        if (m_nPendingRate > 0 && !m_bHungUp) {
            COutputItem item;
            item.m_eKind = COutputItem::eSetRate;
            item.m_nRate = m_nPendingRate;
            m_vecOutput.push_back(item);
            m_nRate = m_nPendingRate;
        }
    }
    AfterCommandLine();
}

void CAtInterpreter::AfterCommandLine() {
    if (m_faults.m_nHangUpAfter >= 0 && m_nCommands >= m_faults.m_nHangUpAfter) HangUp();
    if (m_faults.m_nSilentAfter >= 0 && m_nCommands >= m_faults.m_nSilentAfter) {
        if (!m_bSilent) WriteLog("SILENT");
        m_bSilent = true;
    }
}

// Runs the commands of one line after "AT": basic ones (E1, &F, S7=60) back to back,
// extended ones (+CMGL=4) separated by semicolons. Stops at the first failure.
bool CAtInterpreter::ExecuteCommands(const std::string& strUpper, std::size_t nPos, CResult& result) {
    const std::size_t n = strUpper.size();
    result = Ok();
    while (nPos < n) {
        char c = strUpper[nPos];
        if (c == ' ' || c == ';') {
            ++nPos;
            continue;
        }
        if (c == '+' || c == '^' || c == '$' || c == '%') {
            std::size_t nStart = nPos++;
            while (nPos < n && (std::isalnum(static_cast<unsigned char>(strUpper[nPos])) ||
                                (strUpper[nPos] != '\0' && std::strchr("!%-./:_", strUpper[nPos]))))
                ++nPos;
            std::string strName = strUpper.substr(nStart, nPos - nStart);
            ECommandKind eKind = eExec;
            std::string strArgs;
            if (nPos + 1 < n && strUpper[nPos] == '=' && strUpper[nPos + 1] == '?') {
                eKind = eTest;
                nPos += 2;
            } else if (nPos < n && strUpper[nPos] == '?') {
                eKind = eRead;
                ++nPos;
            } else if (nPos < n && strUpper[nPos] == '=') {
                eKind = eSet;
                std::size_t nArgs = ++nPos;
                bool bQuoted = false;
                while (nPos < n && (bQuoted || strUpper[nPos] != ';')) {
                    if (strUpper[nPos] == '"') bQuoted = !bQuoted;
                    ++nPos;
                }
                strArgs = strUpper.substr(nArgs, nPos - nArgs);
            }
            result = RunExtended(strName, eKind, strArgs);
        } else if (c == '&' || std::isalpha(static_cast<unsigned char>(c))) {
            result = RunBasic(c, strUpper, ++nPos);
        } else {
            result = Error();
        }
        if (result.m_eKind != CResult::eOk) return false;
    }
    return true;
}

CAtInterpreter::CResult CAtInterpreter::RunBasic(char cName, const std::string& strUpper, std::size_t& nPos) {
    const std::size_t n = strUpper.size();
    if (cName == '&') {
        if (nPos >= n || !std::isalpha(static_cast<unsigned char>(strUpper[nPos]))) return Error();
        char cSub = strUpper[nPos++];
        while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos]))) ++nPos;
        if (cSub == 'F') {
            ResetSettings();
            return Ok();
        }
        return std::strchr("CDKSVW", cSub) ? Ok() : Error();
    }
    if (cName == 'S') {
        std::size_t nStart = nPos;
        while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos]))) ++nPos;
        if (nPos == nStart || nPos - nStart > 3) return Error();
        int nRegister = std::stoi(strUpper.substr(nStart, nPos - nStart));
        if (nRegister >= static_cast<int>(sizeof m_anSRegisters / sizeof m_anSRegisters[0])) return Error();
        if (nPos < n && strUpper[nPos] == '?') {
            ++nPos;
            char szValue[8];
            std::snprintf(szValue, sizeof szValue, "%03d", m_anSRegisters[nRegister]);
            AddInfo(szValue);
            return Ok();
        }
        if (nPos < n && strUpper[nPos] == '=') {
            std::size_t nValue = ++nPos;
            while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos]))) ++nPos;
            if (nPos == nValue || nPos - nValue > 3) return Error();
            int nNew = std::stoi(strUpper.substr(nValue, nPos - nValue));
            if (nNew > 255) return Error();
            m_anSRegisters[nRegister] = nNew;
            return Ok();
        }
        return Error();
    }
    std::size_t nStart = nPos;
    while (nPos < n && std::isdigit(static_cast<unsigned char>(strUpper[nPos]))) ++nPos;
    std::string strNumber = strUpper.substr(nStart, nPos - nStart);
    int nValue = strNumber.empty() ? 0 : (strNumber.size() > 3 ? 999 : std::stoi(strNumber));
    switch (cName) {
    case 'E':
        if (nValue > 1) return Error();
        if (nValue == 0 && m_faults.m_bRefuseEchoOff) return Error();
        m_bEcho = nValue == 1;
        return Ok();
    case 'V':  // only verbose result codes
        return nValue == 1 ? Ok() : Error();
    case 'Q':
        return nValue == 0 ? Ok() : Error();
    case 'Z':
        ResetSettings();
        return Ok();
    case 'I':
        if (nValue == 0) {
            AddInfo(m_config.m_strManufacturer + " " + m_config.m_strModel);
            AddInfo("Revision: " + m_config.m_strRevision);
        } else if (nValue == 1) {
            AddInfo(m_config.m_strRevision);
        }
        return Ok();
    case 'X':
        return nValue <= 4 ? Ok() : Error();
    case 'L':
    case 'M':
    case 'H':
        return Ok();
    default:
        return Error();  // no voice or data calls
    }
}

const CAtInterpreter::CCommandEntry* CAtInterpreter::FindCommand(const std::string& strName) {
    static const CCommandEntry kCommands[] = {
        {"+CMEE", &CAtInterpreter::OnCmee, false, false},
        {"+CPIN", &CAtInterpreter::OnCpin, true, false},
        {"+CSCS", &CAtInterpreter::OnCscs, false, false},
        {"+CNMI", &CAtInterpreter::OnCnmi, false, true},
        {"+IPR", &CAtInterpreter::OnIpr, false, false},
        {"+CMGF", &CAtInterpreter::OnCmgf, false, true},
        {"+CSMS", &CAtInterpreter::OnCsms, false, true},
        {"+CPMS", &CAtInterpreter::OnCpms, true, true},
        {"+CSCA", &CAtInterpreter::OnCsca, true, true},
        {"+CGMI", &CAtInterpreter::OnCgmi, false, false},
        {"+GMI", &CAtInterpreter::OnCgmi, false, false},
        {"+CGMM", &CAtInterpreter::OnCgmm, false, false},
        {"+GMM", &CAtInterpreter::OnCgmm, false, false},
        {"+CGMR", &CAtInterpreter::OnCgmr, false, false},
        {"+GMR", &CAtInterpreter::OnCgmr, false, false},
        {"+CGSN", &CAtInterpreter::OnCgsn, false, false},
        {"+GSN", &CAtInterpreter::OnCgsn, false, false},
        {"+CIMI", &CAtInterpreter::OnCimi, true, false},
        {"+CMGL", &CAtInterpreter::OnCmgl, true, true},
        {"+CMGR", &CAtInterpreter::OnCmgr, true, true},
        {"+CMGD", &CAtInterpreter::OnCmgd, true, true},
        {"+CMGS", &CAtInterpreter::OnCmgs, true, true},
        {"+CMGW", &CAtInterpreter::OnCmgw, true, true},
        {"+CMSS", &CAtInterpreter::OnCmss, true, true},
        {"+CSQ", &CAtInterpreter::OnCsq, false, false},
        {"+CREG", &CAtInterpreter::OnCreg, false, false},
        {"+COPS", &CAtInterpreter::OnCops, false, false},
        {"+CFUN", &CAtInterpreter::OnCfun, false, false},
        {"+CBC", &CAtInterpreter::OnCbc, false, false},
        {"+CPBS", &CAtInterpreter::OnCpbs, true, false},
        {"+CPBR", &CAtInterpreter::OnCpbr, true, false},
    };
    for (const CCommandEntry& entry : kCommands)
        if (strName == entry.m_pszName) return &entry;
    return nullptr;
}

CAtInterpreter::CResult CAtInterpreter::RunExtended(const std::string& strName, ECommandKind eKind,
                                                    const std::string& strArgs) {
    const CCommandEntry* pEntry = FindCommand(strName);
    if (!pEntry) return Error();
    if (pEntry->m_bSim) {
        if (m_nCommands <= m_faults.m_nSimBusyFor) return pEntry->m_bSms ? Cms(314) : Cme(14);
        if (m_bPinLocked && strName != "+CPIN") return pEntry->m_bSms ? Cms(311) : Cme(11);
    }
    return (this->*pEntry->m_pfnHandler)(eKind, strArgs);
}

bool CAtInterpreter::SplitArgs(const std::string& strArgs, std::vector<CArg>& args) {
    args.clear();
    const std::size_t n = strArgs.size();
    std::size_t i = 0;
    for (;;) {
        CArg arg;
        while (i < n && strArgs[i] == ' ') ++i;
        if (i < n && strArgs[i] == '"') {
            std::size_t nClose = strArgs.find('"', i + 1);
            if (nClose == std::string::npos) return false;
            arg.m_strText = strArgs.substr(i + 1, nClose - i - 1);
            arg.m_bQuoted = true;
            i = nClose + 1;
            while (i < n && strArgs[i] == ' ') ++i;
        } else {
            std::size_t nEnd = strArgs.find(',', i);
            if (nEnd == std::string::npos) nEnd = n;
            arg.m_strText = strArgs.substr(i, nEnd - i);
            while (!arg.m_strText.empty() && arg.m_strText.back() == ' ') arg.m_strText.pop_back();
            i = nEnd;
        }
        args.push_back(arg);
        if (i >= n) return true;
        if (strArgs[i] != ',') return false;
        ++i;
    }
}

bool CAtInterpreter::ToInt(const CArg& arg, int& nValue) {
    const std::string& s = arg.m_strText;
    if (arg.m_bQuoted || s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    nValue = std::stoi(s);
    return true;
}

// ---------------------------------------------------------------------------------
// Output

void CAtInterpreter::Emit(const std::string& strBytes) {
    if (m_bHungUp || m_bSilent || strBytes.empty()) return;
    if (!m_vecOutput.empty() && m_vecOutput.back().m_eKind == COutputItem::eBytes) {
        m_vecOutput.back().m_strBytes += strBytes;
        return;
    }
    COutputItem item;
    item.m_strBytes = strBytes;
    m_vecOutput.push_back(std::move(item));
}

void CAtInterpreter::EmitUrcFlood() {
    for (int i = 0; i < m_faults.m_nUrcFlood; ++i) {
        const char* pszCode = kFloodCodes[m_nUrcTurn++ % (sizeof kFloodCodes / sizeof kFloodCodes[0])];
        Emit(Eol() + pszCode + Eol());
    }
}

void CAtInterpreter::AddInfo(const std::string& strLine, bool bGlued) { m_vecInfo.emplace_back(strLine, bGlued); }

void CAtInterpreter::EmitInfo() {
    for (std::size_t i = 0; i < m_vecInfo.size(); ++i) {
        if (i == 0) {
            Emit(Eol());
        } else if (!m_vecInfo[i].second) {
            EmitUrcFlood();
        }
        Emit(m_vecInfo[i].first + Eol());
    }
    bool bHadInfo = !m_vecInfo.empty();
    m_vecInfo.clear();
    if (bHadInfo) EmitUrcFlood();
}

std::string CAtInterpreter::FinalText(const CResult& result) const {
    switch (result.m_eKind) {
    case CResult::eOk: return "OK";
    case CResult::eRaw: return result.m_strText;
    case CResult::eCme:
        if (m_nCmee == 0) return m_config.m_strErrorWord;
        if (m_nCmee == 1) return "+CME ERROR: " + std::to_string(result.m_nCode);
        return std::string("+CME ERROR: ") + CmeText(result.m_nCode);
    case CResult::eCms:
        if (m_nCmee == 0) return m_config.m_strErrorWord;
        if (m_nCmee == 1) return "+CMS ERROR: " + std::to_string(result.m_nCode);
        return std::string("+CMS ERROR: ") + CmsText(result.m_nCode);
    default: return m_config.m_strErrorWord;
    }
}

void CAtInterpreter::EmitReply(const CResult& result) {
    EmitInfo();
    if (result.m_eKind == CResult::eNoAnswer) {
        m_bReplyOpen = false;
        if (m_bHangUpAfterInfo) HangUp();
        m_bHangUpAfterInfo = false;
        return;
    }
    Emit(Eol() + FinalText(result) + Eol());
    EmitUrcFlood();
    m_bReplyOpen = false;
    if (!m_bInPdu) {
        std::vector<std::string> urcs;
        urcs.swap(m_vecDeferredUrcs);
        for (const std::string& strUrc : urcs) Emit(Eol() + strUrc + Eol());
    }
}

void CAtInterpreter::Unsolicited(const std::string& strLine) {
    if (m_bInPdu || m_bReplyOpen) m_vecDeferredUrcs.push_back(strLine);  // not inside an answer
    else Emit(Eol() + strLine + Eol());
}

void CAtInterpreter::HangUp() {
    if (m_bHungUp) return;
    WriteLog("HANGUP");
    COutputItem item;
    item.m_eKind = COutputItem::eHangUp;
    m_vecOutput.push_back(item);
    m_bHungUp = true;
}

void CAtInterpreter::WriteLog(const std::string& strLine) {
    m_vecLog.push_back(strLine);
    if (m_logFile.is_open()) m_logFile << strLine << std::endl;
}

void CAtInterpreter::SendDueReports(CNetworkReports::Clock::time_point tNow) {
    for (const std::string& strUrc : m_reports.TakeDue(tNow)) {
        if (m_anCnmi[0] == 0 || m_anCnmi[3] != 1) continue;  // reports not routed to us
        WriteLog("REPORT " + strUrc.substr(strUrc.find('\n') + 1));
        Unsolicited(strUrc);
    }
}

void CAtInterpreter::AnnounceNewMessage(const std::string& strStorage, int nIndex) {
    if (m_anCnmi[0] == 0 || m_anCnmi[1] != 1) return;  // indications switched off
    Unsolicited("+CMTI: \"" + strStorage + "\"," + std::to_string(nIndex));
}

int CAtInterpreter::Receive(const std::string& strStorage, const std::string& strHex, std::string& strError) {
    std::string strName = WriteTarget(strStorage.empty() ? m_strMem[2] : Upper(strStorage));
    if (!m_store.HasStorage(strName)) {
        strError = "no storage \"" + strStorage + "\"";
        return 0;
    }
    CStoredMessage message;
    if (!CMessagesFile::MakeStored(eRecUnread, strHex, message, strError)) return 0;
    int nIndex = m_store.Add(strName, message);
    if (nIndex == 0) {
        strError = "storage " + strName + " is full";
        WriteLog("LOST " + message.m_strPdu);
        return 0;
    }
    WriteLog("RECV " + strName + " " + std::to_string(nIndex) + " " + message.m_strPdu);
    AnnounceNewMessage(strName, nIndex);
    return nIndex;
}

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
        if (Upper(strRefused) == Upper(strName)) return false;
    return m_store.HasStorage(strName) || (strName == "MT" && m_config.m_bMtStorage);
}

std::vector<CAtInterpreter::CPlace> CAtInterpreter::Places(const std::string& strMem) const {
    std::vector<CPlace> places;
    int nOffset = 0;
    for (const std::string& strName : m_store.GetStorageNames()) {
        if (strMem != "MT" && strName != strMem) continue;
        for (int nIndex : m_store.GetIndexes(strName)) places.push_back({strName, nIndex, nOffset + nIndex});
        nOffset += m_store.GetCapacity(strName);
    }
    return places;
}

bool CAtInterpreter::Resolve(const std::string& strMem, int nView, CPlace& place) const {
    int nOffset = 0;
    for (const std::string& strName : m_store.GetStorageNames()) {
        if (strMem != "MT" && strName != strMem) continue;
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
    if (strMem != "MT") return m_store.GetUsed(strMem);
    int n = 0;
    for (const std::string& strName : m_store.GetStorageNames()) n += m_store.GetUsed(strName);
    return n;
}

int CAtInterpreter::ViewCapacity(const std::string& strMem) const {
    if (strMem != "MT") return m_store.GetCapacity(strMem);
    int n = 0;
    for (const std::string& strName : m_store.GetStorageNames()) n += m_store.GetCapacity(strName);
    return n;
}

std::string CAtInterpreter::WriteTarget(const std::string& strMem) const {
    if (strMem != "MT") return strMem;
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
        WriteLog("REJECTED " + std::to_string(octets.size() - std::min<std::size_t>(octets.size(), 1u + octets[0])) +
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
                if (place.m_strStorage == strTarget && place.m_nIndex == nIndex) nView = place.m_nView;
            AddInfo("+CMGW: " + std::to_string(nView));
        }
    }
    m_bInPdu = false;
    m_strPduText.clear();
    EmitReply(result);
}

// ---------------------------------------------------------------------------------
// Commands

CAtInterpreter::CResult CAtInterpreter::OnCmee(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int n = 0;
    switch (eKind) {
    case eTest: AddInfo("+CMEE: (0-2)"); return Ok();
    case eRead: AddInfo("+CMEE: " + std::to_string(m_nCmee)); return Ok();
    case eExec: m_nCmee = 0; return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], n) || n > 2) return Error();
        if (!m_config.m_bCmeeFixed) m_nCmee = n;
        return Ok();
    }
    return Error();
}

CAtInterpreter::CResult CAtInterpreter::OnCpin(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    switch (eKind) {
    case eTest: return Ok();
    case eRead:
        AddInfo(m_bPinLocked ? "+CPIN: SIM PIN" : "+CPIN: READY");
        return m_config.m_bCpinWithoutOk ? CResult{CResult::eNoAnswer, 0, {}} : Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.empty() || args.size() > 2) return Error();
        if (!m_bPinLocked) return Cme(3);
        if (args[0].m_strText != m_config.m_strPin) {
            WriteLog("PIN refused");
            return Cme(16);
        }
        m_bPinLocked = false;
        return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCscs(ECommandKind eKind, const std::string& strArgs) {
    static const char* const kSets[] = {"GSM", "IRA", "8859-1", "UCS2"};
    std::vector<CArg> args;
    switch (eKind) {
    case eTest: AddInfo("+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\")"); return Ok();
    case eRead: AddInfo("+CSCS: \"" + m_strCharset + "\""); return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1) return Error();
        for (const char* pszSet : kSets) {
            if (Upper(args[0].m_strText) == pszSet) {
                m_strCharset = pszSet;
                return Ok();
            }
        }
        return Error();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCnmi(ECommandKind eKind, const std::string& strArgs) {
    static const int kMax[5] = {2, 1, 0, 1, 1};
    std::vector<CArg> args;
    std::string strValue;
    int anNew[5];
    switch (eKind) {
    case eTest: AddInfo("+CNMI: (0-2),(0,1),(0),(0,1),(0,1)"); return Ok();
    case eRead:
        for (int i = 0; i < 5; ++i) strValue += (i ? "," : "") + std::to_string(m_anCnmi[i]);
        AddInfo("+CNMI: " + strValue);
        return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() > 5) return Error();
        std::copy(m_anCnmi, m_anCnmi + 5, anNew);
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i].IsEmpty()) continue;
            if (!ToInt(args[i], anNew[i]) || anNew[i] > kMax[i]) return Error();
        }
        std::copy(anNew, anNew + 5, m_anCnmi);
        return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnIpr(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    std::string strList;
    int nRate = 0;
    switch (eKind) {
    case eTest:
        for (int n : kRates) strList += (strList.empty() ? "" : ",") + std::to_string(n);
        AddInfo("+IPR: (0),(" + strList + ")");
        return Ok();
    case eRead: AddInfo("+IPR: " + std::to_string(m_nIpr)); return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nRate)) return Error();
        if (nRate != 0 && std::find(std::begin(kRates), std::end(kRates), nRate) == std::end(kRates))
            return Error();
        m_nIpr = nRate;
        // A paced line follows the new rate once the OK has left at the old one.
        if (m_nRate > 0 && nRate > 0) m_nPendingRate = nRate;
        return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCmgf(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int nMode = 0;
    switch (eKind) {
    case eTest: AddInfo("+CMGF: (0)"); return Ok();
    case eRead: AddInfo("+CMGF: 0"); return Ok();
    case eExec: return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nMode) || nMode > 1) return Error();
        return nMode == 0 ? Ok() : Cms(303);  // PDU mode only
    }
    return Error();
}

CAtInterpreter::CResult CAtInterpreter::OnCsms(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int nService = 0;
    switch (eKind) {
    case eTest: AddInfo("+CSMS: (0,1)"); return Ok();
    case eRead: AddInfo("+CSMS: " + std::to_string(m_nCsms) + ",1,1,1"); return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nService) || nService > 1)
            return Error();
        m_nCsms = nService;
        AddInfo("+CSMS: 1,1,1");
        return Ok();
    default: return Error();
    }
}

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
        if (m_config.m_bMtStorage) strSet += ",\"MT\"";
        for (int i = 0; i < nParams; ++i) strText += (i ? ",(" : "(") + strSet + ")";
        AddInfo("+CPMS: " + strText);
        return Ok();
    }
    case eRead:
        if (!m_config.m_strCpmsReadReply.empty()) {
            AddInfo(m_config.m_strCpmsReadReply);
            return Ok();
        }
        for (int i = 0; i < nParams; ++i) strText += (i ? ",\"" : "\"") + m_strMem[i] + "\"," + use(m_strMem[i]);
        AddInfo("+CPMS: " + strText);
        return Ok();
    case eSet: {
        if (!SplitArgs(strArgs, args) || args.empty() || static_cast<int>(args.size()) > nParams ||
            static_cast<int>(args.size()) < m_config.m_nCpmsMinParameters)
            return Error();
        std::string astrNew[3] = {m_strMem[0], m_strMem[1], m_strMem[2]};
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i].IsEmpty()) continue;
            std::string strName = RealName(args[i].m_strText);
            if (!IsSelectable(strName)) return Cms(302);
            astrNew[i] = strName;
        }
        // Memories the phone does not let the client choose follow the first.
        for (int i = nParams; i < 3; ++i) astrNew[i] = astrNew[0];
        for (int i = 0; i < 3; ++i) m_strMem[i] = astrNew[i];
        for (int i = 0; i < nParams; ++i) strText += (i ? "," : "") + use(m_strMem[i]);
        AddInfo("+CPMS: " + strText);
        return Ok();
    }
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCsca(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    std::string strNumber;
    int nType = -1;
    Octets field;
    switch (eKind) {
    case eTest: return Ok();
    case eRead:
        AddInfo("+CSCA: \"" + ToTeString(m_strSmsc, m_strCharset) + "\"," + std::to_string(m_nSmscType));
        return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.empty() || args.size() > 2 || !args[0].m_bQuoted) return Error();
        if (!FromTeString(args[0].m_strText, m_strCharset, strNumber)) return Error();
        if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nType) || nType < 128 || nType > 255))
            return Error();
        if (!strNumber.empty() && !CSmsPdu::EncodeSmscAddress(strNumber, nType, field)) return Error();
        m_strSmsc = strNumber;
        m_nSmscType = (!strNumber.empty() && strNumber[0] == '+') ? 145 : (nType < 0 ? 129 : nType);
        return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::InfoText(ECommandKind eKind, const char* pszName, const std::string& strValue) {
    if (eKind == eTest) return Ok();
    if (eKind != eExec) return Error();
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
    if (eKind == eTest) return Ok();
    if (eKind != eExec) return Error();
    AddInfo(m_config.m_strImsi);
    return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCmgl(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int nStat = eRecUnread;
    if (eKind == eTest) {
        AddInfo("+CMGL: (0-4)");
        return Ok();
    }
    if (eKind == eRead) return Error();
    if (eKind == eSet &&
        (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nStat) || nStat > 4))
        return Error();
    if (m_config.m_bCmglHangs) {
        WriteLog("HANGS");
        return CResult{CResult::eNoAnswer, 0, {}};
    }
    std::vector<CPlace> entries;
    for (const CPlace& place : Places(m_strMem[0]))
        if (nStat == 4 || m_store.Get(place.m_strStorage, place.m_nIndex)->m_nStatus == nStat) entries.push_back(place);
    const int nCut = m_faults.m_nHangUpInListing;
    bool bCut = nCut >= 0 && static_cast<int>(entries.size()) > nCut;
    if (bCut) entries.resize(static_cast<std::size_t>(nCut));
    int nEntry = 0;
    for (const CPlace& place : entries) {
        CStoredMessage* pMessage = m_store.Get(place.m_strStorage, place.m_nIndex);
        AddInfo("+CMGL: " + std::to_string(place.m_nView) + "," + std::to_string(pMessage->m_nStatus) + ",," +
                std::to_string(pMessage->m_nTpduLength));
        std::string strPdu = pMessage->m_strPdu;
        if (++nEntry == m_config.m_nCorruptEntry && strPdu.size() > 8)
            strPdu.replace(strPdu.size() - 4, 2, "ZZ");  // as a damaged SIM record reads
        AddInfo(strPdu, true);
        if (pMessage->m_nStatus == eRecUnread) pMessage->m_nStatus = eRecRead;  // listed = read
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
    if (eKind == eTest) return Ok();
    if (eKind != eSet || !SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nIndex)) return Error();
    CPlace place;
    CStoredMessage* pMessage =
        Resolve(m_strMem[0], nIndex, place) ? m_store.Get(place.m_strStorage, place.m_nIndex) : nullptr;
    if (!pMessage) return Cms(321);
    AddInfo("+CMGR: " + std::to_string(pMessage->m_nStatus) + ",," + std::to_string(pMessage->m_nTpduLength));
    AddInfo(pMessage->m_strPdu, true);
    if (pMessage->m_nStatus == eRecUnread) pMessage->m_nStatus = eRecRead;
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
    if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 2) return Error();
    if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nFlag) || nFlag > 4)) return Error();
    if (nFlag == 0) {
        CPlace place;
        if (!ToInt(args[0], nIndex)) return Error();
        if (!Resolve(m_strMem[0], nIndex, place)) return Cms(321);
        if (m_store.Delete(place.m_strStorage, place.m_nIndex))
            WriteLog("DELETED " + place.m_strStorage + " " + std::to_string(place.m_nIndex));
        return Ok();
    }
    if (!args[0].IsEmpty() && !ToInt(args[0], nIndex)) return Error();
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
    if (eKind == eTest) return Ok();
    if (eKind != eSet || !SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], nLength)) return Error();
    if (nLength < 1 || nLength > kMaxTpdu) return Cms(304);
    m_bPduForSend = true;
    m_nPduLength = nLength;
    return CResult{CResult::ePrompt, 0, {}};
}

CAtInterpreter::CResult CAtInterpreter::OnCmgw(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int nLength = 0;
    int nStatus = eStoUnsent;
    if (eKind == eTest) return Ok();
    if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 2 || !ToInt(args[0], nLength))
        return Error();
    if (args.size() == 2 && !args[1].IsEmpty() && (!ToInt(args[1], nStatus) || nStatus > 3)) return Error();
    if (nLength < 1 || nLength > kMaxTpdu) return Cms(304);
    m_bPduForSend = false;
    m_nPduLength = nLength;
    m_nPduStatus = nStatus;
    return CResult{CResult::ePrompt, 0, {}};
}

CAtInterpreter::CResult CAtInterpreter::OnCmss(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int nIndex = 0;
    int nType = -1;
    if (eKind == eTest) return Ok();
    if (eKind != eSet || !SplitArgs(strArgs, args) || args.empty() || args.size() > 3 || !ToInt(args[0], nIndex))
        return Error();
    if (args.size() == 3 && !args[2].IsEmpty() && (!ToInt(args[2], nType) || nType < 128 || nType > 255))
        return Error();
    CPlace place;
    CStoredMessage* pMessage =
        Resolve(m_strMem[1], nIndex, place) ? m_store.Get(place.m_strStorage, place.m_nIndex) : nullptr;
    if (!pMessage) return Cms(321);
    if (pMessage->m_nStatus < eStoUnsent) return Cms(302);  // a received message cannot be sent
    Octets octets;
    CSmsPdu pdu;
    if (!CSmsPdu::FromHex(pMessage->m_strPdu, octets) || !pdu.Parse(octets, CSmsPdu::eSubmit)) return Cms(300);
    if (args.size() >= 2 && !args[1].IsEmpty()) {
        std::string strNumber;
        Octets field;
        if (!args[1].m_bQuoted || !FromTeString(args[1].m_strText, m_strCharset, strNumber) ||
            !CSmsPdu::EncodeAddress(strNumber, nType, field))
            return Error();
        octets = pdu.WithDestination(octets, field);
        if (!pdu.Parse(octets, CSmsPdu::eSubmit)) return Cms(300);
    }
    if (octets[0] == 0 && m_strSmsc.empty()) return Cms(330);
    int nReference = SendToNetwork(octets, pdu);
    pMessage->m_nStatus = eStoSent;
    AddInfo("+CMSS: " + std::to_string(nReference));
    return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCsq(ECommandKind eKind, const std::string&) {
    if (eKind == eTest) AddInfo("+CSQ: (0-31,99),(0-7,99)");
    else if (eKind == eExec) AddInfo("+CSQ: 21,99");
    else return Error();
    return Ok();
}

CAtInterpreter::CResult CAtInterpreter::OnCreg(ECommandKind eKind, const std::string& strArgs) {
    std::vector<CArg> args;
    int n = 0;
    switch (eKind) {
    case eTest: AddInfo("+CREG: (0-2)"); return Ok();
    case eRead: AddInfo("+CREG: " + std::to_string(m_nCreg) + ",1"); return Ok();
    case eSet:
        if (!SplitArgs(strArgs, args) || args.size() != 1 || !ToInt(args[0], n) || n > 2) return Error();
        m_nCreg = n;
        return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCops(ECommandKind eKind, const std::string&) {
    switch (eKind) {
    case eTest: AddInfo("+COPS: (2,\"Kelvane Mobile\",\"Kelvane\",\"23415\"),,(0-4),(0-2)"); return Ok();
    case eRead: AddInfo("+COPS: 0,0,\"Kelvane Mobile\""); return Ok();
    case eSet: return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCfun(ECommandKind eKind, const std::string&) {
    switch (eKind) {
    case eTest: AddInfo("+CFUN: (0,1),(0,1)"); return Ok();
    case eRead: AddInfo("+CFUN: 1"); return Ok();
    case eSet: return Ok();
    default: return Error();
    }
}

CAtInterpreter::CResult CAtInterpreter::OnCbc(ECommandKind eKind, const std::string&) {
    if (eKind == eTest) AddInfo("+CBC: (0-3),(0-100)");
    else if (eKind == eExec) AddInfo("+CBC: 0,80");
    else return Error();
    return Ok();
}

}  // namespace vphone
