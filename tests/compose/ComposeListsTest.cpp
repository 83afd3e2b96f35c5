// The Compose page's lists in its window: the address book and the presets learnt
// from sending, choosing a name or a preset, the host's recipient, a message sent
// again from the outgoing list, and saving on Close and Cancel (with the question
// about an unsent text) so that the lists come back with the next window.
#include <QTest>

#include "ComposeTestSupport.h"
#include "model/StoreLists.h"

namespace {

const char kStorageSim[] = "\"Storage\"=dword:0000040e";  // 1038
const char kNumberA[] = "+31641600986";
const char kNumberB[] = "+31641600987";
const char kNumberC[] = "+31641600988";

std::vector<std::pair<std::string, std::string>> Pairs(const CAddressArray& book) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& pEntry : book) pairs.emplace_back(pEntry->m_strName, pEntry->m_strNumber);
  return pairs;
}
using PairList = std::vector<std::pair<std::string, std::string>>;

QStringList Items(const QComboBox* pList) {
  QStringList items;
  for (int i = 0; i < pList->count(); ++i) items << pList->itemText(i);
  return items;
}

void AddEntry(CAddressArray& book, const std::string& strName, const std::string& strNumber) {
  auto pEntry = std::make_unique<CAddress>();
  pEntry->SetName(strName);
  pEntry->SetNumber(strNumber);
  book.push_back(std::move(pEntry));
}

}  // namespace

class ComposeListsTest : public CComposeTest {
 protected:
  // Fills the form as the user does and presses Send.
  void SendAs(CComposePage& page, const QString& strName, const QString& strNumber,
              const QString& strText) {
    Type(NameList(page)->lineEdit(), strName);
    Type(NumberList(page)->lineEdit(), strNumber);
    Type(MessageEdit(page), strText);
    ASSERT_TRUE(SendButton(page)->isEnabled());
    QTest::mouseClick(SendButton(page), Qt::LeftButton);
  }
};

TEST_F(ComposeListsTest, SendingTeachesTheAddressBookAndThePresets) {
  StartPhone();
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  CAddressArray& book = *page.GetAddressBook();
  ASSERT_TRUE(book.empty());
  EXPECT_FALSE(page.m_bAddressesChanged);
  // No presets file: the five defaults, in their order.
  EXPECT_EQ(Items(PresetList(page)),
            (QStringList{"Happy Birthday!", "I received your message. Thank you.",
                         "Could you please give me a call?", "What are your plans for the weekend?",
                         "What time is our meeting?"}));

  SendAs(page, "Bob", kNumberA, "first");
  EXPECT_EQ(Pairs(book), (PairList{{"Bob", kNumberA}}));
  EXPECT_TRUE(page.m_bAddressesChanged);
  SendAs(page, "Bob", kNumberA, "second");
  EXPECT_EQ(book.size(), 1u);
  SendAs(page, "Bob", kNumberB, "third");
  SendAs(page, "", kNumberC, "fourth");
  SendAs(page, "", kNumberC, "fifth");
  EXPECT_EQ(Pairs(book), (PairList{{"Bob", kNumberA}, {"Bob", kNumberB}, {"No Name", kNumberC}}));
  EXPECT_EQ(Items(NameList(page)), (QStringList{"Bob", "Bob", "No Name"}));
  EXPECT_EQ(Items(NumberList(page)), (QStringList{kNumberA, kNumberB, kNumberC}));
  for (size_t i = 0; i < book.size(); ++i) EXPECT_EQ(book[i]->m_nIndex, static_cast<int>(i));

  // A text that is a preset already adds none; every new one is added at the end.
  SendAs(page, "Bob", kNumberA, "Happy Birthday!");
  ASSERT_EQ(page.m_pPresets->size(), 10u);
  EXPECT_EQ(page.m_pPresets->back()->m_strMessage, "fifth");
  EXPECT_EQ(PresetList(page)->count(), 10);

  // A failed send adds no preset.
  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults.push_back({"AT+CMGS=", "+CMS ERROR: 38", 1});
  m_pPhone->SetFaults(faults);
  SendAs(page, "Bob", kNumberA, "never a preset");
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_EQ(page.m_pOutbox->back()->m_nStatus, 6);
  EXPECT_EQ(page.m_pPresets->size(), 10u);

  // A text of two lines becomes a preset shown by its first line; choosing it puts
  // both lines back into the edit.
  MessageEdit(page)->selectAll();
  QTest::keyClick(MessageEdit(page), Qt::Key_Delete);
  SendAs(page, "Bob", kNumberA, "line1\nline2");
  EXPECT_EQ(page.m_pOutbox->back()->m_strMessage, "line1\r\nline2");
  ASSERT_EQ(page.m_pPresets->size(), 11u);
  EXPECT_EQ(page.m_pPresets->back()->m_strMessage, "line1\r\nline2");
  EXPECT_EQ(PresetList(page)->itemText(10), "line1...");
  Choose(PresetList(page), 10);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "line1\nline2");
  EXPECT_EQ(Counter(page)->text(), "12 Characters in the message");
  EXPECT_TRUE(SendButton(page)->isEnabled());
  // Another preset replaces the text.
  Choose(PresetList(page), 1);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "I received your message. Thank you.");
  EXPECT_EQ(Counter(page)->text(), "35 Characters in the message");
}

