// The phone commands of mireth, run as a program against the virtual phone: what a
// user reads when the SIM wants its PIN, when entries cannot be read and when the
// phone answers with an error number.
#include <gtest/gtest.h>

#include "tests/support/TestIo.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "vphone/Dialects.h"

namespace {

class PhoneCommandsTest : public VirtualPhoneTest {
 protected:
  void SetUp() override {
    VirtualPhoneTest::SetUp();
    m_sandbox.SetEnv("MIRETH_LOCK_DIR", m_dir.string());
  }
  // Runs "mireth ARGS --device DEVICE" with stderr joined to stdout.
  int Run(const std::string& strArgs, const std::string& strDevice, std::string& strOut) {
    return test_io::RunCommandLine(
        std::string("'") + MIRETH_CLI_PATH + "' " + strArgs + " --device '" + strDevice + "' 2>&1", strOut);
  }
  void StartDialect(const char* pszDialect, const CVirtualPhoneFaults* pFaults = nullptr) {
    CVirtualPhoneConfig config;
    ASSERT_TRUE(ApplyVirtualPhoneDialect(pszDialect, config));
    if (pFaults)
      config.m_faults = *pFaults;
    StartPhone(config);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
  }
};

TEST_F(PhoneCommandsTest, SaysInWordsWhatThePhoneAndTheSimSay) {
  std::string out;
  const struct {
    const char* pszDialect;
    const char* pszArgs;
    int nExit;
    std::vector<const char*> texts;  // each must be in the output
  } cases[] = {
      {"zte-k3565z",
       "identify --timeout 2000",
       0,
       {"Manufacturer: ZTE INCORPORATED", "SIM:          waits for its PIN (give it with --pin NNNN)"}},
      {"zte-k3565z", "inbox --timeout 2000", 1, {"Error Code: -999", "The SIM card asks for its PIN"}},
      {"zte-k3565z", "inbox --timeout 2000 --pin 1234", 0, {"SM:1", "SM:2", "How are you?"}},
      {"zte-k3565z", "inbox --timeout 2000 --pin 12", 2, {"--pin takes the SIM's PIN"}},
      {"corrupt-entry", "inbox --timeout 2000", 0, {"SM:2", "1 entry on the phone could not be read"}},
      {"corrupt-entry",
       "inbox --json --timeout 2000",
       0,
       {"\"m_strExtra\":\"SM:2\"",
        "{\"unreadable\":true,\"storage\":\"SM\",\"index\":1,\"reason\":\"the PDU line is not "
        "hexadecimal\"}"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pszDialect) + " " + c.pszArgs);
    StartDialect(c.pszDialect);
    EXPECT_EQ(Run(c.pszArgs, m_pPhone->GetSlavePath(), out), c.nExit) << out;
    for (const char* pszText : c.texts)
      EXPECT_NE(out.find(pszText), std::string::npos) << pszText << "\n" << out;
    EXPECT_EQ(out.find("1234"), std::string::npos) << "the PIN must not be shown";
  }

  // A refusal by number is printed with its meaning beside the status code.
  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults = {{"AT+CMGS=", "+CMS ERROR: 500", -1}};
  StartDialect("plain", &faults);
  EXPECT_EQ(Run("send --to +447700900456 --text hi --timeout 2000", m_pPhone->GetSlavePath(), out), 1);
  EXPECT_NE(out.find("Error Code: -991"), std::string::npos) << out;
  EXPECT_NE(out.find("+CMS ERROR: 500 (unknown error)"), std::string::npos) << out;
}

}  // namespace
