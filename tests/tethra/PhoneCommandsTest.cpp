// The phone commands of mireth, run as a program against the virtual phone: what a
// user reads when the SIM wants its PIN, when entries cannot be read, when the phone
// answers with an error number, and that a port chattering on its own does not
// keep identify beyond its time-out.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/tethra/PhoneTestSupport.h"
#include "vphone/Dialects.h"

namespace {

class PhoneCommandsTest : public VirtualPhoneTest {
 protected:
  void SetUp() override {
    VirtualPhoneTest::SetUp();
    ::setenv("MIRETH_LOCK_DIR", m_dir.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("MIRETH_LOCK_DIR");
    VirtualPhoneTest::TearDown();
  }
  // Runs "mireth ARGS --device DEVICE" with stderr joined to stdout.
  int Run(const std::string& strArgs, const std::string& strDevice, std::string& strOut) {
    std::string strCommand =
        std::string("'") + MIRETH_CLI_PATH + "' " + strArgs + " --device '" + strDevice + "' 2>&1";
    FILE* pPipe = popen(strCommand.c_str(), "r");
    char buf[4096];
    strOut.clear();
    for (size_t n; pPipe && (n = fread(buf, 1, sizeof buf, pPipe)) > 0;)
      strOut.append(buf, n);
    const int nStatus = pPipe ? pclose(pPipe) : -1;
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
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

TEST_F(PhoneCommandsTest, AChattyPortDoesNotKeepIdentifyBeyondItsTimeOut) {
  // A GPS port: sentences every 200 ms, never an answer.
  int nMaster = -1, nSlave = -1;
  char szName[256] = {};
  ASSERT_EQ(openpty(&nMaster, &nSlave, szName, nullptr, nullptr), 0);
  termios t{};
  tcgetattr(nSlave, &t);
  cfmakeraw(&t);
  tcsetattr(nSlave, TCSANOW, &t);
  fcntl(nMaster, F_SETFL, fcntl(nMaster, F_GETFL) | O_NONBLOCK);
  std::atomic<bool> bStop{false};
  std::thread chatter([&] {
    const char kLine[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    char buf[256];
    while (!bStop) {
      if (write(nMaster, kLine, sizeof kLine - 1) < 0)
        break;
      while (read(nMaster, buf, sizeof buf) > 0) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
  });
  std::string out;
  auto start = std::chrono::steady_clock::now();
  int nExit = Run("identify --timeout 2000", szName, out);
  auto elapsed =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  bStop = true;
  chatter.join();
  close(nSlave);
  close(nMaster);
  EXPECT_EQ(nExit, 1) << out;
  EXPECT_NE(out.find("Error Code: -999"), std::string::npos) << out;
  // The time-out, and what starting the program costs; never the chatter's pace.
  EXPECT_LT(elapsed.count(), 3500) << out;
}

}  // namespace
