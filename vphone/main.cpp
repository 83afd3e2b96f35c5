// mireth-vphone: runs the virtual phone on a pseudo-terminal until SIGINT or SIGTERM.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include <pthread.h>
#include <unistd.h>

#include "mireth_version.h"
#include "vphone/ControlChannel.h"
#include "vphone/Dialects.h"
#include "vphone/VirtualPhone.h"

namespace {

const char kUsage[] =
    "Usage: mireth-vphone [--link PATH] [options]\n"
    "       mireth-vphone --help | --version\n"
    "\n"
    "A GSM phone in PDU mode on a pseudo-terminal. Prints the terminal's path, makes a\n"
    "symbolic link to it at PATH, answers AT commands until SIGINT or SIGTERM, then\n"
    "removes the link.\n"
    "\n"
    "The phone:\n"
    "  --link PATH            symbolic link to the terminal (replaces an old link)\n"
    "  --dialect NAME         speak as a real device does (list below); options after\n"
    "                         it change the dialect's settings\n"
    "  --messages FILE        messages to load at start (format below)\n"
    "  --storages LIST        storages offered: ME,SM (default), ME or SM\n"
    "  --phone-capacity N     slots in ME (default 100)\n"
    "  --sim-capacity N       slots in SM (default 30)\n"
    "  --cpms-params N        storage parameters AT+CPMS takes: 1, 2 or 3 (default 3)\n"
    "  --own-number NUMBER    messages sent here come back (default +447700900123)\n"
    "  --smsc NUMBER          service centre for AT+CSCA? (default +447958879879;\n"
    "                         \"\" for none)\n"
    "  --manufacturer TEXT, --model TEXT, --revision TEXT, --imei TEXT, --imsi TEXT\n"
    "                         answers to AT+CGMI, AT+CGMM, AT+CGMR, AT+CGSN, AT+CIMI\n"
    "  --prefixed-info        answer \"+CGMI: <text>\" rather than the bare text\n"
    "  --pin PIN              the SIM asks for this PIN (AT+CPIN? answers SIM PIN)\n"
    "  --cmee N               +CMEE mode at start: 0 ERROR, 1 numeric, 2 verbose\n"
    "  --log FILE             log every command and PDU, one line each\n"
    "  --baud N               pace the output at N bit/s, 10 bits a byte (0 = no\n"
    "                         pacing, the default); AT+IPR=n changes it\n"
    "  --control PATH         a FIFO taking control commands while the phone runs:\n"
    "                         receive [ME|SM] PDU, reports DELAY_MS ST, urc LINE,\n"
    "                         hangup (see vphone/ControlChannel.h)\n"
    "  --report-delay MS      status reports come MS after a send asking for one\n"
    "                         (default 200)\n"
    "  --report-status ST     their TP-ST: 0 delivered (default), 65 failed\n"
    "\n"
    "Faults:\n"
    "  --silent-after N       answer N command lines, then nothing at all\n"
    "  --hang-up-after N      answer N command lines, then hang up\n"
    "  --hang-up-in-listing N hang up in a +CMGL listing after N entries\n"
    "  --garbage-every N      garbage bytes before every N-th reply\n"
    "  --urc-flood N          N unsolicited codes in every gap of every reply\n"
    "  --refuse-echo-off      answer ATE0 with ERROR\n"
    "  --sim-busy N           the first N command lines that need the SIM get SIM busy\n"
    "  --fail PREFIX:REPLY    answer command lines starting with PREFIX with the final\n"
    "                         result REPLY, e.g. --fail 'AT+CMGS=:+CMS ERROR: 500'\n"
    "                         (AT+CMGS/AT+CMGW still prompt and fail after the PDU)\n"
    "  --fail-once PREFIX:REPLY   the same, once only\n"
    "\n"
    "Messages file: one message a line, STORAGE STATUS PDU, e.g.\n"
    "  SM 1 07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07\n"
    "STORAGE is ME or SM; STATUS 0 REC UNREAD, 1 REC READ (an SMS-DELIVER), 2 STO UNSENT,\n"
    "3 STO SENT (an SMS-SUBMIT); PDU is hex with the service-centre address first, as\n"
    "+CMGL shows it. Blank lines are skipped; '#' starts a comment. Each storage fills\n"
    "from index 1 in file order.\n";

bool ParseNumber(const std::string& strText, int nMin, int& nValue) {
  if (strText.empty() || strText.size() > 9)
    return false;
  for (char c : strText)
    if (c < '0' || c > '9')
      return false;
  nValue = std::atoi(strText.c_str());
  return nValue >= nMin;
}

void PrintDialects() {
  std::cout << "\nDialects (--dialect NAME):\n";
  for (const CVirtualPhoneDialect& d : GetVirtualPhoneDialects()) {
    std::string strName = d.m_pszName;
    strName.resize(std::max<std::size_t>(strName.size() + 1, 23), ' ');
    std::cout << "  " << strName << d.m_pszDescription << "\n";
  }
}

int BadUsage(const std::string& strWhy) {
  std::cerr << "mireth-vphone: " << strWhy << "\n(mireth-vphone --help lists the options)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CVirtualPhoneConfig config;
  std::string strControl;
  int nReportDelay = 200, nReportStatus = 0;
  for (int i = 1; i < argc; ++i) {
    std::string strOption = argv[i];
    std::string strValue;
    bool bHasValue = false;
    std::size_t nEquals = strOption.find('=');
    if (strOption.rfind("--", 0) == 0 && nEquals != std::string::npos) {
      strValue = strOption.substr(nEquals + 1);
      strOption.erase(nEquals);
      bHasValue = true;
    }
    auto value = [&]() -> bool {
      if (bHasValue)
        return true;
      if (i + 1 >= argc)
        return false;
      strValue = argv[++i];
      return true;
    };
    auto number = [&](int nMin, int& nTarget) -> int {
      if (!value())
        return BadUsage(strOption + " needs a number");
      if (!ParseNumber(strValue, nMin, nTarget))
        return BadUsage(strOption + ": \"" + strValue + "\" is not a number of at least " +
                        std::to_string(nMin));
      return 0;
    };
    auto text = [&](std::string& strTarget) -> int {
      if (!value())
        return BadUsage(strOption + " needs a value");
      strTarget = strValue;
      return 0;
    };
    int nError = 0;
    bool bFlag = false;
    if (strOption == "--help" || strOption == "-h") {
      std::cout << kUsage;
      PrintDialects();
      return 0;
    } else if (strOption == "--version") {
      std::cout << "mireth-vphone " MIRETH_VERSION "\n";
      return 0;
    } else if (strOption == "--dialect") {
      std::string strName;
      nError = text(strName);
      if (!nError && !ApplyVirtualPhoneDialect(strName, config))
        nError = BadUsage("no dialect \"" + strName + "\" (--help lists them)");
    } else if (strOption == "--link")
      nError = text(config.m_strLinkPath);
    else if (strOption == "--messages")
      nError = text(config.m_strMessagesFile);
    else if (strOption == "--storages") {
      std::string strList;
      nError = text(strList);
      config.m_vecStorages.clear();
      std::size_t nStart = 0;
      while (!nError) {
        std::size_t nComma = strList.find(',', nStart);
        config.m_vecStorages.push_back(strList.substr(nStart, nComma - nStart));
        if (nComma == std::string::npos)
          break;
        nStart = nComma + 1;
      }
    } else if (strOption == "--phone-capacity")
      nError = number(1, config.m_nPhoneCapacity);
    else if (strOption == "--sim-capacity")
      nError = number(1, config.m_nSimCapacity);
    else if (strOption == "--cpms-params")
      nError = number(1, config.m_nCpmsParameters);
    else if (strOption == "--own-number")
      nError = text(config.m_strOwnNumber);
    else if (strOption == "--smsc")
      nError = text(config.m_strSmsc);
    else if (strOption == "--manufacturer")
      nError = text(config.m_strManufacturer);
    else if (strOption == "--model")
      nError = text(config.m_strModel);
    else if (strOption == "--revision")
      nError = text(config.m_strRevision);
    else if (strOption == "--imei")
      nError = text(config.m_strImei);
    else if (strOption == "--imsi")
      nError = text(config.m_strImsi);
    else if (strOption == "--prefixed-info")
      bFlag = config.m_bPrefixedInfo = true;
    else if (strOption == "--pin")
      nError = text(config.m_strPin);
    else if (strOption == "--cmee")
      nError = number(0, config.m_nCmee);
    else if (strOption == "--log")
      nError = text(config.m_strLogFile);
    else if (strOption == "--baud")
      nError = number(0, config.m_nBaudRate);
    else if (strOption == "--control")
      nError = text(strControl);
    else if (strOption == "--report-delay")
      nError = number(0, nReportDelay);
    else if (strOption == "--report-status")
      nError = number(0, nReportStatus);
    else if (strOption == "--silent-after")
      nError = number(0, config.m_faults.m_nSilentAfter);
    else if (strOption == "--hang-up-after")
      nError = number(0, config.m_faults.m_nHangUpAfter);
    else if (strOption == "--hang-up-in-listing")
      nError = number(0, config.m_faults.m_nHangUpInListing);
    else if (strOption == "--garbage-every")
      nError = number(1, config.m_faults.m_nGarbageEvery);
    else if (strOption == "--urc-flood")
      nError = number(1, config.m_faults.m_nUrcFlood);
    else if (strOption == "--refuse-echo-off")
      bFlag = config.m_faults.m_bRefuseEchoOff = true;
    else if (strOption == "--sim-busy")
      nError = number(1, config.m_faults.m_nSimBusyFor);
    else if (strOption == "--fail" || strOption == "--fail-once") {
      std::string strFault;
      nError = text(strFault);
      std::size_t nColon = strFault.find(':');
      if (!nError && (nColon == std::string::npos || nColon == 0 || nColon + 1 == strFault.size()))
        nError = BadUsage(strOption + " takes PREFIX:REPLY, e.g. 'AT+CMGL:ERROR'");
      if (!nError) {
        CVirtualPhoneCommandFault fault;
        fault.m_strPrefix = strFault.substr(0, nColon);
        fault.m_strReply = strFault.substr(nColon + 1);
        fault.m_nTimes = strOption == "--fail-once" ? 1 : -1;
        config.m_faults.m_vecCommandFaults.push_back(fault);
      }
    } else {
      return BadUsage("unknown option \"" + std::string(argv[i]) + "\"");
    }
    if (nError)
      return nError;
    if (bFlag && bHasValue)
      return BadUsage(strOption + " takes no value");
  }

  // Signals are taken by one thread with sigwait, so the phone's thread never sees them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  CVirtualPhone phone(config);
  std::string strError;
  if (!phone.Start(&strError)) {
    std::cerr << "mireth-vphone: " << strError << "\n";
    return 1;
  }
  phone.SetReportOutcome(nReportDelay, nReportStatus);
  vphone::CControlFifo control(phone);
  if (!strControl.empty() && !control.Start(strControl, strError)) {
    std::cerr << "mireth-vphone: " << strError << "\n";
    phone.Stop();
    return 1;
  }
  std::cout << phone.GetSlavePath();
  if (!config.m_strLinkPath.empty())
    std::cout << " " << config.m_strLinkPath;
  std::cout << std::endl;

  std::thread waiter([&phone, &signals] {
    int nSignal = 0;
    sigwait(&signals, &nSignal);
    phone.Stop();
  });
  phone.WaitUntilEnded(-1);
  bool bHungUp = phone.IsHungUp();
  kill(getpid(), SIGTERM);  // wakes the waiter when the phone hung up by itself
  waiter.join();
  control.Stop();
  phone.Stop();
  if (bHungUp)
    std::cerr << "mireth-vphone: the phone hung up\n";
  return 0;
}
