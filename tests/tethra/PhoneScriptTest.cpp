// CPhoneInterface against scripted modems: what each answer of a phone turns into,
// with the commands it costs.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduRecord.h"

namespace {

std::string Listing(const std::vector<std::tuple<int, int, std::string>>& entries) {
  std::string s = "\r\n";
  for (const auto& [nIndex, nStat, strPdu] : entries) {
    size_t nSca = std::stoul(strPdu.substr(0, 2), nullptr, 16);
    s += "+CMGL: " + std::to_string(nIndex) + "," + std::to_string(nStat) + ",," +
         std::to_string(strPdu.size() / 2 - 1 - nSca) + "\r\n" + strPdu + "\r\n";
  }
  return s + "\r\nOK\r\n";
}

std::vector<std::string> DeliverParts(const std::string& strText, uint16_t nReference) {
  CPduDeliverRequest r;
  r.m_strServiceCenter = "+447958879879";
  r.m_strOriginator = "+447700900555";
  r.m_strText = strText;
  r.m_nConcatReference = nReference;
  auto encoded = CPduEncoder::EncodeDeliver(r);
  EXPECT_TRUE(encoded.IsOk());
  std::vector<std::string> parts;
  if (encoded)
    for (const auto& e : encoded.Value())
      parts.push_back(e.m_strPdu);
  return parts;
}

TEST_F(ScriptedPhoneTest, SetsUpAPhoneWithOddAnswers) {
  // Echo that cannot be turned off, verbose errors, a SIM busy at first, storages
  // given as one bare list, and no service centre.
  m_t.Expect("AT\r", "AT\r\r\nOK\r\n");
  m_t.Expect("ATE0+CMEE=1\r", "ATE0+CMEE=1\r\r\nERROR\r\n");
  m_t.Expect("ATE0\r", "ATE0\r\r\nERROR\r\n");
  m_t.Expect("AT+CMEE=1\r", "AT+CMEE=1\r\r\nOK\r\n");
  m_t.Expect("AT+CPIN?\r", "AT+CPIN?\r\r\n+CME ERROR: SIM busy\r\n");
  m_t.Expect("AT+CPIN?\r", "AT+CPIN?\r\r\n+CPIN: READY\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGF=0\r", "AT+CMGF=0\r\r\nOK\r\n");
  m_t.Expect("AT+CSMS?\r", "AT+CSMS?\r\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n");
  m_t.Expect("AT+CPMS=?\r", "AT+CPMS=?\r\r\n+CPMS: \"SM\"\r\n\r\nOK\r\n");
  m_t.Expect("AT+CSCA?\r", "AT+CSCA?\r\r\nERROR\r\n");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 19200, 2000), PHONE_SUCCESS);
  EXPECT_EQ(m_strOpened, "/dev/scripted-phone");
  EXPECT_EQ(m_nOpenedBaud, 19200);
  EXPECT_EQ(phone.GetAvailableStorage(), MSG_STORAGE_SIM);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, MapsEverySetupFailureToItsCode) {
  struct Case {
    const char* pszName;
    std::vector<std::pair<std::string, std::string>> steps;
    int nCode;
  };
  const std::pair<std::string, std::string> wake{"AT\r", "\r\nOK\r\n"};
  const std::pair<std::string, std::string> echo{"ATE0+CMEE=1\r", "\r\nOK\r\n"};
  const std::pair<std::string, std::string> pin{"AT+CPIN?\r", "\r\n+CPIN: READY\r\n\r\nOK\r\n"};
  const std::pair<std::string, std::string> pdu{"AT+CMGF=0\r", "\r\nOK\r\n"};
  const std::pair<std::string, std::string> csms{"AT+CSMS?\r", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n"};
  const Case cases[] = {
      {"SIM wants a PIN", {wake, echo, {"AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"}}, PHONE_NOT_READY},
      {"no SIM", {wake, echo, {"AT+CPIN?\r", "\r\n+CME ERROR: 10\r\n"}}, PHONE_NOT_READY},
      {"SIM wants a PIN, no OK", {wake, echo, {"AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n"}}, PHONE_NOT_READY},
      {"SIM wants its PUK", {wake, echo, {"AT+CPIN?\r", "\r\n+CME ERROR: 12\r\n"}}, PHONE_NOT_READY},
      {"no PDU mode", {wake, echo, pin, {"AT+CMGF=0\r", "\r\nERROR\r\n"}}, PHONE_SETUP_FAILED},
      {"PDU mode wants the PIN",
       {wake, echo, pin, {"AT+CMGF=0\r", "\r\n+CMS ERROR: 311\r\n"}},
       PHONE_NOT_READY},
      {"no SMS service",
       {wake, echo, pin, pdu, {"AT+CSMS?\r", "\r\n+CSMS: 0,0,0,0\r\n\r\nOK\r\n"}},
       PHONE_NO_SMS_SERVICE},
      {"storage list never answered", {wake, echo, pin, pdu, csms, {"AT+CPMS=?\r", ""}}, PHONE_NOT_READY},
      {"silent phone", {}, PHONE_NOT_READY},
      {"silent after waking", {wake}, PHONE_NOT_READY},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    for (const auto& [w, r] : c.steps)
      m_t.Expect(w, r);
    CPhoneInterface phone;
    EXPECT_EQ(phone.SetupCommPort(kPort, 9600, 150), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_EQ(phone.GetAvailableStorage(), MSG_STORAGE_UNKNOWN);
    // Nothing works after a failed set-up, and nothing crashes either.
    CMessageArray messages;
    EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), c.nCode);
    EXPECT_TRUE(messages.empty());
    m_t = CScriptedTransport();  // whatever was left unplayed is not a fault here
  }
  // Ports that are not mapped or not in the table, a rate the line refuses; then a
  // phone never set up answers every operation with a code.
  CPhoneInterface phone;
  EXPECT_EQ(phone.SetupCommPort(7, 9600, 100), PHONE_PORT_OPEN_FAILED);  // COM8 is not mapped
  EXPECT_EQ(phone.SetupCommPort(-1, 9600, 100), PHONE_PORT_OPEN_FAILED);
  EXPECT_EQ(phone.SetupCommPort(35, 9600, 100), PHONE_PORT_OPEN_FAILED);
  m_nOpenFailure = PHONE_BAUD_REFUSED;
  EXPECT_EQ(phone.SetupCommPort(kPort, 12345, 100), PHONE_BAUD_REFUSED);
  CMessage message;
  std::string strList;
  EXPECT_LT(phone.SendMessageToPhone(&message, "AT+CMGS="), 0);
  EXPECT_LT(phone.ListAllMessages(strList), 0);
  EXPECT_LT(phone.DeletePhoneMessage(strList, &message), 0);
  EXPECT_LT(phone.DeleteAllPhoneMessages(), 0);
  EXPECT_LT(phone.ChangeBaudRate(19200), 0);
  EXPECT_TRUE(m_t.m_writes.empty());
}

