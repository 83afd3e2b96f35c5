#include "ShellTestSupport.h"

#include <unistd.h>

#include <atomic>

#include "shell/SMSTabbedDlg.h"

namespace {

// The application lives from the first test that needs it to the end of the program,
// and goes before the program ends, with everything it holds.
QApplication* g_pApp = nullptr;

class CAppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_pApp;
    g_pApp = nullptr;
  }
};

const ::testing::Environment* const g_pEnvironment =
    ::testing::AddGlobalTestEnvironment(new CAppEnvironment);

}  // namespace

QApplication& TestApp() {
  if (g_pApp == nullptr) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int s_argc = 1;
    static char s_szName[] = "shell_test";
    static char* s_argv[] = {s_szName, nullptr};
    g_pApp = new QApplication(s_argc, s_argv);
  }
  return *g_pApp;
}

CScratchFolder::CScratchFolder() {
  static std::atomic<int> s_nCount{0};
  m_path = std::filesystem::temp_directory_path() /
           ("mireth-shell-" + std::to_string(::getpid()) + "-" + std::to_string(s_nCount++));
  std::filesystem::remove_all(m_path);
  std::filesystem::create_directories(m_path);
  // Private, as a runtime folder must be.
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
}

CScratchFolder::~CScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

CEnvOverride::CEnvOverride(const char* pszName, const std::string& strValue) : m_strName(pszName) {
  const char* pszOld = std::getenv(pszName);
  m_bHadOld = pszOld != nullptr;
  if (m_bHadOld)
    m_strOld = pszOld;
  ::setenv(pszName, strValue.c_str(), 1);
}

CEnvOverride::~CEnvOverride() {
  if (m_bHadOld)
    ::setenv(m_strName.c_str(), m_strOld.c_str(), 1);
  else
    ::unsetenv(m_strName.c_str());
}

CShellTest::CShellTest()
    : m_registry("MIRETH_REGISTRY", m_scratch / "settings.reg"),
      m_dataHome("XDG_DATA_HOME", m_scratch / "xdg-data"),
      m_runtime("XDG_RUNTIME_DIR", m_scratch.Path().string()),
      m_home("HOME", m_scratch / "home") {
  TestApp();
  CSMSTabbedDlg::SetPortProber([](const std::string&) { return false; });
  CSMSTabbedDlg::SetPhoneFactory({});
  CSMSTabbedDlg::SetHostExecutablePath(m_scratch / "host/Program/HVDesktop.Exe");
  std::filesystem::create_directories(m_scratch.Path() / "host/Program");
}

CShellTest::~CShellTest() {
  CSMSTabbedDlg::SetPortProber({});
  CSMSTabbedDlg::SetPhoneFactory({});
  CSMSTabbedDlg::SetHostExecutablePath({});
}

void CShellTest::WriteRegistry(const std::vector<std::string>& lines) {
  std::ofstream out(RegistryPath(), std::ios::binary | std::ios::trunc);
  out << "Windows Registry Editor Version 5.00\r\n\r\n";
  for (const std::string& line : lines)
    out << line << "\r\n";
}