TEST_F(ComposeListsTest, ChoosingANameSelectsTheFirstNumberThatBeginsWithItsNumber) {
  {
    CAddressArray stored;
    AddEntry(stored, "Bob", "123");
    AddEntry(stored, "Zed", "");
    AddEntry(stored, "", "999");
    AddEntry(stored, "Ann", "12345");
    ASSERT_TRUE(SaveAddressBook(DataFolder(), stored));
  }
  StartPhone();
  WriteSettings();
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  // Loaded sorted by name; the unnamed entry comes first as "NoName".
  EXPECT_EQ(Items(NameList(page)), (QStringList{"NoName", "Ann", "Bob", "Zed"}));
  EXPECT_EQ(Items(NumberList(page)), (QStringList{"999", "12345", "123", ""}));
  EXPECT_FALSE(page.m_bAddressesChanged);
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());
  EXPECT_FALSE(page.m_bCanSend);  // no storage remembered

  Choose(NameList(page), 2);  // Bob, 123: "12345" comes first and begins with it
  EXPECT_EQ(NameList(page)->currentText(), "Bob");
  EXPECT_EQ(NumberList(page)->currentIndex(), 1);
  EXPECT_EQ(NumberList(page)->currentText(), "12345");
  EXPECT_TRUE(page.m_bCanSend);

  Choose(NameList(page), 0);
  EXPECT_EQ(NumberList(page)->currentText(), "999");
  // A name without a number empties the number field.
  Choose(NameList(page), 3);
  EXPECT_EQ(NameList(page)->currentText(), "Zed");
  EXPECT_EQ(NumberList(page)->currentIndex(), -1);
  EXPECT_TRUE(NumberList(page)->currentText().isEmpty());
}

TEST_F(ComposeListsTest, TheHostsRecipientWithTwoNumbersIsLearntAndFillsTheForm) {
  StartPhone();
  WriteSettings({kStorageSim});
  const std::string strNumbers = std::string(kNumberA) + "\r\n" + kNumberB;
  const RecipientInfo recipient{"Carol", 2, strNumbers.c_str()};
  auto pDlg = OpenWindow(&recipient);
  CComposePage& page = pDlg->GetComposePage();
  EXPECT_EQ(Pairs(*page.GetAddressBook()), (PairList{{"Carol", kNumberA}, {"Carol", kNumberB}}));
  EXPECT_TRUE(page.m_bAddressesChanged);
  EXPECT_EQ(NameList(page)->currentText(), "Carol");
  EXPECT_EQ(NumberList(page)->currentText(), kNumberB);

  // The recipient is ready to send to.
  Type(MessageEdit(page), "hellohello");
  QTest::mouseClick(SendButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_strName, "Carol");
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 1);
  ASSERT_TRUE(WaitForPdus(1));
  const auto pdu = ReadSubmitPdu(LoggedPdus().back());
  ASSERT_TRUE(pdu.has_value());
  EXPECT_EQ(pdu->strAddressField, "0B911346610089F7");
  EXPECT_EQ(page.GetAddressBook()->size(), 2u);
}