TEST_F(ScriptedPhoneTest, FetchesEveryStorageWithOneListingEach) {
  ExpectSetup();
  const std::string text = std::string(150, 'a') + std::string(40, 'b');
  std::vector<std::string> parts = DeliverParts(text, 77);
  ASSERT_EQ(parts.size(), 2u);
  const std::string statusReport = "07911326040000F006FF0B911346610089F6208062917314082080629173240800";
  std::string me = Listing({{1, 1, kHowAreYou}, {2, 0, parts[1]}, {3, 2, kHelloSubmit}});
  // URCs in the middle of the SIM's listing.
  std::string sm = Listing({{1, 0, parts[0]}, {4, 1, statusReport}});
  sm.insert(2, "+CMTI: \"SM\",5\r\nRING\r\n^RSSI:3\r\n");
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\n+CPMS: 3,100,3,100,3,100\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", me);
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 2,30,3,100,3,100\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", sm);
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 115200, 1000), PHONE_SUCCESS);
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  EXPECT_EQ(m_t.m_writes.size(), 11u);
  ASSERT_EQ(messages.size(), 2u);

  EXPECT_EQ(messages[0]->m_strMessage, "How are you?");
  EXPECT_EQ(messages[0]->m_nStorage, MSG_STORAGE_PHONE);
  ASSERT_TRUE(messages[0]->m_dtDateTime.IsValid());
  EXPECT_EQ(messages[0]->m_strDateTime, messages[0]->m_dtDateTime.Format());
  // The two parts, one on each storage and listed second part first, are one message.
  EXPECT_EQ(messages[1]->m_strMessage, text);
  EXPECT_EQ(messages[1]->m_strNumber, "+447700900555");
  EXPECT_EQ(messages[1]->m_strPdu, parts[0] + parts[1]);
}

TEST_F(ScriptedPhoneTest, FailedFetchesLeaveTheArrayEmpty) {
  struct Case {
    const char* pszName;
    std::string strMeListing;
    bool bHangUp;
    int nCode;
  };
  const std::string one = Listing({{1, 1, kHowAreYou}});
  const Case cases[] = {
      {"SIM failure", "\r\n+CMS ERROR: 313\r\n", false, PHONE_ERROR_REPLY},
      {"header without PDU", "\r\n+CMGL: 1,1,,30\r\n\r\nOK\r\n", false, PHONE_BAD_PDU},
      {"PDU cut short", "\r\n+CMGL: 1,1,,30\r\n07911326040000F0040B\r\n\r\nOK\r\n", false, PHONE_BAD_PDU},
      {"only unreadable PDUs", "\r\n+CMGL: 1,1,,3\r\n00070000\r\n\r\nOK\r\n", false, PHONE_BAD_PDU},
      {"hang-up inside the listing", one.substr(0, one.size() - 30), true, PHONE_WRITE_FAILED},
      {"silence inside the listing", one.substr(0, one.size() - 30), false, PHONE_TIMEOUT},
      {"nothing there", "\r\nOK\r\n", false, PHONE_NO_MESSAGES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    ExpectSetup("(\"ME\"),(\"ME\"),(\"ME\")");
    m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
    m_t.Expect("AT+CMGL=4\r", c.strMeListing);
    if (c.bHangUp)
      m_t.HangUpWhenEmpty();
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 150), PHONE_SUCCESS);
    CMessageArray messages;
    EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_TRUE(messages.empty());
  }
}

