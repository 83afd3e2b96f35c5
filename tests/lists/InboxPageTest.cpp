// The Inbox page in its window on a virtual phone: fetching (duplicates, naming the
// senders, failures), the detail pane and the keyboard, deleting (on the phone too
// when asked), sorting by the headers, the list settings, and the list kept over a
// close and reopen.
#include <QStyle>
#include <cstdio>
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
    if ((*page.m_pMessages)[i]->m_strMessage == strText)
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
  p->m_strNumber = strNumber;
  p->m_strMessage = strText;
  p->m_dtDateTime = CDateTime(dDate, CDateTime::valid);
  p->m_strDateTime = p->m_dtDateTime.Format();
  p->m_nStorage = nStorage;
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
  // The page is built when first shown; its controls are on screen.
  for (QWidget* pControl : std::initializer_list<QWidget*>{List(page), GetButton(page), DeleteButton(page),
                                                           Detail(page), Status(page)})
    EXPECT_TRUE(pControl->isVisible()) << GetControlId(pControl);
  ASSERT_TRUE(GetButton(page)->isEnabled());
  EXPECT_FALSE(DeleteButton(page)->isEnabled());
  EXPECT_TRUE(Status(page)->text().isEmpty());
  EXPECT_EQ(List(page)->GetItemCount(), 0);

  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  EXPECT_TRUE(m_prompt.m_errors.empty());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  EXPECT_GE(m_prompt.m_nWaitBegun, 1);
  ASSERT_EQ(page.m_pMessages->size(), 3u);
  EXPECT_TRUE(page.m_bChanged);
  const int nOffice = RowOf(page, "Meeting moved to 3pm, room 4B."), nDutch = RowOf(page, "How are you?");
  ASSERT_TRUE(nOffice >= 0 && nDutch >= 0);
  const CMessage* pOffice = (*page.m_pMessages)[static_cast<size_t>(nOffice)].get();
  const CMessage* pDutch = (*page.m_pMessages)[static_cast<size_t>(nDutch)].get();
  EXPECT_EQ(pOffice->m_strNumber, "07700900321");
  EXPECT_EQ(pOffice->m_strSenderName, "Office");
  EXPECT_EQ(pDutch->m_strSenderName, "Dutch friend");
  EXPECT_EQ(pDutch->m_strDateTime, pDutch->m_dtDateTime.Format());
  ExpectRowsFollowMessages(page);

  // The same messages again: nothing added, and the box says so.
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText, kNoNew);
  EXPECT_EQ(m_prompt.m_boxes[0].nType & 0xF, static_cast<unsigned int>(MB_OK));
  EXPECT_EQ(page.m_pMessages->size(), 3u);
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);

  // Leaving and coming back sorts by the default, column 0 descending: "Office"
  // first, then "Dutch friend", then the unnamed sender; the rows follow.
  pDlg->SetActivePage(&compose);
  pDlg->SetActivePage(&page);
  EXPECT_EQ((*page.m_pMessages)[0]->m_strSenderName, "Office");
  ExpectRowsFollowMessages(page);
  EXPECT_EQ(List(page)->GetHeaderCtrl()->m_nSortCol, 0);
  EXPECT_FALSE(List(page)->GetHeaderCtrl()->m_bSortAscending);
}

TEST_F(InboxPageTest, AnEmptyPhoneSaysSoAndAFailingOneIsReported) {
  CVirtualPhoneFaults faults;
  StartPhone({}, faults);
  WriteSettings();
  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
    EXPECT_EQ(m_prompt.m_boxes[0].strText, kNoNew);
    EXPECT_TRUE(m_prompt.m_errors.empty());
    EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
    EXPECT_FALSE(page.m_bChanged);
    pDlg->reject();
  }
  EXPECT_FALSE(std::filesystem::exists(DataFolder() + "SMSIn.Dat"));

  // The listing refused: the error goes to the window's error dialog; the list is
  // untouched.
  faults.m_vecCommandFaults.push_back({"AT+CMGL", "+CMS ERROR: 500", -1});
  m_pPhone->SetFaults(faults);
  m_prompt.m_boxes.clear();
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_NE(pDlg->GetErrorCode(), 1);
  EXPECT_NE(pDlg->GetErrorCode(), -976);
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  EXPECT_TRUE(page.m_pMessages->empty());
}

