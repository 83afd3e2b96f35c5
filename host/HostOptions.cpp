#include "host/HostOptions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool IsSet(const char* psz) { return psz != nullptr && *psz != '\0'; }

// A whole decimal number in the 32-bit range, with an optional sign.
bool ParseInt32(const std::string& str, int32_t& nValue) {
  if (str.empty())
    return false;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(str.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < INT32_MIN || v > INT32_MAX)
    return false;
  nValue = static_cast<int32_t>(v);
  return true;
}

}  // namespace

std::string CHostOptions::GetUsage() {
  return "usage: HVDesktop [options]\n"
         "  --plugin-dir DIR          load the plug-ins (*.so) of DIR\n"
         "  --plugin PATH             load the plug-in PATH (repeatable)\n"
         "  --plugin-name NAME        the plug-in that --command goes to (default: the first)\n"
         "  --recipient-name NAME     recipient handed over with command 1\n"
         "  --recipient-number NUMBER a number of the recipient (repeatable)\n"
         "  --command N               send command N at start and print \"result: R\"\n"
         "  --quit-after              exit after loading (and after --command, closing the\n"
         "                            window the command opens)\n"
         "  --help                    show this text\n"
         "  --version                 show the version\n"
         "Without --plugin-dir and --plugin, the plug-ins of these folders are loaded,\n"
         "the first folder holding a library of a name winning:\n"
         "  $XDG_DATA_HOME/Kelvane/plugins (~/.local/share/Kelvane/plugins),\n"
         "  plugins/ beside the program,\n"
         "  the installed plug-ins, " MIRETH_PLUGINS_FROM_BIN
         " from the program;\n"
         "in a build tree also shell/libmireth.so.\n";
}

CHostOptions::EParse CHostOptions::Parse(const std::vector<std::string>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h")
      return EParse::Help;
    if (arg == "--version")
      return EParse::Version;
    if (arg == "--quit-after") {
      m_bQuitAfter = true;
      continue;
    }
    const bool bTakesValue = arg == "--plugin-dir" || arg == "--plugin" || arg == "--plugin-name" ||
                             arg == "--recipient-name" || arg == "--recipient-number" || arg == "--command";
    if (!bTakesValue) {
      m_strError = "unknown option: " + arg;
      return EParse::Error;
    }
    if (i + 1 >= args.size()) {
      m_strError = "missing value after " + arg;
      return EParse::Error;
    }
    const std::string& value = args[++i];
    if (arg == "--plugin-dir") {
      m_strPluginDir = value;
    } else if (arg == "--plugin") {
      m_plugins.push_back(value);
    } else if (arg == "--plugin-name") {
      m_strPluginName = value;
    } else if (arg == "--recipient-name") {
      m_strRecipientName = value;
      m_bHaveRecipient = true;
    } else if (arg == "--recipient-number") {
      m_recipientNumbers.push_back(value);
      m_bHaveRecipient = true;
    } else {  // --command
      if (!ParseInt32(value, m_nCommand)) {
        m_strError = "--command needs a whole number, not \"" + value + "\"";
        return EParse::Error;
      }
      m_bHaveCommand = true;
    }
  }
  return EParse::Run;
}

std::vector<std::string> CHostOptions::GetPluginFolders(const std::vector<std::string>& defaults) const {
  if (!m_strPluginDir.empty())
    return {m_strPluginDir};
  if (!m_plugins.empty())
    return {};
  return defaults;
}

const RecipientInfo* CHostOptions::GetRecipient() const {
  if (!m_bHaveRecipient)
    return nullptr;
  m_strNumbersJoined.clear();
  for (size_t i = 0; i < m_recipientNumbers.size(); ++i) {
    if (i > 0)
      m_strNumbersJoined += "\r\n";
    m_strNumbersJoined += m_recipientNumbers[i];
  }
  m_recipient.pszName = m_strRecipientName.c_str();
  m_recipient.nCount = static_cast<int32_t>(m_recipientNumbers.size());
  m_recipient.pszNumbers = m_strNumbersJoined.c_str();
  return &m_recipient;
}

bool HasDisplay(const char* pszQpaPlatform, const char* pszDisplay, const char* pszWaylandDisplay) {
  if (!IsSet(pszQpaPlatform))
    return IsSet(pszDisplay) || IsSet(pszWaylandDisplay);
  // QT_QPA_PLATFORM may list fall-backs ("wayland;xcb"), each with options after ':'.
  const std::string platforms(pszQpaPlatform);
  size_t start = 0;
  while (start <= platforms.size()) {
    size_t end = platforms.find(';', start);
    if (end == std::string::npos)
      end = platforms.size();
    const std::string entry = platforms.substr(start, end - start);
    const std::string name = entry.substr(0, entry.find(':'));
    if (name == "xcb") {
      if (IsSet(pszDisplay))
        return true;
    } else if (name.rfind("wayland", 0) == 0) {
      if (IsSet(pszWaylandDisplay))
        return true;
    } else if (!name.empty()) {
      return true;  // offscreen, minimal, vnc, eglfs, linuxfb ...
    }
    start = end + 1;
  }
  return false;
}
