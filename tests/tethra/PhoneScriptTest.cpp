// CPhoneInterface against scripted modems: what each answer of a phone turns into,
// with the commands it costs.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/support/DeliverPdus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduRecord.h"

namespace {

const std::string kSimOnly = "(\"SM\"),(\"SM\"),(\"SM\")";
const std::string kMeOnly = "(\"ME\"),(\"ME\"),(\"ME\")";
const std::string kError = "\r\nERROR\r\n";

std::string Listing(const std::vector<std::tuple<int, int, std::string>>& entries) {
  std::string s = "\r\n";
  for (const auto& [nIndex, nStat, strPdu] : entries) {
    size_t nSca = std::stoul(strPdu.substr(0, 2), nullptr, 16);
    s += "+CMGL: " + std::to_string(nIndex) + "," + std::to_string(nStat) + ",," +
         std::to_string(strPdu.size() / 2 - 1 - nSca) + "\r\n" + strPdu + "\r\n";
  }
  return s + "\r\nOK\r\n";
}

// "hellohello" with no number and no validity, to be stored: 16 TPDU octets.
std::unique_ptr<CMessage> Stored(int nStorage) {
  auto p = std::make_unique<CMessage>();
  p->m_strMessage = "hellohello";
  p->SetSubmitType();
  p->m_nStorage = nStorage;
  return p;
}
const std::string kStoredPdu = "000100008100000AE8329BFD4697D9EC37";

TEST_F(ScriptedPhoneTest, SetsUpAPhoneWithOddAnswers) {
  // Echo that cannot be turned off, verbose errors, a SIM busy at first, storages
  // given as one bare list, and no service centre.
  Script({{"AT", "AT\r\r\nOK\r\n"},
          {"ATE0+CMEE=1", "ATE0+CMEE=1\r\r\nERROR\r\n"},
          {"ATE0", "ATE0\r\r\nERROR\r\n"},
          {"AT+CMEE=1", "AT+CMEE=1\r\r\nOK\r\n"},
          {"AT+CPIN?", "AT+CPIN?\r\r\n+CME ERROR: SIM busy\r\n"},
          {"AT+CPIN?", "AT+CPIN?\r" + Ok("+CPIN: READY")},
          {"AT+CMGF=0", "AT+CMGF=0\r\r\nOK\r\n"},
          {"AT+CSMS?", "AT+CSMS?\r" + Ok("+CSMS: 0,1,1,1")},
          {"AT+CPMS=?", "AT+CPMS=?\r" + Ok("+CPMS: \"SM\"")},
          {"AT+CSCA?", "AT+CSCA?\r\r\nERROR\r\n"}});
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 19200, 2000), PHONE_SUCCESS);
  EXPECT_EQ(m_strOpened, "/dev/scripted-phone");
  EXPECT_EQ(m_nOpenedBaud, 19200);
  EXPECT_EQ(phone.GetAvailableStorage(), MSG_STORAGE_SIM);
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_STORAGE_UNKNOWN);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, MapsEverySetupFailureToItsCode) {
  using Step = std::pair<std::string, std::string>;
  const Step wake{"AT", Ok()}, echo{"ATE0+CMEE=1", Ok()}, pin{"AT+CPIN?", Ok("+CPIN: READY")};
  const Step pdu{"AT+CMGF=0", Ok()}, csms{"AT+CSMS?", Ok("+CSMS: 0,1,1,1")};
  const struct {
    const char* pszName;
    std::vector<Step> steps;
    int nCode;
  } cases[] = {
      {"SIM wants a PIN", {wake, echo, {"AT+CPIN?", Ok("+CPIN: SIM PIN")}}, PHONE_NOT_READY},
      {"no SIM", {wake, echo, {"AT+CPIN?", "\r\n+CME ERROR: 10\r\n"}}, PHONE_NOT_READY},
      {"SIM wants a PIN, no OK", {wake, echo, {"AT+CPIN?", "\r\n+CPIN: SIM PIN\r\n"}}, PHONE_NOT_READY},
      {"SIM wants its PUK", {wake, echo, {"AT+CPIN?", "\r\n+CME ERROR: 12\r\n"}}, PHONE_NOT_READY},
      {"no PDU mode", {wake, echo, pin, {"AT+CMGF=0", kError}}, PHONE_SETUP_FAILED},
      {"PDU mode wants the PIN",
       {wake, echo, pin, {"AT+CMGF=0", "\r\n+CMS ERROR: 311\r\n"}},
       PHONE_NOT_READY},
      {"no SMS service", {wake, echo, pin, pdu, {"AT+CSMS?", Ok("+CSMS: 0,0,0,0")}}, PHONE_NO_SMS_SERVICE},
      {"storage list never answered", {wake, echo, pin, pdu, csms, {"AT+CPMS=?", ""}}, PHONE_NOT_READY},
      {"silent phone", {}, PHONE_NOT_READY},
      {"silent after waking", {wake}, PHONE_NOT_READY},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    Script(c.steps);
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
  for (int nPort : {7, -1, 35})  // COM8 is not mapped
    EXPECT_EQ(phone.SetupCommPort(nPort, 9600, 100), PHONE_PORT_OPEN_FAILED) << nPort;
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
  const std::string text = std::string(150, 'a') + std::string(40, 'b');
  std::vector<std::string> parts = DeliverPdus("+447700900555", text, 77);
  ASSERT_EQ(parts.size(), 2u);
  const std::string statusReport = "07911326040000F006FF0B911346610089F6208062917314082080629173240800";
  // URCs in the middle of the SIM's listing.
  std::string sm = Listing({{1, 0, parts[0]}, {4, 1, statusReport}});
  sm.insert(2, "+CMTI: \"SM\",5\r\nRING\r\n^RSSI:3\r\n");
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  Script({{"AT+CPMS=\"ME\"", Ok("+CPMS: 3,100,3,100,3,100")},
          {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}, {2, 0, parts[1]}, {3, 2, kHelloSubmit}})},
          {"AT+CPMS=\"SM\"", Ok("+CPMS: 2,30,3,100,3,100")},
          {"AT+CMGL=4", sm}});
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  EXPECT_EQ(m_t.m_writes.size(), 11u);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(std::tie(messages[0]->m_strMessage, messages[0]->m_nStorage),
            std::make_tuple("How are you?", MSG_STORAGE_PHONE));
  ASSERT_TRUE(messages[0]->m_dtDateTime.IsValid());
  EXPECT_EQ(messages[0]->m_strDateTime, messages[0]->m_dtDateTime.Format());
  // The two parts, one on each storage and listed second part first, are one message.
  EXPECT_EQ(std::tie(messages[1]->m_strMessage, messages[1]->m_strNumber, messages[1]->m_strPdu),
            std::make_tuple(text, "+447700900555", parts[0] + parts[1]));
}

