// The Inbox page in its window on a virtual phone: fetching (duplicates, naming the
// senders, failures), the detail pane and the keyboard, deleting (on the phone too
// when asked), sorting by the headers, the list settings, and a long message
// completed by a later fetch.
#include <functional>

#include "ListsTestSupport.h"
#include "compose/AddressBook.h"
#include "compose/ComposePage.h"
#include "model/StoreLists.h"

namespace {

// Received messages of the phone (messages-file lines: storage, status, PDU).
// "How are you?" from +31641600986, 26 August 2002.
const char kFromDutch[] = "SM 1 07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
// "Meeting moved to 3pm, room 4B." from the national number 07700900321, 29 April 2024.
const char kFromNational[] =
    "ME 1 0791449785788997040B817007900023F10000424092610254401ECD72999E769F41EDB7BD4C06D1DF"
    "A019BCCD02C9DFEF3688267401";
// "See you at the airport! Gate B12." from +12125550123, 28 April 2024.
const char kFromAirport[] =
    "SM 0 07912160130300F4040B912121550521F300004240822201006921D37219947FD741613A888E2E83C2"
    "6939FC2DA78740C730BD0C12C6642E";
// A stored outgoing message: not for the Inbox.
const char kStoredUnsent[] = "ME 2 0011000C914477000940650000A716C3309B0D6A97417774D90DCABFEB2076D84D7601";

const char kNoNew[] = "There are no new incoming messages on the phone.";

int RowOf(const CInboxPage& page, const std::string& strText) {
  for (size_t i = 0; i < page.m_pMessages->size(); ++i)
    if ((*page.m_pMessages)[i]->GetMessage() == strText)
      return static_cast<int>(i);
  return -1;
}

// Whether the phone still holds the message of a messages-file line.
bool Holds(const CVirtualPhone& phone, const char* pszLine) {
  for (const char* pszStorage : {"ME", "SM"})
    for (const CVirtualPhoneMessage& m : phone.GetMessages(pszStorage))
      if (m.m_strPdu == std::string(pszLine).substr(5))
        return true;
  return false;
}

// A received message for a store file written before the window opens.
std::unique_ptr<CMessage> Received(const std::string& strNumber, const std::string& strText, double dDate,
                                   int nStorage, bool bReplyCharges = false) {
  auto p = std::make_unique<CMessage>();
  p->SetNumber(strNumber);
  p->SetMessage(strText);
  p->SetDateTime(CDateTime(dDate, CDateTime::valid));
  p->SetDateTimeText(p->GetDateTime().Format());
  p->SetStorage(nStorage);
  p->m_wFirstOctet = bReplyCharges ? 0x08 : 0x00;  // a deliver; bit 3: reply charges
  p->m_strPdu = "00" + strNumber;                  // distinct keys
  return p;
}

}  // namespace

class InboxPageTest : public CInboxTest {};

TEST_F(InboxPageTest, FetchingAddsNewMessagesOnceAndNamesSendersFromTheAddressBook) {
  StartPhone({kFromDutch, kFromNational, kFromAirport, kStoredUnsent});
  WriteSettings();
  auto pDlg = OpenWindow();
  ASSERT_TRUE(pDlg->IsPhoneReady());
  // Digits are compared on both sides: the national sender matches an entry written
  // with blanks, and a sender with '+' matches an entry written with '+'.
  CComposePage& compose = pDlg->GetComposePage();
  AddAddressEntry(*compose.GetAddressBook(), "Dutch friend", "+31641600986", "No Name");
  AddAddressEntry(*compose.GetAddressBook(), "Office", "0770 090 0321", "No Name");
  CInboxPage& page = ShowPage(*pDlg, pDlg->GetInboxPage());
  ASSERT_TRUE(GetButton(page)->isEnabled());

  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_TRUE(m_prompt.m_boxes.empty() && m_prompt.m_errors.empty());
  ASSERT_EQ(page.m_pMessages->size(), 3u);
  ExpectRowsFollowMessages(page);

  // The same messages again: nothing added, the box says so, and the row selected
  // before is no longer selected (the list was refilled).
  ClickRow(List(page), 0);
  ASSERT_TRUE(DeleteButton(page)->isEnabled());
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_EQ(m_prompt.BoxTexts(), std::vector<std::string>{kNoNew});
  EXPECT_EQ(List(page)->GetSelectedCount(), 0);
  EXPECT_FALSE(DeleteButton(page)->isEnabled());
  EXPECT_EQ(page.m_pMessages->size(), 3u);

  // Leaving and coming back sorts by the default, column 0 descending: "Office"
  // (the national sender) first, then "Dutch friend", then the unnamed sender.
  pDlg->SetActivePage(&compose);
  pDlg->SetActivePage(&page);
  EXPECT_EQ(Column(List(page), 0), (std::vector<std::string>{"Office", "Dutch friend", ""}));
  ExpectRowsFollowMessages(page);
}

