// The plug-in's entry points with the host's library: registration, the command
// procedure, and the one-window guard (the per-user lock and the search of the X
// display by title).
#include <fcntl.h>

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QIcon>
#include <QTimer>

#include "WindowTestSupport.h"
#include "host/QVPlugin.h"
#include "shell/PluginEntry.h"
#include "shell/SingleInstance.h"

#ifdef MIRETH_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace {

const char kOneInstance[] = "You can run only one instance of SMS at a time.";

// The per-user lock taken as another process's window takes it; fd is -1 when it
// is held elsewhere.
struct CForeignLock {
  int fd = ::open(CSingleInstance::GetLockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  CForeignLock() {
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
      ::close(std::exchange(fd, -1));
  }
  ~CForeignLock() {
    if (fd >= 0)
      ::close(fd);
  }
};

bool LockIsFree() { return CForeignLock().fd >= 0; }

class PluginEntryTest : public CWindowTest {
 protected:
  PluginEntryTest() : m_hPlugin(CreateQVPlugin()), m_nHostValue(QVPlugin_GetHostValue(m_hPlugin)) {
    CSMSTabbedDlg::SetPortProber([this](const std::string&) { return ++m_nProbes, false; });
  }
  ~PluginEntryTest() override { QVPlugin_RemoveAll(); }

  void* m_hPlugin;
  int32_t m_nHostValue;
  int m_nProbes = 0;
};

}  // namespace

TEST_F(PluginEntryTest, TheFactoryRegistersNameIconAndProcedure) {
  ASSERT_NE(m_hPlugin, nullptr);
  EXPECT_STREQ(QVPlugin_GetName(m_hPlugin), "Mireth");
  ASSERT_NE(QVPlugin_GetIcon(m_hPlugin), nullptr);
  EXPECT_TRUE(QVPlugin_GetIcon(m_hPlugin)->availableSizes().contains(QSize(48, 48)));
  // Commands other than 1 go straight to the host's default procedure.
  EXPECT_EQ(QVPlugin_SendCommand(m_hPlugin, 7, 11, 0x1234), 7);
  QVPluginDefaultCall call{};
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&call));
  EXPECT_EQ(call.hostValue, m_nHostValue);
  EXPECT_EQ((std::vector<int64_t>{call.command, call.param1, call.param2}),
            (std::vector<int64_t>{7, 11, 0x1234}));
  EXPECT_EQ(m_nProbes, 0);  // no window was built
}

TEST_F(PluginEntryTest, ASecondWindowIsRefusedAndTheCommandStillReachesTheHost) {
  CForeignLock other;
  ASSERT_GE(other.fd, 0);
  const RecipientInfo info{"Ann", 1, "+447700900001"};
  const int32_t nResult =
      PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 5, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(m_prompt.BoxTexts(), std::vector<std::string>{kOneInstance});
  EXPECT_EQ(m_nProbes, 0);  // no window was built
  EXPECT_EQ(nResult, 1);
  QVPluginDefaultCall call{};
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&call));
  EXPECT_EQ((std::vector<int64_t>{call.command, call.param1, call.param2}),
            (std::vector<int64_t>{1, 5, reinterpret_cast<intptr_t>(&info)}));
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
    EXPECT_EQ(pDlg->GetHostNumbers(), "+447700900002");
    EXPECT_FALSE(LockIsFree());
    // A second command 1 meanwhile is refused.
    nNestedResult = PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 0, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), pDlg);
    pDlg->reject();
  });
  EXPECT_EQ(PluginCommandProc(m_nHostValue, QVPLUGIN_CMD_OPEN, 0, reinterpret_cast<intptr_t>(&info)), 1);
  EXPECT_TRUE(bSeen);
  EXPECT_EQ(nNestedResult, 1);
  // The refusal is shown once (the first-run Options page may add its own reminder).
  EXPECT_EQ(std::count_if(m_prompt.m_boxes.begin(), m_prompt.m_boxes.end(),
                          [](const auto& box) { return box.strText == kOneInstance; }),
            1);
  EXPECT_EQ(QVPlugin_GetClosedCount(m_hPlugin), 2);
  EXPECT_TRUE(LockIsFree());
}