TEST_F(ScriptedPhoneTest, FailedFetchesLeaveTheArrayEmpty) {
  const std::string one = Listing({{1, 1, kHowAreYou}});
  const struct {
    const char* pszName;
    std::string strMeListing;
    bool bHangUp;
    int nCode;
  } cases[] = {
      {"SIM failure", "\r\n+CMS ERROR: 313\r\n", false, PHONE_ERROR_REPLY},
      {"header without PDU", Ok("+CMGL: 1,1,,30"), false, PHONE_BAD_PDU},
      {"PDU cut short", "\r\n+CMGL: 1,1,,30\r\n07911326040000F0040B\r\n\r\nOK\r\n", false, PHONE_BAD_PDU},
      {"only unreadable PDUs", "\r\n+CMGL: 1,1,,3\r\n00070000\r\n\r\nOK\r\n", false, PHONE_BAD_PDU},
      {"hang-up inside the listing", one.substr(0, one.size() - 30), true, PHONE_WRITE_FAILED},
      {"silence inside the listing", one.substr(0, one.size() - 30), false, PHONE_TIMEOUT},
      {"nothing there", Ok(), false, PHONE_NO_MESSAGES},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    CPhoneInterface phone;
    ASSERT_TRUE(Connect(phone, kMeOnly, 150));
    Script({{"AT+CPMS=\"ME\"", Ok()}, {"AT+CMGL=4", c.strMeListing}});
    if (c.bHangUp)
      m_t.HangUpWhenEmpty();
    CMessageArray messages;
    EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_TRUE(messages.empty());
  }
}