TEST_F(InboxPageTest, AnEmptyPhoneSaysSoAFailingOneIsReportedAndNoPhoneDisablesGet) {
  WriteSettings();  // COM3 names no device yet
  {
    auto pDlg = OpenInbox();
    EXPECT_FALSE(pDlg->IsPhoneReady());
    EXPECT_FALSE(GetButton(pDlg->GetInboxPage())->isEnabled());
  }
  m_prompt.Clear();
  StartPhone();
  WriteSettings();
  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    EXPECT_EQ(m_prompt.BoxTexts(), std::vector<std::string>{kNoNew});
    EXPECT_TRUE(m_prompt.m_errors.empty());

    // The listing refused: the error goes to the window's error dialog; the list is
    // untouched.
    CVirtualPhoneFaults faults;
    faults.m_vecCommandFaults.push_back({"AT+CMGL", "+CMS ERROR: 500", -1});
    m_pPhone->SetFaults(faults);
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    EXPECT_EQ(m_prompt.m_boxes.size(), 1u);
    ASSERT_EQ(m_prompt.m_errors.size(), 1u);
    EXPECT_NE(pDlg->GetErrorCode(), 1);
    EXPECT_NE(pDlg->GetErrorCode(), -976);
    EXPECT_TRUE(page.m_pMessages->empty());
    EXPECT_FALSE(page.m_bChanged);
    pDlg->reject();
  }
  EXPECT_FALSE(std::filesystem::exists(DataFolder() + "SMSIn.Dat"));
}

TEST_F(InboxPageTest, DeletingAsksFirstAndDeletesOnThePhoneWhenAsked) {
  StartPhone({kFromDutch, kFromNational, kFromAirport});
  WriteSettings({"\"Delete From Phone\"=dword:00000001"});
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pMessages->size(), 3u);
  CSortListCtrl* pList = List(page);
  ClickRow(pList, RowOf(page, "How are you?"));
  ClickRow(pList, RowOf(page, "See you at the airport! Gate B12."), Qt::ControlModifier);
  ASSERT_EQ(pList->GetSelectedCount(), 2);

  // No (the default button) keeps everything.
  m_prompt.m_boxes.clear();
  QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
  EXPECT_EQ(m_prompt.BoxTexts(),
            std::vector<std::string>{"Are you sure you want to delete the selected message(s)?"});
  EXPECT_EQ(m_prompt.m_boxes.at(0).strCaption, "SMS Message");
  EXPECT_EQ(m_prompt.m_boxes.at(0).nType,
            static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(page.m_pMessages->size(), 3u);
  EXPECT_EQ(pList->GetSelectedCount(), 2);

  m_prompt.QueueAnswer(IDYES);
  QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pMessages->size(), 1u);
  ExpectRowsFollowMessages(page);
  EXPECT_FALSE(DeleteButton(page)->isEnabled());
  EXPECT_TRUE(Detail(page)->toPlainText().isEmpty());
  EXPECT_EQ(std::vector<bool>({Holds(*m_pPhone, kFromNational), Holds(*m_pPhone, kFromDutch),
                               Holds(*m_pPhone, kFromAirport)}),
            std::vector<bool>({true, false, false}));
  EXPECT_EQ(Logged("CMD AT+CMGD").size(), 2u);

  // The shrunk list is saved when the window is cancelled.
  pDlg->reject();
  pDlg.reset();
  EXPECT_EQ(SavedInbox(), std::vector<std::string>{"Meeting moved to 3pm, room 4B."});
}

