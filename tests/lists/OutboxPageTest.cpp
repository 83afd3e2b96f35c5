// The Outbox page in its window, on a virtual phone: messages sent from the Compose
// page, retrieving the phone's sent and stored messages, resending, deleting (on the
// phone too), sorting, and the list settings kept on Close.
#include <QPlainTextEdit>

#include "compose/ComposeTestSupport.h"
#include "lists/OutboxPage.h"
#include "model/StoreLists.h"

namespace {

const char kNoNewOutgoing[] = "There are no new outgoing messages on the phone to retrieve.";
using Texts = std::vector<std::string>;

// Records of the outgoing list file: name, number, status, storage, date value.
void SaveRecords(const std::string& strFolder,
                 std::initializer_list<std::tuple<const char*, const char*, int, int, double>> rows) {
  CMessageArray list;
  for (const auto& [pszName, pszNumber, nStatus, nStorage, dDate] : rows) {
    auto p = std::make_unique<CMessage>();
    p->SetName(pszName);
    p->SetNumber(pszNumber);
    p->SetMessage(std::string("text for ") + pszNumber);
    p->SetStatus(nStatus);
    p->SetStorage(nStorage);
    p->SetDateTime(CDateTime(dDate, CDateTime::valid));
    list.push_back(std::move(p));
  }
  ASSERT_TRUE(SaveOutbox(strFolder, list));
}

}  // namespace

class OutboxPageTest : public CComposeTest {
 protected:
  // The window on a phone holding a stored unsent message in its memory, a sent one
  // on the SIM ("Call me when you land." to +447700900456, "I'm fine, thanks!" to
  // +31641600986) and a received one, which is not the Outbox's; its Outbox page.
  COutboxPage& OpenOutbox(const std::vector<std::string>& extraLines = {}) {
    StartPhone({"ME 2 0011000C914477000940650000A716C3309B0D6A97417774D90DCABFEB2076D84D7601",
                "SM 3 0001000B911346610089F6000011C9531B644EBBCB2C101D1D76AFE721",
                "SM 1 07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"});
    WriteSettings({kStorageSim}, extraLines);
    m_pDlg = OpenWindow();
    return ShowOutbox(*m_pDlg);
  }
  static COutboxPage& ShowOutbox(CSMSTabbedDlg& dlg) { return ShowPage(dlg, dlg.GetOutboxPage()); }
  static CSortListCtrl* List(COutboxPage& page) {
    return PAGE_CONTROL(CSortListCtrl, page, COutboxPage::IDC_LIST);
  }
  static QPlainTextEdit* Detail(COutboxPage& page) {
    return PAGE_CONTROL(QPlainTextEdit, page, COutboxPage::IDC_DETAIL);
  }
  static QPushButton* Button(COutboxPage& page, int nId) {
    return RequireControl<QPushButton>(&page, nId, "button");
  }
  static void Click(COutboxPage& page, int nId) { QTest::mouseClick(Button(page, nId), Qt::LeftButton); }
  // Row i must show element i of the outgoing list.
  static void ExpectRowsFollowTheList(COutboxPage& page) {
    const CMessageArray& outbox = *page.m_pCompose->m_pOutbox;
    Texts numbers;
    for (const auto& p : outbox)
      numbers.push_back(p->GetNumber());
    EXPECT_EQ(Column(List(page), 1), numbers);
  }
};

TEST_F(OutboxPageTest, SentAndStoredMessagesShowUpAndAStoredOneIsNotRetrievedTwice) {
  CComposePage& compose = OpenCompose();
  Type(NameList(compose)->lineEdit(), "Alice");
  Type(NumberList(compose)->lineEdit(), "+31641600986");
  Type(MessageEdit(compose), "hello");
  QTest::mouseClick(SendButton(compose), Qt::LeftButton);
  Type(MessageEdit(compose), "stored");  // no number: stored on the phone
  QTest::mouseClick(SendButton(compose), Qt::LeftButton);
  m_prompt.Clear();

  COutboxPage& page = ShowOutbox(*m_pDlg);
  CSortListCtrl* pList = List(page);
  // First start: descending by recipient, so the one sent to Alice first.
  EXPECT_EQ(Column(pList, 2), (Texts{"Sent", "Stored"}));
  EXPECT_FALSE(pList->GetItemText(0, 3).empty());

  // The phone now holds the stored message: retrieving finds it already listed.
  Click(page, COutboxPage::IDC_RETRIEVE);
  EXPECT_EQ(pList->GetItemCount(), 2);
  EXPECT_EQ(m_prompt.BoxTexts(), Texts{kNoNewOutgoing});
}