TEST_F(InboxPageTest, WithoutAReadyPhoneGetMessagesIsDisabled) {
  WriteSettings();  // COM3 names no device
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  EXPECT_FALSE(pDlg->IsPhoneReady());
  EXPECT_FALSE(GetButton(page)->isEnabled());
  EXPECT_TRUE(page.m_bGetDisabled);
}

TEST_F(InboxPageTest, DeletingAsksFirstAndDeletesOnThePhoneOnlyWhenAsked) {
  for (const bool bFromPhone : {true, false}) {
    SCOPED_TRACE(bFromPhone ? "delete from phone" : "desktop only");
    if (m_pPhone)
      m_pPhone->Stop();
    StartPhone({kFromDutch, kFromNational, kFromAirport});
    WriteSettings(
        {bFromPhone ? "\"Delete From Phone\"=dword:00000001" : "\"Delete From Phone\"=dword:00000000"});
    std::filesystem::remove(DataFolder() + "SMSIn.Dat");
    m_prompt.m_boxes.clear();
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    ASSERT_EQ(page.m_pMessages->size(), 3u);
    CSortListCtrl* pList = List(page);

    const int nDutch = RowOf(page, "How are you?");
    const int nAirport = RowOf(page, "See you at the airport! Gate B12.");
    ClickRow(pList, nDutch);
    ClickRow(pList, nAirport, Qt::ControlModifier);
    ASSERT_EQ(pList->GetSelectedCount(), 2);
    EXPECT_TRUE(DeleteButton(page)->isEnabled());

    // No (the default button) keeps everything.
    QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
    ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
    EXPECT_EQ(m_prompt.m_boxes[0].strText, "Are you sure you want to delete the selected message(s)?");
    EXPECT_EQ(m_prompt.m_boxes[0].strCaption, "SMS Message");
    EXPECT_EQ(m_prompt.m_boxes[0].nType,
              static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
    EXPECT_EQ(page.m_pMessages->size(), 3u);
    EXPECT_EQ(pList->GetSelectedCount(), 2);

    m_prompt.QueueAnswer(IDYES);
    QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
    ASSERT_EQ(page.m_pMessages->size(), 1u);
    EXPECT_EQ((*page.m_pMessages)[0]->m_strMessage, "Meeting moved to 3pm, room 4B.");
    ExpectRowsFollowMessages(page);
    EXPECT_FALSE(DeleteButton(page)->isEnabled());
    EXPECT_TRUE(Detail(page)->toPlainText().isEmpty());

    EXPECT_TRUE(Holds(*m_pPhone, kFromNational));
    EXPECT_EQ(Holds(*m_pPhone, kFromDutch), !bFromPhone);
    EXPECT_EQ(Holds(*m_pPhone, kFromAirport), !bFromPhone);
    const std::vector<std::string> log = m_pPhone->GetLog();
    const auto nDeletes = std::count_if(log.begin(), log.end(),
                                        [](const std::string& s) { return s.rfind("CMD AT+CMGD", 0) == 0; });
    EXPECT_EQ(nDeletes, bFromPhone ? 2 : 0);

    // The shrunk list is saved when the window is cancelled.
    pDlg->reject();
    pDlg.reset();
    CMessageArray saved;
    ASSERT_EQ(LoadInbox(DataFolder(), saved), LoadResult::loaded);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]->m_strMessage, "Meeting moved to 3pm, room 4B.");
  }
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
  ASSERT_EQ(pList->GetItemCount(), 3);
  ASSERT_EQ(pList->GetItemText(0, 1), "111");
  EXPECT_EQ(pList->GetItemText(2, 3), "Unknown");
  EXPECT_FALSE(page.m_bChanged);

  ClickRow(pList, 0);
  EXPECT_EQ(Detail(page)->toPlainText(), "first text");
  EXPECT_EQ(Status(page)->text(), "Will accept reply charges");
  EXPECT_TRUE(DeleteButton(page)->isEnabled());

  // Down shows the row it is about to select.
  QTest::keyClick(pList, Qt::Key_Down);
  EXPECT_EQ(pList->GetSelectedItem(), 1);
  EXPECT_EQ(Detail(page)->toPlainText(), "second text");
  EXPECT_TRUE(Status(page)->text().isEmpty());
  QTest::keyClick(pList, Qt::Key_Down);
  EXPECT_EQ(Detail(page)->toPlainText(), "third text");
  // On the last row Down changes nothing.
  QTest::keyClick(pList, Qt::Key_Down);
  EXPECT_EQ(pList->GetSelectedItem(), 2);
  EXPECT_EQ(Detail(page)->toPlainText(), "third text");
  QTest::keyClick(pList, Qt::Key_Up);
  EXPECT_EQ(Detail(page)->toPlainText(), "second text");

  // Two rows selected: a click shows the first, a key says "Multiple Selection".
  ClickRow(pList, 0);
  ClickRow(pList, 1, Qt::ControlModifier);
  EXPECT_EQ(Detail(page)->toPlainText(), "first text");
  QTest::keyClick(pList, Qt::Key_Right);  // scrolls; the selection stays
  EXPECT_EQ(Detail(page)->toPlainText(), "Multiple Selection");
  EXPECT_EQ(pList->GetSelectedCount(), 2);

  // Nothing selected: a click empties the pane and disables Delete.
  ClickRow(pList, 0, Qt::ControlModifier);
  ClickRow(pList, 1, Qt::ControlModifier);
  ASSERT_EQ(pList->GetSelectedItem(), -1);
  EXPECT_TRUE(Detail(page)->toPlainText().isEmpty());
  EXPECT_TRUE(Status(page)->text().isEmpty());
  EXPECT_FALSE(DeleteButton(page)->isEnabled());

  // A row deleted here stays deleted, though the file the page saves into held it.
  ClickRow(pList, 0);
  m_prompt.QueueAnswer(IDYES);
  QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
  pDlg->reject();
  CMessageArray saved;
  ASSERT_EQ(LoadInbox(DataFolder(), saved), LoadResult::loaded);
  ASSERT_EQ(saved.size(), 2u);
  EXPECT_EQ(saved[0]->m_strMessage, "second text");
}