TEST_F(ScriptedPhoneTest, StoresOnTheChosenStorageAndMapsSendFailures) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  // Stored on the SIM: the SIM becomes the storage written to, once.
  auto stored = Stored(MSG_STORAGE_SIM);
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", Ok("+CPMS: 0,30,0,30,0,30"));
  for (const char* pszIndex : {"1", "2"}) {
    Script({{"AT+CMGW=16", "\r\n> "}, {kStoredPdu + "\x1A", Ok("+CMGW: " + std::string(pszIndex))}});
    ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);
    EXPECT_EQ(stored->m_strPdu, kStoredPdu);
  }
  // "hellohello" to +46708251358, relative validity 0xAA: a TPDU of 23 octets.
  auto message = Stored(MSG_STORAGE_SIM);
  message->m_strNumber = "+46708251358";
  message->SetRelativeValidity(true);
  message->m_nValidity = 0xAA;
  const std::string pdu = kHelloSubmit + "\x1A";
  const char* const cmgs = "AT+CMGS=";
  const char* const sca = "\r\n+CMS ERROR: 330\r\n";
  CMessage* const m = message.get();
  const struct {
    const char* pszName;
    std::vector<std::pair<std::string, std::string>> steps;
    const char* pszCommand;
    CMessage* pMessage;
    int nCode;
  } cases[] = {
      {"no service centre", {{"AT+CMGS=23", "\r\n> "}, {pdu, sca}}, cmgs, m, PHONE_SCA_UNKNOWN},
      {"refused before the prompt", {{"AT+CMGS=23", "\r\n+CMS ERROR: 500\r\n"}}, cmgs, m, PHONE_ERROR_REPLY},
      {"not a sending command", {}, "AT+CMGD=", m, PHONE_BAD_COMMAND},
      {"no number to send to", {}, cmgs, stored.get(), PHONE_BAD_PDU},
      {"no message", {}, cmgs, nullptr, PHONE_EXEC_FAILED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    Script(c.steps);
    EXPECT_EQ(phone.SendMessageToPhone(c.pMessage, c.pszCommand), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
}

TEST_F(ScriptedPhoneTest, DeletesByListingAndEmptiesStorages) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  // The copy on the phone carries a service centre and a message reference that the
  // record's PDU does not: it is still the record's.
  const std::string onPhone = "07914477588916F71119" + kHelloSubmit.substr(6);
  Script({{"AT+CPMS=\"ME\"", Ok()},
          {"AT+CMGL=4", Listing({{5, 3, onPhone}})},
          {"AT+CPMS=\"SM\"", Ok()},
          {"AT+CMGL=4", Listing({{2, 1, kHowAreYou}})}});
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  EXPECT_EQ(strList, "ME\t5\t3\t" + onPhone + "\nSM\t2\t1\t" + kHowAreYou + "\n");

  CMessage sent;
  sent.m_strPdu = kHelloSubmit;
  Script({{"AT+CPMS=\"ME\"", Ok()}, {"AT+CMGD=5", Ok()}});
  ASSERT_EQ(phone.DeletePhoneMessage(strList, &sent), PHONE_SUCCESS);
  EXPECT_EQ(strList, "SM\t2\t1\t" + kHowAreYou + "\n");
  // Gone from the list: a second delete finds nothing and sends nothing.
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &sent), PHONE_NO_MESSAGES);

  // Delete all: flag 4 where the phone knows it, one by one where it does not.
  Script({{"AT+CMGD=1,4", Ok()},
          {"AT+CPMS=\"SM\"", Ok()},
          {"AT+CMGD=1,4", "\r\n+CMS ERROR: 303\r\n"},
          {"AT+CMGL=4", Listing({{2, 1, kHowAreYou}, {7, 0, kHowAreYou}})},
          {"AT+CMGD=2", Ok()},
          {"AT+CMGD=7", Ok()}});
  EXPECT_EQ(phone.DeleteAllPhoneMessages(), PHONE_SUCCESS);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, ReadsInformationStorageAndChangesTheRate) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, "(\"ME\",\"SM\"),(\"ME\",\"SM\")", 300));
  Script({{"AT+CGMI", Ok("+CGMI: \"Kelvane\"")},
          {"AT+CGMM", Ok("VP-1")},
          {"AT+CGMR", Ok("+CGMR: V1.0 2024-05-02")}});
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetPhoneManufacturer() + "|" + phone.GetPhoneModel() + "|" + phone.GetPhoneVersion(),
            "Kelvane|VP-1|V1.0 2024-05-02");

  m_t.Expect("AT+CPMS?\r", Ok("+CPMS: \"ME\",3,100,\"SM\",1,30"));
  EXPECT_EQ(phone.GetPreferredMessageStorage(), MSG_STORAGE_SIM);
  EXPECT_EQ(phone.GetPhoneErrorCode(), PHONE_SUCCESS);
  m_t.Expect("AT+CPMS=\"ME\",\"ME\"\r", Ok("+CPMS: 3,100,3,100"));
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_SUCCESS);
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", "\r\n+CMS ERROR: 302\r\n");
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_SIM), PHONE_STORAGE_NOT_SET);
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_BOTH), PHONE_STORAGE_UNKNOWN);

  Script({{"AT+IPR=115200", Ok()}, {"AT", Ok()}});
  EXPECT_EQ(phone.ChangeBaudRate(115200), PHONE_SUCCESS);
  EXPECT_EQ(m_t.m_rates, std::vector<int>{115200});
  m_t.Expect("AT+IPR=999\r", kError);
  EXPECT_EQ(phone.ChangeBaudRate(999), PHONE_BAUD_REFUSED);
  // Accepted, but no answer at the new rate: back to the old one, refused.
  Script({{"AT+IPR=57600", Ok()}, {"AT", ""}});
  EXPECT_EQ(phone.ChangeBaudRate(57600), PHONE_BAUD_REFUSED);
  ASSERT_GE(m_t.m_rates.size(), 3u);
  EXPECT_EQ(m_t.m_rates[1], 57600);
  EXPECT_EQ(m_t.m_rates[2], 115200);
  m_t = CScriptedTransport();  // how often it knocks at the new rate is its own affair
}

