// The plug-in's entry points with the host's library: registration, the command
// procedure, and the one-window guard (the per-user lock and the search of the X
// display by title).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QIcon>
#include <QTimer>
#include <cstring>

#include "ScriptedPromptService.h"
#include "ShellTestSupport.h"
#include "host/QVPlugin.h"
#include "res/StringTable.h"
#include "shell/PluginEntry.h"
#include "shell/SMSTabbedDlg.h"
#include "shell/SingleInstance.h"

#ifdef MIRETH_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace {

const char kOneInstance[] = "You can run only one instance of SMS at a time.";

// Holds the per-user lock as another process's window would.
class CForeignLock {
 public:
  CForeignLock() {
    m_fd = ::open(CSingleInstance::GetLockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    m_bHeld = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
  }
  ~CForeignLock() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  bool IsHeld() const { return m_bHeld; }

 private:
  int m_fd = -1;
  bool m_bHeld = false;
};

bool LockIsFree() {
  const int fd = ::open(CSingleInstance::GetLockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    return false;
  const bool bFree = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return bFree;
}

class PluginEntryTest : public CShellTest {
 protected:
  PluginEntryTest() {
    m_hPlugin = CreateQVPlugin();
    m_nHostValue = QVPlugin_GetHostValue(m_hPlugin);
    CSMSTabbedDlg::SetPortProber([this](const std::string&) {
      ++m_nProbes;
      return false;
    });
  }
  ~PluginEntryTest() override { QVPlugin_RemoveAll(); }

  int CountOneInstanceBoxes() const {
    int n = 0;
    for (const auto& box : m_prompt.m_boxes)
      if (box.strText == kOneInstance)
        ++n;
    return n;
  }

  CScriptedPromptService m_prompt;
  void* m_hPlugin = nullptr;
  int32_t m_nHostValue = 0;
  int m_nProbes = 0;
};

}  // namespace

TEST_F(PluginEntryTest, TheFactoryRegistersNameIconAndProcedure) {
  ASSERT_NE(m_hPlugin, nullptr);
  EXPECT_STREQ(QVPlugin_GetName(m_hPlugin), "Mireth");
  const QIcon* pIcon = QVPlugin_GetIcon(m_hPlugin);
  ASSERT_NE(pIcon, nullptr);
  EXPECT_TRUE(pIcon->availableSizes().contains(QSize(48, 48)));
  EXPECT_NE(m_nHostValue, 0);

  // Commands other than 1 go straight to the host's default procedure.
  EXPECT_EQ(QVPlugin_SendCommand(m_hPlugin, 7, 11, 0x1234), 7);
  QVPluginDefaultCall call{};
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&call));
  EXPECT_EQ(call.hostValue, m_nHostValue);
  EXPECT_EQ(call.command, 7);
  EXPECT_EQ(call.param1, 11);
  EXPECT_EQ(call.param2, 0x1234);
  EXPECT_EQ(m_nProbes, 0);  // no window was built
  EXPECT_TRUE(m_prompt.m_boxes.empty());
}

TEST_F(PluginEntryTest, ASecondWindowIsRefusedAndTheCommandStillReachesTheHost) {
  CForeignLock other;
  ASSERT_TRUE(other.IsHeld());
  const RecipientInfo info{"Ann", 1, "+447700900001"};
  const int32_t nResult = PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 5,
                                            reinterpret_cast<intptr_t>(&info));
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText, kOneInstance);
  EXPECT_EQ(m_prompt.m_boxes[0].strText, LoadString(132));
  EXPECT_EQ(m_prompt.m_boxes[0].nType & 0xF, static_cast<unsigned>(MB_OK));
  EXPECT_EQ(m_nProbes, 0);  // no window was built

  EXPECT_EQ(nResult, 1);
  QVPluginDefaultCall call{};
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&call));
  EXPECT_EQ(call.command, 1);
  EXPECT_EQ(call.param1, 5);
  EXPECT_EQ(call.param2, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(QVPlugin_GetClosedCount(m_hPlugin), 1);
}

TEST_F(PluginEntryTest, CommandOneRunsTheWindowAndHoldsTheGuardWhileItIsOpen) {
  const RecipientInfo info{"Bob", 1, "+447700900002"};
  bool bSeen = false;
  int32_t nNestedResult = -1;
  QTimer::singleShot(0, [&] {
    auto* pDlg = qobject_cast<CSMSTabbedDlg*>(QApplication::activeModalWidget());
    if (pDlg == nullptr) {
      ADD_FAILURE() << "no SMS window is open";
      if (auto* pOther = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        pOther->reject();
      return;
    }
    bSeen = true;
    EXPECT_EQ(pDlg->windowTitle(), QStringLiteral("SMS Message"));
    EXPECT_EQ(pDlg->GetHostName(), "Bob");
    EXPECT_EQ(pDlg->GetHostNumbers(), "+447700900002");
    EXPECT_FALSE(LockIsFree());
    // A second command 1 meanwhile is refused.
    nNestedResult = PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 0, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), pDlg);
    pDlg->reject();
  });
  const int32_t nResult =
      PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 0, reinterpret_cast<intptr_t>(&info));
  EXPECT_TRUE(bSeen);
  EXPECT_EQ(nResult, 1);
  EXPECT_EQ(nNestedResult, 1);
  EXPECT_EQ(CountOneInstanceBoxes(), 1);
  EXPECT_EQ(QVPlugin_GetClosedCount(m_hPlugin), 2);
  EXPECT_TRUE(LockIsFree());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // The window has ended its wait cursors.
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
}

