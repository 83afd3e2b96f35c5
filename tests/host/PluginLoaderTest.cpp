// Loading plug-ins with the host's loader, and the launcher window's list of them.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QIcon>
#include <QListWidget>
#include <QStatusBar>

#include <string>
#include <vector>

#include "host/DesktopWindow.h"
#include "host/PluginLoader.h"
#include "host/QVPlugin.h"
#include "tests/host/TestPlugin.h"

namespace {

// The call log of a test plug-in that is loaded already.
struct PluginLog {
  explicit PluginLog(const char* pszPath) {
    m_lib = dlopen(pszPath, RTLD_NOW | RTLD_NOLOAD);
    if (m_lib == nullptr) return;
    count = reinterpret_cast<TestPluginGetCallCountFn>(dlsym(m_lib, "TestPlugin_GetCallCount"));
    get = reinterpret_cast<TestPluginGetCallFn>(dlsym(m_lib, "TestPlugin_GetCall"));
    reset = reinterpret_cast<TestPluginResetFn>(dlsym(m_lib, "TestPlugin_Reset"));
  }
  ~PluginLog() {
    if (m_lib != nullptr) dlclose(m_lib);  // drops only the reference taken above
  }
  bool IsValid() const { return count && get && reset; }

  TestPluginGetCallCountFn count = nullptr;
  TestPluginGetCallFn get = nullptr;
  TestPluginResetFn reset = nullptr;

 private:
  void* m_lib = nullptr;
};

bool HasErrorAbout(const CPluginLoader& loader, const std::string& path, const std::string& what) {
  for (const std::string& e : loader.GetErrors())
    if (e.rfind(path, 0) == 0 && e.find(what) != std::string::npos) return true;
  return false;
}

class PluginLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { QVPlugin_RemoveAll(); }
  void TearDown() override { QVPlugin_RemoveAll(); }
};

TEST_F(PluginLoaderTest, LoadedPluginRegistersAndReceivesCommands) {
  CPluginLoader loader;
  const std::vector<void*> handles = loader.Load(TEST_PLUGIN_ALPHA);
  ASSERT_EQ(handles.size(), 1u) << (loader.GetErrors().empty() ? "" : loader.GetErrors()[0]);
  EXPECT_TRUE(loader.GetErrors().empty());
  void* h = handles[0];
  EXPECT_EQ(QVPlugin_GetCount(), 1);
  EXPECT_STREQ(QVPlugin_GetName(h), "Alpha");
  const QIcon* pIcon = QVPlugin_GetIcon(h);
  ASSERT_NE(pIcon, nullptr);
  EXPECT_TRUE(pIcon->availableSizes().contains(QSize(48, 48)));

  PluginLog log(TEST_PLUGIN_ALPHA);
  ASSERT_TRUE(log.IsValid());
  log.reset();

  // Command 1 carries the recipient to the plug-in; the plug-in passes the command on
  // to the default procedure and returns its answer.
  const RecipientInfo info{"Ann Lee", 2, "a\r\nb"};
  EXPECT_EQ(QVPlugin_SendCommand(h, 1, 0, reinterpret_cast<intptr_t>(&info)), 1);
  ASSERT_EQ(log.count(), 1);
  const TestPluginCall* c = log.get(0);
  EXPECT_EQ(c->hostValue, QVPlugin_GetHostValue(h));
  EXPECT_EQ(c->command, 1);
  ASSERT_TRUE(c->bRecipient);
  EXPECT_STREQ(c->szName, "Ann Lee");
  EXPECT_EQ(c->nCount, 2);
  EXPECT_STREQ(c->szNumbers, "a\r\nb");
  EXPECT_EQ(c->result, 1);
  EXPECT_EQ(QVPlugin_GetClosedCount(h), 1);

  // The same file by another path is not loaded twice.
  const std::string other = std::string(TEST_PLUGIN_DIR) + "/./" +
                            std::string(TEST_PLUGIN_ALPHA).substr(std::string(TEST_PLUGIN_DIR).size() + 1);
  EXPECT_TRUE(loader.Load(other).empty());
  EXPECT_TRUE(loader.GetErrors().empty());
  EXPECT_EQ(QVPlugin_GetCount(), 1);
}

