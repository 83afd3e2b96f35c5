// Where the host looks for plug-ins when none is named, which copy of a plug-in wins,
// and the --version option.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/HostOptions.h"
#include "host/PluginLoader.h"
#include "host/QVPlugin.h"
#include "tests/host/HostTestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(PluginFolders, UserFolderFirstThenBesideTheProgramThenInstalled) {
  struct Case {
    const char* pszXdg;
    const char* pszHome;
    std::string strInstalled;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"/data", "/home/ann", "../lib/mireth/plugins",
       {"/data/Kelvane/plugins", "/opt/m/bin/plugins", "/opt/m/lib/mireth/plugins"}},
      // XDG_DATA_HOME unset, empty or relative: the home folder's .local/share.
      {nullptr, "/home/ann", "../lib/mireth/plugins",
       {"/home/ann/.local/share/Kelvane/plugins", "/opt/m/bin/plugins", "/opt/m/lib/mireth/plugins"}},
      {"", "/home/ann/", "../lib/x86_64-linux-gnu/mireth/plugins",
       {"/home/ann/.local/share/Kelvane/plugins", "/opt/m/bin/plugins",
        "/opt/m/lib/x86_64-linux-gnu/mireth/plugins"}},
      {"share", "/home/ann", "", {"/home/ann/.local/share/Kelvane/plugins", "/opt/m/bin/plugins"}},
      // No user folder at all rather than one relative to the current folder.
      {nullptr, nullptr, "../lib/mireth/plugins", {"/opt/m/bin/plugins", "/opt/m/lib/mireth/plugins"}},
      {"rel", "also-rel", "", {"/opt/m/bin/plugins"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CPluginLoader::DefaultFolders("/opt/m/bin", c.strInstalled, c.pszXdg, c.pszHome), c.expected)
        << (c.pszXdg ? c.pszXdg : "(unset)") << " " << (c.pszHome ? c.pszHome : "(unset)");
  }
}

// A plug-in in the user's folder stands in for the installed one of the same file name;
// loading both would show it twice.
TEST(PluginFolders, TheFirstFolderHoldingALibraryNameWins) {
  QVPlugin_RemoveAll();
  CTraceFile dir;  // a temporary folder
  setenv("TEST_PLUGIN_TRACE", dir.Path().c_str(), 1);
  const fs::path user = fs::path(dir.Dir()) / "user";
  fs::create_directories(user);
  const fs::path beta(TEST_PLUGIN_BETA);
  fs::copy_file(beta, user / beta.filename());

  CPluginLoader loader;
  EXPECT_EQ(loader.LoadFolder(user.string()).size(), 1u);
  // The installed folder adds Alpha; its Beta is passed over, the two duds still fail.
  EXPECT_EQ(loader.LoadFolder(TEST_PLUGIN_DIR).size(), 1u);
  ASSERT_EQ(QVPlugin_GetCount(), 2);
  EXPECT_STREQ(QVPlugin_GetName(QVPlugin_GetHandle(0)), "Beta");
  EXPECT_STREQ(QVPlugin_GetName(QVPlugin_GetHandle(1)), "Alpha");
  EXPECT_EQ(loader.GetErrors().size(), 2u);
  QVPlugin_RemoveAll();
}

TEST(HostOptions, VersionWinsWhereverItStandsUnlessItIsAValue) {
  struct Case {
    std::vector<std::string> args;
    CHostOptions::EParse expected;
  };
  const Case cases[] = {
      {{"--version"}, CHostOptions::EParse::Version},
      {{"--command", "1", "--version", "--quit-after"}, CHostOptions::EParse::Version},
      {{"--plugin", "--version"}, CHostOptions::EParse::Run},  // a plug-in named "--version"
      {{"--versions"}, CHostOptions::EParse::Error},
  };
  for (const Case& c : cases) {
    CHostOptions o;
    EXPECT_EQ(o.Parse(c.args), c.expected) << c.args.front();
  }
  EXPECT_NE(CHostOptions::GetUsage().find("--version"), std::string::npos);
}

}  // namespace
