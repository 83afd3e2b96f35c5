// The host's plug-in table and default procedure (libqvplugin), the plug-in loader,
// where it looks for plug-ins when none is named and which copy of a plug-in wins,
// the launcher window's list, and HVDesktop's command line.
#include <gtest/gtest.h>

#include <QIcon>
#include <QListWidget>
#include <QPixmap>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "host/DesktopWindow.h"
#include "host/HostOptions.h"
#include "host/PluginLoader.h"
#include "tests/host/HostTestSupport.h"

namespace {

// Every plug-in and trace line goes with the test that made it.
class HostApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QVPlugin_RemoveAll();
    setenv("TEST_PLUGIN_TRACE", m_trace.Path().c_str(), 1);
  }
  void TearDown() override { QVPlugin_RemoveAll(); }
  CTraceFile m_trace;
};

TEST_F(HostApiTest, RegistrationKeepsNameIconAndOrder) {
  char name[] = "Alpha";
  void* h1 = QVPlugin_Create(name, nullptr, QVPlugin_DefCommandProc);
  std::strcpy(name, "XXXXX");  // the host keeps its own copy of the name
  QPixmap pixmap(48, 48);
  auto* pIcon = new QIcon(pixmap);
  void* h2 = QVPlugin_Create("Beta", pIcon, QVPlugin_DefCommandProc);
  const QIcon* pNone = nullptr;
  void* hNone = nullptr;
  EXPECT_EQ(std::make_tuple(std::string(QVPlugin_GetName(h1)), QVPlugin_GetIcon(h1), QVPlugin_GetIcon(h2),
                            QVPlugin_GetCount(), QVPlugin_GetHandle(1), QVPlugin_GetHandle(2),
                            QVPlugin_GetHandle(-1)),
            std::make_tuple(std::string("Alpha"), pNone, pIcon, 2, h2, hNone, hNone));
  // Incomplete registrations are refused; the icon handed over is still disposed of
  // (the leak checker of the sanitizer build would see it otherwise).
  EXPECT_EQ(QVPlugin_Create(nullptr, new QIcon(pixmap), QVPlugin_DefCommandProc), nullptr);
  EXPECT_EQ(QVPlugin_Create("Gamma", new QIcon(pixmap), nullptr), nullptr);
  EXPECT_EQ(QVPlugin_GetCount(), 2);
  // Host values are never 0 and never given out again after removal.
  const int32_t v1 = QVPlugin_GetHostValue(h1), v2 = QVPlugin_GetHostValue(h2);
  QVPlugin_RemoveAll();
  EXPECT_EQ(QVPlugin_GetHandle(0), nullptr);
  const int32_t v3 = QVPlugin_GetHostValue(QVPlugin_Create("Gamma", nullptr, QVPlugin_DefCommandProc));
  EXPECT_TRUE(v1 != 0 && v2 != 0 && v1 != v2 && v3 != v1 && v3 != v2) << v1 << " " << v2 << " " << v3;
  EXPECT_EQ(QVPlugin_GetHostValue(nullptr), 0);
}

