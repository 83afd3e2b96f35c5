// The pieces the watcher, the report waiter and the contacts command are built
// from: the readers of what the phone announces and of its phonebook, the choice of
// AT+CNMI, the hold of message parts, status reports and their journal, and the
// virtual phone's control lines.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "tests/support/DeliverPdus.h"
#include "tests/support/SmsVectors.h"
#include "tethra/ArrivalBuffer.h"
#include "tethra/AtEvents.h"
#include "tethra/PduDecoder.h"
#include "tethra/Phonebook.h"
#include "tethra/StatusReport.h"
#include "vphone/ControlChannel.h"
#include "vphone/VirtualPhone.h"

namespace {

TEST(AtEvents, AnnouncementsAreReadAndAnythingElseIsRefused) {
  // The lines, and the event read from them (NONE: refused).
  const std::tuple<const char*, CAtEvent::Kind, const char*, int, const char*> cases[] = {
      {"+CMTI: \"me\", 12", CAtEvent::STORED_MESSAGE, "ME", 12, ""},
      {"+CDSI: \"SR\",1", CAtEvent::STORED_REPORT, "SR", 1, ""},
      {"+CMT: \"Alice\",24\nab01", CAtEvent::DIRECT_MESSAGE, "", -1, "AB01"},
      {"+CDS: 25\n0006070C91", CAtEvent::DIRECT_REPORT, "", -1, "0006070C91"},
      {"+CMTI: \"SM\"", CAtEvent::NONE, "", -1, ""},
      {"+CMTI: \"SM\",-1", CAtEvent::NONE, "", -1, ""},
      {"+CMTI: \"\",2", CAtEvent::NONE, "", -1, ""},
      {"+CMT: ,24", CAtEvent::NONE, "", -1, ""},          // the PDU line is missing
      {"+CMT: ,24\n0791G4", CAtEvent::NONE, "", -1, ""},  // not hex
      {"+CDS: 3\nABC", CAtEvent::NONE, "", -1, ""},       // odd number of digits
      {"RING", CAtEvent::NONE, "", -1, ""},
  };
  for (const auto& [pszUrc, eKind, pszStorage, nIndex, pszPdu] : cases) {
    CAtEvent event;
    event.nIndex = 99;  // a refused line leaves the event as it was
    const bool bRefused = eKind == CAtEvent::NONE;
    EXPECT_EQ(AtParseEvent(pszUrc, event), !bRefused) << pszUrc;
    EXPECT_EQ(std::tie(event.eKind, event.strStorage, event.nIndex, event.strPdu),
              std::make_tuple(eKind, std::string(pszStorage), bRefused ? 99 : nIndex, std::string(pszPdu)))
        << pszUrc;
  }
}

TEST(AtEvents, IndicationsAreChosenFromWhatThePhoneOffers) {
  // The AT+CNMI=? line, whether reports are wanted, and the command chosen ("" when
  // nothing fits or the line is unreadable).
  const std::tuple<const char*, bool, const char*> cases[] = {
      // A common modem's offer, and the virtual phone's.
      {"+CNMI: (0-3),(0-3),(0-3),(0-2),(0,1)", true, "AT+CNMI=2,1,0,1,0"},
      {"+CNMI: (0-2),(0,1),(0),(0,1),(0,1)", false, "AT+CNMI=2,1,0,0,0"},
      // Lists rather than ranges; reports only stored (+CDSI).
      {"+CNMI: (0,1,2),(0,1,2,3),(0,2),(0,2),(0,1)", true, "AT+CNMI=2,1,0,2,0"},
      // Only direct delivery (+CMT), only mode 1, no <bfr>.
      {"+CNMI: (1),(0,2),(0),(0,1)", true, "AT+CNMI=1,2,0,1"},
      // Only mode 3 and two parameters.
      {"+CNMI: (0,3),(0-1)", true, "AT+CNMI=3,1"},
      // No reports offered: <ds> 0 even when asked.
      {"+CNMI: (2),(1),(0),(0),(1)", true, "AT+CNMI=2,1,0,0"},
      // Indications cannot be turned on.
      {"+CNMI: (0),(0-3),(0),(0),(0,1)", true, ""},
      {"+CNMI: (0-2),(0),(0),(0),(0,1)", true, ""},
      {"+CNMI: (2-0),(1)", true, ""},
      {"+CNMI: (a),(1)", true, ""},
  };
  for (const auto& [pszOffer, bReports, pszChosen] : cases) {
    std::vector<std::vector<int>> values;
    bool bRead = AtParseCnmiSupport(pszOffer, values);
    EXPECT_EQ(bRead ? AtChooseCnmi(values, bReports) : std::string(), pszChosen) << pszOffer;
  }
  // The header of a message read by index: its state and length, or refused.
  const std::tuple<const char*, bool, int, int> headers[] = {{"+CMGR: 1,\"Bob\",30", true, 1, 30},
                                                             {"+CMGR: 7,,24", false, -1, -1},
                                                             {"+CMGL: 1,0,,24", false, -1, -1}};
  for (const auto& [pszLine, bOk, nStatWanted, nLengthWanted] : headers) {
    int nStat = -1, nLength = -1;
    EXPECT_EQ(AtParseCmgrHeader(pszLine, nStat, nLength), bOk) << pszLine;
    EXPECT_EQ(std::pair(nStat, nLength), std::pair(nStatWanted, nLengthWanted)) << pszLine;
  }
}

// The hold of an unfinished message runs from its last new part; a part that comes
// again does not extend it. (Joining and the places are checked through watch.)
TEST(ArrivalBuffer, TheHoldRunsFromTheLastNewPart) {
  using std::chrono::seconds;
  CArrivalBuffer buffer(seconds(60));
  const CArrivalBuffer::Clock::time_point t0{};
  std::vector<CArrival> ready;
  const std::vector<std::string> parts = DeliverPdus("+447700900888", std::string(400, 'y'), 0x99);
  ASSERT_EQ(parts.size(), 3u);
  for (const auto& [nPart, nAt] : {std::pair(0, 0), std::pair(2, 30), std::pair(2, 50)}) {
    const CPduMessage m = CPduDecoder::Decode(parts[static_cast<size_t>(nPart)]).Value();
    buffer.Add({"SM", nPart + 1, 0, m.m_strPdu}, m, t0 + seconds(nAt), ready);
  }
  buffer.Expire(t0 + seconds(89), ready);
  EXPECT_EQ(std::pair(ready.size(), buffer.MillisecondsToNextExpiry(t0 + seconds(89))),
            std::pair(size_t{0}, 1000LL));
  buffer.Expire(t0 + seconds(90), ready);
  ASSERT_EQ(ready.size(), 1u);
  EXPECT_FALSE(ready[0].bComplete);
}

TEST(StatusReport, StatesRecipientsAndTheJournal) {
  const std::pair<uint8_t, const char*> states[] = {
      {0x00, "delivered"}, {0x02, "delivered"}, {0x1F, "delivered"}, {0x20, "pending"}, {0x25, "pending"},
      {0x3F, "pending"},   {0x40, "failed"},    {0x46, "failed"},    {0x65, "failed"},  {0xFF, "failed"}};
  for (const auto& [nStatus, pszState] : states)
    EXPECT_STREQ(GetDeliveryStateName(GetDeliveryState(nStatus)), pszState) << int(nStatus);

  const std::tuple<const char*, const char*, bool> numbers[] = {
      {"+447700900555", "447700900555", true},
      {"+447700900555", "900555", false},  // too short to tell
      {"", "", false}};
  for (const auto& [a, b, bSame] : numbers)
    EXPECT_EQ(IsSameRecipient(a, b), bSame) << a << " " << b;

  CSentReference sent{42, "+447700900555", "12/06/26 09:29:00", "Tab\there,\nnew line and a \\ backslash"};
  std::string strLine = FormatSentReference(sent);
  EXPECT_EQ(strLine.find('\n'), std::string::npos);
  EXPECT_EQ(std::count(strLine.begin(), strLine.end(), '\t'), 3);
  CSentReference back;
  ASSERT_TRUE(ParseSentReference(strLine, back));
  EXPECT_EQ(std::tie(back.nReference, back.strNumber, back.strTime, back.strText),
            std::tie(sent.nReference, sent.strNumber, sent.strTime, sent.strText));
  for (const char* pszBad :
       {"", "42\t+44", "256\t+44\tt\tx", "x\t+44\tt\tx", "1\t+44\tt\tbad \\q escape", "1\t+44\tt\tx\textra"})
    EXPECT_FALSE(ParseSentReference(pszBad, back)) << pszBad;

  // A report from the network (reference 7 to +447700900555, delivered) matches the
  // latest journal entry of that reference and number.
  CPduResult<CPduMessage> report =
      CPduDecoder::Decode("079144775810065006070C91447700095055622160900300406221609013004000");
  ASSERT_TRUE(static_cast<bool>(report));
  ASSERT_EQ(report->m_type, PduType::STATUS_REPORT);
  std::vector<CSentReference> journal = {{7, "+447700900555", "t1", "first"},
                                         {7, "+447700900666", "t2", "other number"},
                                         {8, "+447700900555", "t3", "other reference"},
                                         {7, "07700900555", "t4", "latest"}};
  const CSentReference* pFound = FindSentReference(journal, report.Value());
  ASSERT_NE(pFound, nullptr);
  EXPECT_EQ(pFound->strText, "latest");
  journal.pop_back();
  journal.erase(journal.begin());
  EXPECT_EQ(FindSentReference(journal, report.Value()), nullptr);
}

TEST(Phonebook, EntriesInEveryCharacterSetAndUcs2Names) {
  // The hex of a UCS2 name and its UTF-8 text, or nullptr when it is refused.
  const std::pair<const char*, const char*> ucs2[] = {
      {"00410042", "AB"},
      {"738B5C0F660E", "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E"},
      {"D83DDE00", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {"D83D0041", "\uFFFDA"},           // a lone high surrogate
      {"DE00", "\xEF\xBF\xBD"},
      {"", ""},
      {"004", nullptr},
      {"00G1", nullptr},
  };
  for (const auto& [pszHex, pszUtf8] : ucs2) {
    std::string strOut = "unchanged";
    EXPECT_EQ(DecodeUcs2Hex(pszHex, strOut), pszUtf8 != nullptr) << pszHex;
    EXPECT_EQ(strOut, pszUtf8 ? pszUtf8 : "unchanged") << pszHex;
  }

  // The line, whether names are in UCS2, whether it is read, and the entry.
  const std::tuple<const char*, bool, bool, int, const char*, const char*> cases[] = {
      {"+CPBR: 1,\"+447700900001\",145,\"Alice Martin\"", false, true, 1, "+447700900001", "Alice Martin"},
      {"+CPBR: 3,\"306912345678\",145,\"039503BB03AD03BD03B7\"", true, true, 3, "+306912345678",
       "\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7"},
      // A phone that writes the number in UCS2 too.
      {"+CPBR: 2,\"002B0034003400370037\",145,\"0042006F0062\"", true, true, 2, "+4477", "Bob"},
      {"+CPBR: 4,\"07700900002\",129,\"J\xFCrgen\"", false, true, 4, "07700900002",
       "J?rgen"},  // Latin-1 byte
      {"+CPBR: 5,\"*100#\",129,\"Balance\",0", false, true, 5, "*100#", "Balance"},
      {"+CPBR: 6,\"\",129,\"\"", false, true, 6, "", ""},
      {"+CPBR: 7,\"12ab\",129,\"x\"", false, false, -1, "", ""},
      {"+CPBR: 8,\"123\",129,\"0041004\"", true, false, -1, "", ""},
      {"+CPBR: x,\"123\",129,\"A\"", false, false, -1, "", ""},
      {"+CPBR: 9,\"123\",129", false, false, -1, "", ""},
      {"+CPBS: \"SM\",3,250", false, false, -1, "", ""},
  };
  for (const auto& [pszLine, bUcs2, bOk, nIndex, pszNumber, pszName] : cases) {
    CPhonebookEntry entry;
    entry.strStorage = "SM";
    EXPECT_EQ(AtParseCpbrEntry(pszLine, bUcs2, entry), bOk) << pszLine;
    // A refused line leaves the entry as it was.
    EXPECT_EQ(std::tie(entry.strStorage, entry.nIndex, entry.strNumber, entry.strName),
              std::make_tuple("SM", nIndex, std::string(pszNumber), std::string(pszName)))
        << pszLine;
  }
}

TEST(ControlChannel, CommandsReachThePhoneAndMistakesAreSaidNotActedOn) {
  CVirtualPhone phone;
  std::string strError;
  ASSERT_TRUE(phone.Start(&strError)) << strError;
  const std::string& strPdu = kHowAreYou;
  // A control line, and whether it is taken.
  const std::pair<std::string, bool> cases[] = {
      {"", true},
      {"# a comment", true},
      {"receive " + strPdu, true},
      {"receive SM " + strPdu, true},
      {"receive XX " + strPdu, false},
      {"receive 0791", false},
      {"reports 1500 65", true},
      {"reports 100 300", false},
      {"reports soon", false},
      {"urc RING", true},
      {"explode", false},
  };
  for (const auto& [strLine, bOk] : cases)
    EXPECT_EQ(vphone::RunControlLine(phone, strLine).empty(), bOk) << strLine;
  EXPECT_EQ(phone.GetMessages("SM").size() + phone.GetMessages("ME").size(), 2u);

  // Through the FIFO: a line written by another program arrives as the third message.
  const std::filesystem::path fifo =
      std::filesystem::temp_directory_path() / ("mireth-control-" + std::to_string(getpid()));
  vphone::CControlFifo control(phone);
  ASSERT_TRUE(control.Start(fifo.string(), strError)) << strError;
  ASSERT_TRUE(std::ofstream(fifo) << "receive ME " << strPdu << "\n");
  EXPECT_TRUE(phone.WaitForLog(
      [](const std::vector<std::string>& log) {
        return std::count_if(log.begin(), log.end(),
                             [](const std::string& l) { return l.rfind("RECV", 0) == 0; }) == 3;
      },
      3000));
  control.Stop();
  EXPECT_FALSE(std::filesystem::exists(fifo));
  phone.Stop();
}

}  // namespace
