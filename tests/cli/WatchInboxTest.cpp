// `mireth watch --store` and the window's Inbox page on the same virtual phone and
// data folder: what watch stored while the window was closed is shown once, Get
// messages adds nothing on top of it, and the window's own save keeps it.
#include <QTest>

#include "CliTestSupport.h"
#include "lists/ListsTestSupport.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"

namespace {

// "See you at the airport! Gate B12." from +12125550123, unread on the SIM.
const char kFromAirport[] =
    "SM 0 07912160130300F4040B912121550521F300004240822201006921D37219947FD741613A888E2E83C2"
    "6939FC2DA78740C730BD0C12C6642E";

class WatchInboxTest : public CInboxTest {};

TEST_F(WatchInboxTest, WhatWatchStoredIsShownOnceAndGetMessagesAddsNothing) {
  StartPhone({kFromAirport});
  WriteSettings();
  const std::string strErr = (m_root / "watch-stderr.txt").string();
  {
    // The port and the data folder come from the window's settings.
    cli_test::CChild watch({"watch", "--store"}, strErr);
    std::string strLine;
    ASSERT_TRUE(watch.ReadLine(strLine, 10000)) << CTestSandbox::ReadFile(strErr);
    EXPECT_NE(strLine.find("See you at the airport! Gate B12."), std::string::npos) << strLine;
    ASSERT_TRUE(m_pPhone->WaitForLog(
        [](const std::vector<std::string>& log) {
          return std::any_of(log.begin(), log.end(),
                             [](const std::string& l) { return l.rfind("CMD AT+CMGL=", 0) == 0; });
        },
        5000));
    // A long message arrives in two parts while watch runs.
    for (const std::string& strPart :
         DeliverPdus("+447700900777", "A long one: " + std::string(170, 'z'), 0x77))
      ASSERT_GT(m_pPhone->InjectReceivedMessage(strPart), 0);
    ASSERT_TRUE(watch.ReadLine(strLine, 3000)) << CTestSandbox::ReadFile(strErr);
    EXPECT_NE(strLine.find("A long one: zzz"), std::string::npos) << strLine;
    ASSERT_EQ(watch.Stop(), 0);
  }

  {
    auto pDlg = OpenInbox();
    CInboxPage& page = pDlg->GetInboxPage();
    ASSERT_EQ(page.m_pMessages->size(), 2u);
    EXPECT_EQ(List(page)->GetItemCount(), 2);
    QTest::mouseClick(GetButton(page), Qt::LeftButton);
    EXPECT_EQ(page.m_pMessages->size(), 2u);
    ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
    EXPECT_EQ(m_prompt.m_boxes[0].strText, "There are no new incoming messages on the phone.");
    pDlg->accept();
  }
  // The window saved on closing; watch's messages are still in the file.
  CMessageArray inbox;
  ASSERT_TRUE(ReadStoreFile(GetStorePath(DataFolder(), StoreList::inbox), inbox).IsOk());
  ASSERT_EQ(inbox.size(), 2u);
  EXPECT_EQ(inbox[1]->m_strMessage, "A long one: " + std::string(170, 'z'));
}

}  // namespace
