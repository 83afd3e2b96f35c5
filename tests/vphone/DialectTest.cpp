// The dialects and the faults of the virtual phone, command by command on its command
// processor: each behaves as the device or the fault it stands for.
#include <gtest/gtest.h>

#include <string>

#include "vphone/AtInterpreter.h"
#include "vphone/Dialects.h"
#include "vphone/MessagesFile.h"
#include "tests/support/SmsVectors.h"

namespace {

CVirtualPhoneConfig DialectConfig(const char* pszDialect) {
  CVirtualPhoneConfig config;
  EXPECT_TRUE(ApplyVirtualPhoneDialect(pszDialect, config)) << pszDialect;
  return config;
}

// The processor of a configuration, with echo as it starts and the messages of its
// messages file.
struct CDialectPhone {
  explicit CDialectPhone(const CVirtualPhoneConfig& config) : m_config(config), m_phone(m_config) {
    std::string strError;
    EXPECT_TRUE(m_phone.Init(strError)) << strError;
    if (!config.m_strMessagesFile.empty()) {
      EXPECT_TRUE(vphone::CMessagesFile::Load(config.m_strMessagesFile, m_phone.Store(), strError))
          << strError;
    }
  }
  // One received message in the SIM (and one in the phone memory where there is one).
  void ReceiveOneEach() {
    std::string strError;
    for (const char* pszStorage : {"SM", "ME"})
      if (m_phone.Store().HasStorage(pszStorage)) {
        EXPECT_GT(m_phone.Receive(pszStorage, kHowAreYou, strError), 0) << strError;
      }
    m_phone.TakeOutput();
  }
  // Everything the phone does for one command line (a CR is added to a line that ends
  // in no line end, Ctrl-Z or Esc): the bytes it sends, a hang-up as <hang-up> and a
  // change of rate as <rate N>.
  std::string Say(const std::string& strLine) {
    const std::string strFed =
        strLine.find_last_of("\n\x1a\x1b") == strLine.size() - 1 ? strLine : strLine + "\r";
    m_phone.Feed(strFed.data(), strFed.size());
    std::string out;
    for (const vphone::COutputItem& item : m_phone.TakeOutput()) {
      if (item.m_eKind == vphone::COutputItem::eBytes)
        out += item.m_strBytes;
      else if (item.m_eKind == vphone::COutputItem::eHangUp)
        out += "<hang-up>";
      else
        out += "<rate " + std::to_string(item.m_nRate) + ">";
    }
    return out;
  }
  CVirtualPhoneConfig m_config;
  vphone::CAtInterpreter m_phone;
};

struct Step {
  std::string strCommand;
  std::string strAnswer;  // after the echo of the command
};

TEST(VirtualPhoneDialects, EachAnswersAsItsDevice) {
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
      // The commands of the SIM among the first four lines find it busy.
      {"qualcomm-m6280",
       {{"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CMS ERROR: 314\r\n"},
        {"AT+CGMI", "\r\r\nQUALCOMM INCORPORATED\r\n\r\nOK\r\n"},
        {"AT+CPIN?", "\r\r\n+CME ERROR: 14\r\n"},
        {"AT+CPIN?", "\r\r\n+CPIN: READY\r\n\r\nOK\r\n"}}},
      // Nothing of the SIM before the PIN; a wrong PIN is refused.
      {"zte-k3565z",
       {{"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CPIN?", "\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n"},
        {"AT+CPMS?", "\r\r\n+CMS ERROR: 311\r\n"},
        {"AT+CIMI", "\r\r\n+CME ERROR: 11\r\n"},
        {"AT+CPIN=\"0000\"", "\r\r\n+CME ERROR: 16\r\n"},
        {"AT+CPIN=\"1234\"", "\r\r\nOK\r\n"},
        {"AT+CMGD=9", "\r\r\nOK\r\n"}}},
      {"sony-ericsson-verbose",
       {{"ATE0", "\r\r\nERROR\r\n"},
        {"AT+CMEE=1", "\r\r\nOK\r\n"},
        {"AT+CMGR=9", "\r\r\n+CMS ERROR: invalid memory index\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszDialect);
    CDialectPhone phone(DialectConfig(c.pszDialect));
    phone.ReceiveOneEach();
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strCommand + step.strAnswer) << step.strCommand;
  }
}

TEST(VirtualPhoneFaults, EachFaultPlaysAsItsOptionSays) {
  const std::string entry = "+CMGL: 1,0,,30\r\n" + std::string(kHowAreYou) + "\r\n";
  const std::string second = "+CMGL: 2,0,,30\r\n" + std::string(kHowAreYou) + "\r\n";
  struct Case {
    const char* pszName;
    CVirtualPhoneFaults faults;
    std::vector<Step> steps;  // whole answers, echo included
  } const cases[] = {
      {"silent after two",
       {.m_nSilentAfter = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT", "AT\r\r\nOK\r\n"}, {"AT", ""}}},
      // The answer before the hang-up comes whole; the command after it is not run.
      {"hang-up after two",
       {.m_nHangUpAfter = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT+CGMI", "AT+CGMI\r\r\nKelvane\r\n\r\nOK\r\n<hang-up>"}}},
      {"hang-up inside a listing",
       {.m_nHangUpInListing = 1, .m_vecCommandFaults = {}},
       {{"AT+CMGL=4", "AT+CMGL=4\r\r\n" + entry + "<hang-up>"}}},
      // Noise before the answer of every second command line.
      {"garbage",
       {.m_nGarbageEvery = 2, .m_vecCommandFaults = {}},
       {{"AT", "AT\r\r\nOK\r\n"}, {"AT", "AT\r\xff\xfe\x13~#\x7f\xf0\x05%&\r\nOK\r\n"}}},
      // Codes before the answer, between the entries of a listing (never between an
      // entry and its PDU), before the final result and after it.
      {"flood",
       {.m_nUrcFlood = 1, .m_vecCommandFaults = {}},
       {{"AT+CMGL=4", "AT+CMGL=4\r\r\n+CMTI: \"SM\",3\r\n\r\n" + entry + "\r\nRING\r\n" + second +
                          "\r\n+CREG: 1\r\n\r\nOK\r\n\r\n^RSSI: 12\r\n"}}},
      // A canned answer as often as asked, then the phone's own; the rate changes
      // after the OK that accepts it.
      {"canned once",
       {.m_vecCommandFaults = {{"AT+CPMS", "+CMS ERROR: 500", 1}}},
       {{"at+cpms?", "at+cpms?\r\r\n+CMS ERROR: 500\r\n"},
        {"AT+CPMS?", "AT+CPMS?\r\r\n+CPMS: \"SM\",2,30,\"SM\",2,30,\"SM\",2,30\r\n\r\nOK\r\n"},
        {"AT+IPR=115200", "AT+IPR=115200\r\r\nOK\r\n<rate 115200>"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CVirtualPhoneConfig config;
    config.m_faults = c.faults;
    config.m_nBaudRate = 9600;  // a paced line, as a serial modem's
    CDialectPhone phone(config);
    phone.ReceiveOneEach();
    phone.ReceiveOneEach();  // two in the SIM
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strAnswer) << step.strCommand;
  }
}

TEST(VirtualPhoneTranscripts, AnswersAsA27005Phone) {
  const std::string ok = "\r\nOK\r\n", refused = "\r\n+CMS ERROR: 304\r\n", prompt = "\r\n> ";
  // A command that prompts for a PDU, and the PDU, in one line.
  auto withPdu = [](const char* pszCommand, const std::string& strPdu) {
    return std::string(pszCommand) + "\r" + strPdu;
  };
  const std::string submit = std::string(kHelloSubmit) + "\x1a";
  // The same message to the phone's own number +447700900123.
  const std::string toSelf = "0011000C914477000910320000AA0AE8329BFD4697D9EC37\x1a";
  CVirtualPhoneConfig demo, twoPlaces, noCentre;
  demo.m_strMessagesFile = MIRETH_SOURCE_DIR "/vphone/demo-messages.txt";
  twoPlaces.m_nSimCapacity = 2;
  noCentre.m_strSmsc.clear();
  struct Case {
    const char* pszName;
    const CVirtualPhoneConfig& config;
    std::vector<Step> steps;  // whole answers, after echo off and numeric errors on
  } const cases[] = {
      {"framing",
       {},
       {{"ATE1", ok},
        // CR LF and bare LF end a line as CR does; the LF of CR LF does not start another.
        {"AT+CGMM\r\nAT+CGMR\n", "AT+CGMM\r\r\nVP-1\r\n\r\nOK\r\nAT+CGMR\n\r\nV1.0 2024-05-02\r\n\r\nOK\r\n"},
        {"ATE0", "ATE0\r\r\nOK\r\n"},  // echo off from the next command on
        {"AT+NOSUCH", "\r\nERROR\r\n"},
        // Several commands on one line, one final result; the first failure ends the line.
        {"AT+CMEE=1;+CSCS?", "\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n"},
        {"AT+CSCS=\"UCS2\";+NOSUCH;+CSCS=\"GSM\"", "\r\nERROR\r\n"},
        // Lines without AT are ignored, as a modem ignores noise.
        {"xyz\rAT", ok}}},
      {"settings",
       demo,
       {{"AT+CMGF=1", "\r\n+CMS ERROR: 303\r\n"},
        {"AT+CPMS=?", "\r\n+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"ME\",\"SM\")\r\n\r\nOK\r\n"},
        {"AT+CPMS?", "\r\n+CPMS: \"SM\",6,30,\"SM\",6,30,\"SM\",6,30\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"ME\",\"ME\",\"ME\"", "\r\n+CPMS: 5,100,5,100,5,100\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"SM\"", "\r\n+CPMS: 6,30,5,100,5,100\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"BM\"", "\r\n+CMS ERROR: 302\r\n"},
        {"AT+IPR=1234", "\r\nERROR\r\n"},
        {"AT+CMGR=99", "\r\n+CMS ERROR: 321\r\n"}}},
      // SIM: 1 read, 2-3 unread, 4 read, 5 unread, 6 sent.
      {"written, then deleted by flag",
       demo,
       {{withPdu("AT+CMGW=23", submit), prompt + "\r\n+CMGW: 7\r\n\r\nOK\r\n"},
        {"AT+CMGL=2", "\r\n+CMGL: 7,2,,23\r\n" + std::string(kHelloSubmit) + "\r\n\r\nOK\r\n"},
        // Stored as REC READ: a DELIVER is wanted then, and a SUBMIT refused.
        {withPdu("AT+CMGW=23,1", submit), prompt + refused},
        {withPdu("AT+CMGW=30,1", std::string(kHowAreYou) + "\x1a"), prompt + "\r\n+CMGW: 8\r\n\r\nOK\r\n"},
        {"AT+CMGD=?", "\r\n+CMGD: (1,2,3,4,5,6,7,8),(0-4)\r\n\r\nOK\r\n"},
        // One by index; an empty slot is fine, one outside the storage is not.
        {"AT+CMGD=7", ok},
        {"AT+CMGD=7", ok},
        {"AT+CMGD=0", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGD=31", "\r\n+CMS ERROR: 321\r\n"},
        {"AT+CMGD=1,5", "\r\nERROR\r\n"},
        // Flag 1: the read ones (1, 4, 8); flag 2 adds the sent one (6); unread 2, 3, 5 stay.
        {"AT+CMGD=1,1", ok},
        {"AT+CMGD=?", "\r\n+CMGD: (2,3,5,6),(0-4)\r\n\r\nOK\r\n"},
        {"AT+CMGD=1,2", ok},
        {"AT+CMGD=?", "\r\n+CMGD: (2,3,5),(0-4)\r\n\r\nOK\r\n"},
        // A new message takes the lowest free slot; flag 3 takes it with the read ones,
        // flag 4 everything, in this storage only.
        {withPdu("AT+CMGW=23", submit), prompt + "\r\n+CMGW: 1\r\n\r\nOK\r\n"},
        {"AT+CMGD=1,3", ok},
        {"AT+CMGD=?", "\r\n+CMGD: (2,3,5),(0-4)\r\n\r\nOK\r\n"},
        {"AT+CMGD=1,4", ok},
        {"AT+CPMS?", "\r\n+CPMS: \"SM\",0,30,\"SM\",0,30,\"SM\",0,30\r\n\r\nOK\r\n"},
        {"AT+CPMS=\"ME\"", "\r\n+CPMS: 5,100,0,30,0,30\r\n\r\nOK\r\n"}}},
      {"full storage",
       twoPlaces,
       {{withPdu("AT+CMGW=23", toSelf), prompt + "\r\n+CMGW: 1\r\n\r\nOK\r\n"},
        {withPdu("AT+CMGW=23,3", submit), prompt + "\r\n+CMGW: 2\r\n\r\nOK\r\n"},
        // Full: writing is refused and nothing changes.
        {withPdu("AT+CMGW=23", submit), prompt + "\r\n+CMS ERROR: 322\r\n"},
        // Sent from storage to its own number: the storage is full, so the message is
        // lost, not announced; after a delete there is room, and the message arrives.
        {"AT+CMSS=1", "\r\n+CMSS: 1\r\n\r\nOK\r\n"},
        {"AT+CMGD=2", ok},
        {"AT+CMSS=1", "\r\n+CMSS: 2\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",2\r\n"},
        {"AT+CMSS=2", "\r\n+CMS ERROR: 302\r\n"}}},  // a received one
      // Sent to its own number: answered, then stored unread and announced.
      {"sent to itself",
       {},
       {{withPdu("AT+CMGS=23", toSelf), prompt + "\r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",1\r\n"},
        {"AT+CPMS?", "\r\n+CPMS: \"SM\",1,30,\"SM\",1,30,\"SM\",1,30\r\n\r\nOK\r\n"},
        {"AT+CMGL=1", ok}}},
      // Esc cancels; the length must count the TPDU exactly; not hex; user data cut
      // short; a DELIVER where a SUBMIT belongs. Nothing is sent until the good one.
      {"bad PDUs",
       {},
       {{withPdu("AT+CMGS=23", kHelloSubmit + std::string("\x1b")), prompt + ok},
        {withPdu("AT+CMGS=24", submit), prompt + refused},
        {withPdu("AT+CMGS=22", submit), prompt + refused},
        {withPdu("AT+CMGS=23", "00GG\x1a"), prompt + refused},
        {withPdu("AT+CMGS=22", submit.substr(0, 46) + "\x1a"), prompt + refused},
        {withPdu("AT+CMGS=30", std::string(kHowAreYou) + "\x1a"), prompt + refused},
        {"AT+CMGS=0", refused},
        {"AT+CMGS", "\r\nERROR\r\n"},
        {withPdu("AT+CMGS=23", submit), prompt + "\r\n+CMGS: 1\r\n\r\nOK\r\n"},
        // Each message sent gets the next reference.
        {withPdu("AT+CMGS=23", submit), prompt + "\r\n+CMGS: 2\r\n\r\nOK\r\n"}}},
      // Without a service centre a send is refused, unless the PDU brings its own.
      {"no service centre",
       noCentre,
       {{withPdu("AT+CMGS=23", submit), prompt + "\r\n+CMS ERROR: 330\r\n"},
        {withPdu("AT+CMGS=23", "07911326040000F0" + submit.substr(2)),
         prompt + "\r\n+CMGS: 1\r\n\r\nOK\r\n"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CDialectPhone phone(c.config);
    phone.Say("ATE0+CMEE=1");
    for (const Step& step : c.steps)
      EXPECT_EQ(phone.Say(step.strCommand), step.strAnswer) << step.strCommand;
  }
}

}  // namespace
