// The plug-in's entry points with the host's library: registration, the command
// procedure, and the one-window guard (the per-user lock).
#include <fcntl.h>

#include <sys/file.h>
#include <unistd.h>

#include <QIcon>
#include <QTimer>

#include "WindowTestSupport.h"
#include "host/QVPlugin.h"
#include "shell/PluginEntry.h"
#include "shell/SingleInstance.h"

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
}
