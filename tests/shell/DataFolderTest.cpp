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
  // Resolves the folder for the host strExe; the settings are read afresh each time.
  static std::string Resolve(const std::string& strExe, bool* pExport = nullptr) {
    std::string strFolder;
    bool bExport = false;
    CDataFolder::Resolve(strExe, strFolder, bExport);
    if (pExport != nullptr)
      *pExport = bExport;
    return strFolder;
  }
};

}  // namespace

TEST_F(DataFolderTest, TheHostInAProgramFolderPutsTheDataBesideIt) {
  const std::string strSuite = Path("Suite");
  for (const char* pszExe : {"HVDesktop.Exe", "hvdesktop.exe", "HVDESKTOP.EXE", "HVDesktop"}) {
    SCOPED_TRACE(pszExe);
    fs::remove_all(strSuite);
    fs::remove(Path("settings.reg"));
    fs::create_directories(strSuite + "/Program");
    EXPECT_EQ(Resolve(strSuite + "/Program/" + pszExe), strSuite + "/SMSData/");
    EXPECT_TRUE(fs::is_directory(strSuite + "/SMSData"));
    EXPECT_EQ(Text("Data Folder"), strSuite + "/SMSData/");
    EXPECT_EQ(Text("InstallDir"), strSuite + "/");
  }
}

TEST_F(DataFolderTest, AnyOtherHostPutsTheDataInsideItsOwnFolder) {
  const std::string strBin = Path("tools/bin");
  fs::create_directories(strBin);
  bool bExport = true;
  EXPECT_EQ(Resolve(strBin + "/hvdesktop-old", &bExport), strBin + "/SMSData/");
  EXPECT_FALSE(bExport);
  EXPECT_TRUE(fs::is_directory(strBin + "/SMSData"));
  EXPECT_EQ(Text("Data Folder"), strBin + "/SMSData/");
  EXPECT_EQ(Text("InstallDir"), strBin + "/");
  // A folder that exists already is simply used.
  fs::remove(Path("settings.reg"));
  std::ofstream(strBin + "/SMSData/SMSIn.Dat") << "x";
  EXPECT_EQ(Resolve(strBin + "/launcher"), strBin + "/SMSData/");
  EXPECT_TRUE(fs::exists(strBin + "/SMSData/SMSIn.Dat"));
}

TEST_F(DataFolderTest, AStoredFolderIsUsedAsStoredWithAFinalSeparatorAdded) {
  const std::string strStored = Path("mydata");
  WriteRegistry({kData, "\"Data Folder\"=\"" + strStored + "\"", "\"Export To CSV\"=dword:00000001"});
  bool bExport = false;
  EXPECT_EQ(Resolve(Path("host/Program/HVDesktop.Exe"), &bExport), strStored + "/");
  EXPECT_TRUE(bExport);
  // Created (one level), but the setting is not rewritten and nothing is derived.
  EXPECT_TRUE(fs::is_directory(strStored));
  EXPECT_EQ(Text("Data Folder"), strStored);
  EXPECT_EQ(Text("InstallDir"), "<missing>");
  EXPECT_FALSE(fs::exists(Path("host/SMSData")));

  // A stored folder whose parent is missing is not created, and still used.
  const std::string strDeep = Path("no/such/parent");
  WriteRegistry({kData, "\"Data Folder\"=\"" + strDeep + "/\""});
  EXPECT_EQ(Resolve(Path("host/Program/HVDesktop.Exe")), strDeep + "/");
  EXPECT_FALSE(fs::exists(strDeep));
}

TEST_F(DataFolderTest, AFolderThatCannotBeMadeFallsBackToTheUsersDataFolder) {
  const std::string strFallback = Path("xdg-data/Kelvane/SMSData/");
  // The host's folder does not exist at all.
  EXPECT_EQ(Resolve(Path("gone/Program/HVDesktop.Exe")), strFallback);
  EXPECT_TRUE(fs::is_directory(strFallback));
  EXPECT_EQ(Text("Data Folder"), strFallback);
  EXPECT_EQ(Text("InstallDir"), Path("xdg-data/Kelvane/"));

  // "SMSData" is taken by a file, so no folder of that name can be made; without
  // XDG_DATA_HOME the user's data folder is ~/.local/share.
  fs::remove(Path("settings.reg"));
  fs::create_directories(Path("blocked"));
  std::ofstream(Path("blocked/SMSData")) << "not a folder";
  m_sandbox.SetEnv("XDG_DATA_HOME", "");
  EXPECT_EQ(Resolve(Path("blocked/host")), Path("home/.local/share/Kelvane/SMSData/"));
  EXPECT_TRUE(fs::is_directory(Path("home/.local/share/Kelvane/SMSData")));
}

TEST_F(DataFolderTest, AnInstalledHostKeepsTheDataInTheUsersFolder) {
  // /usr/bin/HVDesktop run by a user who may write there (root): the data never
  // lands at the root of the system.
  fs::create_directories(Path("usr/bin"));
  EXPECT_EQ(Resolve(Path("usr/bin/HVDesktop")), Path("xdg-data/Kelvane/SMSData/"));
  EXPECT_FALSE(fs::exists(Path("SMSData")));
  EXPECT_FALSE(fs::exists(Path("usr/SMSData")));
}

TEST_F(DataFolderTest, AFolderWithoutTheDataNameHasNoInstallFolder) {
  ASSERT_TRUE(CDataFolder::Save("/srv/messages/"));
  EXPECT_EQ(Text("Data Folder"), "/srv/messages/");
  EXPECT_EQ(Text("InstallDir"), "");
}

TEST(HostPathTest, TheHostExecutableIsThisProgram) {
  EXPECT_TRUE(fs::equivalent(CDataFolder::GetHostExecutablePath(), "/proc/self/exe"));
}
