// The virtual phone on its pseudo-terminal, driven by a plain terminal client.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "vphone/PtyClient.h"
#include "vphone/VirtualPhone.h"
#include "tests/support/SmsVectors.h"

namespace {

const char kDemoFile[] = MIRETH_SOURCE_DIR "/vphone/demo-messages.txt";
// The same message to the phone's own number +447700900123.
const char kHelloToSelf[] = "0011000C914477000910320000AA0AE8329BFD4697D9EC37";
const char kOk[] = "\r\nOK\r\n";

class VirtualPhoneTest : public ::testing::Test {
 protected:
  void TearDown() override {
    m_client.Close();
    if (m_pPhone)
      m_pPhone->Stop();
  }

  // Starts the phone, in place of one started before; bQuiet turns echo off and
  // numeric errors on, so that answers can be compared whole.
  void StartPhone(const CVirtualPhoneConfig& config, bool bQuiet = true) {
    m_client.Close();
    if (m_pPhone)
      m_pPhone->Stop();
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
    ASSERT_TRUE(m_client.Open(m_pPhone->GetSlavePath())) << m_pPhone->GetSlavePath();
    if (bQuiet) {
      ASSERT_EQ(m_client.Command("ATE0+CMEE=1"), "ATE0+CMEE=1\r\r\nOK\r\n");
    }
  }
  void StartDemo() {
    CVirtualPhoneConfig config;
    config.m_strMessagesFile = kDemoFile;
    StartPhone(config);
  }

  // Plays command lines and their whole answers.
  void Script(const std::vector<std::pair<std::string, std::string>>& steps) {
    for (const auto& [strCommand, strAnswer] : steps)
      EXPECT_EQ(m_client.Command(strCommand), strAnswer);
  }

  // Sends a PDU after the prompt of AT+CMGS / AT+CMGW and returns the answer.
  std::string SendPdu(const std::string& strCommand, const std::string& strPdu, char cEnd = '\x1a') {
    m_client.Take();
    if (!m_client.Send(strCommand + "\r") || !m_client.WaitFor("> "))
      return "<no prompt> " + m_client.Take();
    m_client.Take();
    if (!m_client.Send(strPdu + cEnd) || !m_client.WaitForFinal())
      return "<no final> " + m_client.Take();
    return m_client.Take();
  }

