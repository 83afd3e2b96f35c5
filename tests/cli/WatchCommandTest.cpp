// `mireth watch` run as a program against the in-process virtual phone: a message
// injected while it runs is printed at once and stored once, parts are joined, the
// command hook gets the fields and nothing else, the phone may vanish and come back,
// and signals end it cleanly.
#include <fstream>

#include "CliTestSupport.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"

using namespace cli_test;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

namespace {

class WatchCommandTest : public CCliTest {
 protected:
  // Starts watch and waits until it has turned the indications on.
  std::unique_ptr<CChild> StartWatch(std::vector<std::string> args) {
    args.insert(args.begin(), "watch");
    auto pChild = std::make_unique<CChild>(With(args), ErrFile());
    EXPECT_TRUE(LogHas("CMD AT+CNMI=2,1,0,1", 10000)) << ErrText() << PhoneLog();
    return pChild;
  }
  CMessageArray Inbox() {
    CMessageArray inbox;
    ReadStoreFile(GetStorePath(DataFolder(), StoreList::inbox), inbox);
    return inbox;
  }
};

// How fast the line comes is measured by watch_bench; here only that it comes.
TEST_F(WatchCommandTest, AMessageArrivingIsPrintedAndStoredOnce) {
  StartPhone();
  auto pWatch = StartWatch({"--json", "--store"});
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou), 0);
  std::string strLine;
  ASSERT_TRUE(pWatch->ReadLine(strLine, 10000)) << ErrText();
  EXPECT_THAT(strLine, AllOf(HasSubstr("\"kind\":\"message\""), HasSubstr("\"from\":\"+31641600986\""),
                             HasSubstr("\"text\":\"How are you?\""), HasSubstr("\"complete\":true")));

  // The port is held: another program cannot open it meanwhile.
  {
    CChild other({"inbox", "--device", Device(), "--timeout", "1000"}, (m_root / "other.txt").string());
    EXPECT_EQ(other.Wait(5000), 1);
    EXPECT_NE(CTestSandbox::ReadFile(m_root / "other.txt").find("-995"), std::string::npos)
        << CTestSandbox::ReadFile(m_root / "other.txt");
  }

  // Announced twice (as when it comes during the listing at start): shown once.
  m_pPhone->InjectUnsolicited("+CMTI: \"SM\",1");
  EXPECT_FALSE(pWatch->ReadLine(strLine, 500)) << strLine;

  // The same message delivered again is shown again but not stored twice.
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2000)) << ErrText();
  EXPECT_EQ(pWatch->Stop(), 0) << ErrText();

  CMessageArray inbox = Inbox();
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0]->GetNumber() + ": " + inbox[0]->GetMessage(), "+31641600986: How are you?");
  EXPECT_TRUE(inbox[0]->m_dtDateTime.IsValid());
}

TEST_F(WatchCommandTest, PartsArePrintedOnceJoinedAndAnUnfinishedMessageAfterTheHold) {
  StartPhone();
  const std::string strLong(200, 'x');
  const std::string strText = "Part one and part two: " + strLong;
  std::vector<std::string> parts = DeliverPdus("+447700900777", strText);
  ASSERT_EQ(parts.size(), 2u);
  auto pWatch = StartWatch({"--hold", "1"});
  // The second part first: nothing is shown until the first comes.
  ASSERT_GT(m_pPhone->InjectReceivedMessage(parts[1]), 0);
  std::string strLine;
  EXPECT_FALSE(pWatch->ReadLine(strLine, 600)) << strLine;
  ASSERT_GT(m_pPhone->InjectReceivedMessage(parts[0]), 0);
  ASSERT_TRUE(pWatch->ReadLine(strLine, 1000)) << ErrText();
  EXPECT_THAT(strLine, AllOf(HasSubstr("+447700900777"), HasSubstr("Part one and part two: xxxx"),
                             Not(HasSubstr("[incomplete]"))));
  EXPECT_FALSE(pWatch->ReadLine(strLine, 300)) << "printed twice: " << strLine;

  // One part of another long message, and no more: shown after the hold, marked.
  std::vector<std::string> other = DeliverPdus("+447700900888", "Lost half " + strLong, 0x43);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(other[0]), 0);
  EXPECT_FALSE(pWatch->ReadLine(strLine, 500));
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2500)) << ErrText();
  EXPECT_NE(strLine.find("[incomplete] Lost half"), std::string::npos) << strLine;
  EXPECT_EQ(pWatch->Stop(SIGINT), 0);
}

TEST_F(WatchCommandTest, TheCommandGetsTheFieldsAndAHostileTextStaysText) {
  StartPhone();
  const std::string strOut = (m_root / "hook.txt").string();
  const std::string strTrap = (m_root / "pwned").string();
  const std::string strHostile =
      "Привет '; touch " + strTrap + "; echo \"$(touch " + strTrap + ")\" `touch " + strTrap + "`";
  auto pWatch = StartWatch({"--exec",
                            "printf '%s|%s|%s|%s|%s\\n' \"$MIRETH_KIND\" \"$MIRETH_FROM\" \"$MIRETH_TEXT\" "
                            "\"$MIRETH_COMPLETE\" \"$MIRETH_PLACES\" >> '" +
                                strOut + "'"});
  // Cyrillic is in no GSM table, so this goes as a UCS2 message of several parts
  // (how many depends on the length of the temporary folder's path). They come last
  // part first, the last one twice: joined once, with the places in part order.
  std::vector<std::string> parts = DeliverPdus("+447700900999", strHostile);
  ASSERT_GE(parts.size(), 2u);
  std::string strPlaces;
  for (size_t i = parts.size(); i-- > 0;) {
    const int nIndex = m_pPhone->InjectReceivedMessage(parts[i], "SM");
    ASSERT_GT(nIndex, 0);
    strPlaces = "SM:" + std::to_string(nIndex) + (strPlaces.empty() ? "" : ",") + strPlaces;
    if (i + 1 == parts.size()) {
      ASSERT_GT(m_pPhone->InjectReceivedMessage(parts[i], "SM"), 0);
    }
  }
  std::string strLine;
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2000)) << ErrText();
  EXPECT_EQ(pWatch->Stop(), 0);
  EXPECT_EQ(CTestSandbox::ReadFile(strOut), "message|+447700900999|" + strHostile + "|1|" + strPlaces + "\n");
  EXPECT_FALSE(std::filesystem::exists(strTrap));
}

