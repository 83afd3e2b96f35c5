// Shared pieces of the list tests: the application, and for the Inbox page a settings
// file, data folder and virtual phone of its own per test, a scripted prompt service,
// the SMS window on that phone, and user input on the list.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lists/InboxPage.h"
#include "shell/ScriptedPromptService.h"
#include "shell/SMSTabbedDlg.h"
#include "tests/shell/TestSandbox.h"
#include "vphone/VirtualPhone.h"

QApplication& ListsTestApp();

class CInboxTest : public ::testing::Test {
 protected:
  CInboxTest();
  ~CInboxTest() override;

  // Starts the virtual phone holding these lines of its messages file.
  void StartPhone(const std::vector<std::string>& messageLines,
                  const CVirtualPhoneFaults& faults = CVirtualPhoneFaults());
  // Writes the settings: COM3 on the phone, the data folder, export on or off, and
  // extra lines (Options values; "[...]" starts another key).
  void WriteSettings(const std::vector<std::string>& optionsLines = {},
                     const std::vector<std::string>& extraLines = {});
  // Opens the window (built and shown) and goes to the Inbox page.
  std::unique_ptr<CSMSTabbedDlg> OpenInbox();

  std::string DataFolder() const { return (m_root / "data").string() + "/"; }
  // A file's whole text (a data file by its name: DataFolder() + name).
  static std::string ReadText(const std::string& strPath) { return CTestSandbox::ReadFile(strPath); }
  std::string SettingsText() const { return ReadText((m_root / "settings.reg").string()); }

  static CSortListCtrl* List(CInboxPage& page);
  static QPushButton* GetButton(CInboxPage& page);
  static QPushButton* DeleteButton(CInboxPage& page);
  static QPlainTextEdit* Detail(CInboxPage& page);
  static QLabel* Status(CInboxPage& page);

  // Mouse clicks on a row (with Ctrl to add it to the selection) and on a header.
  static void ClickRow(CSortListCtrl* pList, int nRow,
                       Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  static void ClickHeader(CSortListCtrl* pList, int nColumn);

  // Checks the invariant: row i shows message i (name, number, storage word).
  static void ExpectRowsFollowMessages(CInboxPage& page);

  CTestSandbox m_sandbox{"mireth-lists"};
  std::filesystem::path m_root = m_sandbox.Root();
  bool m_bExportToCsv = false;
  CScriptedPromptService m_prompt;
  std::unique_ptr<CVirtualPhone> m_pPhone;

};