TEST_F(ScriptedPhoneTest, StoresOnTheChosenStorageAndMapsSendFailures) {
  ExpectSetup();
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  // Stored on the SIM: the SIM becomes the storage written to, once.
  CMessage stored;
  stored.m_strMessage = "hellohello";
  stored.SetSubmitType();
  stored.m_nStorage = MSG_STORAGE_SIM;
  const std::string storedPdu = "000100008100000AE8329BFD4697D9EC37";
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", "\r\n+CPMS: 0,30,0,30,0,30\r\n\r\nOK\r\n");
  for (const char* pszIndex : {"1", "2"}) {
    m_t.Expect("AT+CMGW=16\r", "\r\n> ");
    m_t.Expect(storedPdu + "\x1A", "\r\n+CMGW: " + std::string(pszIndex) + "\r\n\r\nOK\r\n");
    ASSERT_EQ(phone.SendMessageToPhone(&stored, "AT+CMGW="), PHONE_SUCCESS);
    EXPECT_EQ(stored.m_strPdu, storedPdu);
  }

  // "hellohello" to +46708251358, relative validity 0xAA: a TPDU of 23 octets.
  CMessage message;
  message.m_strMessage = "hellohello";
  message.SetSubmitType();
  message.m_strNumber = "+46708251358";
  message.SetRelativeValidity(true);
  message.m_nValidity = 0xAA;
  const std::string& pdu = kHelloSubmit;
  const struct {
    const char* pszName;
    std::vector<std::pair<std::string, std::string>> steps;
    const char* pszCommand;
    CMessage* pMessage;
    int nCode;
  } cases[] = {
      {"service centre unknown",
       {{"AT+CMGS=23\r", "\r\n> "}, {pdu + "\x1A", "\r\n+CMS ERROR: 330\r\n"}},
       "AT+CMGS=",
       &message,
       PHONE_SCA_UNKNOWN},
      {"refused before the prompt",
       {{"AT+CMGS=23\r", "\r\n+CMS ERROR: 500\r\n"}},
       "AT+CMGS=",
       &message,
       PHONE_ERROR_REPLY},
      {"not a sending command", {}, "AT+CMGD=", &message, PHONE_BAD_COMMAND},
      {"no number to send to", {}, "AT+CMGS=", &stored, PHONE_BAD_PDU},
      {"no message", {}, "AT+CMGS=", nullptr, PHONE_EXEC_FAILED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    for (const auto& [strWrite, strReply] : c.steps)
      m_t.Expect(strWrite, strReply);
    EXPECT_EQ(phone.SendMessageToPhone(c.pMessage, c.pszCommand), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
}

TEST_F(ScriptedPhoneTest, DeletesByListingAndEmptiesStorages) {
  ExpectSetup();
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  // The copy on the phone carries a service centre and a message reference that the
  // record's PDU does not: it is still the record's.
  const std::string onPhone =
      "07914477588916F71119" + std::string("0B916407281553F80000AA0AE8329BFD4697D9EC37");
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{5, 3, onPhone}}));
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{2, 1, kHowAreYou}}));
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  EXPECT_EQ(strList, "ME\t5\t3\t" + onPhone + "\nSM\t2\t1\t" + kHowAreYou + "\n");

  CMessage sent;
  sent.m_strPdu = kHelloSubmit;
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGD=5\r", "\r\nOK\r\n");
  ASSERT_EQ(phone.DeletePhoneMessage(strList, &sent), PHONE_SUCCESS);
  EXPECT_EQ(strList, "SM\t2\t1\t" + std::string(kHowAreYou) + "\n");
  // Gone from the list: a second delete finds nothing and sends nothing.
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &sent), PHONE_NO_MESSAGES);

  // Delete all: flag 4 where the phone knows it, one by one where it does not.
  m_t.Expect("AT+CMGD=1,4\r", "\r\nOK\r\n");
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGD=1,4\r", "\r\n+CMS ERROR: 303\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{2, 1, kHowAreYou}, {7, 0, kHowAreYou}}));
  m_t.Expect("AT+CMGD=2\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGD=7\r", "\r\nOK\r\n");
  EXPECT_EQ(phone.DeleteAllPhoneMessages(), PHONE_SUCCESS);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, ReadsInformationStorageAndChangesTheRate) {
  ExpectSetup("(\"ME\",\"SM\"),(\"ME\",\"SM\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 300), PHONE_SUCCESS);
  m_t.Expect("AT+CGMI\r", "\r\n+CGMI: \"Kelvane\"\r\n\r\nOK\r\n");
  m_t.Expect("AT+CGMM\r", "\r\nVP-1\r\n\r\nOK\r\n");
  m_t.Expect("AT+CGMR\r", "\r\n+CGMR: V1.0 2024-05-02\r\n\r\nOK\r\n");
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetPhoneManufacturer(), "Kelvane");
  EXPECT_EQ(phone.GetPhoneModel(), "VP-1");
  EXPECT_EQ(phone.GetPhoneVersion(), "V1.0 2024-05-02");

  m_t.Expect("AT+CPMS?\r", "\r\n+CPMS: \"ME\",3,100,\"SM\",1,30\r\n\r\nOK\r\n");
  EXPECT_EQ(phone.GetPreferredMessageStorage(), MSG_STORAGE_SIM);
  EXPECT_EQ(phone.GetPhoneErrorCode(), PHONE_SUCCESS);
  m_t.Expect("AT+CPMS=\"ME\",\"ME\"\r", "\r\n+CPMS: 3,100,3,100\r\n\r\nOK\r\n");
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_SUCCESS);
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", "\r\n+CMS ERROR: 302\r\n");
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_SIM), PHONE_STORAGE_NOT_SET);
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_BOTH), PHONE_STORAGE_UNKNOWN);

  m_t.Expect("AT+IPR=115200\r", "\r\nOK\r\n");
  m_t.Expect("AT\r", "\r\nOK\r\n");
  EXPECT_EQ(phone.ChangeBaudRate(115200), PHONE_SUCCESS);
  EXPECT_EQ(m_t.m_rates, std::vector<int>{115200});
  m_t.Expect("AT+IPR=999\r", "\r\nERROR\r\n");
  EXPECT_EQ(phone.ChangeBaudRate(999), PHONE_BAUD_REFUSED);
  // Accepted, but no answer at the new rate: back to the old one, refused.
  m_t.Expect("AT+IPR=57600\r", "\r\nOK\r\n");
  m_t.Expect("AT\r", "");
  EXPECT_EQ(phone.ChangeBaudRate(57600), PHONE_BAUD_REFUSED);
  ASSERT_GE(m_t.m_rates.size(), 3u);
  EXPECT_EQ(m_t.m_rates[1], 57600);
  EXPECT_EQ(m_t.m_rates[2], 115200);
  m_t = CScriptedTransport();  // how often it knocks at the new rate is its own affair
}

