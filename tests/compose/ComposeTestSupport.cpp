#include "ComposeTestSupport.h"

#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTest>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

QApplication& ComposeTestApp() {
  static QApplication* s_pApp = [] {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int s_argc = 1;
    static char s_szName[] = "compose_page_test";
    static char* s_argv[] = {s_szName, nullptr};
    return new QApplication(s_argc, s_argv);
  }();
  return *s_pApp;
}

int CRecordingPrompt::MessageBox(const std::string& text, const std::string& caption,
                                 unsigned int type) {
  m_boxes.push_back({text, caption, type});
  if ((type & 0xF) != MB_YESNO) return IDOK;
  if (m_answers.empty()) return IDYES;
  const int nAnswer = m_answers.front();
  m_answers.pop_front();
  return nAnswer;
}

namespace {

int HexByte(const std::string& strHex, size_t& nPos) {
  if (nPos + 2 > strHex.size()) return -1;
  const std::string strByte = strHex.substr(nPos, 2);
  char* pEnd = nullptr;
  const long n = std::strtol(strByte.c_str(), &pEnd, 16);
  if (pEnd != strByte.c_str() + 2) return -1;
  nPos += 2;
  return static_cast<int>(n);
}

}  // namespace

std::optional<CSubmitPdu> ReadSubmitPdu(const std::string& strHex) {
  size_t nPos = 0;
  const int nScaLength = HexByte(strHex, nPos);
  if (nScaLength < 0) return std::nullopt;
  nPos += static_cast<size_t>(nScaLength) * 2;
  CSubmitPdu pdu;
  pdu.nFirstOctet = HexByte(strHex, nPos);
  if (pdu.nFirstOctet < 0 || (pdu.nFirstOctet & 0x03) != 0x01) return std::nullopt;
  if (HexByte(strHex, nPos) < 0)  // TP-MR
    return std::nullopt;
  const size_t nAddressStart = nPos;
  const int nDigits = HexByte(strHex, nPos);
  if (nDigits < 0 || HexByte(strHex, nPos) < 0) return std::nullopt;
  nPos += static_cast<size_t>((nDigits + 1) / 2) * 2;
  if (nPos > strHex.size()) return std::nullopt;
  pdu.strAddressField = strHex.substr(nAddressStart, nPos - nAddressStart);
  pdu.nPid = HexByte(strHex, nPos);
  pdu.nDcs = HexByte(strHex, nPos);
  if (pdu.nPid < 0 || pdu.nDcs < 0) return std::nullopt;
  switch ((pdu.nFirstOctet >> 3) & 0x03) {
    case 0:
      break;
    case 2:
      pdu.nRelativeValidity = HexByte(strHex, nPos);
      if (*pdu.nRelativeValidity < 0) return std::nullopt;
      break;
    default:  // enhanced or absolute: seven octets
      nPos += 14;
      break;
  }
  pdu.nUdl = HexByte(strHex, nPos);
  if (pdu.nUdl < 0 || nPos > strHex.size()) return std::nullopt;
  pdu.strUserData = strHex.substr(nPos);
  return pdu;
}