  std::unique_ptr<CVirtualPhone> m_pPhone;
  CPtyClient m_client;
};

// Lines of a reply, without the blank ones.
std::vector<std::string> Lines(const std::string& str) {
  std::vector<std::string> lines;
  for (std::size_t nStart = 0, nEnd; nStart < str.size(); nStart = nEnd + 2) {
    nEnd = std::min(str.find("\r\n", nStart), str.size());
    if (nEnd > nStart)
      lines.push_back(str.substr(nStart, nEnd - nStart));
  }
  return lines;
}

// The indexes named by the +CMGL lines of a listing.
std::vector<int> ListedIndexes(const std::string& str) {
  std::vector<int> indexes;
  for (const std::string& strLine : Lines(str))
    if (strLine.rfind("+CMGL: ", 0) == 0)
      indexes.push_back(std::stoi(strLine.substr(7)));
  return indexes;
}

TEST_F(VirtualPhoneTest, EchoFramingAndPlainCommands) {
  StartPhone(CVirtualPhoneConfig(), false);
  // Echo is on at start: the command line comes back as typed, then the framed answer.
  EXPECT_EQ(m_client.Command("AT+CGMI"), "AT+CGMI\r\r\nKelvane\r\n\r\nOK\r\n");
  // CR LF and bare LF end a line as CR does; the LF of CR LF does not start another.
  ASSERT_TRUE(m_client.Send("AT+CGMM\r\nAT+CGMR\n"));
  ASSERT_TRUE(m_client.WaitFor("V1.0 2024-05-02\r\n\r\nOK\r\n"));
  EXPECT_EQ(m_client.Take(), "AT+CGMM\r\r\nVP-1\r\n\r\nOK\r\nAT+CGMR\n\r\nV1.0 2024-05-02\r\n\r\nOK\r\n");
  Script(
      {{"ATE0", "ATE0\r\r\nOK\r\n"},  // echo off from the next command on
       {"AT+NOSUCH", "\r\nERROR\r\n"},
       {"ATE1", kOk},
       {"ATZ", "ATZ\r\r\nOK\r\n"},
       // Several commands on one line, one final result; the first failure ends the line.
       {"ATE0+CMEE=1;+CSCS?", "ATE0+CMEE=1;+CSCS?\r\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n"},
       {"AT+CSCS=\"UCS2\";+NOSUCH;+CSCS=\"GSM\"", "\r\nERROR\r\n"},
       {"AT+CSCA?", "\r\n+CSCA: \"002B003400340037003900350038003800370039003800370039\",145\r\n\r\nOK\r\n"},
       {"AT+CSCS=\"GSM\"", kOk},
       // Lines without AT are ignored, as a modem ignores noise.
       {"xyz\rAT", kOk}});
}

TEST_F(VirtualPhoneTest, SettingsCommandsAnswerAsA27005Phone) {
  StartDemo();
  Script({{"AT+CMGF=1", "\r\n+CMS ERROR: 303\r\n"},
          {"AT+CPMS=?", "\r\n+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")\r\n\r\nOK\r\n"},
          {"AT+CPMS?", "\r\n+CPMS: \"SM\",6,30,\"SM\",6,30,\"SM\",6,30\r\n\r\nOK\r\n"},
          {"AT+CPMS=\"ME\",\"ME\",\"ME\"", "\r\n+CPMS: 5,100,5,100,5,100\r\n\r\nOK\r\n"},
          {"AT+CPMS=\"SM\"", "\r\n+CPMS: 6,30,5,100,5,100\r\n\r\nOK\r\n"},
          {"AT+CPMS=\"BM\"", "\r\n+CMS ERROR: 302\r\n"},
          {"AT+CSCA=\"0123456\"", kOk},
          {"AT+CSCA?", "\r\n+CSCA: \"0123456\",129\r\n\r\nOK\r\n"},
          {"AT+CSCA=\"12x\"", "\r\nERROR\r\n"},
          {"AT+IPR=1234", "\r\nERROR\r\n"},
          // The three error reporting modes.
          {"AT+CMGR=99", "\r\n+CMS ERROR: 321\r\n"},
          {"AT+CMEE=2", kOk},
          {"AT+CMGR=99", "\r\n+CMS ERROR: invalid memory index\r\n"},
          {"AT+CPIN=\"1234\"", "\r\n+CME ERROR: operation not allowed\r\n"},
          {"AT+CMEE=0", kOk},
          {"AT+CMGR=99", "\r\nERROR\r\n"}});
  EXPECT_EQ(m_pPhone->GetPreferredStorage(2), "ME");
  EXPECT_EQ(m_pPhone->GetBaudRate(), 0);  // an unpaced line stays unpaced

  // A phone with the SIM only and a storage command of one parameter.
  CVirtualPhoneConfig config;
  config.m_vecStorages = {"SM"};
  config.m_nCpmsParameters = 1;
  config.m_bPrefixedInfo = true;
  StartPhone(config);
  Script({{"AT+CPMS=?", "\r\n+CPMS: (\"SM\")\r\n\r\nOK\r\n"},
          {"AT+CPMS?", "\r\n+CPMS: \"SM\",0,30\r\n\r\nOK\r\n"},
          {"AT+CPMS=\"ME\"", "\r\n+CMS ERROR: 302\r\n"},
          {"AT+CPMS=\"SM\",\"SM\"", "\r\nERROR\r\n"},
          {"AT+CGMI", "\r\n+CGMI: Kelvane\r\n\r\nOK\r\n"}});
}

TEST_F(VirtualPhoneTest, ListingFiltersByStatusAndMarksRead) {
  StartDemo();
  // SIM: 1 read, 2-3 unread, 4 read, 5 unread, 6 sent.
  std::string strUnread = m_client.Command("AT+CMGL=0");
  EXPECT_EQ(ListedIndexes(strUnread), (std::vector<int>{2, 3, 5}));
  std::vector<std::string> lines = Lines(strUnread);
  ASSERT_EQ(lines.size(), 7u);
  // "+CMGL: index,stat,,length": the length counts the TPDU, not the service centre.
  EXPECT_EQ(lines[0], "+CMGL: 2,0,,53");
  EXPECT_EQ(lines[1].size(), 2u * (53 + 8));
  EXPECT_EQ(lines[6], "OK");
  // Listing the unread ones marked them read.
  EXPECT_EQ(m_client.Command("AT+CMGL=0"), kOk);
  EXPECT_EQ(ListedIndexes(m_client.Command("AT+CMGL=1")), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(ListedIndexes(m_client.Command("AT+CMGL=3")), (std::vector<int>{6}));
  EXPECT_EQ(m_client.Command("AT+CMGL=2"), kOk);
  EXPECT_EQ(ListedIndexes(m_client.Command("AT+CMGL=4")), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(m_client.Command("AT+CMGL=5"), "\r\nERROR\r\n");
  // Reading one message marks it read too; the other storage keeps its own indexes.
  ASSERT_EQ(m_client.Command("AT+CPMS=\"ME\""), "\r\n+CPMS: 5,100,6,30,6,30\r\n\r\nOK\r\n");
  EXPECT_EQ(Lines(m_client.Command("AT+CMGR=1")),
            (std::vector<std::string>{"+CMGR: 0,,41", m_pPhone->GetMessages("ME")[0].m_strPdu, "OK"}));
  EXPECT_EQ(Lines(m_client.Command("AT+CMGR=1"))[0], "+CMGR: 1,,41");
  EXPECT_EQ(ListedIndexes(m_client.Command("AT+CMGL=0")), (std::vector<int>{2, 3}));
}

TEST_F(VirtualPhoneTest, WrittenMessageIsListedAndDeletedByFlag) {
  StartDemo();
  EXPECT_EQ(SendPdu("AT+CMGW=23", kHelloSubmit), "\r\n+CMGW: 7\r\n\r\nOK\r\n");
  EXPECT_EQ(Lines(m_client.Command("AT+CMGL=2")),
            (std::vector<std::string>{"+CMGL: 7,2,,23", kHelloSubmit, "OK"}));
  // Stored as REC READ: a DELIVER is wanted then, and a SUBMIT refused.
  EXPECT_EQ(SendPdu("AT+CMGW=23,1", kHelloSubmit), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(SendPdu("AT+CMGW=30,1", kHowAreYou), "\r\n+CMGW: 8\r\n\r\nOK\r\n");
  Script({{"AT+CMGD=?", "\r\n+CMGD: (1,2,3,4,5,6,7,8),(0-4)\r\n\r\nOK\r\n"},
          // One by index; an empty slot is fine, one outside the storage is not.
          {"AT+CMGD=7", kOk},
          {"AT+CMGD=7", kOk},
          {"AT+CMGD=0", "\r\n+CMS ERROR: 321\r\n"},
          {"AT+CMGD=31", "\r\n+CMS ERROR: 321\r\n"},
          {"AT+CMGD=1,5", "\r\nERROR\r\n"},
          // Flag 1: the read ones (1, 4, 8); flag 2 adds the sent one (6); unread 2, 3, 5 stay.
          {"AT+CMGD=1,1", kOk},
          {"AT+CMGD=?", "\r\n+CMGD: (2,3,5,6),(0-4)\r\n\r\nOK\r\n"},
          {"AT+CMGD=1,2", kOk},
          {"AT+CMGD=?", "\r\n+CMGD: (2,3,5),(0-4)\r\n\r\nOK\r\n"}});
  // A new message takes the lowest free slot; flag 3 takes it with the read ones.
  EXPECT_EQ(SendPdu("AT+CMGW=23", kHelloSubmit), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
  Script(
      {{"AT+CMGD=1,3", kOk}, {"AT+CMGD=?", "\r\n+CMGD: (2,3,5),(0-4)\r\n\r\nOK\r\n"}, {"AT+CMGD=1,4", kOk}});
  EXPECT_TRUE(m_pPhone->GetMessages("SM").empty());
  EXPECT_EQ(m_pPhone->GetMessages("ME").size(), 5u);
}

TEST_F(VirtualPhoneTest, MessageToOwnNumberComesBackAsDeliver) {
  StartPhone(CVirtualPhoneConfig());
  ASSERT_TRUE(m_client.Send("AT+CMGS=23\r"));
  ASSERT_TRUE(m_client.WaitFor("\r\n> "));
  ASSERT_TRUE(m_client.Send(std::string(kHelloToSelf) + "\x1a"));
  ASSERT_TRUE(m_client.WaitFor("+CMTI: \"SM\",1\r\n"));
  // The send is answered first, then the arrival is announced.
  EXPECT_EQ(m_client.Take(), "\r\n> \r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",1\r\n");
  EXPECT_EQ(m_pPhone->GetSentPdus(), std::vector<std::string>{kHelloToSelf});

  // REC UNREAD: service centre +447958879879, an SMS-DELIVER with no more messages
  // waiting from the number it was sent to, PID and DCS 0, a time stamp, then UDL
  // and user data unchanged.
  std::vector<CVirtualPhoneMessage> inbox = m_pPhone->GetMessages("SM");
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].m_nStatus, 0);
  const std::string& strPdu = inbox[0].m_strPdu;
  ASSERT_EQ(strPdu.size(), 2u * (8 + 1 + 8 + 2 + 7 + 1 + 9));
  EXPECT_EQ(strPdu.substr(0, 38),
            "0791449785788997"
            "04"
            "0C91447700091032"
            "0000");
  EXPECT_EQ(strPdu.substr(2 * 26), "0AE8329BFD4697D9EC37");
  EXPECT_EQ(Lines(m_client.Command("AT+CMGL=4"))[0], "+CMGL: 1,0,,28");
  // The next message gets the next reference.
  EXPECT_EQ(SendPdu("AT+CMGS=23", kHelloSubmit), "\r\n+CMGS: 2\r\n\r\nOK\r\n");
}

TEST_F(VirtualPhoneTest, FullStorageAndSendingFromStorage) {
  CVirtualPhoneConfig config;
  config.m_nSimCapacity = 2;
  StartPhone(config);
  EXPECT_EQ(SendPdu("AT+CMGW=23", kHelloToSelf), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(SendPdu("AT+CMGW=23,3", kHelloSubmit), "\r\n+CMGW: 2\r\n\r\nOK\r\n");
  // Full: writing is refused and nothing changes.
  EXPECT_EQ(SendPdu("AT+CMGW=23", kHelloSubmit), "\r\n+CMS ERROR: 322\r\n");
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 2u);

  // Sending from storage to another number: STO SENT afterwards, no delivery to us.
  EXPECT_EQ(m_client.Command("AT+CMSS=1,\"+4912345\""), "\r\n+CMSS: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(m_pPhone->GetSentPdus().back(), "0011000791942143F50000AA0AE8329BFD4697D9EC37");
  EXPECT_EQ(m_pPhone->GetMessages("SM")[0].m_nStatus, 3);
  // To its own number: the storage is full, so the message is lost, not announced.
  EXPECT_EQ(m_client.Command("AT+CMSS=1"), "\r\n+CMSS: 2\r\n\r\nOK\r\n");
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 2u);
  EXPECT_EQ(m_client.Command("AT+CMSS=3"), "\r\n+CMS ERROR: 321\r\n");
  // After a delete there is room, and the message arrives.
  EXPECT_EQ(m_client.Command("AT+CMGD=2"), kOk);
  ASSERT_TRUE(m_client.Send("AT+CMSS=1\r"));
  ASSERT_TRUE(m_client.WaitFor("+CMTI: \"SM\",2\r\n"));
  EXPECT_EQ(m_client.Command("AT+CMSS=2"), "\r\n+CMS ERROR: 302\r\n");  // a received one
}

TEST_F(VirtualPhoneTest, BadPduAndEscapeLeaveNothingBehind) {
  StartPhone(CVirtualPhoneConfig());
  // Esc cancels: plain OK, nothing sent, and the line is back in command mode.
  EXPECT_EQ(SendPdu("AT+CMGS=23", kHelloSubmit, '\x1b'), kOk);
  EXPECT_EQ(m_client.Command("AT"), kOk);
  // The length must count the TPDU exactly; not hex; user data cut short; a DELIVER
  // where a SUBMIT belongs.
  const std::pair<const char*, std::string> bad[] = {{"AT+CMGS=24", kHelloSubmit},
                                                     {"AT+CMGS=22", kHelloSubmit},
                                                     {"AT+CMGS=23", "00GG"},
                                                     {"AT+CMGS=22", std::string(kHelloSubmit).substr(0, 46)},
                                                     {"AT+CMGS=30", kHowAreYou}};
  for (const auto& [pszCommand, strPdu] : bad)
    EXPECT_EQ(SendPdu(pszCommand, strPdu), "\r\n+CMS ERROR: 304\r\n");
  Script({{"AT+CMGS=0", "\r\n+CMS ERROR: 304\r\n"}, {"AT+CMGS", "\r\nERROR\r\n"}});
  EXPECT_TRUE(m_pPhone->GetSentPdus().empty());
  EXPECT_EQ(SendPdu("AT+CMGS=23", kHelloSubmit), "\r\n+CMGS: 1\r\n\r\nOK\r\n");

  // Without a service centre a send is refused, unless the PDU brings its own.
  CVirtualPhoneConfig config;
  config.m_strSmsc.clear();
  StartPhone(config);
  EXPECT_EQ(SendPdu("AT+CMGS=23", kHelloSubmit), "\r\n+CMS ERROR: 330\r\n");
  EXPECT_EQ(SendPdu("AT+CMGS=23", std::string("07911326040000F0") + std::string(kHelloSubmit).substr(2)),
            "\r\n+CMGS: 1\r\n\r\nOK\r\n");
}

TEST_F(VirtualPhoneTest, NextClientCanOpenAfterExclusiveUse) {
  StartPhone(CVirtualPhoneConfig(), false);
  ASSERT_EQ(ioctl(m_client.Fd(), TIOCEXCL), 0);
  m_client.Close();
  // The phone clears the flag once the last client has gone; it does so when the
  // close is reported to it, so look until it has.
  bool bCleared = false;
  auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(CPtyClient::kTimeoutMs);
  while (!bCleared && std::chrono::steady_clock::now() < tEnd) {
    // While the flag is set a user's open fails (the superuser's does not).
    CPtyClient other;
    int nExclusive = 1;
    bCleared = other.Open(m_pPhone->GetSlavePath()) && ioctl(other.Fd(), TIOCGEXCL, &nExclusive) == 0 &&
               nExclusive == 0;
    if (bCleared)
      EXPECT_EQ(other.Command("AT"), "AT\r\r\nOK\r\n");
    else
      std::this_thread::yield();
  }
  EXPECT_TRUE(bCleared);
}

TEST_F(VirtualPhoneTest, StartFailsCleanly) {
  CVirtualPhoneConfig noFile, badStorage, notALink;
  noFile.m_strMessagesFile = ::testing::TempDir() + "no-such-messages-file.txt";
  badStorage.m_vecStorages = {"ME", "XX"};
  notALink.m_strLinkPath = ::testing::TempDir();  // a directory, not a link
  for (const auto& [pConfig, pszError] :
       {std::pair{&noFile, "cannot be read"}, {&badStorage, "XX"}, {&notALink, "not a symbolic link"}}) {
    CVirtualPhone phone(*pConfig);
    std::string strError;
    EXPECT_FALSE(phone.Start(&strError));
    EXPECT_NE(strError.find(pszError), std::string::npos) << strError;
  }
}

}  // namespace
