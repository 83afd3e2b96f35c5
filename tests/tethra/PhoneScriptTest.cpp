// CPhoneInterface against scripted modems: what each answer of a phone turns into for
// a user, with the commands it costs.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/support/DeliverPdus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduRecord.h"

namespace {

using Steps = std::vector<std::pair<std::string, std::string>>;

const std::string kSimOnly = "(\"SM\"),(\"SM\"),(\"SM\")";
const std::string kMeOnly = "(\"ME\"),(\"ME\"),(\"ME\")";
const std::string kError = "\r\nERROR\r\n";
std::string Cme(int n) { return "\r\n+CME ERROR: " + std::to_string(n) + "\r\n"; }
std::string Cms(int n) { return "\r\n+CMS ERROR: " + std::to_string(n) + "\r\n"; }

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

// What a fetch leaves a user: one line a message (text, storage, where it was on the
// phone, type/status), then the entries that could not be read.
std::string Printed(const CMessageArray& messages, const CPhoneDiagnostics& diagnostics) {
  std::string s;
  for (const auto& p : messages)
    s += p->m_strMessage + "|" + (p->m_nStorage == MSG_STORAGE_SIM ? "SIM" : "phone") + "|" + p->m_strExtra +
         "|" + std::to_string(p->m_nType) + "/" + std::to_string(p->m_nStatus) + "\n";
  for (const CPhoneUnreadable& bad : diagnostics.unreadable)
    s += "unreadable " + bad.strStorage + ":" + std::to_string(bad.nIndex) + "\n";
  return s;
}

TEST_F(ScriptedPhoneTest, SetsUpEachPhoneAsItAnswersOrSaysWhy) {
  using Step = std::pair<std::string, std::string>;
  const Step wake{"AT", Ok()}, echo{"ATE0+CMEE=1", Ok()}, pin{"AT+CPIN?", Ok("+CPIN: READY")};
  const Step pdu{"AT+CMGF=0", Ok()}, csms{"AT+CSMS?", Ok("+CSMS: 0,1,1,1")}, csca{"AT+CSCA?", Ok()};
  const Step wantsPin{"AT+CPIN?", Ok("+CPIN: SIM PIN")}, locked{"AT+CPIN?", Cme(11)};
  const Step noSms{"AT+CSMS?", Ok("+CSMS: 0,0,0,0")}, simOnly{"AT+CPMS=?", Ok("+CPMS: " + kSimOnly)};
  const std::string ready = Ok("+CPIN: READY"), service = Ok("+CSMS: 0,1,1,1");
  auto cpin = [](const std::string& strAnswer) { return Step{"AT+CPIN?", strAnswer}; };
  // A phone ready up to its storage list, which it answers so.
  auto storages = [&](const std::string& strCpin, const std::string& strCsms, const std::string& strCpms) {
    return Steps{wake, echo, cpin(strCpin), pdu, {"AT+CSMS?", strCsms}, {"AT+CPMS=?", strCpms}, csca};
  };
  // Echo that cannot be turned off, verbose errors, a SIM busy at first, storages
  // given as one bare list, and no service centre.
  Steps odd;
  for (const auto& [strCommand, strAnswer] : Steps{{"AT", Ok()},
                                                   {"ATE0+CMEE=1", kError},
                                                   {"ATE0", kError},
                                                   {"AT+CMEE=1", Ok()},
                                                   {"AT+CPIN?", "\r\n+CME ERROR: SIM busy\r\n"},
                                                   {"AT+CPIN?", ready},
                                                   {"AT+CMGF=0", Ok()},
                                                   {"AT+CSMS?", service},
                                                   {"AT+CPMS=?", Ok("+CPMS: \"SM\"")},
                                                   {"AT+CSCA?", kError}})
    odd.push_back({strCommand, strCommand + "\r" + strAnswer});
  // With the PIN: one command more, then PDU mode once the SIM has opened.
  Steps withPin{wake, echo, wantsPin, {"AT+CPIN=\"4321\"", Ok()}, {"AT+CMGF=0", Cms(314)}};
  withPin.insert(withPin.end(), {pdu, csms, simOnly, csca});
  const int notReady = PHONE_NOT_READY, ok = PHONE_SUCCESS;
  const struct {
    const char* pszName;
    const char* pszPin;
    int nCode;
    const char* pszState;  // the storage offered, the SIM's wish, its last +CME ERROR
    Steps steps;
  } cases[] = {
      {"SIM wants a PIN", "", notReady, "0|SIM PIN|-1", {wake, echo, wantsPin}},
      {"no SIM", "", notReady, "0||10", {wake, echo, cpin(Cme(10))}},
      {"SIM wants its PUK", "", notReady, "0|SIM PUK|12", {wake, echo, cpin(Cme(12))}},
      {"no PDU mode", "", PHONE_SETUP_FAILED, "0||-1", {wake, echo, pin, {"AT+CMGF=0", kError}}},
      {"PDU mode wants the PIN", "", notReady, "0|SIM PIN|-1", {wake, echo, pin, {"AT+CMGF=0", Cms(311)}}},
      {"no SMS service", "", PHONE_NO_SMS_SERVICE, "0||-1", {wake, echo, pin, pdu, noSms}},
      {"storage list never answered", "", notReady, "0||-1", {wake, echo, pin, pdu, csms, {"AT+CPMS=?", ""}}},
      {"silent phone", "", notReady, "0||-1", {}},
      // A wrong PIN is tried once only, so that retries do not lock the SIM.
      {"no PIN to give", "", notReady, "0|SIM PIN|11", {wake, echo, locked}},
      {"a wrong PIN", "1111", notReady, "0|SIM PIN|16", {wake, echo, locked, {"AT+CPIN=\"1111\"", Cme(16)}}},
      {"the PIN entered", "4321", ok, "2||-1", withPin},
      {"odd answers", "", ok, "2||-1", odd},
      // What the phone says of what set-up does not need does not stop it.
      {"storage list refused", "", ok, "3||-1", storages(ready, kError, Cms(302))},
      {"no PIN state, empty list", "", ok, "3||-1", storages(kError, service, Ok("+CPMS: "))},
      {"broadcasts and reports", "", ok, "3||-1", storages(ready, kError, Ok("+CPMS: (\"BM\",\"SR\")"))},
      // A phone that receives but does not send has SMS service.
      {"receiving only", "", ok, "3||-1", storages(ready, Ok("+CSMS: 0,1,0,1"), Ok("+CPMS: "))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    Script(c.steps);
    CPhoneInterface phone;
    phone.SetSimPin(c.pszPin);
    EXPECT_EQ(phone.SetupCommPort(kPort, 9600, 300), c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    const CPhoneDiagnostics& d = phone.GetDiagnostics();
    EXPECT_EQ(
        std::to_string(phone.GetAvailableStorage()) + "|" + d.strSimLock + "|" + std::to_string(d.nCmeError),
        c.pszState);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    // The first fetch reads the storages offered; nothing is fetched after a failed
    // set-up, and nothing crashes either.
    std::vector<std::string> reads;
    if (phone.GetAvailableStorage() != MSG_STORAGE_UNKNOWN)
      reads = phone.GetAvailableStorage() == MSG_STORAGE_SIM ? std::vector<std::string>{"SM"}
                                                             : std::vector<std::string>{"ME", "SM"};
    for (const std::string& strStorage : reads)
      Script({{"AT+CPMS=\"" + strStorage + "\"", Ok()}, {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}})}});
    CMessageArray messages;
    EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), reads.empty() ? c.nCode : PHONE_SUCCESS);
    EXPECT_EQ(messages.size(), reads.size());
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    // A phone that stops answering is knocked at again; any other write is a fault.
    if (c.steps.empty() || c.steps.back().second.empty())
      continue;
    EXPECT_TRUE(m_t.m_unexpected.empty()) << m_t.m_unexpected.front();
  }
  // Ports that are not mapped or not in the table, a rate the line refuses; then a
  // phone never set up answers every operation with a code.
  m_t = CScriptedTransport();
  CPhoneInterface phone;
  for (int nPort : {7, -1, 35})  // COM8 is not mapped
    EXPECT_EQ(phone.SetupCommPort(nPort, 9600, 100), PHONE_PORT_OPEN_FAILED) << nPort;
  m_nOpenFailure = PHONE_BAUD_REFUSED;
  EXPECT_EQ(phone.SetupCommPort(kPort, 12345, 100), PHONE_BAUD_REFUSED);
  EXPECT_EQ(m_strOpened + " " + std::to_string(m_nOpenedBaud), "/dev/scripted-phone 12345");
  CMessage message;
  std::string strList;
  EXPECT_LT(phone.SendMessageToPhone(&message, "AT+CMGS="), 0);
  EXPECT_LT(phone.DeletePhoneMessage(strList, &message), 0);
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
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(std::tie(messages[0]->m_strMessage, messages[0]->m_nStorage),
            std::make_tuple("How are you?", MSG_STORAGE_PHONE));
  ASSERT_TRUE(messages[0]->m_dtDateTime.IsValid());
  EXPECT_EQ(messages[0]->m_strDateTime, messages[0]->m_dtDateTime.Format());
  // The two parts, one on each storage and listed second part first, are one message.
  EXPECT_EQ(std::tie(messages[1]->m_strMessage, messages[1]->m_strNumber, messages[1]->m_strPdu),
            std::make_tuple(text, "+447700900555", parts[0] + parts[1]));
}