TEST_F(ScriptedPhoneTest, SetsUpWhateverThePhoneSaysOfWhatItDoesNotNeed) {
  // Storage lists as real phones answer AT+CPMS=?, and the storages then read.
  const std::string ready = Ok("+CPIN: READY");
  const int sim = MSG_STORAGE_SIM, both = MSG_STORAGE_BOTH;
  const std::vector<std::string> sm{"SM"}, meSm{"ME", "SM"};
  const struct {
    const char* pszName;
    std::string strCpin, strCsms, strCpms;  // answers to AT+CPIN?, AT+CSMS? and AT+CPMS=?
    int nAvailable;
    std::vector<std::string> reads;  // storages the first fetch selects
  } cases[] = {
      {"no OK, nested lists", "\r\n+CPIN: READY\r\n", kError, Ok("+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))"),
       sim, sm},
      {"empty lists", ready, Ok("+CSMS: x"), Ok("+CPMS: (),(),()"), both, meSm},
      {"nothing after the colon", kError, Ok("+CSMS: 0,1,1,1"), Ok("+CPMS: "), both, meSm},
      {"storage list refused", ready, kError, "\r\n+CMS ERROR: 302\r\n", both, meSm},
      {"unbracketed", ready, kError, Ok("+CPMS: \"SM\",\"SM\",\"SM\""), sim, sm},
      {"vendor names", ready, kError, Ok("+CPMS: (ME_P,SM_P,SR),(ME_P,SM_P),(SM_P)"), both, {"ME_P", "SM_P"}},
      {"only broadcasts and reports", ready, kError, Ok("+CPMS: (\"BM\",\"SR\")"), both, meSm},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    Script({{"AT", Ok()},
            {"ATE0+CMEE=1", Ok()},
            {"AT+CPIN?", c.strCpin},
            {"AT+CMGF=0", Ok()},
            {"AT+CSMS?", c.strCsms},
            {"AT+CPMS=?", c.strCpms},
            {"AT+CSCA?", Ok("+CSCA: \"+447958879879\",145")}});
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1000), PHONE_SUCCESS);
    EXPECT_EQ(m_t.m_writes.size(), 7u);
    EXPECT_EQ(phone.GetAvailableStorage(), c.nAvailable);
    for (const std::string& strStorage : c.reads)
      Script({{"AT+CPMS=\"" + strStorage + "\"", Ok()}, {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}})}});
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    EXPECT_EQ(messages.size(), c.reads.size());
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    m_t = CScriptedTransport();
  }
}