TEST_F(InboxPageTest, HeaderClicksSortAndTheSettingsAreKeptOnClose) {
  {
    CMessageArray list;
    list.push_back(Received("222", "b", 45002.0, 1));
    list.push_back(Received("111", "a", 45000.0, 2));
    list.push_back(Received("333", "c", 45001.0, 0));
    ASSERT_TRUE(SaveInbox(DataFolder(), list));
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
    EXPECT_EQ(pList->GetColumnWidth(0), 120);
    EXPECT_EQ(pList->GetColumnWidth(1), 80);
    // Defaults, scaled to the list's font.
    EXPECT_EQ(pList->GetColumnWidth(2), pList->ScaleWidth(180));
    EXPECT_EQ(pList->GetColumnWidth(3), pList->ScaleWidth(90));
    EXPECT_EQ(page.m_nSortColumn, 2);
    EXPECT_TRUE(page.m_bSortAscending);
    EXPECT_EQ(pList->GetItemText(0, 1), "111");
    EXPECT_EQ(pList->GetItemText(1, 1), "333");
    EXPECT_EQ(pList->GetItemText(2, 1), "222");

    // Every click flips the direction, also on another column.
    ClickHeader(pList, 1);
    EXPECT_EQ(page.m_nSortColumn, 1);
    EXPECT_FALSE(page.m_bSortAscending);
    EXPECT_TRUE(page.m_bChanged);
    EXPECT_EQ(pList->GetItemText(0, 1), "333");
    ExpectRowsFollowMessages(page);
    ClickHeader(pList, 1);
    EXPECT_TRUE(page.m_bSortAscending);
    EXPECT_EQ(pList->GetItemText(0, 1), "111");
    ClickHeader(pList, 3);  // storage words: Phone, SIM, Unknown - descending
    EXPECT_EQ(pList->GetItemText(0, 3), "Unknown");
    EXPECT_EQ(pList->GetItemText(2, 3), "Phone");
    ExpectRowsFollowMessages(page);
    pList->SetColumnWidth(2, 150);

    // Cancel saves the reordered list but no settings.
    const std::string strBefore = SettingsText();
    pDlg->reject();
    EXPECT_EQ(SettingsText(), strBefore);
    CMessageArray saved;
    ASSERT_EQ(LoadInbox(DataFolder(), saved), LoadResult::loaded);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0]->m_nStorage, 0);
  }
  char szStorage[40];
  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    List(page)->SetColumnWidth(2, 150);
    ClickHeader(List(page), 0);
    std::snprintf(szStorage, sizeof szStorage, "\"Storage\"=dword:%08x",
                  static_cast<unsigned int>(List(page)->ScaleWidth(90)));
    pDlg->accept();
  }
  const std::string strSettings = SettingsText();
  for (const char* pszLine : {"\"From\"=dword:00000078", "\"Number\"=dword:00000050",
                              "\"Date and Time\"=dword:00000096", static_cast<const char*>(szStorage),
                              "\"Sort Column\"=dword:00000000", "\"Sort Order\"=dword:00000000"})
    EXPECT_NE(strSettings.find(pszLine), std::string::npos) << pszLine;
}

