// The Compose page's lists in its window: the address book and the presets learnt
// from sending, the host's recipient, and saving on Close and Cancel (with the
// question about an unsent text) so that the lists come back with the next window.
#include "ComposeTestSupport.h"
#include "compose/AddressBook.h"
#include "model/StoreLists.h"

namespace {

const char kNumberA[] = "+31641600986";
const char kNumberB[] = "+31641600987";
const char kNumberC[] = "+31641600988";

using PairList = std::vector<std::pair<std::string, std::string>>;

PairList Pairs(const CAddressArray& book) {
  PairList pairs;
  for (const auto& pEntry : book)
    pairs.emplace_back(pEntry->GetName(), pEntry->GetNumber());
  return pairs;
}

}  // namespace

class ComposeListsTest : public CComposeTest {
 protected:
  // Fills the form as the user does and presses Send.
  static void SendAs(CComposePage& page, const QString& strName, const QString& strNumber,
                     const QString& strText) {
    Type(NameList(page)->lineEdit(), strName);
    Type(NumberList(page)->lineEdit(), strNumber);
    Type(MessageEdit(page), strText);
    ASSERT_TRUE(SendButton(page)->isEnabled());
    QTest::mouseClick(SendButton(page), Qt::LeftButton);
  }
  void Click(int nButton) { QTest::mouseClick(m_pDlg->GetButton(nButton), Qt::LeftButton); }
  // Which of the list files and their CSV copies the data folder holds.
  std::string ListFiles() const {
    std::string strFiles;
    for (const char* pszFile : {"SMSOut.Dat", "SMSList.Dat", "SMSAdd.Dat", "SMSOut.csv"})
      strFiles += std::filesystem::exists(DataFile(pszFile)) ? std::string(pszFile) + " " : "";
    return strFiles;
  }
};

TEST_F(ComposeListsTest, SendingTeachesTheAddressBookAndThePresets) {
  CComposePage& page = OpenCompose();
  CAddressArray& book = *page.GetAddressBook();
  ASSERT_TRUE(book.empty());
  // No presets file: the five defaults, in their order.
  EXPECT_EQ(Items(PresetList(page)),
            (QStringList{"Happy Birthday!", "I received your message. Thank you.",
                         "Could you please give me a call?", "What are your plans for the weekend?",
                         "What time is our meeting?"}));
  // A new pair, the same name with another number, a number without a name (the
  // pairs the book refuses are its rules' own tests).
  SendAs(page, "Bob", kNumberA, "first");
  EXPECT_TRUE(page.m_bAddressesChanged);
  SendAs(page, "Bob", kNumberB, "third");
  SendAs(page, "", kNumberC, "fourth");
  EXPECT_EQ(Pairs(book), (PairList{{"Bob", kNumberA}, {"Bob", kNumberB}, {"No Name", kNumberC}}));
  EXPECT_EQ(Items(NameList(page)), (QStringList{"Bob", "Bob", "No Name"}));
  EXPECT_EQ(Items(NumberList(page)), (QStringList{kNumberA, kNumberB, kNumberC}));
  // A text that is a preset already adds none; every new one is added at the end.
  SendAs(page, "Bob", kNumberA, "Happy Birthday!");
  ASSERT_EQ(page.m_pPresets->size(), 8u);
  EXPECT_EQ(page.m_pPresets->back()->GetMessage(), "fourth");
  EXPECT_EQ(PresetList(page)->count(), 8);

  // A failed send adds no preset.
  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults.push_back({"AT+CMGS=", "+CMS ERROR: 38", 1});
  m_pPhone->SetFaults(faults);
  SendAs(page, "Bob", kNumberA, "never a preset");
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_EQ(page.m_pOutbox->back()->GetStatus(), 6);
  EXPECT_EQ(page.m_pPresets->size(), 8u);
  // The recipient stays for another try (the Compose tests' own); this one goes
  // elsewhere.
  NameList(page)->lineEdit()->clear();
  NumberList(page)->lineEdit()->clear();

  // A text of two lines becomes a preset shown by its first line; choosing it puts
  // both lines back into the edit.
  MessageEdit(page)->selectAll();
  QTest::keyClick(MessageEdit(page), Qt::Key_Delete);
  SendAs(page, "Bob", kNumberA, "line1\nline2");
  EXPECT_EQ(page.m_pOutbox->back()->GetMessage(), "line1\r\nline2");
  ASSERT_EQ(page.m_pPresets->size(), 9u);
  EXPECT_EQ(PresetList(page)->itemText(8), "line1...");
  Choose(PresetList(page), 8);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "line1\nline2");
  EXPECT_EQ(Counter(page)->text(), "12 Characters in the message");
}

