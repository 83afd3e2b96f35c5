// Where the store files live: a stored data folder, the folder derived from the host
// program's path, the user's own data folder where that cannot be used, and the
// settings written back.

#include "WindowTestSupport.h"
#include "shell/DataFolder.h"

namespace fs = std::filesystem;

namespace {

const char kData[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]";

class DataFolderTest : public CWindowTest {
 protected:
  static std::string Text(const std::string& strName) {
    CRegKey key;
    std::string s = "<missing>";
    if (key.Open("SOFTWARE\\Kelvane\\Mireth\\Data"))
      key.QueryText(strName, s);
    return s;
  }
};

}  // namespace

TEST_F(DataFolderTest, TheFolderIsTheStoredOneOrDerivedFromTheHostOrTheUsersOwn) {
  // Folders of the sandbox are written relative to it ("~" for its root where the
  // settings hold them).
  const struct {
    const char* pszReason;
    const char* pszStoredFolder;  // "Data Folder" stored with "Export To CSV" = bExport; null: no key
    const char* pszExe;
    const char *pszFolder, *pszStored, *pszInstallDir;  // the folder, "Data Folder", "InstallDir" after
    bool bExport;
  } cases[] = {
      {"beside the suite's program folder", nullptr, "Suite/Program/HVDesktop.Exe", "Suite/SMSData/",
       "~Suite/SMSData/", "~Suite/", false},
      {"the host's name in any case", nullptr, "Case/Program/HVDESKTOP.EXE", "Case/SMSData/",
       "~Case/SMSData/", "~Case/", false},
      {"without its extension", nullptr, "Bare/Program/HVDesktop", "Bare/SMSData/", "~Bare/SMSData/",
       "~Bare/", false},
      {"any other host: inside its own folder", nullptr, "tools/bin/hvdesktop-old", "tools/bin/SMSData/",
       "~tools/bin/SMSData/", "~tools/bin/", false},
      // Created (one level), but the setting is not rewritten and nothing is derived.
      {"a stored folder gets its final separator", "mydata", "host/Program/HVDesktop.Exe", "mydata/",
       "~mydata", "<missing>", true},
      // A stored folder whose parent is missing is not created, and still used.
      {"a stored folder without its parent", "no/such/parent/", "host/Program/HVDesktop.Exe",
       "no/such/parent/", "~no/such/parent/", "<missing>", false},
      {"the host's folder is gone: the user's data folder", nullptr, "gone/Program/HVDesktop.Exe",
       "xdg-data/Kelvane/SMSData/", "~xdg-data/Kelvane/SMSData/", "~xdg-data/Kelvane/", false},
      // /usr/bin/HVDesktop run by a user who may write there (root): the data never
      // lands at the root of the system.
      {"an installed host", nullptr, "usr/bin/HVDesktop", "xdg-data/Kelvane/SMSData/",
       "~xdg-data/Kelvane/SMSData/", "~xdg-data/Kelvane/", false},
  };
  auto inSandbox = [this](std::string s) { return s.rfind('~', 0) == 0 ? Path(s.substr(1)) : s; };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszReason);
    std::vector<std::string> lines;
    if (c.pszStoredFolder != nullptr)
      lines = {kData, "\"Data Folder\"=\"" + Path(c.pszStoredFolder) + "\"",
               std::string("\"Export To CSV\"=dword:0000000") + (c.bExport ? "1" : "0")};
    WriteRegistry(lines);
    const std::string strExe = Path(c.pszExe);
    if (std::string(c.pszExe).rfind("gone/", 0) != 0)  // the host's folder, unless it is gone
      fs::create_directories(fs::path(strExe).parent_path());
    std::string strFolder;
    bool bExport = false;
    CDataFolder::Resolve(strExe, strFolder, bExport);
    EXPECT_EQ(strFolder, Path(c.pszFolder));
    EXPECT_EQ(bExport, c.bExport);
    EXPECT_EQ(fs::is_directory(strFolder), std::string(c.pszFolder) != "no/such/parent/");
    EXPECT_EQ(Text("Data Folder"), inSandbox(c.pszStored));
    EXPECT_EQ(Text("InstallDir"), inSandbox(c.pszInstallDir));
  }
  EXPECT_FALSE(fs::exists(Path("host/SMSData")));
  EXPECT_FALSE(fs::exists(Path("usr/SMSData")));
}

TEST_F(DataFolderTest, AFolderThatExistsIsUsedAndOneThatCannotBeMadeFallsBack) {
  const std::string strBin = Path("tools/bin");
  fs::create_directories(strBin + "/SMSData");
  std::ofstream(strBin + "/SMSData/SMSIn.Dat") << "x";
  std::string strFolder;
  bool bExport = false;
  CDataFolder::Resolve(strBin + "/launcher", strFolder, bExport);
  EXPECT_EQ(strFolder, strBin + "/SMSData/");
  EXPECT_TRUE(fs::exists(strBin + "/SMSData/SMSIn.Dat"));

  // "SMSData" is taken by a file, so no folder of that name can be made; without
  // XDG_DATA_HOME the user's data folder is ~/.local/share.
  fs::remove(Path("settings.reg"));
  fs::create_directories(Path("blocked"));
  std::ofstream(Path("blocked/SMSData")) << "not a folder";
  m_sandbox.SetEnv("XDG_DATA_HOME", "");
  CDataFolder::Resolve(Path("blocked/host"), strFolder, bExport);
  EXPECT_EQ(strFolder, Path("home/.local/share/Kelvane/SMSData/"));
  EXPECT_TRUE(fs::is_directory(Path("home/.local/share/Kelvane/SMSData")));
}