TEST_F(WatchCommandTest, UnreadMessagesAtStartAreReadAndWithDeleteLeaveThePhoneOnceStored) {
  std::vector<std::string> unread = DeliverPdus("+447700900111", "While you were away");
  ASSERT_EQ(unread.size(), 1u);
  StartPhone({"SM 1 " + std::string(kHowAreYou), "SM 0 " + unread[0]});
  auto pWatch = StartWatch({"--store", "--delete"});
  std::string strLine;
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2000)) << ErrText();
  EXPECT_NE(strLine.find("While you were away"), std::string::npos) << strLine;
  EXPECT_FALSE(pWatch->ReadLine(strLine, 300)) << "a message read before was shown: " << strLine;
  EXPECT_EQ(pWatch->Stop(), 0);
  ASSERT_EQ(Inbox().size(), 1u);
  EXPECT_EQ(Inbox()[0]->GetMessage(), "While you were away");
  // Deleted once stored; the message read before stays.
  std::vector<CVirtualPhoneMessage> left = m_pPhone->GetMessages("SM");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].m_strPdu, kHowAreYou);
}

TEST_F(WatchCommandTest, ThePhoneVanishingAndComingBackIsSurvived) {
  StartPhone();
  auto pWatch = StartWatch({"--retry", "1"});
  m_pPhone->HangUp();
  ASSERT_TRUE(m_pPhone->WaitUntilEnded(3000));
  m_pPhone->Stop();
  // Meanwhile a message came; the phone returns holding it.
  std::vector<std::string> meanwhile = DeliverPdus("+447700900222", "Sent while the phone was off");
  StartPhone({"SM 0 " + meanwhile[0]});
  std::string strLine;
  ASSERT_TRUE(pWatch->ReadLine(strLine, 8000)) << ErrText();
  EXPECT_NE(strLine.find("Sent while the phone was off"), std::string::npos) << strLine;
  // Indications are on again (they are turned on before the phone's messages are read).
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou), 0);
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2000)) << ErrText();
  EXPECT_NE(strLine.find("How are you?"), std::string::npos) << strLine;
  EXPECT_NE(ErrText().find("went away"), std::string::npos) << ErrText();
  EXPECT_EQ(pWatch->Stop(), 0);
}

TEST_F(WatchCommandTest, APhoneRefusingStatusReportsStillAnnouncesMessages) {
  StartPhone();
  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults.push_back({"AT+CNMI=2,1,0,1", "+CMS ERROR: 303", -1});
  m_pPhone->SetFaults(faults);
  CChild watch(With({"watch"}), ErrFile());
  ASSERT_TRUE(LogHas("CMD AT+CNMI=2,1,0,0,0", 10000)) << ErrText() << PhoneLog();
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou), 0);
  std::string strLine;
  ASSERT_TRUE(watch.ReadLine(strLine, 2000)) << ErrText();
  EXPECT_NE(strLine.find("How are you?"), std::string::npos) << strLine;
  EXPECT_EQ(watch.Stop(), 0);
}

TEST_F(WatchCommandTest, UsageErrorsExitWithTwo) {
  std::string strOut;
  EXPECT_EQ(Run({"watch", "--delete", "--device", "/nonexistent"}, strOut), 2);  // --delete needs --store
  EXPECT_EQ(Run({"watch", "--hold"}, strOut), 2);
}

TEST_F(WatchCommandTest, EveryPhoneCommandReadsTheConnectionOptionsAlike) {
  // The same words, the same verdicts, before any phone is opened.
  const std::pair<std::vector<std::string>, const char*> cases[] = {
      {{"--pin", "12"}, "--pin takes the SIM's PIN, 4 to 8 digits"},
      {{"--pin", "12a4"}, "--pin takes the SIM's PIN, 4 to 8 digits"},
      {{"--baud", "0"}, "--baud takes a rate"},
      {{"--timeout", "x"}, "--timeout takes milliseconds"},
      {{"--port", "COM1", "--device", "/nonexistent"}, "give --port or --device, not both"},
      {{"--port", "LPT1"}, "'LPT1' is not a COM name"},
  };
  const std::vector<std::vector<std::string>> commands = {
      {"watch"}, {"contacts"}, {"send", "--report", "--to", "+123", "--text", "x"}, {"inbox"}, {"identify"}};
  for (const auto& command : commands)
    for (const auto& [options, pszSaid] : cases) {
      std::vector<std::string> args = command;
      args.insert(args.end(), options.begin(), options.end());
      std::string strOut;
      SCOPED_TRACE(command[0] + " " + options[0] + " " + options[1]);
      EXPECT_EQ(Run(args, strOut), 2);
      EXPECT_NE(ErrText().find(pszSaid), std::string::npos) << ErrText();
    }
  // --data is for the commands that keep files only.
  std::string strOut;
  EXPECT_EQ(Run({"inbox", "--data", "/tmp"}, strOut), 2);
  EXPECT_NE(ErrText().find("unknown option '--data'"), std::string::npos) << ErrText();
}

}  // namespace