TEST_F(ComposeListsTest, TheHostsRecipientWithTwoNumbersIsLearntAndFillsTheForm) {
  StartPhone();
  WriteSettings({kStorageSim});
  const std::string strNumbers = std::string(kNumberA) + "\r\n" + kNumberB;
  const RecipientInfo recipient{"Carol", 2, strNumbers.c_str()};
  m_pDlg = OpenWindow(&recipient);
  CComposePage& page = m_pDlg->GetComposePage();
  EXPECT_EQ(Pairs(*page.GetAddressBook()), (PairList{{"Carol", kNumberA}, {"Carol", kNumberB}}));
  EXPECT_EQ(Form(page), "Carol|+31641600987||");
}

TEST_F(ComposeListsTest, CancelAsksAboutAnUnsentTextAndSavesTheChangedListsOnlyWhenLeaving) {
  CComposePage& page = OpenCompose();
  SendAs(page, "Alice", kNumberA, "hellohello");
  Type(MessageEdit(page), "unfinished");
  m_prompt.Clear();
  // No keeps the window open and saves nothing.
  m_prompt.QueueAnswer(IDNO);
  Click(CPropertySheet::ID_CANCEL);
  EXPECT_EQ(
      m_prompt.BoxTexts(),
      std::vector<std::string>{"You are in the middle of composing a message. If you exit now, the message "
                               "would not be sent out.\r\nAre you sure you want to exit?"});
  EXPECT_EQ(m_prompt.m_boxes.at(0).nType & 0xF, static_cast<unsigned int>(MB_YESNO));
  EXPECT_TRUE(m_pDlg->isVisible());
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "unfinished");
  EXPECT_EQ(ListFiles(), "");
  // Yes closes and saves; export is off, so there are no CSV copies.
  m_prompt.QueueAnswer(IDYES);
  Click(CPropertySheet::ID_CANCEL);
  EXPECT_FALSE(m_pDlg->isVisible());
  EXPECT_EQ(ListFiles(), "SMSOut.Dat SMSList.Dat SMSAdd.Dat ");
  m_pDlg.reset();

  // Nothing changed in the next window: closing it writes nothing.
  const auto stamp = std::filesystem::last_write_time(DataFile("SMSOut.Dat"));
  std::filesystem::remove(DataFile("SMSAdd.Dat"));
  m_pDlg = OpenWindow();
  ASSERT_EQ(m_pDlg->GetComposePage().m_pOutbox->size(), 1u);
  Click(CPropertySheet::ID_OK);
  EXPECT_FALSE(m_pDlg->isVisible());
  EXPECT_EQ(std::filesystem::last_write_time(DataFile("SMSOut.Dat")), stamp);
  EXPECT_FALSE(std::filesystem::exists(DataFile("SMSAdd.Dat")));
}

TEST_F(ComposeListsTest, ListsComeBackWithTheNextWindowWithTheirCsvCopies) {
  m_bExportToCsv = true;
  CComposePage& page = OpenCompose();
  ASSERT_TRUE(m_pDlg->IsExportToCsv());
  SendAs(page, "Alice", kNumberA, "hello, world");
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  // Right after a successful send the edit is empty: Cancel closes at once.
  m_prompt.Clear();
  Click(CPropertySheet::ID_CANCEL);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  EXPECT_FALSE(m_pDlg->isVisible());
  m_pDlg.reset();

  // The copies' layout is the store's own (the store's tests); each list has one.
  for (const char* pszCopy : {"SMSOut.csv", "SMSAdd.csv", "SMSList.csv"})
    EXPECT_TRUE(std::filesystem::exists(DataFile(pszCopy))) << pszCopy;

  m_pDlg = OpenWindow();
  CComposePage& again = m_pDlg->GetComposePage();
  ASSERT_EQ(again.m_pOutbox->size(), 1u);
  EXPECT_EQ(again.m_pOutbox->front()->GetMessage(), "hello, world");
  EXPECT_EQ(Pairs(*again.GetAddressBook()), (PairList{{"Alice", kNumberA}}));
  EXPECT_EQ(PresetList(again)->itemText(5), "hello, world");
  // A second message, and Close this time.
  SendAs(again, "Bob", kNumberB, "again");
  Click(CPropertySheet::ID_OK);
  CAddressArray book;
  ASSERT_EQ(LoadAddressBook(DataFolder(), book), LoadResult::loaded);
  EXPECT_EQ(Pairs(book), (PairList{{"Alice", kNumberA}, {"Bob", kNumberB}}));
}