TEST_F(ScriptedPhoneTest, SetsUpWhateverThePhoneSaysOfWhatItDoesNotNeed) {
  // Storage lists as real phones answer AT+CPMS=?, and the storages then read.
  struct Case {
    const char* pszName;
    std::string strCpin;  // answer to AT+CPIN?
    std::string strCsms;  // answer to AT+CSMS?
    std::string strCpms;  // answer to AT+CPMS=?
    int nAvailable;
    std::vector<std::string> reads;  // storages the first fetch selects
  } const cases[] = {
      {"READY without OK, nested lists",
       "\r\n+CPIN: READY\r\n",
       "\r\nERROR\r\n",
       "\r\n+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))\r\n\r\nOK\r\n",
       MSG_STORAGE_SIM,
       {"SM"}},
      {"empty lists",
       "\r\n+CPIN: READY\r\n\r\nOK\r\n",
       "\r\n+CSMS: x\r\n\r\nOK\r\n",
       "\r\n+CPMS: (),(),()\r\n\r\nOK\r\n",
       MSG_STORAGE_BOTH,
       {"ME", "SM"}},
      {"nothing after the colon",
       "\r\nERROR\r\n",
       "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n",
       "\r\n+CPMS: \r\n\r\nOK\r\n",
       MSG_STORAGE_BOTH,
       {"ME", "SM"}},
      {"storage list refused",
       "\r\n+CPIN: READY\r\n\r\nOK\r\n",
       "\r\nERROR\r\n",
       "\r\n+CMS ERROR: 302\r\n",
       MSG_STORAGE_BOTH,
       {"ME", "SM"}},
      {"unbracketed",
       "\r\n+CPIN: READY\r\n\r\nOK\r\n",
       "\r\nERROR\r\n",
       "\r\n+CPMS: \"SM\",\"SM\",\"SM\"\r\n\r\nOK\r\n",
       MSG_STORAGE_SIM,
       {"SM"}},
      {"vendor names",
       "\r\n+CPIN: READY\r\n\r\nOK\r\n",
       "\r\nERROR\r\n",
       "\r\n+CPMS: (ME_P,SM_P,SR),(ME_P,SM_P),(SM_P)\r\n\r\nOK\r\n",
       MSG_STORAGE_BOTH,
       {"ME_P", "SM_P"}},
      {"only broadcasts and reports",
       "\r\n+CPIN: READY\r\n\r\nOK\r\n",
       "\r\nERROR\r\n",
       "\r\n+CPMS: (\"BM\",\"SR\")\r\n\r\nOK\r\n",
       MSG_STORAGE_BOTH,
       {"ME", "SM"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    m_t.Expect("AT\r", "\r\nOK\r\n");
    m_t.Expect("ATE0+CMEE=1\r", "\r\nOK\r\n");
    m_t.Expect("AT+CPIN?\r", c.strCpin);
    m_t.Expect("AT+CMGF=0\r", "\r\nOK\r\n");
    m_t.Expect("AT+CSMS?\r", c.strCsms);
    m_t.Expect("AT+CPMS=?\r", c.strCpms);
    m_t.Expect("AT+CSCA?\r", "\r\n+CSCA: \"+447958879879\",145\r\n\r\nOK\r\n");
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
    EXPECT_EQ(m_t.m_writes.size(), 7u);
    EXPECT_EQ(phone.GetAvailableStorage(), c.nAvailable);
    for (const std::string& strStorage : c.reads) {
      m_t.Expect("AT+CPMS=\"" + strStorage + "\"\r", "\r\nOK\r\n");
      m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, kHowAreYou}}));
    }
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    EXPECT_EQ(messages.size(), c.reads.size());
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    m_t = CScriptedTransport();
  }
}