TEST_F(InboxPageTest, TheListSurvivesClosingAndReopeningWithItsCsvCopy) {
  m_bExportToCsv = true;
  StartPhone({kFromDutch, kFromNational, kFromAirport});
  WriteSettings();
  std::vector<std::string> texts;
  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    ASSERT_EQ(page.m_pMessages->size(), 3u);
    for (const auto& p : *page.m_pMessages)
      texts.push_back(p->m_strMessage);
    pDlg->accept();
  }
  const std::string strCsv = ReadFile(DataFile("SMSIn.csv"));
  EXPECT_EQ(strCsv.rfind("From,Number,Date and Time,Storage,Message\r\n", 0), 0u);
  EXPECT_NE(strCsv.find(",07700900321,"), std::string::npos);

  // Reopened: the same messages, sorted by the saved settings (column 0, descending
  // on the first start) and shown in that order.
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  ASSERT_EQ(page.m_pMessages->size(), 3u);
  for (const std::string& strText : texts)
    EXPECT_NE(RowOf(page, strText), -1) << strText;
  ExpectRowsFollowMessages(page);
  EXPECT_FALSE(page.m_bChanged);
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_EQ(page.m_pMessages->size(), 3u);
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText, kNoNew);
}

TEST_F(InboxPageTest, ALongMessageCompletedLaterEndsAsOneMessageWithTheWholeText) {
  StartPhone({kFromNational});
  WriteSettings();
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(1, "Part one. "), "SM"), 0);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(3, "Part three."), "SM"), 0);
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pMessages->size(), 2u);
  const int nLong = RowOf(page, "Part one. Part three.");
  ASSERT_NE(nLong, -1) << "the parts that were there";

  // The missing part arrives: the next fetch leaves one copy, with the whole text,
  // where the incomplete one was.
  ASSERT_GT(m_pPhone->InjectReceivedMessage(LongPart(2, "Part two. "), "SM"), 0);
  m_prompt.m_boxes.clear();
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  ASSERT_EQ(page.m_pMessages->size(), 2u);
  EXPECT_EQ(RowOf(page, "Part one. Part two. Part three."), nLong);
  EXPECT_EQ(RowOf(page, "Part one. Part three."), -1);
  ExpectRowsFollowMessages(page);

  // Once more: nothing new.
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  EXPECT_EQ(page.m_pMessages->size(), 2u);
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText, kNoNew);
}