TEST_F(HostApiTest, LoadedPluginGetsTheRecipientWithCommandOneAndOthersGoToTheDefault) {
  CPluginLoader loader;
  const std::vector<void*> handles = loader.Load(TEST_PLUGIN_ALPHA);
  ASSERT_EQ(handles.size(), 1u) << testing::PrintToString(loader.GetErrors());
  void* h = handles[0];
  EXPECT_STREQ(QVPlugin_GetName(h), "Alpha");
  ASSERT_NE(QVPlugin_GetIcon(h), nullptr);
  EXPECT_TRUE(QVPlugin_GetIcon(h)->availableSizes().contains(QSize(48, 48)));
  const int32_t v = QVPlugin_GetHostValue(h);
  const RecipientInfo info{"Ann Lee", 2, "a\r\nb"};
  // Command 1: the default procedure counts the closed window and answers 1; other
  // commands it answers with their number.
  EXPECT_EQ(QVPlugin_SendCommand(h, 1, 9, reinterpret_cast<intptr_t>(&info)), 1);
  EXPECT_EQ(QVPlugin_SendCommand(h, 7, 0, 0), 7);
  EXPECT_EQ(QVPlugin_SendCommand(h, -3, 4, 5), -3);
  EXPECT_EQ(QVPlugin_SendCommand(nullptr, 1, 0, 0), 0);  // reaches nobody
  const std::string strHost = "Alpha host=" + std::to_string(v);
  EXPECT_EQ(m_trace.Read(), strHost + " command=1 param1=9 name=Ann Lee count=2 numbers=a\\r\\nb result=1\n" +
                                strHost + " command=7 param1=0 param2=0 result=7\n" + strHost +
                                " command=-3 param1=4 param2=5 result=-3\n");
  EXPECT_EQ(QVPlugin_GetClosedCount(h), 1);

  // A procedure's own answer is what the host gets; the default procedure does not
  // know host values that no plug-in holds.
  void* hOwn =
      QVPlugin_Create("Own", nullptr, [](int32_t, int32_t, int32_t, intptr_t) { return int32_t{-5}; });
  EXPECT_EQ(QVPlugin_SendCommand(hOwn, 1, 0, 0), -5);
  EXPECT_EQ(QVPlugin_GetClosedCount(hOwn), 0);
  EXPECT_EQ(QVPlugin_DefCommandProc(v + 1000, 7, 1, 2), 0);
  // The same file by another path is not loaded twice.
  const std::string strAlpha = TEST_PLUGIN_ALPHA;
  EXPECT_TRUE(
      loader.Load(std::string(TEST_PLUGIN_DIR) + "/./" + strAlpha.substr(strAlpha.rfind('/') + 1)).empty());
  EXPECT_TRUE(loader.GetErrors().empty());
  EXPECT_EQ(QVPlugin_GetCount(), 2);
}

TEST_F(HostApiTest, FailuresAreReportedAndTheWindowOpensTheActivatedPlugin) {
  CPluginLoader loader;
  const std::string strMissing = std::string(TEST_PLUGIN_DIR) + "/libnothing-here.so";
  EXPECT_TRUE(loader.Load(strMissing).empty());
  EXPECT_EQ(loader.GetErrors().at(0).rfind(strMissing + ": No such file", 0), 0u);
  // The folder holds Alpha, Beta and two duds; the plug-ins register in file-name order.
  CPluginLoader scanner;
  ASSERT_EQ(scanner.LoadFolder(TEST_PLUGIN_DIR).size(), 2u);
  EXPECT_EQ(scanner.GetErrors(),
            (std::vector<std::string>{std::string(TEST_PLUGIN_NONE) + ": not a plug-in (no CreateQVPlugin)",
                                      std::string(TEST_PLUGIN_SILENT) + ": the plug-in did not register"}));
  EXPECT_TRUE(scanner.LoadFolder(std::string(TEST_PLUGIN_DIR) + "/no-such-folder").empty());
  EXPECT_EQ(scanner.GetErrors().size(), 2u);

  const RecipientInfo info{"Bo", 1, "+4711"};
  CDesktopWindow window(&info);
  window.ShowPlugins(scanner.GetErrors());
  QListWidget* pList = window.GetList();
  ASSERT_EQ(pList->count(), 2);
  EXPECT_EQ(pList->item(0)->text(), QStringLiteral("Alpha"));
  EXPECT_FALSE(pList->item(1)->icon().isNull());
  // Activating Beta's entry sends command 1 with the recipient to Beta only.
  emit pList->itemActivated(pList->item(1));
  EXPECT_EQ(m_trace.Read(), "Beta host=" + std::to_string(QVPlugin_GetHostValue(QVPlugin_GetHandle(1))) +
                                " command=1 param1=0 name=Bo count=1 numbers=+4711 result=1\n");
}

// The full command line is exercised by running HVDesktop; these are the corners.
TEST(HostOptions, CommandLines) {
  CHostOptions o;
  ASSERT_EQ(o.Parse({"--command", "-2147483648"}), CHostOptions::EParse::Run);
  EXPECT_EQ(o.m_nCommand, INT32_MIN);
  EXPECT_EQ(o.GetRecipient(), nullptr);  // nothing handed over: a null pointer
  EXPECT_EQ(o.GetPluginFolders({"/d1", "/d2"}), (std::vector<std::string>{"/d1", "/d2"}));
  using P = CHostOptions::EParse;
  // The words, what they ask for, and a part of the error ("" when there is none).
  const std::tuple<std::vector<std::string>, P, std::string> cases[] = {
      {{"--command", "7x"}, P::Error, "7x"},
      {{"--command", "2147483648"}, P::Error, "2147483648"},
      {{"--command"}, P::Error, "missing value after --command"},
      {{"libmireth.so"}, P::Error, "unknown option: libmireth.so"},
      {{"--versions"}, P::Error, "--versions"},
      {{"--version"}, P::Version, ""},
      {{"--command", "1", "--version", "--quit-after"}, P::Version, ""},  // wherever it stands
      {{"--plugin", "--version"}, P::Run, ""},                            // a plug-in named "--version"
  };
  for (const auto& [args, eParse, why] : cases) {
    CHostOptions b;
    EXPECT_EQ(b.Parse(args), eParse) << testing::PrintToString(args);
    EXPECT_NE(b.GetError().find(why), std::string::npos) << b.GetError();
  }
  EXPECT_NE(CHostOptions::GetUsage().find("--version"), std::string::npos);
}

