// The data folder: where the store files and their CSV copies live, and the settings
// of the Data key that go with it ("Data Folder", "InstallDir", "Export To CSV").
//
// A stored "Data Folder" is used as it is (given a final '/' in memory, created one
// level deep when missing). Without one, the folder is derived from the host
// program's path: "SMSData/" beside the suite's "Program" folder when the host is
// "HVDesktop.Exe", else "SMSData/" beside the program. Where that folder cannot be
// made or written (a system-wide install), $XDG_DATA_HOME/Kelvane/SMSData/ is used
// instead. A derived folder is written back to the settings.
#pragma once

#include <string>

class CDataFolder {
 public:
  // Reads "Export To CSV" into bExportToCsv (unchanged when it cannot be read) and
  // sets strDataFolder (ending in '/'), deriving it from strHostExePath when none is
  // stored.
  static void Resolve(const std::string& strHostExePath, std::string& strDataFolder, bool& bExportToCsv);
  // Writes "Data Folder" and "InstallDir" (the text before the first "SMSData", empty
  // when there is none); false when the settings cannot be written.
  static bool Save(const std::string& strDataFolder);
  // Writes "Export To CSV" as 1 or 0; false when the settings cannot be written.
  static bool SaveExportFlag(bool bExportToCsv);

  // The folder derived from the host program's path, as the settings would get it
  // with nothing stored (folders are created as on a first run).
  static std::string Derive(const std::string& strHostExePath);
  // $XDG_DATA_HOME/Kelvane/SMSData/ ($HOME/.local/share when unset), created.
  static std::string GetFallbackFolder();
  // The executable of this process (the host program).
  static std::string GetHostExecutablePath();
};
