// `mireth watch` on phones that differ from the plain virtual phone: it reads what
// came while nobody watched and what arrives while it runs on each of them, and a
// SIM that waits for its PIN ends it with the reason instead of a silent wait.
#include "CliTestSupport.h"

using namespace cli_test;

namespace {

class WatchDialectTest : public CCliTest {};

TEST_F(WatchDialectTest, MessagesBeforeAndDuringTheWatchAreReadOnEveryDialect) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"zte-k3565z", {"--pin", "1234"}},  // the SIM asks for its PIN
      {"mt-only-sim", {}},                // the SIM is read through MT only
      {"cmgl-hangs", {}},                 // no listing: read by index
      {"mt5700-three-names", {}},         // AT+CPMS takes three names or none
      {"wavecom-multiband", {}},          // +CPIN without OK, SIM only
      {"nokia-n79", {}},                  // empty storage lists, one name
  };
  for (const auto& [pszDialect, extra] : cases) {
    SCOPED_TRACE(pszDialect);
    if (m_pPhone)
      m_pPhone->Stop();
    StartPhone({}, pszDialect);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou), 0);
    std::vector<std::string> args = {"watch", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    CChild watch(With(args), ErrFile());
    ASSERT_TRUE(watch.IsStarted());
    std::string strLine;
    ASSERT_TRUE(watch.ReadLine(strLine, 15000)) << ErrText() << PhoneLog();
    EXPECT_NE(strLine.find("\"text\":\"How are you?\""), std::string::npos) << strLine;
    // Arriving now: announced, read and printed too.
    ASSERT_GT(m_pPhone->InjectReceivedMessage(DeliverPdus("+447700900111", "And now?")[0]), 0);
    ASSERT_TRUE(watch.ReadLine(strLine, 10000)) << ErrText() << PhoneLog();
    EXPECT_NE(strLine.find("\"text\":\"And now?\""), std::string::npos) << strLine;
    EXPECT_EQ(watch.Stop(SIGTERM, 5000), 0) << ErrText();
  }
}

TEST_F(WatchDialectTest, ASimWaitingForItsPinEndsTheWatchWithTheReason) {
  StartPhone({}, "zte-k3565z");
  CChild watch(With({"watch", "--retry", "1"}), ErrFile());
  ASSERT_TRUE(watch.IsStarted());
  EXPECT_EQ(watch.Wait(15000), 1) << ErrText();
  EXPECT_NE(ErrText().find("give it with --pin NNNN"), std::string::npos) << ErrText();
  // No PIN was guessed at.
  EXPECT_FALSE(LogHas("CMD AT+CPIN=")) << PhoneLog();
}

}  // namespace