TEST_F(OutboxPageTest, RetrieveAppendsThePhonesOutgoingMessagesOnce) {
  SaveRecords(DataFolder(), {{"Zoe", "+111", 6, 1, 45000.0}});
  COutboxPage& page =
      OpenOutbox({"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Outbox]", "\"Sort Order\"=dword:00000001"});
  CSortListCtrl* pList = List(page);
  m_pDlg->GetComposePage().m_bOutboxChanged = false;
  m_prompt.Clear();

  Click(page, COutboxPage::IDC_RETRIEVE);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
  EXPECT_TRUE(m_pDlg->GetComposePage().m_bOutboxChanged);
  // Appended after the list's own record and not sorted yet (ascending would put
  // the unnamed ones first).
  EXPECT_EQ(Column(pList, 0), (Texts{"Zoe", "", ""}));
  Texts rows;
  for (int i = 1; i < pList->GetItemCount(); ++i)
    rows.push_back(pList->GetItemText(i, 1) + " " + pList->GetItemText(i, 2) + " " +
                   pList->GetItemText(i, 4));
  std::sort(rows.begin(), rows.end());
  EXPECT_EQ(rows, (Texts{"+31641600986 Sent SIM", "+447700900456 Unsent Phone"}));
  ExpectRowsFollowTheList(page);

  Click(page, COutboxPage::IDC_RETRIEVE);
  EXPECT_EQ(pList->GetItemCount(), 3);
  EXPECT_EQ(m_prompt.BoxTexts(), Texts{kNoNewOutgoing});

  page.OnSetActive();  // activation sorts them into place
  EXPECT_EQ(Column(pList, 0), (Texts{"", "", "Zoe"}));
  ExpectRowsFollowTheList(page);
}

TEST_F(OutboxPageTest, ResendNowOpensTheSelectedRecordOnTheComposePage) {
  SaveRecords(DataFolder(), {{"Bob", "+222", 1, 2, 45000.0}, {"Dave", "+444", 6, 2, 45000.0}});
  CComposePage& compose = OpenCompose();
  COutboxPage& page = ShowOutbox(*m_pDlg);
  CSortListCtrl* pList = List(page);

  page.OnResendNow();  // nothing selected: nothing happens
  EXPECT_EQ(m_pDlg->GetActivePage(), &page);

  // Sorted descending, "Bob" is row 1 and so element 1 of the list.
  ASSERT_EQ(pList->GetItemText(1, 0), "Bob");
  ClickRow(pList, 1);
  EXPECT_EQ(Detail(page)->toPlainText(), "text for +222");
  Click(page, COutboxPage::IDC_RESEND_NOW);
  EXPECT_EQ(m_pDlg->GetActivePage(), &compose);
  EXPECT_EQ(Form(compose), "Bob|+222|text for +222|13 Characters in the message");
}