TEST(HostOptions, DisplayCheck) {
  const struct {
    const char *pszQpa, *pszDisplay, *pszWayland;
    bool bDisplay;
  } cases[] = {
      {nullptr, nullptr, nullptr, false},    {"", "", "", false},
      {nullptr, ":99", nullptr, true},       {nullptr, nullptr, "wayland-0", true},
      {"offscreen", nullptr, nullptr, true}, {"vnc:size=800x600", nullptr, nullptr, true},
      {"xcb", nullptr, "wayland-0", false},  {"xcb", ":0", nullptr, true},
      {"wayland", ":0", nullptr, false},     {"wayland-egl", nullptr, "wayland-1", true},
      {"wayland;xcb", ":0", nullptr, true},  {"wayland;xcb", nullptr, nullptr, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HasDisplay(c.pszQpa, c.pszDisplay, c.pszWayland), c.bDisplay)
        << (c.pszQpa ? c.pszQpa : "-") << " " << (c.pszDisplay ? c.pszDisplay : "-") << " "
        << (c.pszWayland ? c.pszWayland : "-");
}

TEST(PluginFolders, UserFolderFirstThenBesideTheProgramThenInstalled) {
  const struct {
    const char *pszXdg, *pszHome, *pszInstalled;
    const char* pszExpected;  // the folders, separated by blanks
  } cases[] = {
      {"/data", "/home/ann", "../lib/mireth/plugins",
       "/data/Kelvane/plugins /opt/m/bin/plugins /opt/m/lib/mireth/plugins"},
      // XDG_DATA_HOME empty or relative: the home folder's .local/share.
      {"", "/home/ann/", "../lib/x86_64-linux-gnu/mireth/plugins",
       "/home/ann/.local/share/Kelvane/plugins /opt/m/bin/plugins "
       "/opt/m/lib/x86_64-linux-gnu/mireth/plugins"},
      // No user folder at all rather than one relative to the current folder.
      {nullptr, nullptr, "../lib/mireth/plugins", "/opt/m/bin/plugins /opt/m/lib/mireth/plugins"},
      {"rel", "also-rel", "", "/opt/m/bin/plugins"},
  };
  for (const auto& c : cases) {
    std::string strFolders;
    for (const std::string& strFolder :
         CPluginLoader::DefaultFolders("/opt/m/bin", c.pszInstalled, c.pszXdg, c.pszHome))
      strFolders += (strFolders.empty() ? "" : " ") + strFolder;
    EXPECT_EQ(strFolders, c.pszExpected)
        << (c.pszXdg ? c.pszXdg : "(unset)") << " " << (c.pszHome ? c.pszHome : "(unset)");
  }
}

// A plug-in in the user's folder stands in for the installed one of the same file name;
// loading both would show it twice.
TEST_F(HostApiTest, TheFirstFolderHoldingALibraryNameWins) {
  const std::filesystem::path user = std::filesystem::path(m_trace.Dir()) / "user";
  std::filesystem::create_directories(user);
  const std::filesystem::path beta(TEST_PLUGIN_BETA);
  std::filesystem::copy_file(beta, user / beta.filename());

  CPluginLoader loader;
  EXPECT_EQ(loader.LoadFolder(user.string()).size(), 1u);
  // The installed folder adds Alpha; its Beta is passed over, the two duds still fail.
  EXPECT_EQ(loader.LoadFolder(TEST_PLUGIN_DIR).size(), 1u);
  ASSERT_EQ(QVPlugin_GetCount(), 2);
  EXPECT_STREQ(QVPlugin_GetName(QVPlugin_GetHandle(0)), "Beta");
  EXPECT_STREQ(QVPlugin_GetName(QVPlugin_GetHandle(1)), "Alpha");
  EXPECT_EQ(loader.GetErrors().size(), 2u);
}

}  // namespace