TEST_F(ComposeListsTest, AMessageChosenForResendingFillsTheFormAtTheNextActivation) {
  {
    CMessageArray outbox;
    auto pRecord = std::make_unique<CMessage>();
    pRecord->m_strName = "Dave";
    pRecord->m_strNumber = kNumberA;
    pRecord->m_strMessage = "Call me\r\nlater";
    pRecord->m_nStatus = 6;
    outbox.push_back(std::move(pRecord));
    auto pStranger = std::make_unique<CMessage>();
    pStranger->m_strName = "Stranger";
    pStranger->m_strNumber = "+4400000";
    pStranger->m_strMessage = "who?";
    outbox.push_back(std::move(pStranger));
    ASSERT_TRUE(SaveOutbox(DataFolder(), outbox));
    CAddressArray book;
    AddEntry(book, "Dave", kNumberA);
    AddEntry(book, "Eve", kNumberB);
    ASSERT_TRUE(SaveAddressBook(DataFolder(), book));
  }
  StartPhone();
  WriteSettings({kStorageSim, "\"Message Validity\"=dword:00000003"});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  ASSERT_EQ(page.m_pOutbox->size(), 2u);
  Choose(LifetimeList(page), 8);
  Type(MessageEdit(page), "draft");

  page.SetResendIndex(0);
  EXPECT_EQ(page.m_nResendIndex, 0);
  page.OnSetActive();
  EXPECT_EQ(page.m_nResendIndex, -1);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "Call me\nlater");
  EXPECT_EQ(NameList(page)->currentText(), "Dave");
  EXPECT_EQ(NumberList(page)->currentText(), kNumberA);
  EXPECT_EQ(Counter(page)->text(), "14 Characters in the message");
  EXPECT_EQ(LifetimeList(page)->currentIndex(), 3);
  EXPECT_TRUE(SendButton(page)->isEnabled());

  // Sent again: a new record; the old one stays as it was.
  QTest::mouseClick(SendButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pOutbox->size(), 3u);
  EXPECT_EQ(page.m_pOutbox->at(2)->m_strMessage, "Call me\r\nlater");
  EXPECT_EQ(page.m_pOutbox->at(2)->m_nStatus, 1);
  EXPECT_EQ(page.m_pOutbox->at(0)->m_nStatus, 6);
  EXPECT_EQ(page.GetAddressBook()->size(), 2u);

  // With the outgoing list changed the lists are refilled at activation; the
  // recipient just loaded stays in the fields.
  ASSERT_TRUE(page.m_bOutboxChanged);
  page.SetResendIndex(0);
  page.OnSetActive();
  EXPECT_EQ(NameList(page)->currentText(), "Dave");
  EXPECT_EQ(NumberList(page)->currentText(), kNumberA);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "Call me\nlater");
  EXPECT_EQ(page.m_strName, "Dave");
  EXPECT_EQ(page.m_strNumber, kNumberA);

  // A recipient the address book does not know leaves the fields empty.
  page.SetResendIndex(1);
  page.OnSetActive();
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "who?");
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());
  EXPECT_TRUE(NumberList(page)->currentText().isEmpty());
}

TEST_F(ComposeListsTest, CancelAsksAboutAnUnsentTextAndSavesTheChangedListsOnlyWhenLeaving) {
  StartPhone();
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  SendAs(page, "Alice", kNumberA, "hellohello");
  Type(MessageEdit(page), "unfinished");
  m_prompt.Clear();

  m_prompt.QueueAnswer(IDNO);
  QTest::mouseClick(pDlg->GetButton(CPropertySheet::ID_CANCEL), Qt::LeftButton);
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText,
            "You are in the middle of composing a message. If you exit now, the message would not "
            "be sent out.\r\nAre you sure you want to exit?");
  EXPECT_EQ(m_prompt.m_boxes[0].nType & 0xF, static_cast<unsigned int>(MB_YESNO));
  EXPECT_TRUE(pDlg->isVisible());
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "unfinished");
  for (const char* pszFile : {"SMSOut.Dat", "SMSList.Dat", "SMSAdd.Dat"})
    EXPECT_FALSE(std::filesystem::exists(DataFile(pszFile))) << pszFile;

  m_prompt.QueueAnswer(IDYES);
  QTest::mouseClick(pDlg->GetButton(CPropertySheet::ID_CANCEL), Qt::LeftButton);
  EXPECT_EQ(m_prompt.m_boxes.size(), 2u);
  EXPECT_FALSE(pDlg->isVisible());
  EXPECT_FALSE(page.m_bOutboxChanged);
  EXPECT_FALSE(page.m_bAddressesChanged);
  for (const char* pszFile : {"SMSOut.Dat", "SMSList.Dat", "SMSAdd.Dat"})
    EXPECT_TRUE(std::filesystem::exists(DataFile(pszFile))) << pszFile;
  // Export is off: no CSV copies.
  EXPECT_FALSE(std::filesystem::exists(DataFile("SMSOut.csv")));
  pDlg.reset();

  // Nothing changed in the next window: closing it writes nothing.
  const auto stamp = std::filesystem::last_write_time(DataFile("SMSOut.Dat"));
  std::filesystem::remove(DataFile("SMSAdd.Dat"));
  auto pAgain = OpenWindow();
  ASSERT_EQ(pAgain->GetComposePage().m_pOutbox->size(), 1u);
  QTest::mouseClick(pAgain->GetButton(CPropertySheet::ID_OK), Qt::LeftButton);
  EXPECT_FALSE(pAgain->isVisible());
  EXPECT_EQ(std::filesystem::last_write_time(DataFile("SMSOut.Dat")), stamp);
  EXPECT_FALSE(std::filesystem::exists(DataFile("SMSAdd.Dat")));
}