TEST_F(ScriptedPhoneTest, ReadsTheSimThroughMtWhenItCannotBeChosenAndRemembers) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, "(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\")"));
  const std::string other = DeliverPdus("+447700900555", "from the SIM", 9)[0];
  const std::string refused = "\r\n+CMS ERROR: 302\r\n";
  // ME holds one message; SM refuses to be chosen; MT shows ME's message and the
  // SIM's, the first of which is not listed twice.
  Script({{"AT+CPMS=\"ME\"", Ok()},
          {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}})},
          {"AT+CPMS=\"SM\"", refused},
          {"AT+CPMS=\"SM\",\"SM\",\"SM\"", refused},
          {"AT+CPMS=\"SM\",\"SM\"", refused},
          {"AT+CPMS=\"MT\"", Ok()},
          {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}, {101, 0, other}})}});
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(std::tie(messages[0]->m_nStorage, messages[1]->m_strMessage, messages[1]->m_nStorage,
                     messages[1]->m_strExtra),
            std::make_tuple(MSG_STORAGE_PHONE, "from the SIM", MSG_STORAGE_SIM, "MT:101"));
  // The next fetch goes to MT straight away.
  Script({{"AT+CPMS=\"ME\"", Ok()},
          {"AT+CMGL=4", Ok()},
          {"AT+CPMS=\"MT\"", Ok()},
          {"AT+CMGL=4", Listing({{101, 1, other}})}});
  CMessageArray again;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&again), PHONE_SUCCESS);
  EXPECT_EQ(again.size(), 1u);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, EntersThePinOnceAndSaysWhenTheSimIsLocked) {
  // With the PIN: one command more, and the phone is ready.
  Script({{"AT", Ok()},
          {"ATE0+CMEE=1", Ok()},
          {"AT+CPIN?", Ok("+CPIN: SIM PIN")},
          {"AT+CPIN=\"4321\"", Ok()},
          {"AT+CMGF=0", "\r\n+CMS ERROR: 314\r\n"},  // busy while the SIM opens
          {"AT+CMGF=0", Ok()},
          {"AT+CSMS?", Ok("+CSMS: 0,1,1,1")},
          {"AT+CPMS=?", Ok("+CPMS: " + kSimOnly)},
          {"AT+CSCA?", Ok()}});
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
    Script({{"AT", Ok()}, {"ATE0+CMEE=1", Ok()}, {"AT+CPIN?", "\r\n+CME ERROR: 11\r\n"}});
    if (*pszPin != 0)
      m_t.Expect("AT+CPIN=\"1111\"\r", "\r\n+CME ERROR: 16\r\n");
    CPhoneInterface locked;
    locked.SetSimPin(pszPin);
    ASSERT_EQ(locked.SetupCommPort(kPort, 9600, 1000), PHONE_NOT_READY);
    EXPECT_EQ(locked.GetDiagnostics().strSimLock, "SIM PIN");
    EXPECT_EQ(locked.GetDiagnostics().nCmeError, *pszPin != 0 ? 16 : 11);
    Script({{"AT+CGMI", Ok("huawei")}, {"AT+CGMM", Ok("E1752")}, {"AT+CGMR", "\r\nCOMMAND NOT SUPPORT\r\n"}});
    ASSERT_EQ(locked.GetPhoneInformation(), PHONE_SUCCESS);
    EXPECT_EQ(locked.GetPhoneManufacturer() + "|" + locked.GetPhoneModel() + "|" + locked.GetPhoneVersion(),
              "huawei|E1752|");
    CMessageArray messages;
    EXPECT_EQ(locked.GetIncomingMessagesFromPhone(&messages), PHONE_NOT_READY);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
  m_t = CScriptedTransport();
}

