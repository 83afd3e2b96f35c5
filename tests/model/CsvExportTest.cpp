// The CSV copies: header lines, which fields are quoted by which writer, line ends,
// and the failures.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "model/CsvExport.h"

namespace {

std::unique_ptr<CMessage> Message(const std::string& strName, const std::string& strNumber,
                                  const std::string& strDateTime, int nStorage, int nStatus,
                                  const std::string& strText) {
  auto m = std::make_unique<CMessage>();
  m->m_strName = strName;
  m->m_strSenderName = strName;
  m->m_strNumber = strNumber;
  m->m_strDateTime = strDateTime;
  m->m_nStorage = nStorage;
  m->m_nStatus = nStatus;
  m->m_strMessage = strText;
  return m;
}

std::unique_ptr<CAddress> Address(const std::string& strNumber, const std::string& strName) {
  auto a = std::make_unique<CAddress>();
  a->SetNumber(strNumber);
  a->SetName(strName);
  return a;
}

// Records that hit every quoting rule: a comma, a line break, a double quote, an
// empty name, and every status and storage word.
CMessageArray TrickyMessages() {
  CMessageArray list;
  list.push_back(Message("Ann", "+4911", "01/02/24 10:00:00", 2, 6, "Hi, there"));
  list.push_back(Message("", "+4922", "", 1, 1, "line one\r\nline two"));
  list.push_back(Message("Say \"Hi\"", "+49,33", "x", 0, 2, "plain"));
  list.push_back(Message("B", "4", "d", 7, 3, "t"));
  list.push_back(Message("C", "5", "d", -1, 4, "t"));
  list.push_back(Message("D", "6", "d", 2, 5, "t"));
  list.push_back(Message("E", "7", "d", 1, 0, "t"));
  list.push_back(Message("F", "8", "d", 1, 99, "carriage\ronly"));
  return list;
}

TEST(CsvExport, MessageWritersQuoteTheirOwnTriggers) {
  CTempFolder folder;
  CMessageArray list = TrickyMessages();
  CRecordingPrompt prompt;

  WriteOutboxCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSOut.csv"),
            "To,Number,Date and Time,Storage,Status,Message\r\n"
            "Ann,+4911,01/02/24 10:00:00,SIM,Error,\"Hi, there\"\r\n"
            ",+4922,,Phone,Sent,\"line one\r\nline two\"\r\n"
            "Say \"Hi\",\"+49,33\",x,Unknown,Unsent,plain\r\n"
            "B,4,d,Unknown,Stored,t\r\n"
            "C,5,d,Unknown,At Service Center,t\r\n"
            "D,6,d,SIM,Pending,t\r\n"
            "E,7,d,Phone,Invalid,t\r\n"
            "F,8,d,Phone,Invalid,\"carriage\ronly\"\r\n");

  // The received list quotes only for a comma: a line break splits the record.
  WriteInboxCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSIn.csv"),
            "From,Number,Date and Time,Storage,Message\r\n"
            "Ann,+4911,01/02/24 10:00:00,SIM,\"Hi, there\"\r\n"
            ",+4922,,Phone,line one\r\nline two\r\n"
            "Say \"Hi\",\"+49,33\",x,Unknown,plain\r\n"
            "B,4,d,Unknown,t\r\n"
            "C,5,d,Unknown,t\r\n"
            "D,6,d,SIM,t\r\n"
            "E,7,d,Phone,t\r\n"
            "F,8,d,Phone,carriage\ronly\r\n");

  WritePresetCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSList.csv"),
            "\"Hi, there\"\r\n\"line one\r\nline two\"\r\nplain\r\nt\r\nt\r\nt\r\nt\r\n"
            "\"carriage\ronly\"\r\n");
  EXPECT_TRUE(prompt.m_texts.empty());
}