TEST_F(ComposeListsTest, ListsComeBackWithTheNextWindowWithTheirCsvCopies) {
  m_bExportToCsv = true;
  StartPhone();
  WriteSettings({kStorageSim});
  std::string strDateTime;
  {
    auto pDlg = OpenWindow();
    CComposePage& page = pDlg->GetComposePage();
    ASSERT_TRUE(pDlg->IsExportToCsv());
    SendAs(page, "Alice", kNumberA, "hello, world");
    ASSERT_EQ(page.m_pOutbox->size(), 1u);
    strDateTime = page.m_pOutbox->front()->m_strDateTime;
    // Right after a successful send the edit is empty: Cancel closes at once.
    m_prompt.Clear();
    QTest::mouseClick(pDlg->GetButton(CPropertySheet::ID_CANCEL), Qt::LeftButton);
    EXPECT_TRUE(m_prompt.m_boxes.empty());
    EXPECT_FALSE(pDlg->isVisible());
  }

  const std::string strDateField =
      strDateTime.find(',') != std::string::npos ? "\"" + strDateTime + "\"" : strDateTime;
  EXPECT_EQ(ReadFile(DataFile("SMSOut.csv")),
            "To,Number,Date and Time,Storage,Status,Message\r\n"
            "Alice," +
                std::string(kNumberA) + "," + strDateField + ",SIM,Sent,\"hello, world\"\r\n");
  EXPECT_EQ(ReadFile(DataFile("SMSAdd.csv")),
            "Name,Phone Number\r\nAlice," + std::string(kNumberA) + "\r\n");
  EXPECT_EQ(ReadFile(DataFile("SMSList.csv")),
            "Happy Birthday!\r\nI received your message. Thank you.\r\n"
            "Could you please give me a call?\r\nWhat are your plans for the weekend?\r\n"
            "What time is our meeting?\r\n\"hello, world\"\r\n");

  {
    auto pDlg = OpenWindow();
    CComposePage& page = pDlg->GetComposePage();
    ASSERT_EQ(page.m_pOutbox->size(), 1u);
    EXPECT_EQ(page.m_pOutbox->front()->m_strMessage, "hello, world");
    EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 1);
    EXPECT_EQ(page.m_pOutbox->front()->m_strDateTime, strDateTime);
    EXPECT_EQ(Pairs(*page.GetAddressBook()), (PairList{{"Alice", kNumberA}}));
    EXPECT_EQ(Items(NameList(page)), QStringList{"Alice"});
    ASSERT_EQ(page.m_pPresets->size(), 6u);
    EXPECT_EQ(PresetList(page)->itemText(5), "hello, world");

    // A second message, and Close this time.
    SendAs(page, "Bob", kNumberB, "again");
    QTest::mouseClick(pDlg->GetButton(CPropertySheet::ID_OK), Qt::LeftButton);
    EXPECT_FALSE(pDlg->isVisible());
  }
  CMessageArray outbox;
  ASSERT_EQ(LoadOutbox(DataFolder(), outbox), LoadResult::loaded);
  ASSERT_EQ(outbox.size(), 2u);
  EXPECT_EQ(outbox[1]->m_strName, "Bob");
  CAddressArray book;
  ASSERT_EQ(LoadAddressBook(DataFolder(), book), LoadResult::loaded);
  EXPECT_EQ(Pairs(book), (PairList{{"Alice", kNumberA}, {"Bob", kNumberB}}));
  EXPECT_NE(ReadFile(DataFile("SMSAdd.csv")).find("Bob," + std::string(kNumberB) + "\r\n"),
            std::string::npos);
}

