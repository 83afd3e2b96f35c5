// The dialects of the virtual phone, command by command on its command processor:
// each behaves as the device it stands for.
#include <gtest/gtest.h>

#include <string>

#include "vphone/AtInterpreter.h"
#include "vphone/Dialects.h"
#include "tests/support/SmsVectors.h"

namespace {

// The processor of a dialect, with echo as the dialect starts.
struct CDialectPhone {
  explicit CDialectPhone(const char* pszDialect) : m_config(Config(pszDialect)), m_phone(m_config) {
    std::string strError;
    EXPECT_TRUE(m_phone.Init(strError)) << strError;
  }
  static CVirtualPhoneConfig Config(const char* pszDialect) {
    CVirtualPhoneConfig config;
    EXPECT_TRUE(ApplyVirtualPhoneDialect(pszDialect, config)) << pszDialect;
    return config;
  }
  // Everything the phone sends back for one command line.
  std::string Say(const std::string& strLine) {
    m_phone.Feed((strLine + "\r").data(), strLine.size() + 1);
    std::string out;
    for (const vphone::COutputItem& item : m_phone.TakeOutput())
      out += item.m_strBytes;
    return out;
  }
  CVirtualPhoneConfig m_config;
  vphone::CAtInterpreter m_phone;
};

TEST(VirtualPhoneDialects, EachAnswersAsItsDevice) {
  struct Step {
    std::string strCommand;
    std::string strAnswer;  // after the echo of the command
  };
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
      {"sony-ericsson-verbose",
       {{"ATE0", "\r\r\nERROR\r\n"},
        {"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CMGR=9", "\r\r\n+CMS ERROR: invalid memory index\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszDialect);
    CDialectPhone phone(c.pszDialect);
    std::string strError;
    // One received message in the SIM (and one in the phone memory where there is one).
    ASSERT_GT(phone.m_phone.Receive("SM", kHowAreYou, strError), 0) << strError;
    if (phone.m_phone.Store().HasStorage("ME")) {
      ASSERT_GT(phone.m_phone.Receive("ME", kHowAreYou, strError), 0) << strError;
    }
    phone.m_phone.TakeOutput();
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strCommand + step.strAnswer) << step.strCommand;
  }
}

TEST(VirtualPhoneDialects, ADamagedRecordAndAnUnknownName) {
  CDialectPhone phone("corrupt-entry");
  std::string strError;
  ASSERT_GT(phone.m_phone.Receive("SM", kHowAreYou, strError), 0);
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

}  // namespace