TEST(CsvExport, AddressWritersQuoteTheirOwnTriggers) {
  CTempFolder folder;
  CAddressArray list;
  list.push_back(Address("+4911", "Smith, Ann"));
  list.push_back(Address("+4922", ""));
  list.push_back(Address("1,2", "Two\r\nLines"));
  list.push_back(Address("3\r4", "\"Q\""));
  CRecordingPrompt prompt;

  WriteAddressCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSAdd.csv"),
            "Name,Phone Number\r\n"
            "\"Smith, Ann\",+4911\r\n"
            ",+4922\r\n"
            "\"Two\r\nLines\",\"1,2\"\r\n"
            "\"Q\",\"3\r4\"\r\n");

  // The service centres: the number only, quoted for a comma alone.
  WriteServiceCenterCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSSCA.csv"),
            "Service Center\r\n+4911\r\n+4922\r\n\"1,2\"\r\n3\r4\r\n");
  EXPECT_TRUE(prompt.m_texts.empty());
}

TEST(CsvExport, EmptyListsRepeatedRunsAndOlderLongerFiles) {
  CTempFolder folder;
  // An older, longer file is cut to the new text.
  WriteFileBytes(folder.Path() + "SMSOut.csv", std::string(5000, 'x'));
  WriteOutboxCsv(folder.Path(), CMessageArray{});
  WriteInboxCsv(folder.Path(), CMessageArray{});
  WritePresetCsv(folder.Path(), CMessageArray{});
  WriteAddressCsv(folder.Path(), CAddressArray{});
  WriteServiceCenterCsv(folder.Path(), CAddressArray{});
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSOut.csv"),
            "To,Number,Date and Time,Storage,Status,Message\r\n");
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSIn.csv"), "From,Number,Date and Time,Storage,Message\r\n");
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "SMSList.csv"));
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSList.csv"), "");
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSAdd.csv"), "Name,Phone Number\r\n");
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSSCA.csv"), "Service Center\r\n");

  CMessageArray list = TrickyMessages();
  WriteOutboxCsv(folder.Path(), list);
  std::string first = ReadFileBytes(folder.Path() + "SMSOut.csv");
  WriteOutboxCsv(folder.Path(), list);
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSOut.csv"), first);
}

TEST(CsvExport, PathsAndFailures) {
  EXPECT_EQ(GetCsvPath("/d/SMSOut.Dat"), "/d/SMSOut.csv");
  EXPECT_EQ(GetCsvPath("/d/x.DAT"), "/d/x.csv");
  EXPECT_EQ(GetCsvPath("/d/x.dAt"), "/d/x.csv");
  EXPECT_EQ(GetCsvPath("/d.Dat/x"), "/d.Dat/x.csv");
  EXPECT_EQ(GetCsvPath("/d/x.Data"), "/d/x.Data.csv");

  CTempFolder folder;
  std::string strMissing = folder.Path() + "gone/";
  CRecordingPrompt prompt;
  CMessageArray list = TrickyMessages();
  WriteOutboxCsv(strMissing, list);
  WriteServiceCenterCsv(strMissing, CAddressArray{});
  EXPECT_EQ(prompt.m_texts, (std::vector<std::string>{"Unable to Save " + strMissing + "SMSOut.csv",
                                                       "Unable to Save " + strMissing + "SMSSCA.csv"}));
  prompt.m_texts.clear();

  // A failed write ends the writer silently.
  {
    CFaultHookScope scope([](StoreStep step, size_t) {
      CStoreFault f;
      if (step == StoreStep::csvWrite) {
        f.m_kind = CStoreFault::fileError;
        f.m_nCause = CFileException::diskFull;
      }
      return f;
    });
    WriteInboxCsv(folder.Path(), list);
    EXPECT_EQ(WriteCsvFile(StoreList::inbox, folder.Path() + "SMSIn.Dat", list), CsvResult::failed);
  }
  EXPECT_TRUE(prompt.m_texts.empty());
  EXPECT_EQ(ReadFileBytes(folder.Path() + "SMSIn.csv"), "");

  // A writer given the other record class writes nothing.
  EXPECT_EQ(WriteCsvFile(StoreList::addressBook, folder.Path() + "SMSAdd.Dat", list), CsvResult::failed);
  EXPECT_FALSE(std::filesystem::exists(folder.Path() + "SMSAdd.csv"));
  EXPECT_EQ(WriteCsvFile(StoreList::presets, folder.Path() + "my.dat", list), CsvResult::written);
  EXPECT_TRUE(std::filesystem::exists(folder.Path() + "my.csv"));
}

}  // namespace