TEST_F(ScriptedPhoneTest, FetchesWhatTheListingsHoldAndNamesWhatTheyCannotRead) {
  struct Phone {
    std::string strStorages;  // as AT+CPMS=? lists them
    Steps steps;              // after set-up
  };
  const std::string one = Listing({{1, 1, kHowAreYou}}), cut = one.substr(0, one.size() - 30);
  const std::string other = DeliverPdus("+447700900555", "from the SIM", 9)[0];
  const std::string refused = Cms(302);
  auto me = [](const std::string& strListing) {
    return Phone{kMeOnly, {{"AT+CPMS=\"ME\"", Ok()}, {"AT+CMGL=4", strListing}}};
  };
  // Status numbers that disagree with the PDUs, a PDU that is not hexadecimal, a
  // length that does not match and a PDU the decoder refuses; then, as phones
  // really hold them, user data cut after 7 of its 9 octets, the header indicator
  // with no user data, and a status report padded with FF as the SIM record holds it.
  // The SUBMIT, stored unsent, comes back as an unsent message.
  const Phone mixed =
      me("\r\n+CMGL: 1,3,,30\r\n" + kHowAreYou + "\r\n+CMGL: 2,2,,23\r\n00" + kHelloSubmit.substr(2) +
         "\r\n+CMGL: 3,1,,30\r\n07911326040000F0040B9113466100ZZ\r\n" + "+CMGL: 4,1,,29\r\n" + kHowAreYou +
         "\r\n+CMGL: 5,1,,3\r\n00070000\r\n" +
         Listing({{6, 1, Hex(kSc + "04" + kOa + "0000" + kTime + "0A E8329BFD4697D9")},
                  {7, 1, Hex(kSc + "44" + kOa + "0000" + kTime + "00")},
                  {8, 1, Hex(kSc + "062D" + kOa + kTime + "5210100102030A 00 FFFFFF")}})
             .substr(2));
  const std::string badOnes = "unreadable ME:3\nunreadable ME:4\nunreadable ME:5\n";
  // ME holds one message; SM refuses to be chosen; MT shows ME's message and the
  // SIM's, the first of which is not listed twice.
  const Phone mt{"(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\"),(\"ME\",\"SM\",\"MT\")",
                 {{"AT+CPMS=\"ME\"", Ok()},
                  {"AT+CMGL=4", one},
                  {"AT+CPMS=\"SM\"", refused},
                  {"AT+CPMS=\"SM\",\"SM\",\"SM\"", refused},
                  {"AT+CPMS=\"SM\",\"SM\"", refused},
                  {"AT+CPMS=\"MT\"", Ok()},
                  {"AT+CMGL=4", Listing({{1, 1, kHowAreYou}, {101, 0, other}})}}};
  // A listing that hangs or is refused: read by index, three used of ten; index 2 is
  // empty, 3 garbled, the scan stops at the third message.
  auto byIndex = [&](const std::string& strListing) {
    return Phone{kSimOnly,
                 {{"AT+CPMS=\"SM\"", Ok("+CPMS: 3,10,3,10,3,10")},
                  {"AT+CMGL=4", strListing},
                  {"AT+CPMS?", Ok("+CPMS: \"SM\",3,10,\"SM\",3,10,\"SM\",3,10")},
                  {"AT+CMGR=1", "\r\n+CMGR: 1,,30\r\n" + kHowAreYou + "\r\n\r\nOK\r\n"},
                  {"AT+CMGR=2", Cms(321)},
                  {"AT+CMGR=3", "\r\n+CMGR: 1,,30\r\n07911326040000F0040B91\r\n\r\nOK\r\n"},
                  {"AT+CMGR=4", "\r\n+CMGR: 3,,23\r\n00" + kHelloSubmit.substr(2) + "\r\n\r\nOK\r\n"}}};
  };
  const std::string byIndexRead = "How are you?|SIM|SM:1|0/0\nunreadable SM:3\n";
  enum Fetch { RECEIVED, SENT, RECEIVED_THEN_HANG_UP };
  const struct {
    const char* pszName;
    Fetch eFetch;
    int nCode;
    std::string strPrinted;
    Phone phone;
  } cases[] = {
      {"SIM failure", RECEIVED, PHONE_ERROR_REPLY, "", me(Cms(313))},
      {"header without PDU", RECEIVED, PHONE_BAD_PDU, "unreadable ME:1\n", me(Ok("+CMGL: 1,1,,30"))},
      {"PDU cut short", RECEIVED, PHONE_BAD_PDU, "unreadable ME:1\n",
       me(Ok("+CMGL: 1,1,,30\r\n07911326040000F0040B"))},
      {"hang-up inside the listing", RECEIVED_THEN_HANG_UP, PHONE_WRITE_FAILED, "", me(cut)},
      {"silence inside the listing", RECEIVED, PHONE_TIMEOUT, "", me(cut)},
      {"nothing there", RECEIVED, PHONE_NO_MESSAGES, "", me(Ok())},
      {"every good one received", RECEIVED, PHONE_SUCCESS,
       "How are you?|phone|ME:1|0/0\nhellohel|phone|ME:6|0/0\n|phone|ME:7|0/0\n" + badOnes, mixed},
      {"every good one sent", SENT, PHONE_SUCCESS, "hellohello|phone|ME:2|1/2\n" + badOnes, mixed},
      {"the SIM through MT", RECEIVED, PHONE_SUCCESS,
       "How are you?|phone|ME:1|0/0\nfrom the SIM|SIM|MT:101|0/0\n", mt},
      {"listing hangs", RECEIVED, PHONE_SUCCESS, byIndexRead, byIndex("")},
      {"listing refused", RECEIVED, PHONE_SUCCESS, byIndexRead, byIndex(kError)},
      {"listing refused by number", RECEIVED, PHONE_SUCCESS, byIndexRead, byIndex(refused)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_t = CScriptedTransport();
    CPhoneInterface phone;
    ASSERT_TRUE(Connect(phone, c.phone.strStorages, 300));
    Script(c.phone.steps);
    if (c.eFetch == RECEIVED_THEN_HANG_UP)
      m_t.HangUpWhenEmpty();
    CMessageArray messages;
    EXPECT_EQ(c.eFetch == SENT ? phone.GetOutgoingMessagesFromPhone(&messages)
                               : phone.GetIncomingMessagesFromPhone(&messages),
              c.nCode);
    EXPECT_EQ(phone.GetPhoneErrorCode(), c.nCode);
    EXPECT_EQ(Printed(messages, phone.GetDiagnostics()), c.strPrinted);
    EXPECT_EQ(m_t.StepsLeft(), 0u);
    EXPECT_TRUE(m_t.m_unexpected.empty()) << m_t.m_unexpected.front();
  }
}

TEST_F(ScriptedPhoneTest, StoresOnTheChosenStorageAndMapsSendFailures) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  // Stored on the SIM: the SIM becomes the storage written to.
  auto stored = Stored(MSG_STORAGE_SIM);
  Script({{"AT+CPMS=\"SM\",\"SM\"", Ok("+CPMS: 0,30,0,30,0,30")},
          {"AT+CMGW=16", "\r\n> "},
          {kStoredPdu + "\x1A", Ok("+CMGW: 1")}});
  ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);
  EXPECT_EQ(stored->m_strPdu, kStoredPdu);
  // "hellohello" to +46708251358, relative validity 0xAA: a TPDU of 23 octets.
  auto message = Stored(MSG_STORAGE_SIM);
  message->m_strNumber = "+46708251358";
  message->SetRelativeValidity(true);
  message->m_nValidity = 0xAA;
  const std::string pdu = kHelloSubmit + "\x1A";
  const char* const cmgs = "AT+CMGS=";
  const std::string sca = Cms(330);
  CMessage* const m = message.get();
  const struct {
    const char* pszName;
    std::vector<std::pair<std::string, std::string>> steps;
    const char* pszCommand;
    CMessage* pMessage;
    int nCode;
  } cases[] = {
      {"no service centre", {{"AT+CMGS=23", "\r\n> "}, {pdu, sca}}, cmgs, m, PHONE_SCA_UNKNOWN},
      {"refused before the prompt", {{"AT+CMGS=23", Cms(500)}}, cmgs, m, PHONE_ERROR_REPLY},
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
          {"AT+CMGD=1,4", Cms(303)},
          {"AT+CMGL=4", Listing({{2, 1, kHowAreYou}, {7, 0, kHowAreYou}})},
          {"AT+CMGD=2", Ok()},
          {"AT+CMGD=7", Ok()}});
  EXPECT_EQ(phone.DeleteAllPhoneMessages(), PHONE_SUCCESS);
  EXPECT_EQ(m_t.StepsLeft(), 0u);

  // A delete stopped between the parts of a long message keeps the rest listed.
  const std::vector<std::string> parts = DeliverPdus("+447700900555", std::string(200, 'z'), 12);
  ASSERT_EQ(parts.size(), 2u);
  strList = "SM\t4\t1\t" + parts[0] + "\nSM\t5\t1\t" + parts[1] + "\n";
  CMessage record;
  record.m_strPdu = parts[0] + parts[1];
  std::vector<int> done;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    EXPECT_EQ(std::make_tuple(stage, storage, nTotal),
              std::make_tuple(PHONE_STAGE_DELETING, MSG_STORAGE_SIM, 2));
    done.push_back(nDone);
    return nDone < 1;  // stop before the second part
  });
  m_t.Expect("AT+CMGD=4\r", Ok());  // the SIM is chosen already
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

TEST_F(ScriptedPhoneTest, ReadsAndSetsTheStorageAndChangesTheRate) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone, "(\"ME\",\"SM\"),(\"ME\",\"SM\")", 300));
  m_t.Expect("AT+CPMS?\r", Ok("+CPMS: \"ME\",3,100,\"SM\",1,30"));
  EXPECT_EQ(phone.GetPreferredMessageStorage(), MSG_STORAGE_SIM);
  m_t.Expect("AT+CPMS=\"ME\",\"ME\"\r", Ok("+CPMS: 3,100,3,100"));
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_SUCCESS);
  m_t.Expect("AT+CPMS=\"SM\",\"SM\"\r", Cms(302));
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

TEST_F(ScriptedPhoneTest, ProgressReportsAndCancelsAtACommandBoundary) {
  CPhoneInterface phone;
  ASSERT_TRUE(Connect(phone));
  using Seen = std::tuple<int, int, int, int>;
  std::vector<Seen> seen;
  phone.SetProgressCallback([&](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    seen.emplace_back(stage, storage, nDone, nTotal);
    return storage != MSG_STORAGE_SIM;
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
  // A send in three parts reports each part.
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

}  // namespace