TEST_F(ScriptedPhoneTest, ReadsTheSimThroughMtWhenItCannotBeChosenAndRemembers) {
  ExpectSetup("(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  const std::string other = DeliverParts("from the SIM", 9)[0];
  // ME holds one message; SM refuses to be chosen; MT shows ME's message and the
  // SIM's, the first of which is not listed twice.
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, kHowAreYou}}));
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\n+CMS ERROR: 302\r\n");
  m_t.Expect("AT+CPMS=\"SM\",\"SM\",\"SM\"\r", "\r\n+CMS ERROR: 302\r\n");
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", "\r\n+CMS ERROR: 302\r\n");
  m_t.Expect("AT+CPMS=\"MT\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, kHowAreYou}, {101, 0, other}}));
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0]->m_nStorage, MSG_STORAGE_PHONE);
  EXPECT_EQ(messages[1]->m_strMessage, "from the SIM");
  EXPECT_EQ(messages[1]->m_nStorage, MSG_STORAGE_SIM);
  EXPECT_EQ(messages[1]->m_strExtra, "MT:101");
  EXPECT_EQ(m_t.StepsLeft(), 0u);
  // The next fetch goes to MT straight away.
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", "\r\nOK\r\n");
  m_t.Expect("AT+CPMS=\"MT\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{101, 1, other}}));
  CMessageArray again;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&again), PHONE_SUCCESS);
  EXPECT_EQ(again.size(), 1u);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, EntersThePinOnceAndSaysWhenTheSimIsLocked) {
  // With the PIN: one command more, and the phone is ready.
  m_t.Expect("AT\r", "\r\nOK\r\n");
  m_t.Expect("ATE0+CMEE=1\r", "\r\nOK\r\n");
  m_t.Expect("AT+CPIN?\r", "\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  m_t.Expect("AT+CPIN=\"4321\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGF=0\r", "\r\n+CMS ERROR: 314\r\n");  // busy while the SIM opens
  m_t.Expect("AT+CMGF=0\r", "\r\nOK\r\n");
  m_t.Expect("AT+CSMS?\r", "\r\n+CSMS: 0,1,1,1\r\n\r\nOK\r\n");
  m_t.Expect("AT+CPMS=?\r", "\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n");
  m_t.Expect("AT+CSCA?\r", "\r\nOK\r\n");
  CPhoneInterface phone;
  phone.SetSimPin("4321");
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  EXPECT_TRUE(phone.GetDiagnostics().strSimLock.empty());
  EXPECT_EQ(m_t.StepsLeft(), 0u);

  // A wrong PIN is tried once only; without one the SIM's wish is reported, and
  // the phone still says what it is.
  for (const char* pszPin : {"1111", ""}) {
    SCOPED_TRACE(pszPin);
    m_t = CScriptedTransport();
    m_t.Expect("AT\r", "\r\nOK\r\n");
    m_t.Expect("ATE0+CMEE=1\r", "\r\nOK\r\n");
    m_t.Expect("AT+CPIN?\r", "\r\n+CME ERROR: 11\r\n");
    if (*pszPin != 0)
      m_t.Expect("AT+CPIN=\"1111\"\r", "\r\n+CME ERROR: 16\r\n");
    CPhoneInterface locked;
    locked.SetSimPin(pszPin);
    ASSERT_EQ(locked.SetupCommPort(kPort, 9600, 1000), PHONE_NOT_READY);
    EXPECT_EQ(locked.GetDiagnostics().strSimLock, "SIM PIN");
    EXPECT_EQ(locked.GetDiagnostics().nCmeError, *pszPin != 0 ? 16 : 11);
    m_t.Expect("AT+CGMI\r", "\r\nhuawei\r\n\r\nOK\r\n");
    m_t.Expect("AT+CGMM\r", "\r\nE1752\r\n\r\nOK\r\n");
    m_t.Expect("AT+CGMR\r", "\r\nCOMMAND NOT SUPPORT\r\n");
    ASSERT_EQ(locked.GetPhoneInformation(), PHONE_SUCCESS);
    EXPECT_EQ(locked.GetPhoneManufacturer(), "huawei");
    EXPECT_EQ(locked.GetPhoneModel(), "E1752");
    EXPECT_EQ(locked.GetPhoneVersion(), "");
    CMessageArray messages;
    EXPECT_EQ(locked.GetIncomingMessagesFromPhone(&messages), PHONE_NOT_READY);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
  m_t = CScriptedTransport();
}

TEST_F(ScriptedPhoneTest, LearnsHowManyStoragesASelectionTakes) {
  ExpectSetup("(\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  // One name refused, three taken: from then on three, and never one again.
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nERROR\r\n");
  m_t.Expect("AT+CPMS=\"ME\",\"ME\",\"ME\"\r", "\r\n+CPMS: 1,100,1,100,1,100\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, kHowAreYou}}));
  m_t.Expect("AT+CPMS=\"SM\",\"SM\",\"SM\"\r", "\r\n+CPMS: 0,30,0,30,0,30\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", "\r\nOK\r\n");
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  ASSERT_EQ(messages.size(), 1u);
  CMessage stored;
  stored.m_strMessage = "hellohello";
  stored.SetSubmitType();
  stored.m_nStorage = MSG_STORAGE_PHONE;
  m_t.Expect("AT+CPMS=\"ME\",\"ME\",\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGW=16\r", "\r\n> ");
  m_t.Expect("000100008100000AE8329BFD4697D9EC37\x1A", "\r\n+CMGW: 2\r\n\r\nOK\r\n");
  ASSERT_EQ(phone.SendMessageToPhone(&stored, "AT+CMGW="), PHONE_SUCCESS);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, ReadsByIndexWhenTheListingHangsOrIsRefused) {
  const std::string& submit = kHelloSubmit;
  for (const char* pszListing : {"", "\r\nERROR\r\n", "\r\n+CMS ERROR: 302\r\n"}) {
    SCOPED_TRACE(pszListing);
    m_t = CScriptedTransport();
    ExpectSetup("(\"SM\"),(\"SM\"),(\"SM\")");
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 300), PHONE_SUCCESS);
    m_t.Expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 3,10,3,10,3,10\r\n\r\nOK\r\n");
    m_t.Expect("AT+CMGL=4\r", pszListing);
    // Three used of ten: index 2 is empty, 3 garbled, the scan stops at the third.
    m_t.Expect("AT+CPMS?\r", "\r\n+CPMS: \"SM\",3,10,\"SM\",3,10,\"SM\",3,10\r\n\r\nOK\r\n");
    m_t.Expect("AT+CMGR=1\r", "\r\n+CMGR: 1,,30\r\n" + std::string(kHowAreYou) + "\r\n\r\nOK\r\n");
    m_t.Expect("AT+CMGR=2\r", "\r\n+CMS ERROR: 321\r\n");
    m_t.Expect("AT+CMGR=3\r", "\r\n+CMGR: 1,,30\r\n07911326040000F0040B91\r\n\r\nOK\r\n");
    m_t.Expect("AT+CMGR=4\r", "\r\n+CMGR: 3,,23\r\n00" + submit.substr(2) + "\r\n\r\nOK\r\n");
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->m_strMessage, "How are you?");
    EXPECT_EQ(messages[0]->m_strExtra, "SM:1");
    ASSERT_EQ(phone.GetDiagnostics().unreadable.size(), 1u);
    EXPECT_EQ(phone.GetDiagnostics().unreadable[0].nIndex, 3);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    // The next fetch goes straight to reading by index: no second wait.
    m_t.Expect("AT+CPMS?\r", "\r\n+CPMS: \"SM\",0,10,\"SM\",0,10,\"SM\",0,10\r\n\r\nOK\r\n");
    CMessageArray none;
    EXPECT_EQ(phone.GetOutgoingMessagesFromPhone(&none), PHONE_NO_MESSAGES);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
  m_t = CScriptedTransport();
}

TEST_F(ScriptedPhoneTest, KeepsEveryGoodMessageAndSortsThemByTheirTransferUnit) {
  ExpectSetup("(\"ME\"),(\"ME\"),(\"ME\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  const std::string& submit = kHelloSubmit;
  // Status numbers that disagree with the PDUs, a PDU that is not hexadecimal, a
  // length that does not match and a PDU the decoder refuses.
  const std::string listing = "\r\n+CMGL: 1,3,,30\r\n" + std::string(kHowAreYou) +
                              "\r\n+CMGL: 2,1,,23\r\n00" + submit.substr(2) +
                              "\r\n+CMGL: 3,1,,30\r\n07911326040000F0040B9113466100ZZ\r\n"
                              "+CMGL: 4,1,,29\r\n" +
                              kHowAreYou + "\r\n+CMGL: 5,1,,3\r\n00070000\r\n\r\nOK\r\n";
  for (bool bOutgoing : {false, true}) {
    SCOPED_TRACE(bOutgoing);
    if (!bOutgoing)  // the first fetch chooses the storage, the second finds it chosen
      m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
    m_t.Expect("AT+CMGL=4\r", listing);
    CMessageArray messages;
    ASSERT_EQ(bOutgoing ? phone.GetOutgoingMessagesFromPhone(&messages)
                        : phone.GetIncomingMessagesFromPhone(&messages),
              PHONE_SUCCESS);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->m_strMessage, bOutgoing ? "hellohello" : "How are you?");
    EXPECT_EQ(messages[0]->m_nType, bOutgoing ? 1 : 0);
    const std::vector<CPhoneUnreadable>& bad = phone.GetDiagnostics().unreadable;
    ASSERT_EQ(bad.size(), 3u);
    EXPECT_EQ(bad[0].strStorage, "ME");
    EXPECT_EQ(bad[0].nIndex, 3);
    EXPECT_EQ(bad[1].nIndex, 4);
    EXPECT_EQ(bad[2].nIndex, 5);
    EXPECT_FALSE(bad[2].strReason.empty());
  }
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, KeepsMessagesAsPhonesReallyHoldThem) {
  ExpectSetup("(\"SM\"),(\"SM\"),(\"SM\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  const std::string sca = "07911326040000F0";
  const std::string oa = "0B911346610089F6";
  // User data cut after 7 of its 9 octets, the header indicator with no user data,
  // and a status report padded with FF as the SIM record holds it.
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1,
                                      sca + "04" + oa +
                                          "0000"
                                          "42211332958540"
                                          "0A"
                                          "E8329BFD4697D9"},
                                     {2, 1,
                                      sca + "44" + oa +
                                          "0000"
                                          "42211332958540"
                                          "00"},
                                     {3, 1,
                                      sca + "062D" + oa +
                                          "42211332958540"
                                          "5210100102030A"
                                          "00"
                                          "FFFFFF"}}));
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0]->m_strMessage, "hellohel");
  EXPECT_EQ(messages[1]->m_strMessage, "");
  EXPECT_EQ(messages[1]->m_strNumber, "+31641600986");
  EXPECT_TRUE(phone.GetDiagnostics().unreadable.empty());
}

