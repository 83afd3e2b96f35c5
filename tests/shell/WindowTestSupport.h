// Shared pieces of the tests of the window and its pages: the application, a folder
// and environment of their own per test (settings file, data, runtime and device
// folders), a prompt service that records what was shown, a virtual phone on COM3,
// user input, and the lookup of a page's controls, which fails the test by the
// control's name when the control is missing instead of crashing on it.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QSignalBlocker>
#include <QTest>
#include <QTableView>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "lists/SortListCtrl.h"
#include "model/StoreLists.h"
#include "platform/Registry.h"
#include "shell/DialogTemplate.h"
#include "shell/SMSTabbedDlg.h"
#include "tests/shell/ScriptedPromptService.h"
#include "tests/shell/TestSandbox.h"
#include "vphone/VirtualPhone.h"

// The application, created once for the whole test program (offscreen unless the
// environment chose a platform) and deleted, with everything it holds, before the
// program ends.
inline QApplication* g_pTestApp = nullptr;
inline const ::testing::Environment* const g_pTestAppEnvironment = ::testing::AddGlobalTestEnvironment([] {
  struct CAppEnvironment : ::testing::Environment {
    void TearDown() override { delete std::exchange(g_pTestApp, nullptr); }
  };
  return new CAppEnvironment;
}());

inline QApplication& TestApp() {
  if (g_pTestApp == nullptr) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int s_argc = 1;
    static char s_szName[] = "mireth_ui_test";
    static char* s_argv[] = {s_szName, nullptr};
    g_pTestApp = new QApplication(s_argc, s_argv);
  }
  return *g_pTestApp;
}

// A first member or base for fixtures whose members are widgets.
struct CTestAppUser {
  CTestAppUser() { TestApp(); }
};

// Control nId of a page. A page that was never built, or lost a control, fails the
// test with the control's name and ends it (gtest reports the exception).
template <class T = QWidget>
T* RequireControl(const QWidget* pPage, int nId, const char* pszName) {
  T* p = FindControl<T>(pPage, nId);
  if (p == nullptr) {
    ADD_FAILURE() << "the page has no control " << pszName << " (" << nId << ")";
    throw std::runtime_error(std::string("missing control ") + pszName);
  }
  return p;
}
#define PAGE_CONTROL(T, page, id) RequireControl<T>(&(page), (id), #id)

// One settings file, data folder, prompt service and (when started) virtual phone per
// test. No port but the ones the settings map exists, and the host program is
// <root>/host/Program/HVDesktop.Exe.
class CWindowTest : public ::testing::Test, private CTestAppUser {
 protected:
  static constexpr const char* kOptionsKey = "SOFTWARE\\Kelvane\\Mireth\\Options";

  CWindowTest() {
    std::filesystem::permissions(m_root, std::filesystem::perms::owner_all);  // as a runtime folder must be
    for (const char* pszFolder : {"data", "home", "host/Program", "dev", "sys"})
      std::filesystem::create_directories(m_root / pszFolder);
    for (const auto& [pszName, strValue] :
         std::initializer_list<std::pair<const char*, std::string>>{{"MIRETH_REGISTRY", Path("settings.reg")},
                                                                    {"XDG_CONFIG_HOME", Path("config")},
                                                                    {"XDG_DATA_HOME", Path("xdg-data")},
                                                                    {"XDG_RUNTIME_DIR", m_root.string()},
                                                                    {"HOME", Path("home")},
                                                                    {"MIRETH_LOCK_DIR", m_root.string()},
                                                                    {"MIRETH_DEV_DIR", Path("dev")},
                                                                    {"MIRETH_SYS_DIR", Path("sys")}})
      m_sandbox.SetEnv(pszName, strValue);
    CSMSTabbedDlg::SetPortProber({});
    CSMSTabbedDlg::SetPhoneFactory({});
    CSMSTabbedDlg::SetHostExecutablePath(Path("host/Program/HVDesktop.Exe"));
  }
  // Every window of the test is gone by now: whatever it did, it ended each wait
  // cursor it began.
  ~CWindowTest() override {
    EXPECT_EQ(m_prompt.m_nWaitDepth, 0) << "a wait cursor was left on";
    if (m_pPhone)
      m_pPhone->Stop();
    m_pPhone.reset();
    CSMSTabbedDlg::SetPortProber({});
    CSMSTabbedDlg::SetPhoneFactory({});
    CSMSTabbedDlg::SetHostExecutablePath({});
  }

