// The command line of HVDesktop.
//
//   HVDesktop [--plugin-dir DIR] [--plugin PATH]... [--plugin-name NAME]
//             [--recipient-name NAME] [--recipient-number NUMBER]...
//             [--command N] [--quit-after] [--help] [--version]
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/QVPlugin.h"

class CHostOptions {
 public:
  enum class EParse { Run, Help, Version, Error };

  // Reads the arguments (without the program name). On Error, GetError says why.
  EParse Parse(const std::vector<std::string>& args);

  const std::string& GetError() const { return m_strError; }
  static std::string GetUsage();

  // Plug-in folders to scan: the --plugin-dir folder when given; otherwise none when
  // plug-ins were named with --plugin, else the default folders given.
  std::vector<std::string> GetPluginFolders(const std::vector<std::string>& defaults) const;

  // The recipient handed over with command 1, or null when none was given on the
  // command line. Points into this object.
  const RecipientInfo* GetRecipient() const;

  std::string m_strPluginDir;                   // --plugin-dir
  std::vector<std::string> m_plugins;           // --plugin (repeatable)
  std::string m_strPluginName;                  // --plugin-name
  std::string m_strRecipientName;               // --recipient-name
  std::vector<std::string> m_recipientNumbers;  // --recipient-number (repeatable)
  bool m_bHaveRecipient = false;                // a --recipient-* option was given
  bool m_bHaveCommand = false;                  // --command was given
  int32_t m_nCommand = 0;                       // --command
  bool m_bQuitAfter = false;                    // --quit-after

 private:
  std::string m_strError;
  mutable std::string m_strNumbersJoined;
  mutable RecipientInfo m_recipient{};
};

// Whether a Qt window can be shown: a platform other than xcb or wayland was chosen with
// QT_QPA_PLATFORM (offscreen, vnc, ...), or the chosen one (xcb: DISPLAY, wayland:
// WAYLAND_DISPLAY) or, with none chosen, either of the two has its variable set. The
// arguments are the variables' values, null when unset.
bool HasDisplay(const char* pszQpaPlatform, const char* pszDisplay, const char* pszWaylandDisplay);
