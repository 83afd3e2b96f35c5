// CPhoneInterface against scripted modems: what each answer of a phone turns into,
// with the commands it costs.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/PduEncoder.h"

namespace {

// "How are you?" from +31641600986 through the service centre +31624000000.
const char kHowAreYou[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

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
      {"no PDU mode", {wake, echo, pin, {"AT+CMGF=0\r", "\r\nERROR\r\n"}}, PHONE_SETUP_FAILED},
      {"no SMS service", {wake, echo, pin, pdu, {"AT+CSMS?\r", "\r\n+CSMS: 0,0,0,0\r\n\r\nOK\r\n"}}, PHONE_NO_SMS_SERVICE},
      {"SMS service refused", {wake, echo, pin, pdu, {"AT+CSMS?\r", "\r\nERROR\r\n"}}, PHONE_NO_SMS_SERVICE},
      {"unreadable service", {wake, echo, pin, pdu, {"AT+CSMS?\r", "\r\n+CSMS: x\r\n\r\nOK\r\n"}}, PHONE_SETUP_FAILED},
      {"storages refused", {wake, echo, pin, pdu, csms, {"AT+CPMS=?\r", "\r\n+CMS ERROR: 302\r\n"}}, PHONE_STORAGE_UNKNOWN},
      {"no usable storage", {wake, echo, pin, pdu, csms, {"AT+CPMS=?\r", "\r\n+CPMS: (\"BM\",\"SR\")\r\n\r\nOK\r\n"}}, PHONE_STORAGE_UNKNOWN},
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
  std::string me = Listing({{1, 1, kHowAreYou}, {2, 0, parts[1]}, {3, 2, "0011000B916407281553F80000AA0AE8329BFD4697D9EC37"}});
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
      {"phone error", "\r\n+CMS ERROR: 500\r\n", false, PHONE_ERROR_REPLY},
      {"plain error", "\r\nERROR\r\n", false, PHONE_ERROR_REPLY},
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
  const std::string pdu = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";
  const struct {
    const char* pszName;
    std::vector<std::pair<std::string, std::string>> steps;
    const char* pszCommand;
    CMessage* pMessage;
    int nCode;
  } cases[] = {
      {"service centre unknown", {{"AT+CMGS=23\r", "\r\n> "}, {pdu + "\x1A", "\r\n+CMS ERROR: 330\r\n"}}, "AT+CMGS=",
       &message, PHONE_SCA_UNKNOWN},
      {"refused before the prompt", {{"AT+CMGS=23\r", "\r\n+CMS ERROR: 500\r\n"}}, "AT+CMGS=", &message,
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
  const std::string onPhone = "07914477588916F71119" + std::string("0B916407281553F80000AA0AE8329BFD4697D9EC37");
  m_t.Expect("AT+CPMS=\"ME\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{5, 3, onPhone}}));
  m_t.Expect("AT+CPMS=\"SM\"\r", "\r\nOK\r\n");
  m_t.Expect("AT+CMGL=4\r", Listing({{2, 1, kHowAreYou}}));
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  EXPECT_EQ(strList, "ME\t5\t3\t" + onPhone + "\nSM\t2\t1\t" + kHowAreYou + "\n");

  CMessage sent;
  sent.m_strPdu = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";
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

}  // namespace