  std::string Path(const std::string& strName) const { return (m_root / strName).string(); }
  std::string DataFolder() const { return Path("data") + "/"; }
  std::string DataFile(const std::string& strName) const { return DataFolder() + strName; }
  // One text of each record of a list the data folder holds (its load must succeed).
  template <class Array, class Get>
  std::vector<std::string> Saved(LoadResult (*pLoad)(const std::string&, Array&), Get get) const {
    Array list;
    EXPECT_EQ(pLoad(DataFolder(), list), LoadResult::loaded);
    std::vector<std::string> texts;
    for (const auto& p : list)
      texts.push_back(get(*p));
    return texts;
  }

  // The virtual phone, holding these lines of its messages file (storage, status, PDU).
  void StartPhone(const std::vector<std::string>& messageLines = {},
                  const CVirtualPhoneFaults& faults = CVirtualPhoneFaults()) {
    CVirtualPhoneConfig config;
    if (!messageLines.empty()) {
      config.m_strMessagesFile = Path("messages.txt");
      std::ofstream out(config.m_strMessagesFile, std::ios::trunc);
      for (const std::string& line : messageLines)
        out << line << "\n";
    }
    config.m_faults = faults;
    StartConfiguredPhone(config);
  }
  void StartConfiguredPhone(const CVirtualPhoneConfig& config) {
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
  }

  // The settings file: these lines after the export header.
  void WriteRegistry(const std::vector<std::string>& lines) const {
    std::ofstream out(Path("settings.reg"), std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    for (const std::string& line : lines)
      out << line << "\r\n";
  }
  // The Options key with these lines (none without lines: a first run), the data
  // folder with m_bExportToCsv, COM3 on the phone (on no device without one), then
  // the extra lines ("[...]" starts another key).
  void WriteSettings(const std::vector<std::string>& optionsLines,
                     const std::vector<std::string>& extraLines = {}) const {
    std::vector<std::string> lines;
    if (!optionsLines.empty()) {
      lines.push_back("[HKEY_CURRENT_USER\\" + std::string(kOptionsKey) + "]");
      lines.insert(lines.end(), optionsLines.begin(), optionsLines.end());
    }
    lines.insert(
        lines.end(),
        {"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]", "\"Data Folder\"=\"" + DataFolder() + "\"",
         std::string("\"Export To CSV\"=dword:0000000") + (m_bExportToCsv ? "1" : "0"),
         "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]",
         "\"COM3\"=\"" + (m_pPhone ? m_pPhone->GetSlavePath() : Path("dev/none")) + "\""});
    lines.insert(lines.end(), extraLines.begin(), extraLines.end());
    WriteRegistry(lines);
  }
  std::string SettingsText() const { return CTestSandbox::ReadFile(Path("settings.reg")); }
  static std::optional<uint32_t> OptionNumber(const std::string& strName) {
    CRegKey key;
    uint32_t n = 0;
    return key.Open(kOptionsKey) && key.QueryNumber(strName, n) ? std::optional<uint32_t>(n) : std::nullopt;
  }
  static std::optional<std::string> OptionText(const std::string& strName) {
    CRegKey key;
    std::string s;
    return key.Open(kOptionsKey) && key.QueryText(strName, s) ? std::optional<std::string>(s) : std::nullopt;
  }

  // The window, built, shown and active, with its posted events run.
  std::unique_ptr<CSMSTabbedDlg> OpenWindow(const RecipientInfo* pRecipient = nullptr) {
    auto pDlg = std::make_unique<CSMSTabbedDlg>(pRecipient);
    pDlg->show();
    pDlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(pDlg.get()));
    QCoreApplication::sendPostedEvents();
    return pDlg;
  }
  // Goes to a page as a tab click does; the page must take it.
  template <class TPage>
  static TPage& ShowPage(CSMSTabbedDlg& dlg, TPage& page) {
    EXPECT_TRUE(dlg.SetActivePage(&page));
    EXPECT_EQ(dlg.GetActivePage(), &page);
    return page;
  }

