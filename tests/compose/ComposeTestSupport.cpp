#include "ComposeTestSupport.h"

#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "vphone/SmsPdu.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& ComposeTestApp() {
  static QApplication* s_pApp = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int s_argc = 1;
    static char s_szName[] = "compose_page_test";
    static char* s_argv[] = {s_szName, nullptr};
    return new QApplication(s_argc, s_argv);
  }();
  return *s_pApp;
}

// Read with the virtual phone's own PDU parser, which shares no code with the
// encoder under test.
std::optional<CSubmitPdu> ReadSubmitPdu(const std::string& strHex) {
  vphone::Octets octets;
  vphone::CSmsPdu parsed;
  if (!vphone::CSmsPdu::FromHex(strHex, octets) || !parsed.Parse(octets, vphone::CSmsPdu::eSubmit))
    return std::nullopt;
  CSubmitPdu pdu;
  pdu.nFirstOctet = parsed.m_nFirstOctet;
  pdu.strAddressField = vphone::CSmsPdu::ToHex(vphone::Octets(octets.begin() + parsed.m_nAddressOffset,
                                                              octets.begin() + parsed.m_nAddressOffset + parsed.m_nAddressSize));
  pdu.nPid = parsed.m_nPid;
  pdu.nDcs = parsed.m_nDcs;
  if (((parsed.m_nFirstOctet >> 3) & 0x03) == 2)  // TP-VPF relative: one octet before TP-UDL
    pdu.nRelativeValidity = octets[parsed.m_nUdlOffset - 1];
  pdu.nUdl = parsed.m_nUdl;
  pdu.strUserData = vphone::CSmsPdu::ToHex(vphone::Octets(octets.begin() + parsed.m_nUdlOffset + 1, octets.end()));
  return pdu;
}

CComposeTest::CComposeTest() {
  ComposeTestApp();
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
  QGuiApplication::clipboard()->clear();
}

CComposeTest::~CComposeTest() {
  if (m_pPhone)
    m_pPhone->Stop();
  m_pPhone.reset();
  CSMSTabbedDlg::SetHostExecutablePath({});
}

void CComposeTest::StartPhone(const CVirtualPhoneConfig& config) {
  m_pPhone = std::make_unique<CVirtualPhone>(config);
  std::string strError;
  ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
}

void CComposeTest::WriteSettings(const std::vector<std::string>& optionsLines,
                                 const std::vector<std::string>& extraLines) {
  std::vector<std::string> lines = {"\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8"};
  lines.insert(lines.end(), optionsLines.begin(), optionsLines.end());
  WriteWindowSettings(m_root / "settings.reg", lines, DataFolder(), m_bExportToCsv,
                      m_pPhone ? m_pPhone->GetSlavePath() : std::string("/nonexistent/tty"), extraLines);
}

std::unique_ptr<CSMSTabbedDlg> CComposeTest::OpenWindow(const RecipientInfo* pRecipient) {
  auto pDlg = std::make_unique<CSMSTabbedDlg>(pRecipient);
  pDlg->show();
  return pDlg;
}

void CComposeTest::Type(QWidget* pWidget, const QString& strText) {
  for (const QChar c : strText) {
    if (c == u'\n')
      QTest::keyClick(pWidget, Qt::Key_Return);
    else if (c.unicode() < 0x80)
      QTest::keyClick(pWidget, c.toLatin1());
    else
      QTest::sendKeyEvent(QTest::Click, pWidget, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c), Qt::NoModifier);
  }
}

void CComposeTest::Choose(QComboBox* pList, int nIndex) {
  // The arrow keys of a closed list move its selection one item at a time and tell
  // the page, as the user's choice does.
  pList->setFocus();
  while (pList->currentIndex() < nIndex)
    QTest::keyClick(pList, Qt::Key_Down);
  while (pList->currentIndex() > nIndex)
    QTest::keyClick(pList, Qt::Key_Up);
}

void CComposeTest::Paste(QWidget* pWidget, const QString& strText) {
  QGuiApplication::clipboard()->setText(strText);
  QTest::keyClick(pWidget, Qt::Key_V, Qt::ControlModifier);
}

std::vector<std::string> CComposeTest::Logged(const std::string& strKind) const {
  std::vector<std::string> lines;
  for (const std::string& line : m_pPhone->GetLog())
    if (line.rfind(strKind, 0) == 0)
      lines.push_back(line.substr(strKind.size()));
  return lines;
}

bool CComposeTest::WaitForPdus(size_t n) const {
  return m_pPhone->WaitForLog(
      [n](const std::vector<std::string>& log) {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const std::string& line) {
                 return line.rfind("PDU ", 0) == 0;
               })) >= n;
      },
      5000);
}