TEST_F(InboxPageTest, TheDetailPaneFollowsClicksAndArrowKeys) {
  {
    CMessageArray list;
    list.push_back(Received("111", "first text", 45000.0, 1, true));
    list.push_back(Received("222", "second text", 45001.0, 2));
    list.push_back(Received("333", "third text", 45002.0, 0));
    ASSERT_TRUE(SaveInbox(DataFolder(), list));
  }
  // Sorted by number ascending, so the rows are 111, 222, 333.
  WriteSettings({}, {"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Inbox]",
                     "\"Sort Column\"=dword:00000001", "\"Sort Order\"=dword:00000001"});
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  CSortListCtrl* pList = List(page);
  ASSERT_EQ(Column(pList, 1), (std::vector<std::string>{"111", "222", "333"}));
  EXPECT_FALSE(page.m_bChanged);

  // Each step, then the selected row (the first of several), the detail pane, the
  // status line and whether Delete is offered.
  struct SStep {
    const char* pszName;
    std::function<void()> act;
    int nSelected;
    const char *pszDetail, *pszStatus;  // no status: not looked at
  };
  const SStep steps[] = {
      {"click the first row", [&] { ClickRow(pList, 0); }, 0, "first text", "Will accept reply charges"},
      // Down shows the row it is about to select.
      {"Down", [&] { QTest::keyClick(pList, Qt::Key_Down); }, 1, "second text", ""},
      {"Down again", [&] { QTest::keyClick(pList, Qt::Key_Down); }, 2, "third text", ""},
      {"Down on the last row", [&] { QTest::keyClick(pList, Qt::Key_Down); }, 2, "third text", ""},
      {"Up", [&] { QTest::keyClick(pList, Qt::Key_Up); }, 1, "second text", ""},
      {"click two rows",
       [&] {
         ClickRow(pList, 0);
         ClickRow(pList, 1, Qt::ControlModifier);
       },
       0, "first text", "Will accept reply charges"},
      {"a key that scrolls", [&] { QTest::keyClick(pList, Qt::Key_Right); }, 0, "Multiple Selection",
       nullptr},
      {"both unselected",
       [&] {
         ClickRow(pList, 0, Qt::ControlModifier);
         ClickRow(pList, 1, Qt::ControlModifier);
       },
       -1, "", ""},
      {"a click", [&] { ClickRow(pList, 0); }, 0, "first text", "Will accept reply charges"},
      // Sorting again leaves nothing selected (now descending by number).
      {"a header click", [&] { ClickHeader(pList, 1); }, -1, "", ""},
  };
  for (const SStep& step : steps) {
    step.act();
    EXPECT_EQ(pList->GetSelectedItem(), step.nSelected) << step.pszName;
    EXPECT_EQ(Detail(page)->toPlainText().toStdString(), step.pszDetail) << step.pszName;
    if (step.pszStatus != nullptr) {
      EXPECT_EQ(Status(page)->text().toStdString(), step.pszStatus) << step.pszName;
    }
    EXPECT_EQ(DeleteButton(page)->isEnabled(), step.nSelected >= 0) << step.pszName;
  }
  EXPECT_EQ(pList->GetSelectedCount(), 0);

  // A row deleted here stays deleted, though the file the page saves into held it.
  ClickRow(pList, 0);
  m_prompt.QueueAnswer(IDYES);
  QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
  pDlg->reject();
  EXPECT_EQ(SavedInbox(), (std::vector<std::string>{"second text", "first text"}));
}

