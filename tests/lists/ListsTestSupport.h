// Shared pieces of the list tests: the Inbox page in its window on a virtual phone on
// COM3, its controls, and the check that its rows show its messages.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "lists/InboxPage.h"
#include "tests/shell/WindowTestSupport.h"

// Part nPart of a long UCS2 message of three from +31641600986 (reference A7), as an
// SMS-DELIVER with a concatenation header (3GPP TS 23.040 9.2.3.24.1).
std::string LongPart(int nPart, const std::string& strText);

class CInboxTest : public CWindowTest {
 protected:
  // COM3 on the phone with a 3-second time-out and the SIM as storage, then these
  // Options lines.
  void WriteSettings(std::vector<std::string> optionsLines = {},
                     const std::vector<std::string>& extraLines = {}) {
    optionsLines.insert(optionsLines.begin(), {"\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8",
                                               "\"Storage\"=dword:0000040e"});
    CWindowTest::WriteSettings(optionsLines, extraLines);
  }
  // Opens the window and goes to the Inbox page.
  std::unique_ptr<CSMSTabbedDlg> OpenInbox() {
    auto pDlg = OpenWindow();
    ShowPage(*pDlg, pDlg->GetInboxPage());
    return pDlg;
  }

  static CSortListCtrl* List(CInboxPage& page) {
    return PAGE_CONTROL(CSortListCtrl, page, CInboxPage::IDC_LIST);
  }
  static QPushButton* GetButton(CInboxPage& page) {
    return PAGE_CONTROL(QPushButton, page, CInboxPage::IDC_GET_MESSAGES);
  }
  static QPushButton* DeleteButton(CInboxPage& page) {
    return PAGE_CONTROL(QPushButton, page, CInboxPage::IDC_DELETE);
  }
  static QPlainTextEdit* Detail(CInboxPage& page) {
    return PAGE_CONTROL(QPlainTextEdit, page, CInboxPage::IDC_MESSAGE_TEXT);
  }
  static QLabel* Status(CInboxPage& page) { return PAGE_CONTROL(QLabel, page, CInboxPage::IDC_STATUS); }

  // Row i shows message i (name, number, date, storage word).
  static void ExpectRowsFollowMessages(CInboxPage& page);
  // The message texts of the Inbox file in the data folder.
  std::vector<std::string> SavedInbox() const;
};