TEST_F(InboxPageTest, SortFetchAndDeleteLeaveNothingSelected) {
  StartPhone({kFromDutch, kFromNational, kFromAirport});
  WriteSettings();
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  CSortListCtrl* pList = List(page);
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  ASSERT_EQ(pList->GetItemCount(), 3);

  const std::vector<std::pair<const char*, std::function<void()>>> actions = {
      {"header click", [&] { ClickHeader(pList, 1); }},
      {"fetch with nothing new", [&] { QTest::mouseClick(GetButton(page), Qt::LeftButton); }},
      {"tab switch",
       [&] {
         pDlg->SetActivePage(&pDlg->GetComposePage());
         pDlg->SetActivePage(&page);
       }},
      {"delete",
       [&] {
         ClickRow(pList, 1, Qt::ControlModifier);  // two rows go
         m_prompt.QueueAnswer(IDYES);
         QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
       }},
  };
  for (const auto& [pszName, action] : actions) {
    ClickRow(pList, 0);
    ASSERT_EQ(pList->GetSelectedCount(), 1) << pszName;
    ASSERT_FALSE(Detail(page)->toPlainText().isEmpty()) << pszName;
    ASSERT_TRUE(DeleteButton(page)->isEnabled()) << pszName;
    action();
    EXPECT_EQ(pList->GetSelectedItem(), -1) << pszName;
    EXPECT_EQ(pList->GetSelectedCount(), 0) << pszName;
    EXPECT_TRUE(Detail(page)->toPlainText().isEmpty()) << pszName;
    EXPECT_TRUE(Status(page)->text().isEmpty()) << pszName;
    EXPECT_FALSE(DeleteButton(page)->isEnabled()) << pszName;
  }
  EXPECT_EQ(pList->GetItemCount(), 1);
  ExpectRowsFollowMessages(page);
}

TEST_F(InboxPageTest, ScatteredRowsAreDeletedOnThePhoneInRowOrder) {
  StartPhone({kFromDutch, kFromNational, kFromAirport, kStoredUnsent});
  WriteSettings({"\"Delete From Phone\"=dword:00000001"});
  auto pDlg = OpenInbox();
  CInboxPage& page = pDlg->GetInboxPage();
  CSortListCtrl* pList = List(page);
  QTest::mouseClick(GetButton(page), Qt::LeftButton);
  ClickHeader(pList, 1);  // by number, so the rows are not in the phone's order
  ASSERT_EQ(pList->GetItemCount(), 3);
  std::vector<std::string> places, kept;
  for (const auto& p : *page.m_pMessages)
    places.push_back(p->m_strExtra);
  kept = {(*page.m_pMessages)[1]->m_strMessage};

  // Selected last row first: the phone still deletes row 0 before row 2.
  ClickRow(pList, 2);
  ClickRow(pList, 0, Qt::ControlModifier);
  m_prompt.QueueAnswer(IDYES);
  const size_t nFrom = m_pPhone->GetLog().size();
  QTest::mouseClick(DeleteButton(page), Qt::LeftButton);
  std::vector<std::string> deletes;
  const std::vector<std::string> log = m_pPhone->GetLog();
  for (size_t i = nFrom; i < log.size(); ++i)
    if (log[i].rfind("CMD AT+CMGD=", 0) == 0)
      deletes.push_back(log[i].substr(12));
  // The places are "SM:1"; the phone is asked for the index after the colon.
  auto index = [](const std::string& strPlace) { return strPlace.substr(strPlace.find(':') + 1); };
  ASSERT_EQ(deletes.size(), 2u);
  EXPECT_EQ(deletes[0].substr(0, index(places[0]).size()), index(places[0]));
  EXPECT_EQ(deletes[1].substr(0, index(places[2]).size()), index(places[2]));
  ASSERT_EQ(page.m_pMessages->size(), 1u);
  EXPECT_EQ((*page.m_pMessages)[0]->m_strMessage, kept[0]);
  ExpectRowsFollowMessages(page);
}

TEST_F(InboxPageTest, DefaultColumnsShowAFullInternationalNumber) {
  WriteSettings();
  auto pDlg = OpenInbox();
  CSortListCtrl* pList = List(pDlg->GetInboxPage());
  // The text of a cell and the margins the view keeps on either side of it.
  const int nMargin = 2 * (pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, pList) + 1);
  const int nNumber = pList->fontMetrics().horizontalAdvance(QStringLiteral("+447700900123"));
  for (int nColumn = 0; nColumn < 4; ++nColumn)
    EXPECT_GE(pList->GetColumnWidth(nColumn), nNumber + nMargin) << nColumn;
  // Twice as wide for the date, as the classic widths were.
  EXPECT_EQ(pList->GetColumnWidth(2), pList->ScaleWidth(180));
  EXPECT_GE(pList->ScaleWidth(180), 2 * pList->ScaleWidth(90) - 1);
}
