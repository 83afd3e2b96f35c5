// `mireth send --report`, reports shown by `mireth watch`, and `mireth contacts`, run
// as programs against the in-process virtual phone.
#include "CliTestSupport.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"

using namespace cli_test;

namespace {

class ReportCommandTest : public CCliTest {};
class ContactsCommandTest : public CCliTest {};

TEST_F(ReportCommandTest, DeliveredFailedAndPendingHaveTheirOwnExitCodes) {
  StartPhone();
  // The phone's report (after a delay, with a status), the time the program waits,
  // its exit code and what it prints.
  const std::tuple<int, int, const char*, int, const char*, const char*> cases[] = {
      {100, 0x00, "10", 0, "report  delivered  +447700900555", "received by the recipient"},
      {100, 0x41, "10", 1, "report  failed  +447700900555", "incompatible destination"},
      {5000, 0x00, "1", 3, "report  pending  +447700900555", "no report in time"},
  };
  for (const auto& [nDelayMs, nStatus, pszTimeout, nExit, pszState, pszStatusText] : cases) {
    m_pPhone->SetReportOutcome(nDelayMs, nStatus);
    std::string strOut;
    EXPECT_EQ(Run(With({"send", "--report", "--report-timeout", pszTimeout, "--to", "+447700900555", "--text",
                        "Are you there?"}),
                  strOut),
              nExit)
        << strOut << ErrText();
    EXPECT_THAT(strOut, testing::AllOf(testing::HasSubstr(pszState), testing::HasSubstr(pszStatusText)));
  }
  // Each sent message is in the journal, by reference and number.
  std::string strJournal = CTestSandbox::ReadFile(DataFolder() + "SMSSent.txt");
  EXPECT_EQ(std::count(strJournal.begin(), strJournal.end(), '\n'), 3) << strJournal;
  EXPECT_EQ(strJournal.rfind("1\t+447700900555\t", 0), 0u) << strJournal;
}

TEST_F(ReportCommandTest, WatchShowsAReportWithTheMessageItConcerns) {
  StartPhone();
  test_io::WriteFile(DataFolder() + "SMSSent.txt",
                     "7\t+447700900555\t12/06/26 09:29:00\tDinner at eight?\n"
                     "7\t+447700900666\t12/06/26 09:29:30\tnot this one\n");
  auto pWatch = std::make_unique<CChild>(With({"watch"}), ErrFile());
  ASSERT_TRUE(LogHas("CMD AT+CNMI=2", 10000)) << ErrText() << PhoneLog();
  // A report for reference 7 to +447700900555, delivered (service centre
  // +447785016005, time stamps 6 December 2026 09:30 and 09:31, zone +1 hour).
  const std::string strReport = "079144775810065006070C91447700095055622160900300406221609013004000";
  // A report line that is not hex is passed over; the good one is shown.
  m_pPhone->InjectUnsolicited("+CDS: 25\r\n" + strReport.substr(0, 40) + "GG" + strReport.substr(42));
  m_pPhone->InjectUnsolicited("+CDS: 25\r\n" + strReport);
  std::string strLine;
  ASSERT_TRUE(pWatch->ReadLine(strLine, 2000)) << ErrText();
  EXPECT_EQ(strLine.rfind("report  delivered  +447700900555  ref 7  received by the recipient", 0), 0u)
      << strLine;
  EXPECT_NE(strLine.find("\"Dinner at eight?\" sent 12/06/26 09:29:00"), std::string::npos) << strLine;
  EXPECT_FALSE(pWatch->ReadLine(strLine, 300)) << strLine;
  EXPECT_EQ(pWatch->Stop(), 0);
}

TEST_F(ContactsCommandTest, ListsImportsAndExportsTheSimAndPhoneBooksWithNamesInAnyScript) {
  StartPhone();
  std::string strOut;
  ASSERT_EQ(Run(With({"contacts", "--json"}), strOut), 0) << ErrText();
  EXPECT_EQ(
      strOut,
      "{\"book\":\"SIM\",\"index\":1,\"number\":\"+447700900001\",\"type\":145,\"name\":\"Alice Martin\"}\n"
      "{\"book\":\"SIM\",\"index\":2,\"number\":\"07700900002\",\"type\":129,\"name\":\"J\xC3\xBCrgen "
      "Gro\xC3\x9F\"}\n"
      "{\"book\":\"SIM\",\"index\":3,\"number\":\"+306912345678\",\"type\":145,\"name\":"
      "\"\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7\"}\n"
      "{\"book\":\"phone\",\"index\":1,\"number\":\"+8613800138000\",\"type\":145,\"name\":"
      "\"\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E\"}\n"
      "{\"book\":\"phone\",\"index\":2,\"number\":\"+447700900005\",\"type\":145,\"name\":\"Bob\"}\n"
      "{\"book\":\"phone\",\"index\":4,\"number\":\"+79161234567\",\"type\":145,\"name\":"
      "\"\xD0\x90\xD0\xBB\xD0\xB5\xD0\xBA\xD1\x81\xD0\xB5\xD0\xB9\"}\n");
  // The names came in UCS2, and the phone was left in the character set it had.
  std::vector<std::string> log = m_pPhone->GetLog();
  EXPECT_NE(std::find(log.begin(), log.end(), "CMD AT+CSCS=\"UCS2\""), log.end());
  EXPECT_EQ(log.back().rfind("CMD AT+CSCS=\"GSM\"", 0), 0u) << log.back();

  // Import: the book already knows Bob under that number, and Alice under another.
  {
    CAddressArray book;
    for (auto [name, number] :
         {std::pair{"Bob", "+447700900005"}, std::pair{"Alice Martin", "+447700900099"}}) {
      auto p = std::make_unique<CAddress>();
      p->m_strName = name;
      p->m_strNumber = number;
      book.push_back(std::move(p));
    }
    ASSERT_TRUE(WriteStoreFile(GetStorePath(DataFolder(), StoreList::addressBook), book).IsOk());
  }
  ASSERT_EQ(Run(With({"contacts", "import"}), strOut), 0) << ErrText();
  EXPECT_NE(strOut.find("Imported 5 of 6"), std::string::npos) << strOut;
  CAddressArray book;
  ASSERT_TRUE(ReadStoreFile(GetStorePath(DataFolder(), StoreList::addressBook), book).IsOk());
  ASSERT_EQ(book.size(), 7u);
  // Sorted by name, as the address book keeps itself.
  EXPECT_EQ(book[0]->m_strName, "Alice Martin");
  EXPECT_EQ(book[2]->m_strName, "Bob");

  // Export as vCard 3.0.
  const std::string strFile = (m_root / "contacts.vcf").string();
  ASSERT_EQ(Run(With({"contacts", "export", "--vcard", strFile}), strOut), 0) << ErrText();
  std::string strText = CTestSandbox::ReadFile(strFile);
  const std::string strGreek =
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7\r\n"
      "N:\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7;;;;\r\nTEL;TYPE=CELL:+306912345678\r\nNOTE:SIM entry 3\r\n"
      "END:VCARD\r\n";
  EXPECT_NE(strText.find(strGreek), std::string::npos) << strText;
  size_t nCards = 0;
  for (size_t p = strText.find("BEGIN:VCARD\r\n"); p != std::string::npos;
       p = strText.find("BEGIN:VCARD\r\n", p + 1))
    ++nCards;
  EXPECT_EQ(nCards, 6u);
  EXPECT_EQ(Run(With({"contacts", "export"}), strOut), 2);  // the format must be named
}

}  // namespace
