// The dialects and the faults of the virtual phone, command by command on its command
// processor: each behaves as the device or the fault it stands for.
#include <gtest/gtest.h>

#include <string>

#include "vphone/AtInterpreter.h"
#include "vphone/Dialects.h"
#include "tests/support/SmsVectors.h"

namespace {

CVirtualPhoneConfig DialectConfig(const char* pszDialect) {
  CVirtualPhoneConfig config;
  EXPECT_TRUE(ApplyVirtualPhoneDialect(pszDialect, config)) << pszDialect;
  return config;
}

// The processor of a configuration, with echo as it starts and one received message
// in the SIM (and one in the phone memory where there is one).
struct CDialectPhone {
  explicit CDialectPhone(const CVirtualPhoneConfig& config) : m_config(config), m_phone(m_config) {
    std::string strError;
    EXPECT_TRUE(m_phone.Init(strError)) << strError;
    for (const char* pszStorage : {"SM", "ME"})
      if (m_phone.Store().HasStorage(pszStorage)) {
        EXPECT_GT(m_phone.Receive(pszStorage, kHowAreYou, strError), 0) << strError;
      }
    m_phone.TakeOutput();
  }
  // Everything the phone does for one command line: the bytes it sends, a hang-up as
  // <hang-up> and a change of rate as <rate N>.
  std::string Say(const std::string& strLine) {
    m_phone.Feed((strLine + "\r").data(), strLine.size() + 1);
    std::string out;
    for (const vphone::COutputItem& item : m_phone.TakeOutput()) {
      if (item.m_eKind == vphone::COutputItem::eBytes)
        out += item.m_strBytes;
      else if (item.m_eKind == vphone::COutputItem::eHangUp)
        out += "<hang-up>";
      else
        out += "<rate " + std::to_string(item.m_nRate) + ">";
    }
    return out;
  }
  CVirtualPhoneConfig m_config;
  vphone::CAtInterpreter m_phone;
};

struct Step {
  std::string strCommand;
  std::string strAnswer;  // after the echo of the command
};

TEST(VirtualPhoneDialects, EachAnswersAsItsDevice) {
  struct Case {
    const char* pszDialect;
    std::vector<Step> steps;
  } const cases[] = {
      {"wavecom-multiband",
       {{"AT+CPIN?", "\r\r\n+CPIN: READY\r\n"},
        {"AT+CPMS=?", "\r\r\n+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"SM\"", "\r\r\nERROR\r\n"},
        {"AT+CPMS=\"SM\",\"SM\"", "\r\r\n+CPMS: 1,30,1,30\r\n\r\nOK\r\n"},
        {"AT+CGMR", "\r\r\nERROR\r\n"}}},
      // Its own word for an error, with two unsolicited codes in every gap.
      {"huawei-e1752",
       {{"AT+XYZ",
         "\r\r\n+CMTI: \"SM\",3\r\n\r\nRING\r\n\r\nCOMMAND NOT SUPPORT\r\n\r\n+CREG: 1\r\n\r\n^RSSI: "
         "12\r\n"}}},
      {"siemens-cr", {{"AT", "\r\rOK\r"}, {"AT+CGMI", "\r\rSIEMENS\r\rOK\r"}}},
      {"nokia-n79",
       {{"AT+CPMS=?", "\r\r\n+CPMS: (),(),()\r\n\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CPMS: ,,,,,,,,\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"SM\",\"SM\"", "\r\r\nERROR\r\n"}}},
      {"mt5700-three-names",
       {{"AT+CPMS=\"ME\"", "\r\r\nERROR\r\n"},
        {"AT+CPMS=\"ME\",\"ME\",\"ME\"", "\r\r\n+CPMS: 1,100,1,100,1,100\r\n\r\nOK\r\n"}}},
      {"mt-only-sim",
       {{"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CPMS=\"SM\"", "\r\r\n+CMS ERROR: 302\r\n"},
        {"AT+CPMS=\"MT\",\"MT\",\"MT\"", "\r\r\n+CPMS: 2,130,2,130,2,130\r\n\r\nOK\r\n"},
        {"AT+CMGD=101", "\r\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CPMS: \"MT\",1,130,\"MT\",1,130,\"MT\",1,130\r\n\r\nOK\r\n"}}},
      {"cmgl-hangs",
       {{"AT+CMGL=4", "\r"},
        {"AT+CMGR=1", std::string("\r\r\n+CMGR: 0,,30\r\n") + kHowAreYou + "\r\n\r\nOK\r\n"}}},
      {"suffixed-storages",
       {{"AT+CPMS=\"SM_P\",\"SM_P\"", "\r\r\n+CPMS: 1,30,1,30,1,30\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"XX\"", "\r\r\nERROR\r\n"}}},
      // The commands of the SIM among the first four lines find it busy.
      {"qualcomm-m6280",
       {{"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CMS ERROR: 314\r\n"},
        {"AT+CGMI", "\r\r\nQUALCOMM INCORPORATED\r\n\r\nOK\r\n"},
        {"AT+CPIN?", "\r\r\n+CME ERROR: 14\r\n"},
        {"AT+CPIN?", "\r\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
      // Nothing of the SIM before the PIN; a wrong PIN is refused.
      {"zte-k3565z",
       {{"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CPIN?", "\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CMS ERROR: 311\r\n"},
        {"AT+CIMI", "\r\r\n+CME ERROR: 11\r\n"},
        {"AT+CPIN=\"0000\"", "\r\r\n+CME ERROR: 16\r\n"},
        {"AT+CPIN=\"1234\"", "\r\r\nOK\r\n"},
        {"AT+CMGD=9", "\r\r\nOK\r\n"}}},
      {"sony-ericsson-verbose",
       {{"ATE0", "\r\r\nERROR\r\n"},
        {"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CMGR=9", "\r\r\n+CMS ERROR: invalid memory index\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszDialect);
    CDialectPhone phone(DialectConfig(c.pszDialect));
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strCommand + step.strAnswer) << step.strCommand;
  }
}

TEST(VirtualPhoneDialects, ADamagedRecordAndAnUnknownName) {
  CDialectPhone phone(DialectConfig("corrupt-entry"));
  std::string strError;
  ASSERT_GT(phone.m_phone.Receive("SM", kHowAreYou, strError), 0);
  phone.m_phone.TakeOutput();
  const std::string listing = phone.Say("AT+CMGL=4");
  const std::string damaged = std::string(kHowAreYou).replace(std::string(kHowAreYou).size() - 4, 2, "ZZ");
  EXPECT_NE(listing.find("+CMGL: 1,0,,30\r\n" + damaged + "\r\n"), std::string::npos) << listing;
  EXPECT_NE(listing.find("+CMGL: 2,0,,30\r\n" + std::string(kHowAreYou) + "\r\n"), std::string::npos)
      << listing;
  // An unknown name is refused.
  CVirtualPhoneConfig config;
  EXPECT_FALSE(ApplyVirtualPhoneDialect("no-such-phone", config));
}

TEST(VirtualPhoneFaults, EachFaultPlaysAsItsOptionSays) {
  const std::string entry = "+CMGL: 1,0,,30\r\n" + std::string(kHowAreYou) + "\r\n";
  const std::string second = "+CMGL: 2,0,,30\r\n" + std::string(kHowAreYou) + "\r\n";
  struct Case {
    const char* pszName;
    CVirtualPhoneFaults faults;
    std::vector<Step> steps;  // whole answers, echo included
  } const cases[] = {
      {"silent after two",
       {.m_nSilentAfter = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT", "AT\r\r\nOK\r\n"}, {"AT", ""}}},
      // The answer before the hang-up comes whole; the command after it is not run.
      {"hang-up after two",
       {.m_nHangUpAfter = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT+CGMI", "AT+CGMI\r\r\nKelvane\r\n\r\nOK\r\n<hang-up>"}}},
      {"hang-up inside a listing",
       {.m_nHangUpInListing = 1, .m_vecCommandFaults = {}},
       {{"AT+CMGL=4", "AT+CMGL=4\r\r\n" + entry + "<hang-up>"}}},
      // Noise before the answer of every second command line.
      {"garbage",
       {.m_nGarbageEvery = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT", "AT\r\xff\xfe\x13~#\x7f\xf0\x05%&\r\nOK\r\n"}}},
      // Codes before the answer, between the entries of a listing (never between an
      // entry and its PDU), before the final result and after it.
      {"flood",
       {.m_nUrcFlood = 1, .m_vecCommandFaults = {}},
       {{"AT+CMGL=4", "AT+CMGL=4\r\r\n+CMTI: \"SM\",3\r\n\r\n" + entry + "\r\nRING\r\n" + second +
                          "\r\n+CREG: 1\r\n\r\nOK\r\n\r\n^RSSI: 12\r\n"}}},
      {"echo refused",
       {.m_bRefuseEchoOff = true, .m_vecCommandFaults = {}},
       {{"ATE0", "ATE0\r\r\nERROR\r\n"}, {"AT", "AT\r\r\nOK\r\n"}}},
      // A canned answer as often as asked, then the phone's own; the rate changes
      // after the OK that accepts it.
      {"canned once",
       {.m_vecCommandFaults = {{"AT+CPMS", "+CMS ERROR: 500", 1}}},
       {{"at+cpms?", "at+cpms?\r\r\n+CMS ERROR: 500\r\n"},
        {"AT+CPMS?", "AT+CPMS?\r\r\n+CPMS: \"SM\",2,30,\"SM\",2,30,\"SM\",2,30\r\n\r\nOK\r\n"},
        {"AT+IPR=115200", "AT+IPR=115200\r\r\nOK\r\n<rate 115200>"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CVirtualPhoneConfig config;
    config.m_faults = c.faults;
    config.m_nBaudRate = 9600;  // a paced line, as a serial modem's
    CDialectPhone phone(config);
    std::string strError;
    ASSERT_EQ(phone.m_phone.Receive("SM", kHowAreYou, strError), 2) << strError;
    phone.m_phone.TakeOutput();
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strAnswer) << step.strCommand;
  }
}

}  // namespace