CComposeTest::CComposeTest() {
  ComposeTestApp();
  static std::atomic<int> s_nCount{0};
  m_root = std::filesystem::temp_directory_path() /
           ("mireth-compose-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCount++));
  std::filesystem::remove_all(m_root);
  std::filesystem::create_directories(m_root / "data");
  std::filesystem::create_directories(m_root / "home");
  std::filesystem::create_directories(m_root / "host/Program");
  const std::pair<const char*, std::string> env[] = {
      {"MIRETH_REGISTRY", (m_root / "settings.reg").string()},
      {"XDG_CONFIG_HOME", (m_root / "config").string()},
      {"XDG_DATA_HOME", (m_root / "xdg-data").string()},
      {"XDG_RUNTIME_DIR", m_root.string()},
      {"HOME", (m_root / "home").string()},
      {"MIRETH_LOCK_DIR", m_root.string()},
  };
  for (const auto& [pszName, strValue] : env) {
    const char* pszOld = std::getenv(pszName);
    m_oldEnv.emplace_back(pszName,
                          pszOld != nullptr ? std::optional<std::string>(pszOld) : std::nullopt);
    ::setenv(pszName, strValue.c_str(), 1);
  }
  CSMSTabbedDlg::SetPortProber({});
  CSMSTabbedDlg::SetPhoneFactory({});
  CSMSTabbedDlg::SetHostExecutablePath((m_root / "host/Program/HVDesktop.Exe").string());
  QGuiApplication::clipboard()->clear();
}

CComposeTest::~CComposeTest() {
  if (m_pPhone) m_pPhone->Stop();
  m_pPhone.reset();
  CSMSTabbedDlg::SetHostExecutablePath({});
  for (auto it = m_oldEnv.rbegin(); it != m_oldEnv.rend(); ++it) {
    if (it->second)
      ::setenv(it->first.c_str(), it->second->c_str(), 1);
    else
      ::unsetenv(it->first.c_str());
  }
  std::error_code ec;
  std::filesystem::remove_all(m_root, ec);
}

void CComposeTest::StartPhone(const CVirtualPhoneConfig& config) {
  m_pPhone = std::make_unique<CVirtualPhone>(config);
  std::string strError;
  ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
}

void CComposeTest::WriteSettings(const std::vector<std::string>& optionsLines,
                                 const std::vector<std::string>& extraLines) {
  std::ofstream out(m_root / "settings.reg", std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\r\n\r\n";
  out << "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n";
  out << "\"COM Port\"=\"COM3\"\r\n";
  out << "\"Time Out\"=dword:00000bb8\r\n";
  for (const std::string& line : optionsLines) out << line << "\r\n";
  out << "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]\r\n";
  out << "\"Data Folder\"=\"" << DataFolder() << "\"\r\n";
  out << "\"Export To CSV\"=dword:0000000" << (m_bExportToCsv ? 1 : 0) << "\r\n";
  out << "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]\r\n";
  out << "\"COM3\"=\"" << (m_pPhone ? m_pPhone->GetSlavePath() : std::string("/nonexistent/tty"))
      << "\"\r\n";
  for (const std::string& line : extraLines) out << line << "\r\n";
}

std::unique_ptr<CSMSTabbedDlg> CComposeTest::OpenWindow(const RecipientInfo* pRecipient) {
  auto pDlg = std::make_unique<CSMSTabbedDlg>(pRecipient);
  pDlg->show();
  return pDlg;
}

std::string CComposeTest::ReadFile(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

QComboBox* CComposeTest::NameList(CComposePage& page) {
  return FindControl<QComboBox>(&page, CComposePage::IDC_NAME);
}
QComboBox* CComposeTest::NumberList(CComposePage& page) {
  return FindControl<QComboBox>(&page, CComposePage::IDC_NUMBER);
}
QComboBox* CComposeTest::PresetList(CComposePage& page) {
  return FindControl<QComboBox>(&page, CComposePage::IDC_PRESET);
}
QComboBox* CComposeTest::LifetimeList(CComposePage& page) {
  return FindControl<QComboBox>(&page, CComposePage::IDC_LIFETIME);
}
CMessageEdit* CComposeTest::MessageEdit(CComposePage& page) {
  return FindControl<CMessageEdit>(&page, CComposePage::IDC_MESSAGE);
}
QLabel* CComposeTest::Counter(CComposePage& page) {
  return FindControl<QLabel>(&page, CComposePage::IDC_CHARACTER_COUNT);
}
QPushButton* CComposeTest::SendButton(CComposePage& page) {
  return FindControl<QPushButton>(&page, CComposePage::IDC_SEND);
}
QRadioButton* CComposeTest::MobilePhoneButton(CComposePage& page) {
  return FindControl<QRadioButton>(&page, CComposePage::IDC_MOBILE_PHONE);
}
QRadioButton* CComposeTest::SimCardButton(CComposePage& page) {
  return FindControl<QRadioButton>(&page, CComposePage::IDC_SIM_CARD);
}

void CComposeTest::Type(QWidget* pWidget, const QString& strText) {
  for (const QChar c : strText) {
    if (c == u'\n') {
      QTest::keyClick(pWidget, Qt::Key_Return);
    } else if (c.unicode() < 0x80) {
      QTest::keyClick(pWidget, c.toLatin1());
    } else {
      const Qt::Key key = static_cast<Qt::Key>(c.toUpper().unicode());
      QTest::sendKeyEvent(QTest::Click, pWidget, key, QString(c), Qt::NoModifier);
    }
  }
}

void CComposeTest::Choose(QComboBox* pList, int nIndex) {
  // The arrow keys of a closed list move its selection one item at a time and tell
  // the page, as the user's choice does.
  pList->setFocus();
  while (pList->currentIndex() < nIndex) QTest::keyClick(pList, Qt::Key_Down);
  while (pList->currentIndex() > nIndex) QTest::keyClick(pList, Qt::Key_Up);
}

void CComposeTest::Paste(QWidget* pWidget, const QString& strText) {
  QGuiApplication::clipboard()->setText(strText);
  QTest::keyClick(pWidget, Qt::Key_V, Qt::ControlModifier);
}

std::vector<std::string> CComposeTest::LoggedPdus() const {
  std::vector<std::string> pdus;
  for (const std::string& line : m_pPhone->GetLog()) {
    if (line.rfind("PDU ", 0) == 0) pdus.push_back(line.substr(4));
  }
  return pdus;
}

std::vector<std::string> CComposeTest::LoggedCommands() const {
  std::vector<std::string> commands;
  for (const std::string& line : m_pPhone->GetLog()) {
    if (line.rfind("CMD ", 0) == 0) commands.push_back(line.substr(4));
  }
  return commands;
}

bool CComposeTest::WaitForPdus(size_t n) const {
  return m_pPhone->WaitForLog(
      [n](const std::vector<std::string>& log) {
        size_t nPdus = 0;
        for (const std::string& line : log) nPdus += line.rfind("PDU ", 0) == 0 ? 1 : 0;
        return nPdus >= n;
      },
      5000);
}