TEST_F(ScriptedPhoneTest, ProgressReportsAndCancelsAtACommandBoundary) {
  ExpectSetup();
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  std::vector<std::tuple<int, int, int, int>> seen;
  bool bCancel = true;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    seen.emplace_back(stage, storage, nDone, nTotal);
    return !(bCancel && storage == MSG_STORAGE_SIM);
  });
  // The phone memory is listed; the SIM's turn is refused before its listing.
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\n+CPMS: 1,100,1,100,1,100\r\n\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, kHowAreYou}}));
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\n+CPMS: 2,30,1,100,1,100\r\n\r\nOK\r\n");
  CMessageArray messages;
  EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_CANCELLED);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(m_t.StepsLeft(), 0u);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], std::make_tuple(int(PHONE_STAGE_READING), int(MSG_STORAGE_PHONE), 0, 1));
  EXPECT_EQ(seen.back(), std::make_tuple(int(PHONE_STAGE_READING), int(MSG_STORAGE_SIM), 0, 2));
  // A later call works, and a send in three parts reports each.
  bCancel = false;
  seen.clear();
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{2, 0, kHowAreYou}}));
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", "\r\nOK\r\n");
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(m_t.StepsLeft(), 0u);

  CMessage longOne;
  longOne.m_strNumber = "+447700900555";
  longOne.m_strMessage = std::string(400, 'x');
  longOne.SetSubmitType();
  auto encoded = CPduRecord::EncodeMessage(longOne, 0, 0);
  ASSERT_TRUE(encoded.IsOk());
  ASSERT_EQ(encoded->size(), 3u);
  seen.clear();
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    seen.emplace_back(stage, storage, nDone, nTotal);
    return nDone < 2;  // stop before the third part
  });
  // The parts carry a reference of the phone object's own: the phone answers
  // whatever is written, a prompt to a command and a reference to the data.
  m_t = CScriptedTransport();
  m_t.SetIdleSource([&]() -> std::string {
    const std::string& last = m_t.m_writes.empty() ? std::string() : m_t.m_writes.back();
    static size_t nAnswered = 0;
    if (m_t.m_writes.size() == nAnswered)
      return "";
    nAnswered = m_t.m_writes.size();
    return last.rfind("AT+CMGS=", 0) == 0 ? "\r\n> " : "\r\n+CMGS: 7\r\n\r\nOK\r\n";
  });
  EXPECT_EQ(phone.SendMessageToPhone(&longOne, "AT+CMGS="), PHONE_CANCELLED);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(std::get<0>(seen[2]), PHONE_STAGE_SENDING);
  EXPECT_EQ(std::get<2>(seen[2]), 2);
  EXPECT_EQ(std::get<3>(seen[2]), 3);
  EXPECT_EQ(m_t.m_writes.size(), 4u);  // two parts, each a command and its data
  m_t.m_unexpected.clear();
}