  // The lines of one kind ("CMD ", "PDU ") the phone logged since line nFrom.
  std::vector<std::string> Logged(const std::string& strKind, size_t nFrom = 0) const {
    std::vector<std::string> lines;
    const std::vector<std::string> log = m_pPhone->GetLog();
    for (size_t i = nFrom; i < log.size(); ++i)
      if (log[i].rfind(strKind, 0) == 0)
        lines.push_back(log[i].substr(strKind.size()));
    return lines;
  }
  // Waits (bounded) until the phone has logged n lines that begin with strPrefix.
  bool WaitForLogged(const std::string& strPrefix, size_t n = 1) const {
    return m_pPhone->WaitForLog(
        [&](const std::vector<std::string>& log) {
          return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const std::string& s) {
                   return s.rfind(strPrefix, 0) == 0;
                 })) >= n;
        },
        5000);
  }

  // Typing as a keyboard does, one key at a time (letters outside Latin-1 as a
  // keyboard of that script sends them).
  static void Type(QWidget* pWidget, const QString& strText) {
    for (const QChar c : strText) {
      if (c == u'\n')
        QTest::keyClick(pWidget, Qt::Key_Return);
      else if (c.unicode() < 0x80)
        QTest::keyClick(pWidget, c.toLatin1());
      else
        QTest::sendKeyEvent(QTest::Click, pWidget, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c),
                            Qt::NoModifier);
    }
  }
  static void Paste(QWidget* pWidget, const QString& strText) {
    QGuiApplication::clipboard()->setText(strText);
    QTest::keyClick(pWidget, Qt::Key_V, Qt::ControlModifier);
  }
  // Chooses an item as the user does: one arrow key onto it.
  static void Choose(QComboBox* pList, int nIndex) {
    {
      const QSignalBlocker blocker(pList);
      pList->setCurrentIndex(nIndex - 1);
    }
    pList->setFocus();
    QTest::keyClick(pList, Qt::Key_Down);
    ASSERT_EQ(pList->currentIndex(), nIndex);
  }
  // Near the left edge: a check box or radio button takes clicks on its mark.
  static void Click(QWidget* pButton) {
    ASSERT_TRUE(pButton->isVisible() && pButton->isEnabled());
    QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier, QPoint(4, pButton->height() / 2));
  }
  static QStringList Items(const QComboBox* pList) {
    QStringList items;
    for (int i = 0; i < pList->count(); ++i)
      items << pList->itemText(i);
    return items;
  }
  // The texts of one column of a list, top to bottom.
  static std::vector<std::string> Column(CSortListCtrl* pList, int nColumn) {
    std::vector<std::string> texts;
    for (int i = 0; i < pList->GetItemCount(); ++i)
      texts.push_back(pList->GetItemText(i, nColumn));
    return texts;
  }
  // A row of a list (with Ctrl to add it to the selection) and a header, clicked.
  static void ClickRow(QTableView* pList, int nRow, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, modifiers,
                      pList->visualRect(pList->model()->index(nRow, 1)).center());
  }
  static void ClickHeader(QTableView* pList, int nColumn) {
    QHeaderView* pHeader = pList->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(pHeader->sectionViewportPosition(nColumn) + pHeader->sectionSize(nColumn) / 2,
                             pHeader->height() / 2));
  }

  CTestSandbox m_sandbox{"mireth-window"};
  std::filesystem::path m_root = m_sandbox.Root();
  bool m_bExportToCsv = false;  // "Export To CSV" written by WriteSettings
  CScriptedPromptService m_prompt;
  std::unique_ptr<CVirtualPhone> m_pPhone;
};