TEST_F(InboxPageTest, HeaderClicksSortAndTheSettingsAreKeptOnClose) {
  {
    CMessageArray list;
    list.push_back(Received("222", "b", 45002.0, 1));
    list.push_back(Received("111", "a", 45000.0, 2));
    list.push_back(Received("333", "c", 45001.0, 0));
    // Names stored with the messages are the book's again on opening: one renamed
    // since, one no longer in the book.
    list[0]->SetSenderName("Old name");
    list[1]->SetSenderName("Gone");
    ASSERT_TRUE(SaveInbox(DataFolder(), list));
    CAddressArray book;
    book.push_back(std::make_unique<CAddress>());
    book.back()->SetNumber("222");
    book.back()->SetName("New name");
    ASSERT_TRUE(SaveAddressBook(DataFolder(), book));
  }
  // Widths apply with their low 16 bits; a "Sort Order" of 5 reads as ascending;
  // sorted by date.
  WriteSettings(
      {}, {"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Inbox]", "\"From\"=dword:00010078",
           "\"Number\"=dword:00000050", "\"Sort Column\"=dword:00000002", "\"Sort Order\"=dword:00000005"});
  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    CSortListCtrl* pList = List(page);
    // The last two widths are the defaults, scaled to the list's font.
    EXPECT_EQ(std::vector<int>({pList->GetColumnWidth(0), pList->GetColumnWidth(1), pList->GetColumnWidth(2),
                                pList->GetColumnWidth(3)}),
              std::vector<int>({120, 80, pList->ScaleWidth(180), pList->ScaleWidth(90)}));
    EXPECT_EQ(page.m_nSortColumn, 2);
    EXPECT_TRUE(page.m_bSortAscending);
    EXPECT_EQ(Column(pList, 1), (std::vector<std::string>{"111", "333", "222"}));
    EXPECT_EQ(Column(pList, 0), (std::vector<std::string>{"", "", "New name"}));

    // Every click flips the direction, also on another column.
    ClickHeader(pList, 1);
    EXPECT_EQ(page.m_nSortColumn, 1);
    EXPECT_TRUE(page.m_bChanged);
    EXPECT_EQ(Column(pList, 1), (std::vector<std::string>{"333", "222", "111"}));
    ClickHeader(pList, 1);
    EXPECT_EQ(Column(pList, 1), (std::vector<std::string>{"111", "222", "333"}));
    ClickHeader(pList, 3);  // storage words, descending
    EXPECT_EQ(Column(pList, 3), (std::vector<std::string>{"Unknown", "SIM", "Phone"}));
    ExpectRowsFollowMessages(page);
    pList->SetColumnWidth(2, 150);

    // Cancel saves the reordered list but no settings.
    const std::string strBefore = SettingsText();
    pDlg->reject();
    EXPECT_EQ(SettingsText(), strBefore);
    EXPECT_EQ(SavedInbox(), (std::vector<std::string>{"c", "a", "b"}));
  }
  {
    auto pDlg = OpenInbox();
    List(pDlg->GetInboxPage())->SetColumnWidth(2, 150);
    ClickHeader(List(pDlg->GetInboxPage()), 0);
    pDlg->accept();
  }
  const std::string strSettings = SettingsText();
  for (const char* pszLine :
       {"\"From\"=dword:00000078", "\"Number\"=dword:00000050", "\"Date and Time\"=dword:00000096",
        "\"Sort Column\"=dword:00000000", "\"Sort Order\"=dword:00000000"})
    EXPECT_NE(strSettings.find(pszLine), std::string::npos) << pszLine;
}

TEST_F(InboxPageTest, ALongMessageCompletedLaterEndsAsOneMessageWithTheWholeText) {
  StartPhone({kFromNational});
  WriteSettings();
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(1, "Part one. "), "SM"), 0);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(3, "Part three."), "SM"), 0);
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  const int nLong = RowOf(page, "Part one. Part three.");
  ASSERT_NE(nLong, -1) << "the parts that were there";

  // The missing part arrives: the next fetch leaves one copy, with the whole text,
  // where the incomplete one was.
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(2, "Part two. "), "SM"), 0);
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  ASSERT_EQ(page.m_pMessages->size(), 2u);
  EXPECT_EQ(RowOf(page, "Part one. Part two. Part three."), nLong);
  ExpectRowsFollowMessages(page);
}