TEST_F(PluginEntryTest, TheLockFileFollowsTheRuntimeFolder) {
  EXPECT_EQ(CSingleInstance::GetLockFilePath(), Path("mireth.lock"));
  m_sandbox.SetEnv("XDG_RUNTIME_DIR", "");
  EXPECT_EQ(CSingleInstance::GetLockFilePath(), "/tmp/mireth-" + std::to_string(::getuid()) + ".lock");
  // The guard itself: one holder at a time, free again after release.
  m_sandbox.SetEnv("XDG_RUNTIME_DIR", m_root.string());
  CSingleInstance first, second;
  EXPECT_TRUE(first.Acquire("SMS Message"));
  EXPECT_FALSE(second.Acquire("SMS Message"));
  first.Release();
  EXPECT_TRUE(second.Acquire("SMS Message"));
}

#ifdef MIRETH_HAVE_X11
TEST(SingleInstanceX11Test, FindsAMappedTopLevelWindowByItsExactTitle) {
  // A private X server, started with -displayfd so that it says when it is ready.
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const std::string strFd = std::to_string(fds[1]);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(::open("/dev/null", O_WRONLY), 2);
    ::execlp("Xvfb", "Xvfb", "-displayfd", strFd.c_str(), "-nolisten", "tcp", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  std::string strDisplay = ":";
  for (char c; ::read(fds[0], &c, 1) == 1 && c != '\n';)
    strDisplay += c;
  ::close(fds[0]);
  ::Display* pDisplay = strDisplay.size() > 1 ? XOpenDisplay(strDisplay.c_str()) : nullptr;
  auto found = [&](const std::string& strTitle) {
    return CSingleInstance::FindX11WindowByTitle(strDisplay.c_str(), strTitle);
  };
  if (pDisplay != nullptr) {
    // A window named by _NET_WM_NAME in UTF-8, inside a frame as a window manager
    // puts it: found once mapped, and only by its exact title.
    const Window frame = XCreateSimpleWindow(pDisplay, DefaultRootWindow(pDisplay), 0, 0, 60, 60, 0, 0, 0);
    const Window client = XCreateSimpleWindow(pDisplay, frame, 2, 2, 50, 50, 0, 0, 0);
    const std::string strTitle = "SMS Message \xC3\xBC";
    XChangeProperty(pDisplay, client, XInternAtom(pDisplay, "_NET_WM_NAME", False),
                    XInternAtom(pDisplay, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strTitle.data()),
                    static_cast<int>(strTitle.size()));
    XSync(pDisplay, False);
    EXPECT_FALSE(found(strTitle));
    XMapWindow(pDisplay, client);
    XMapWindow(pDisplay, frame);
    XSync(pDisplay, False);
    EXPECT_TRUE(found(strTitle));
    EXPECT_FALSE(found("SMS Message"));
    EXPECT_FALSE(found(strTitle + " 2"));
    // A window named only by WM_NAME, as older toolkits name theirs.
    const Window legacy = XCreateSimpleWindow(pDisplay, DefaultRootWindow(pDisplay), 0, 0, 50, 50, 0, 0, 0);
    XStoreName(pDisplay, legacy, "Other");
    XMapWindow(pDisplay, legacy);
    XSync(pDisplay, False);
    EXPECT_TRUE(found("Other"));
    XCloseDisplay(pDisplay);
  }
  if (pid > 0) {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
  }
  if (pDisplay == nullptr)
    GTEST_SKIP() << "Xvfb is not available";
  EXPECT_FALSE(CSingleInstance::FindX11WindowByTitle(":987", "SMS Message"));  // no such display
}
#endif