TEST_F(PluginLoaderTest, FailuresAreReportedAndFolderScanLoadsTheRest) {
  CPluginLoader loader;
  const std::string missing = std::string(TEST_PLUGIN_DIR) + "/libnothing-here.so";
  EXPECT_TRUE(loader.Load(missing).empty());
  EXPECT_TRUE(HasErrorAbout(loader, missing, "No such file"));

  EXPECT_TRUE(loader.Load(TEST_PLUGIN_NONE).empty());
  EXPECT_TRUE(HasErrorAbout(loader, TEST_PLUGIN_NONE, "not a plug-in"));
  EXPECT_TRUE(loader.Load(TEST_PLUGIN_SILENT).empty());
  EXPECT_TRUE(HasErrorAbout(loader, TEST_PLUGIN_SILENT, "did not register"));
  EXPECT_EQ(QVPlugin_GetCount(), 0);

  // The folder holds Alpha, Beta and the two duds; the plug-ins register in file-name
  // order, the duds are reported again by a fresh loader.
  CPluginLoader scanner;
  const std::vector<void*> handles = scanner.LoadFolder(TEST_PLUGIN_DIR);
  ASSERT_EQ(handles.size(), 2u);
  EXPECT_STREQ(QVPlugin_GetName(handles[0]), "Alpha");
  EXPECT_STREQ(QVPlugin_GetName(handles[1]), "Beta");
  EXPECT_EQ(scanner.GetErrors().size(), 2u);
  EXPECT_TRUE(HasErrorAbout(scanner, TEST_PLUGIN_NONE, "not a plug-in"));
  EXPECT_TRUE(HasErrorAbout(scanner, TEST_PLUGIN_SILENT, "did not register"));

  // A folder that does not exist holds no plug-ins and is no error.
  EXPECT_TRUE(scanner.LoadFolder(std::string(TEST_PLUGIN_DIR) + "/no-such-folder").empty());
  EXPECT_EQ(scanner.GetErrors().size(), 2u);
}

TEST_F(PluginLoaderTest, WindowListsPluginsAndOpensTheActivatedOne) {
  CPluginLoader loader;
  ASSERT_EQ(loader.LoadFolder(TEST_PLUGIN_DIR).size(), 2u);
  PluginLog logBeta(TEST_PLUGIN_BETA);
  ASSERT_TRUE(logBeta.IsValid());
  logBeta.reset();

  const RecipientInfo info{"Bo", 1, "+4711"};
  CDesktopWindow window(&info);
  window.ShowPlugins(loader.GetErrors());
  QListWidget* pList = window.GetList();
  ASSERT_EQ(pList->count(), 2);
  EXPECT_EQ(pList->item(0)->text(), QStringLiteral("Alpha"));
  EXPECT_EQ(pList->item(1)->text(), QStringLiteral("Beta"));
  EXPECT_FALSE(pList->item(1)->icon().isNull());
  EXPECT_EQ(window.windowTitle(), QStringLiteral("HVDesktop"));

  // Activating Beta's entry sends command 1 with the recipient to Beta only.
  emit pList->itemActivated(pList->item(1));
  ASSERT_EQ(logBeta.count(), 1);
  EXPECT_EQ(logBeta.get(0)->command, 1);
  EXPECT_STREQ(logBeta.get(0)->szName, "Bo");
  EXPECT_EQ(logBeta.get(0)->nCount, 1);
  EXPECT_STREQ(logBeta.get(0)->szNumbers, "+4711");
  EXPECT_TRUE(window.statusBar()->currentMessage().contains(QStringLiteral("Beta")));
  EXPECT_EQ(QVPlugin_GetClosedCount(QVPlugin_GetHandle(0)), 0);
  EXPECT_EQ(QVPlugin_GetClosedCount(QVPlugin_GetHandle(1)), 1);
}

}  // namespace