TEST_F(ScriptedPhoneTest, LearnsHowManyStoragesASelectionTakes) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  // One name refused, three taken: from then on three, and never one again.
  Script({{"AT+CPMS=\"ME\"", kError},
          {"AT+CPMS=\"ME\",\"ME\",\"ME\"", Ok("+CPMS: 1,100,1,100,1,100")},
          {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}})},
          {"AT+CPMS=\"SM\",\"SM\",\"SM\"", Ok("+CPMS: 0,30,0,30,0,30")},
          {"AT+CMGL=4", Ok()}});
  CMessageArray messages;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  ASSERT_EQ(messages.size(), 1u);
  auto stored = Stored(MSG_STORAGE_PHONE);
  Script({{"AT+CPMS=\"ME\",\"ME\",\"ME\"", Ok()},
          {"AT+CMGW=16", "\r\n> "},
          {kStoredPdu + "\x1A", Ok("+CMGW: 2")}});
  ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, ReadsByIndexWhenTheListingHangsOrIsRefused) {
  for (const char* pszListing : {"", "\r\nERROR\r\n", "\r\n+CMS ERROR: 302\r\n"}) {
    SCOPED_TRACE(pszListing);
    m_t = CScriptedTransport();
    CPhoneInterface phone;
    ASSERT_TRUE(Connect(phone, kSimOnly, 300));
    // Three used of ten: index 2 is empty, 3 garbled, the scan stops at the third.
    Script({{"AT+CPMS=\"SM\"", Ok("+CPMS: 3,10,3,10,3,10")},
            {"AT+CMGL=4", pszListing},
            {"AT+CPMS?", Ok("+CPMS: \"SM\",3,10,\"SM\",3,10,\"SM\",3,10")},
            {"AT+CMGR=1", "\r\n+CMGR: 1,,30\r\n" + kHowAreYou + "\r\n\r\nOK\r\n"},
            {"AT+CMGR=2", "\r\n+CMS ERROR: 321\r\n"},
            {"AT+CMGR=3", "\r\n+CMGR: 1,,30\r\n07911326040000F0040B91\r\n\r\nOK\r\n"},
            {"AT+CMGR=4", "\r\n+CMGR: 3,,23\r\n00" + kHelloSubmit.substr(2) + "\r\n\r\nOK\r\n"}});
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0]->m_strMessage + "/" + messages[0]->m_strExtra, "How are you?/SM:1");
    ASSERT_EQ(phone.GetDiagnostics().unreadable.size(), 1u);
    EXPECT_EQ(phone.GetDiagnostics().unreadable[0].nIndex, 3);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    // The next fetch goes straight to reading by index: no second wait.
    m_t.Expect("AT+CPMS?\r", Ok("+CPMS: \"SM\",0,10,\"SM\",0,10,\"SM\",0,10"));
    EXPECT_EQ(phone.GetOutgoingMessagesFromPhone(&messages), PHONE_NO_MESSAGES);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
  }
  m_t = CScriptedTransport();
}

