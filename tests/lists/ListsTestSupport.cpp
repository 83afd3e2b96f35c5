#include "ListsTestSupport.h"

#include <unistd.h>

#include <QHeaderView>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "lists/ListDates.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& ListsTestApp() {
  static QApplication* s_pApp = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int s_argc = 1;
    static char s_szName[] = "lists_test";
    static char* s_argv[] = {s_szName, nullptr};
    return new QApplication(s_argc, s_argv);
  }();
  return *s_pApp;
}

CInboxTest::CInboxTest() {
  ListsTestApp();
  for (const char* pszFolder : {"data", "home", "host/Program"})
    std::filesystem::create_directories(m_root / pszFolder);
  for (const auto& [pszName, strValue] : std::initializer_list<std::pair<const char*, std::string>>{
           {"MIRETH_REGISTRY", (m_root / "settings.reg").string()}, {"XDG_CONFIG_HOME", (m_root / "config").string()},
           {"XDG_DATA_HOME", (m_root / "xdg-data").string()},       {"XDG_RUNTIME_DIR", m_root.string()},
           {"HOME", (m_root / "home").string()},                    {"MIRETH_LOCK_DIR", m_root.string()}})
    m_sandbox.SetEnv(pszName, strValue);
  CSMSTabbedDlg::SetPortProber({});
  CSMSTabbedDlg::SetPhoneFactory({});
  CSMSTabbedDlg::SetHostExecutablePath((m_root / "host/Program/HVDesktop.Exe").string());
}

CInboxTest::~CInboxTest() {
  if (m_pPhone) m_pPhone->Stop();
  m_pPhone.reset();
  CSMSTabbedDlg::SetHostExecutablePath({});
}

void CInboxTest::StartPhone(const std::vector<std::string>& messageLines,
                            const CVirtualPhoneFaults& faults) {
  const std::filesystem::path messages = m_root / "messages.txt";
  {
    std::ofstream out(messages, std::ios::trunc);
    for (const std::string& line : messageLines) out << line << "\n";
  }
  CVirtualPhoneConfig config;
  config.m_strMessagesFile = messages.string();
  config.m_faults = faults;
  m_pPhone = std::make_unique<CVirtualPhone>(config);
  std::string strError;
  ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
}

void CInboxTest::WriteSettings(const std::vector<std::string>& optionsLines,
                               const std::vector<std::string>& extraLines) {
  std::vector<std::string> lines = {"\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8",
                                    "\"Storage\"=dword:0000040e"};
  lines.insert(lines.end(), optionsLines.begin(), optionsLines.end());
  WriteWindowSettings(m_root / "settings.reg", lines, DataFolder(), m_bExportToCsv,
                      m_pPhone ? m_pPhone->GetSlavePath() : std::string("/nonexistent/tty"), extraLines);
}

std::unique_ptr<CSMSTabbedDlg> CInboxTest::OpenInbox() {
  auto pDlg = std::make_unique<CSMSTabbedDlg>();
  pDlg->show();
  pDlg->SetActivePage(&pDlg->GetInboxPage());
  EXPECT_EQ(pDlg->GetActivePage(), &pDlg->GetInboxPage());
  return pDlg;
}

CSortListCtrl* CInboxTest::List(CInboxPage& page) {
  return FindControl<CSortListCtrl>(&page, CInboxPage::IDC_LIST);
}
QPushButton* CInboxTest::GetButton(CInboxPage& page) {
  return FindControl<QPushButton>(&page, CInboxPage::IDC_GET_MESSAGES);
}
QPushButton* CInboxTest::DeleteButton(CInboxPage& page) {
  return FindControl<QPushButton>(&page, CInboxPage::IDC_DELETE);
}
QPlainTextEdit* CInboxTest::Detail(CInboxPage& page) {
  return FindControl<QPlainTextEdit>(&page, CInboxPage::IDC_MESSAGE_TEXT);
}
QLabel* CInboxTest::Status(CInboxPage& page) {
  return FindControl<QLabel>(&page, CInboxPage::IDC_STATUS);
}

void CInboxTest::ClickRow(CSortListCtrl* pList, int nRow, Qt::KeyboardModifiers modifiers) {
  const QRect cell = pList->visualRect(pList->model()->index(nRow, 1));
  QTest::mouseClick(pList->viewport(), Qt::LeftButton, modifiers, cell.center());
}

void CInboxTest::ClickHeader(CSortListCtrl* pList, int nColumn) {
  QHeaderView* pHeader = pList->horizontalHeader();
  const QPoint at(pHeader->sectionViewportPosition(nColumn) + pHeader->sectionSize(nColumn) / 2,
                  pHeader->height() / 2);
  QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void CInboxTest::ExpectRowsFollowMessages(CInboxPage& page) {
  CSortListCtrl* pList = List(page);
  ASSERT_EQ(static_cast<size_t>(pList->GetItemCount()), page.m_pMessages->size());
  for (int i = 0; i < pList->GetItemCount(); ++i) {
    const CMessage& m = *(*page.m_pMessages)[static_cast<size_t>(i)];
    EXPECT_EQ(pList->GetItemText(i, 0), m.m_strSenderName) << i;
    EXPECT_EQ(pList->GetItemText(i, 1), m.m_strNumber) << i;
    EXPECT_EQ(pList->GetItemText(i, 2), FormatListDateTime(m.m_dtDateTime)) << i;
    EXPECT_EQ(pList->GetItemText(i, 3), GetStorageText(m.m_nStorage)) << i;
  }
}
