// The CSV copies: header lines, which fields each writer quotes, line ends, and the
// failures.
#include <functional>

#include "ModelTestSupport.h"
#include "model/CsvExport.h"

namespace {

CMessageArray TrickyMessages() {
  // A comma, a line break, a double quote, an empty name, every status and storage word.
  // Name, number, date, storage, status and text.
  const std::tuple<const char*, const char*, const char*, int, int, const char*> rows[] = {
      {"Ann", "+4911", "01/02/24 10:00:00", 2, 6, "Hi, there"},
      {"", "+4922", "", 1, 1, "line one\r\nline two"},
      {"Say \"Hi\"", "+49,33", "x", 0, 2, "plain"},
      {"B", "4", "d", 7, 3, "t"},
      {"C", "5", "d", -1, 4, "t"},
      {"D", "6", "d", 2, 5, "t"},
      {"E", "7", "d", 1, 0, "t"},
      {"F", "8", "d", 1, 99, "carriage\ronly"},
  };
  CMessageArray list;
  for (const auto& [pszName, pszNumber, pszDate, nStorage, nStatus, pszText] : rows) {
    list.push_back(MakeMessage(pszNumber, pszText));
    list.back()->m_strName = list.back()->m_strSenderName = pszName;
    list.back()->m_strDateTime = pszDate;
    list.back()->m_nStorage = nStorage;
    list.back()->m_nStatus = nStatus;
  }
  return list;
}

TEST(CsvExport, EachWriterQuotesItsOwnTriggersAndRepeatsItself) {
  CTempFolder folder;
  const std::string& d = folder.Path();
  CMessageArray messages = TrickyMessages();
  CAddressArray addresses;
  addresses.push_back(MakeAddress("+4911", "Smith, Ann"));
  addresses.push_back(MakeAddress("+4922", ""));
  addresses.push_back(MakeAddress("1,2", "Two\r\nLines"));
  addresses.push_back(MakeAddress("3\r4", "\"Q\""));
  const std::function<void()> writers[] = {
      [&] { WriteOutboxCsv(d, messages); }, [&] { WriteInboxCsv(d, messages); },
      [&] { WritePresetCsv(d, messages); }, [&] { WriteAddressCsv(d, addresses); },
      [&] { WriteServiceCenterCsv(d, addresses); }};
  const std::pair<const char*, const char*> expected[] = {
      {"SMSOut.csv",
       "To,Number,Date and Time,Storage,Status,Message\r\n"
       "Ann,+4911,01/02/24 10:00:00,SIM,Error,\"Hi, there\"\r\n"
       ",+4922,,Phone,Sent,\"line one\r\nline two\"\r\n"
       "Say \"Hi\",\"+49,33\",x,Unknown,Unsent,plain\r\n"
       "B,4,d,Unknown,Stored,t\r\nC,5,d,Unknown,At Service Center,t\r\n"
       "D,6,d,SIM,Pending,t\r\nE,7,d,Phone,Invalid,t\r\n"
       "F,8,d,Phone,Invalid,\"carriage\ronly\"\r\n"},
      // The received list quotes only for a comma: a line break splits the record.
      {"SMSIn.csv",
       "From,Number,Date and Time,Storage,Message\r\n"
       "Ann,+4911,01/02/24 10:00:00,SIM,\"Hi, there\"\r\n"
       ",+4922,,Phone,line one\r\nline two\r\n"
       "Say \"Hi\",\"+49,33\",x,Unknown,plain\r\n"
       "B,4,d,Unknown,t\r\nC,5,d,Unknown,t\r\nD,6,d,SIM,t\r\nE,7,d,Phone,t\r\n"
       "F,8,d,Phone,carriage\ronly\r\n"},
      {"SMSList.csv",
       "\"Hi, there\"\r\n\"line one\r\nline two\"\r\nplain\r\nt\r\nt\r\nt\r\nt\r\n"
       "\"carriage\ronly\"\r\n"},
      {"SMSAdd.csv",
       "Name,Phone Number\r\n\"Smith, Ann\",+4911\r\n,+4922\r\n"
       "\"Two\r\nLines\",\"1,2\"\r\n\"Q\",\"3\r4\"\r\n"},
      // The service centres: the number only, quoted for a comma alone.
      {"SMSSCA.csv", "Service Center\r\n+4911\r\n+4922\r\n\"1,2\"\r\n3\r4\r\n"},
  };
  // Empty lists give the header line alone; an older, longer file is cut.
  const char* const empty[] = {"To,Number,Date and Time,Storage,Status,Message\r\n",
                               "From,Number,Date and Time,Storage,Message\r\n", "", "Name,Phone Number\r\n",
                               "Service Center\r\n"};
  CRecordingPrompt prompt;
  for (size_t i = 0; i < 5; ++i) {
    writers[i]();
    EXPECT_EQ(ReadFile(d + expected[i].first), expected[i].second) << expected[i].first;
  }
  messages.clear();
  addresses.clear();
  for (size_t i = 0; i < 5; ++i) {
    WriteFile(d + expected[i].first, std::string(5000, 'x'));
    writers[i]();
    EXPECT_EQ(ReadFile(d + expected[i].first), empty[i]) << expected[i].first;
  }
  EXPECT_TRUE(prompt.m_texts.empty());
}

TEST(CsvExport, PathsAndFailures) {
  EXPECT_EQ(GetCsvPath("/d/x.dAt"), "/d/x.csv");
  EXPECT_EQ(GetCsvPath("/d.Dat/x"), "/d.Dat/x.csv");
  EXPECT_EQ(GetCsvPath("/d/x.Data"), "/d/x.Data.csv");

  CTempFolder folder;
  const std::string strMissing = folder.Path() + "gone/";
  CRecordingPrompt prompt;
  CMessageArray list = TrickyMessages();
  WriteOutboxCsv(strMissing, list);
  EXPECT_EQ(prompt.m_texts, std::vector<std::string>{"Unable to Save " + strMissing + "SMSOut.csv"});
  // A writer given the other record class writes nothing.
  EXPECT_EQ(WriteCsvFile(StoreList::addressBook, folder.Path() + "SMSAdd.Dat", list), CsvResult::failed);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "SMSAdd.csv"));
}

}  // namespace