TEST_F(ScriptedPhoneTest, KeepsEveryGoodMessageAndSortsThemByTheirTransferUnit) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, kMeOnly));
  // Status numbers that disagree with the PDUs, a PDU that is not hexadecimal, a
  // length that does not match and a PDU the decoder refuses; then, as phones
  // really hold them, user data cut after 7 of its 9 octets, the header indicator
  // with no user data, and a status report padded with FF as the SIM record holds it.
  // The SUBMIT, stored unsent, comes back as an unsent message.
  const std::string listing = "\r\n+CMGL: 1,3,,30\r\n" + kHowAreYou + "\r\n+CMGL: 2,2,,23\r\n00" +
                              kHelloSubmit.substr(2) +
                              "\r\n+CMGL: 3,1,,30\r\n07911326040000F0040B9113466100ZZ\r\n" +
                              "+CMGL: 4,1,,29\r\n" + kHowAreYou + "\r\n+CMGL: 5,1,,3\r\n00070000\r\n" +
                              Listing({{6, 1, Hex(kSc + "04" + kOa + "0000" + kTime + "0A E8329BFD4697D9")},
                                       {7, 1, Hex(kSc + "44" + kOa + "0000" + kTime + "00")},
                                       {8, 1, Hex(kSc + "062D" + kOa + kTime + "5210100102030A 00 FFFFFF")}})
                                  .substr(2);
  for (bool bOutgoing : {false, true}) {
    SCOPED_TRACE(bOutgoing);
    if (!bOutgoing)  // the first fetch chooses the storage, the second finds it chosen
      m_t.Expect("AT+CPMS=\"ME\"\r", Ok());
    m_t.Expect("AT+CMGL=4\r", listing);
    CMessageArray messages;
    ASSERT_EQ(bOutgoing ? phone.GetOutgoingMessagesFromPhone(&messages)
                        : phone.GetIncomingMessagesFromPhone(&messages),
              PHONE_SUCCESS);
    std::vector<std::string> texts;
    for (const auto& p : messages)
      texts.push_back(p->m_strMessage + "/" + std::to_string(p->m_nType) + "/" +
                      std::to_string(p->m_nStatus));
    EXPECT_EQ(texts, (bOutgoing ? std::vector<std::string>{"hellohello/1/2"}
                                : std::vector<std::string>{"How are you?/0/0", "hellohel/0/0", "/0/0"}));
    const std::vector<CPhoneUnreadable>& bad = phone.GetDiagnostics().unreadable;
    ASSERT_EQ(bad.size(), 3u);
    EXPECT_EQ(bad[0].strStorage, "ME");
    EXPECT_EQ(std::vector<int>({bad[0].nIndex, bad[1].nIndex, bad[2].nIndex}), std::vector<int>({3, 4, 5}));
    EXPECT_FALSE(bad[2].strReason.empty());
  }
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, ProgressReportsAndCancelsAtACommandBoundary) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  using Seen = std::tuple<int, int, int, int>;
  std::vector<Seen> seen;
  bool bCancel = true;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    seen.emplace_back(stage, storage, nDone, nTotal);
    return !(bCancel && storage == MSG_STORAGE_SIM);
  });
  // The phone memory is listed; the SIM's turn is refused before its listing.
  Script({{"AT+CPMS=\"ME\"", Ok("+CPMS: 1,100,1,100,1,100")},
          {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}})},
          {"AT+CPMS=\"SM\"", Ok("+CPMS: 2,30,1,100,1,100")}});
  CMessageArray messages;
  EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_CANCELLED);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(m_t.StepsLeft(), 0u);
  ASSERT_GE(seen.size(), 3u);
  EXPECT_EQ(seen[0], Seen(PHONE_STAGE_READING, MSG_STORAGE_PHONE, 0, 1));
  EXPECT_EQ(seen.back(), Seen(PHONE_STAGE_READING, MSG_STORAGE_SIM, 0, 2));
  // A later call works, and a send in three parts reports each.
  bCancel = false;
  Script({{"AT+CPMS=\"ME\"", Ok()},
          {"AT+CMGL=4", Listing({{2, 0, kHowAreYou}})},
          {"AT+CPMS=\"SM\"", Ok()},
          {"AT+CMGL=4", Ok()}});
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_EQ(m_t.StepsLeft(), 0u);

  auto longOne = Outgoing("+447700900555", std::string(400, 'x'), MSG_STORAGE_UNKNOWN);
  seen.clear();
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    seen.emplace_back(stage, storage, nDone, nTotal);
    return nDone < 2;  // stop before the third part
  });
  // The phone answers whatever is written: a prompt to a command, a reference to
  // the data.
  m_t = CScriptedTransport();
  size_t nAnswered = 0;
  m_t.SetIdleSource([&]() -> std::string {
    if (m_t.m_writes.size() == nAnswered)
      return "";
    nAnswered = m_t.m_writes.size();
    return m_t.m_writes.back().starts_with("AT+CMGS=") ? "\r\n> " : Ok("+CMGS: 7");
  });
  EXPECT_EQ(phone.SendMessageToPhone(longOne.get(), "AT+CMGS="), PHONE_CANCELLED);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2], Seen(PHONE_STAGE_SENDING, MSG_STORAGE_UNKNOWN, 2, 3));
  EXPECT_EQ(m_t.m_writes.size(), 4u);  // two parts, each a command and its data
  m_t.m_unexpected.clear();
}