TEST_F(PluginEntryTest, TheLockFileFollowsTheRuntimeFolder) {
  EXPECT_EQ(CSingleInstance::GetLockFilePath(), m_scratch / "mireth.lock");
  CEnvOverride noRuntime("XDG_RUNTIME_DIR", "");
  EXPECT_EQ(CSingleInstance::GetLockFilePath(), "/tmp/mireth-" + std::to_string(::getuid()) + ".lock");

  // The guard itself: one holder at a time, free again after release.
  CEnvOverride runtime("XDG_RUNTIME_DIR", m_scratch.Path().string());
  CSingleInstance first, second;
  EXPECT_TRUE(first.Acquire("SMS Message"));
  EXPECT_TRUE(first.IsHeld());
  EXPECT_FALSE(second.Acquire("SMS Message"));
  EXPECT_FALSE(second.IsHeld());
  first.Release();
  EXPECT_TRUE(second.Acquire("SMS Message"));
}

#ifdef MIRETH_HAVE_X11
namespace {

// A private X server for the test, started with -displayfd so that it says when it is
// ready; stopped by its process id.
class CXvfb {
 public:
  CXvfb() {
    int fds[2];
    if (::pipe(fds) != 0)
      return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(fds[0]);
      const std::string strFd = std::to_string(fds[1]);
      const int nNull = ::open("/dev/null", O_WRONLY);
      ::dup2(nNull, 2);
      ::execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-nolisten", "tcp", "-screen", "0",
               "320x240x24", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    if (m_pid < 0) {
      ::close(fds[0]);
      return;
    }
    std::string strNumber;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
      strNumber += c;
    ::close(fds[0]);
    if (!strNumber.empty())
      m_strDisplay = ":" + strNumber;
  }
  ~CXvfb() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  const std::string& Display() const { return m_strDisplay; }

 private:
  pid_t m_pid = -1;
  std::string m_strDisplay;
};

}  // namespace

TEST(SingleInstanceX11Test, FindsAMappedTopLevelWindowByItsExactTitle) {
  CXvfb server;
  if (server.Display().empty())
    GTEST_SKIP() << "Xvfb is not available";
  ::Display* pDisplay = XOpenDisplay(server.Display().c_str());
  ASSERT_NE(pDisplay, nullptr);
  const Window root = DefaultRootWindow(pDisplay);
  const std::string strDisplay = server.Display();

  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Message"));

  // A window named only by WM_NAME (Latin-1), as older toolkits name theirs.
  const Window legacy = XCreateSimpleWindow(pDisplay, root, 0, 0, 50, 50, 0, 0, 0);
  XStoreName(pDisplay, legacy, "SMS Message");
  XSync(pDisplay, False);
  // Not mapped yet: not a window anyone can see.
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Message"));
  XMapWindow(pDisplay, legacy);
  XSync(pDisplay, False);
  EXPECT_TRUE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Message"));
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Messag"));
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Message 2"));
  XDestroyWindow(pDisplay, legacy);
  XSync(pDisplay, False);
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "SMS Message"));

  // A window named by _NET_WM_NAME in UTF-8, inside a frame as a window manager
  // would put it.
  const Window frame = XCreateSimpleWindow(pDisplay, root, 0, 0, 60, 60, 0, 0, 0);
  const Window client = XCreateSimpleWindow(pDisplay, frame, 2, 2, 50, 50, 0, 0, 0);
  const std::string strTitle = "Nachricht \xC3\xBC";
  const Atom atomName = XInternAtom(pDisplay, "_NET_WM_NAME", False);
  const Atom atomUtf8 = XInternAtom(pDisplay, "UTF8_STRING", False);
  XChangeProperty(pDisplay, client, atomName, atomUtf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(strTitle.data()),
                  static_cast<int>(strTitle.size()));
  XMapWindow(pDisplay, client);
  XMapWindow(pDisplay, frame);
  XSync(pDisplay, False);
  EXPECT_TRUE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), strTitle));
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), "Nachricht"));
  XCloseDisplay(pDisplay);

  // A display that cannot be opened finds nothing.
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(":987", "SMS Message"));
}
#endif