TEST_F(OutboxPageTest, DeleteAsksFirstAndDeletesOnThePhoneWhenTheOptionIsOn) {
  SaveRecords(DataFolder(), {{"C", "+3", 1, 2, 1.0}, {"B", "+2", 1, 2, 1.0}, {"A", "+1", 1, 2, 1.0}});
  COutboxPage& page = OpenOutbox();
  CComposePage& compose = m_pDlg->GetComposePage();
  CSortListCtrl* pList = List(page);
  ClickRow(pList, 0);
  ClickRow(pList, 2, Qt::ControlModifier);
  EXPECT_EQ(Detail(page)->toPlainText(), "Multiple Selection");
  EXPECT_FALSE(Button(page, COutboxPage::IDC_RESEND_NOW)->isEnabled());
  compose.m_bOutboxChanged = false;
  m_prompt.Clear();

  m_prompt.QueueAnswer(IDNO);
  Click(page, COutboxPage::IDC_DELETE);
  EXPECT_EQ(m_prompt.BoxTexts(), Texts{"Are you sure you want to delete the selected message(s)?"});
  EXPECT_EQ(m_prompt.m_boxes.at(0).nType,
            static_cast<unsigned int>(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2));
  EXPECT_EQ(pList->GetItemCount(), 3);
  EXPECT_FALSE(compose.m_bOutboxChanged);

  size_t nFrom = m_pPhone->GetLog().size();
  m_prompt.QueueAnswer(IDYES);
  Click(page, COutboxPage::IDC_DELETE);
  EXPECT_EQ(Column(pList, 0), (Texts{"B"}));
  ExpectRowsFollowTheList(page);
  EXPECT_TRUE(compose.m_bOutboxChanged);
  EXPECT_EQ(m_pPhone->GetLog().size(), nFrom);  // option off: the phone is not asked

  // With it on, one listing of the phone serves the deletions of both.
  m_pDlg->SetDeleteFromPhone(true);
  nFrom = m_pPhone->GetLog().size();
  Click(page, COutboxPage::IDC_RETRIEVE);
  const size_t nListing = Logged("CMD AT+CMGL", nFrom).size();
  // Selected last row first, the phone still deletes in row order: each AT+CMGD
  // works in the storage chosen last before it, that of its row.
  Texts storages, expected = {Column(pList, 4)[1], Column(pList, 4)[2]};
  ClickRow(pList, 2);
  ClickRow(pList, 1, Qt::ControlModifier);
  nFrom = m_pPhone->GetLog().size();
  m_prompt.QueueAnswer(IDYES);
  Click(page, COutboxPage::IDC_DELETE);
  EXPECT_EQ(Column(pList, 0), (Texts{"B"}));
  EXPECT_EQ(Logged("CMD AT+CMGL", nFrom).size(), nListing);
  std::string strStorage = "?";
  for (const std::string& strCommand : Logged("CMD ", nFrom)) {
    if (strCommand.rfind("AT+CPMS=", 0) == 0)
      strStorage = strCommand.substr(9, 2) == "ME" ? "Phone" : "SIM";
    else if (strCommand.rfind("AT+CMGD=", 0) == 0)
      storages.push_back(strStorage);
  }
  EXPECT_EQ(storages, expected);
  EXPECT_NE(expected[0], expected[1]);
  EXPECT_TRUE(m_pPhone->GetMessages("ME").empty());
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 1u);  // the received message stays
}

TEST_F(OutboxPageTest, ColumnsSortTheListAndTheSettingsAreWrittenOnClose) {
  // Statuses 2 1 5 0 6 4 3, storages 1 2 0 3 7 1 2, element 3 with a zero date.
  SaveRecords(DataFolder(), {{"n", "+0", 2, 1, 45000.0},
                             {"n", "+1", 1, 2, 45001.0},
                             {"n", "+2", 5, 0, 45002.0},
                             {"n", "+3", 0, 3, 0.0},
                             {"n", "+4", 6, 7, 45004.0},
                             {"n", "+5", 4, 1, 45005.0},
                             {"n", "+6", 3, 2, 45006.0}});
  OpenCompose();
  COutboxPage& page = ShowOutbox(*m_pDlg);
  CSortListCtrl* pList = List(page);
  m_pDlg->GetComposePage().m_bOutboxChanged = false;

  // From the descending default the first click sorts ascending, by the words.
  ClickHeader(pList, 2);
  EXPECT_EQ(Column(pList, 2).front(), "At Service Center");
  EXPECT_TRUE(m_pDlg->GetComposePage().m_bOutboxChanged);
  ExpectRowsFollowTheList(page);
  ClickHeader(pList, 2);
  EXPECT_EQ(Column(pList, 2).front(), "Unsent");

  // By date ascending the zero date (an empty cell) comes first; storage 0 and 3
  // show nothing, 7 "Unknown".
  ClickHeader(pList, 3);
  EXPECT_EQ(Column(pList, 1), (Texts{"+3", "+0", "+1", "+2", "+4", "+5", "+6"}));
  EXPECT_EQ(pList->GetItemText(0, 3), "");
  EXPECT_EQ(Column(pList, 4), (Texts{"", "Phone", "SIM", "", "Unknown", "Phone", "SIM"}));

  pList->SetColumnWidth(0, 123);
  const uint32_t nDefaultDate = static_cast<uint32_t>(pList->ScaleWidth(180));
  m_pDlg->accept();
  CRegKey key;
  ASSERT_TRUE(key.Open("SOFTWARE\\Kelvane\\Mireth\\Outbox"));
  std::vector<uint32_t> values;
  for (const char* pszName : {"To", "Date and Time", "Sort Column", "Sort Order"})
    EXPECT_TRUE(key.QueryNumber(pszName, values.emplace_back())) << pszName;
  EXPECT_EQ(values, (std::vector<uint32_t>{123, nDefaultDate, 3, 1}));
  CMessageArray saved;  // saved in its sorted order
  ASSERT_EQ(LoadOutbox(DataFolder(), saved), LoadResult::loaded);
  ASSERT_EQ(saved.size(), 7u);
  EXPECT_EQ(saved.front()->GetNumber(), "+3");
}