TEST_F(ScriptedPhoneTest, ADeleteStoppedBetweenPartsKeepsTheRestListed) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, kSimOnly));
  const std::vector<std::string> parts = DeliverPdus("+447700900555", std::string(200, 'z'), 12);
  ASSERT_EQ(parts.size(), 2u);
  std::string strList = "SM\t4\t1\t" + parts[0] + "\nSM\t5\t1\t" + parts[1] + "\n";
  CMessage record;
  record.m_strPdu = parts[0] + parts[1];
  std::vector<int> done;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    EXPECT_EQ(std::make_tuple(stage, storage, nTotal),
              std::make_tuple(PHONE_STAGE_DELETING, MSG_STORAGE_SIM, 2));
    done.push_back(nDone);
    return nDone < 1;  // stop before the second part
  });
  Script({{"AT+CPMS=\"SM\"", Ok()}, {"AT+CMGD=4", Ok()}});
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &record), PHONE_CANCELLED);
  EXPECT_EQ(done, (std::vector<int>{0, 1}));
  EXPECT_EQ(strList, "SM\t5\t1\t" + parts[1] + "\n");
  // Without the hook the rest goes, with no second listing.
  phone.SetProgressCallback(nullptr);
  m_t.Expect("AT+CMGD=5\r", Ok());
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &record), PHONE_SUCCESS);
  EXPECT_EQ(strList, "");
  EXPECT_EQ(m_t.StepsLeft(), 0u);
}

TEST_F(ScriptedPhoneTest, DeletingManyCostsOneListingAndOneTimeOut) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, kSimOnly, 200));
  CMessage records[3];
  std::vector<std::tuple<int, int, std::string>> entries;
  for (int i = 0; i < 3; ++i) {
    records[i].m_strPdu = DeliverPdus("+447700900555", std::to_string(i), uint16_t(i + 1))[0];
    entries.emplace_back(i + 1, 1, records[i].m_strPdu);
  }
  Script({{"AT+CPMS=\"SM\"", Ok()}, {"AT+CMGL=4", Listing(entries)}});
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  m_t.Expect("AT+CMGD=1\r", Ok());
  ASSERT_EQ(phone.DeletePhoneMessage(strList, &records[0]), PHONE_SUCCESS);
  // The phone stops answering: the second delete waits its time-out, the third
  // does not wait at all.
  m_t.Expect("AT+CMGD=2\r", "");
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &records[1]), PHONE_TIMEOUT);
  const size_t nWrites = m_t.m_writes.size();
  EXPECT_EQ(phone.DeletePhoneMessage(strList, &records[2]), PHONE_TIMEOUT);
  EXPECT_EQ(m_t.m_writes.size(), nWrites);
  EXPECT_NE(strList.find(records[1].m_strPdu), std::string::npos);  // not deleted: still listed

  // The listing itself gets no answer: the deletes that come with its (empty) text
  // do not wait again.
  std::string strEmpty;
  m_t = CScriptedTransport();  // a phone that answers nothing more
  EXPECT_EQ(phone.ListAllMessages(strEmpty), PHONE_TIMEOUT);
  const size_t nAfterListing = m_t.m_writes.size();
  for (CMessage& record : records)
    EXPECT_EQ(phone.DeletePhoneMessage(strEmpty, &record), PHONE_TIMEOUT);
  EXPECT_EQ(m_t.m_writes.size(), nAfterListing);
  m_t.m_unexpected.clear();
}

}  // namespace