TEST_F(ScriptedPhoneTest, ADeleteStoppedBetweenPartsKeepsTheRestListed) {
  ExpectSetup("(\"SM\"),(\"SM\"),(\"SM\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
  const std::vector<std::string> parts = DeliverParts(std::string(200, 'z'), 12);
  ASSERT_EQ(parts.size(), 2u);
  std::string strList = "SM\t4\t1\t" + parts[0] + "\nSM\t5\t1\t" + parts[1] + "\n";
  CMessage record;
  record.m_strPdu = parts[0] + parts[1];
  std::vector<int> done;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    EXPECT_EQ(stage, PHONE_STAGE_DELETING);
    EXPECT_EQ(storage, MSG_STORAGE_SIM);
    EXPECT_EQ(nTotal, 2);
    done.push_back(nDone);
    return nDone < 1;  // stop before the second part
  });
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGD=4\r", "\r\nOK\r\n");
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &record), PHONE_CANCELLED);
  EXPECT_EQ(done, (std::vector<int>{0, 1}));
  EXPECT_EQ(strList, "SM\t5\t1\t" + parts[1] + "\n");
  // Without the hook the rest goes, with no second listing.
  phone.SetProgressCallback(nullptr);
  m_t.Expect("AT+CMGD=5\r", "\r\nOK\r\n");
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &record), PHONE_SUCCESS);
  EXPECT_EQ(strList, "");
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, DeletingManyCostsOneListingAndOneTimeOut) {
  ExpectSetup("(\"SM\"),(\"SM\"),(\"SM\")");
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 200), PHONE_SUCCESS);
  std::vector<std::string> parts = DeliverParts("one", 1);
  std::vector<std::string> more = DeliverParts("two", 2);
  std::vector<std::string> last = DeliverParts("three", 3);
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{1, 1, parts[0]}, {2, 1, more[0]}, {3, 1, last[0]}}));
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  CMessage a, b, c;
  a.m_strPdu = parts[0];
  b.m_strPdu = more[0];
  c.m_strPdu = last[0];
  m_t.Expect("AT+CMGD=1\r", "\r\nOK\r\n");
  ASSERT_EQ(phone.DeletePhoneMessage(strList, &a), PHONE_SUCCESS);
  // The phone stops answering: the second delete waits its time-out, the third
  // does not wait at all.
  m_t.Expect("AT+CMGD=2\r", "");
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &b), PHONE_TIMEOUT);
  const size_t nWrites = m_t.m_writes.size();
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &c), PHONE_TIMEOUT);
  EXPECT_EQ(m_t.m_writes.size(), nWrites);
  EXPECT_NE(strList.find(more[0]), std::string::npos);  // not deleted: still listed

  // The listing itself gets no answer: the deletes that come with its (empty) text
  // do not wait again, and a listing that works again ends the stall.
  std::string strEmpty;
  m_t = CScriptedTransport();  // a phone that answers nothing more
  EXPECT_EQ(phone.ListAllMessages(strEmpty), PHONE_TIMEOUT);
  const size_t nAfterListing = m_t.m_writes.size();
  for (CMessage* p : {&a, &b, &c})
    EXPECT_EQ(phone.DeletePhoneMessage(strEmpty, p), PHONE_TIMEOUT);
  EXPECT_EQ(m_t.m_writes.size(), nAfterListing);
  m_t.m_unexpected.clear();
}

}  // namespace