TEST_F(ComposeListsTest, ClearRemovesThePairInTheFieldsAfterAskingForEachCopy) {
  {
    CAddressArray stored;
    AddEntry(stored, "Ann", "111");
    AddEntry(stored, "Bob", "222");
    AddEntry(stored, "Ann", "111");
    AddEntry(stored, "Ann", "333");
    ASSERT_TRUE(SaveAddressBook(DataFolder(), stored));
  }
  StartPhone();
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  auto* pClear = FindControl<QPushButton>(&page, CComposePage::IDC_CLEAR);
  ASSERT_NE(pClear, nullptr);
  EXPECT_FALSE(pClear->isVisible());
  EXPECT_EQ(Items(NameList(page)), (QStringList{"Ann", "Ann", "Ann", "Bob"}));

  // Only a name: nothing is asked or removed, the fields are emptied by the refill.
  Type(NameList(page)->lineEdit(), "Ann");
  pClear->click();
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  EXPECT_EQ(page.GetAddressBook()->size(), 4u);
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());

  // Both copies of Ann, 111 are asked about: the first goes, the second stays.
  Type(NameList(page)->lineEdit(), "Ann");
  Type(NumberList(page)->lineEdit(), "111");
  m_prompt.QueueAnswer(IDYES);
  m_prompt.QueueAnswer(IDNO);
  pClear->click();
  ASSERT_EQ(m_prompt.m_boxes.size(), 2u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText,
            "Do you want to delete this name and number from the list?");
  EXPECT_EQ(m_prompt.m_boxes[0].nType & 0xF, static_cast<unsigned int>(MB_YESNO));
  EXPECT_EQ(Pairs(*page.GetAddressBook()),
            (PairList{{"Ann", "111"}, {"Ann", "333"}, {"Bob", "222"}}));
  EXPECT_TRUE(page.m_bAddressesChanged);
  EXPECT_EQ(Items(NumberList(page)), (QStringList{"111", "333", "222"}));
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());
  EXPECT_TRUE(NumberList(page)->currentText().isEmpty());

  QTest::mouseClick(pDlg->GetButton(CPropertySheet::ID_OK), Qt::LeftButton);
  CAddressArray saved;
  ASSERT_EQ(LoadAddressBook(DataFolder(), saved), LoadResult::loaded);
  EXPECT_EQ(Pairs(saved), (PairList{{"Ann", "111"}, {"Ann", "333"}, {"Bob", "222"}}));
}

TEST_F(ComposeListsTest, ListsUsedBeforeThePageWasShownAreLoadedFirstAndNeverReplaced) {
  {
    CMessageArray outbox;
    auto pRecord = std::make_unique<CMessage>();
    pRecord->m_strMessage = "from an earlier run";
    outbox.push_back(std::move(pRecord));
    ASSERT_TRUE(SaveOutbox(DataFolder(), outbox));
    CAddressArray book;
    AddEntry(book, "Ann", "111");
    ASSERT_TRUE(SaveAddressBook(DataFolder(), book));
  }
  WriteSettings();  // no phone: the window opens on the Options page
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  ASSERT_FALSE(page.IsWindowCreated());
  // The Inbox page asks for the address book to name senders.
  EXPECT_EQ(Pairs(*page.GetAddressBook()), (PairList{{"Ann", "111"}}));
  // The Outbox page adds a retrieved message and saves.
  auto pRetrieved = std::make_unique<CMessage>();
  pRetrieved->m_strMessage = "retrieved";
  page.m_pOutbox->push_back(std::move(pRetrieved));
  page.m_bOutboxChanged = true;
  page.SaveChangedLists();
  CMessageArray saved;
  ASSERT_EQ(LoadOutbox(DataFolder(), saved), LoadResult::loaded);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0]->m_strMessage, "from an earlier run");
  EXPECT_EQ(saved[1]->m_strMessage, "retrieved");
  // The presets went with the outgoing list: the defaults, since there was no file.
  CMessageArray presets;
  ASSERT_EQ(LoadPresets(DataFolder(), presets), LoadResult::loaded);
  EXPECT_EQ(presets.size(), 5u);
}
