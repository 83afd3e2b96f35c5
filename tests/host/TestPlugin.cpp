// The plug-in the host tests load: it registers under the name it was built with and
// the plug-in icon, passes every command on to the host's default procedure and
// appends one line per command to the file TEST_PLUGIN_TRACE names.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/QVPlugin.h"
#include "res/Resources.h"

namespace {

// "\r" and "\n" written as such, so that a trace line stays one line.
std::string Escape(const char* psz) {
  std::string s;
  for (; psz && *psz; ++psz)
    s += *psz == '\r' ? std::string("\\r") : *psz == '\n' ? std::string("\\n") : std::string(1, *psz);
  return s;
}

int32_t TestCommandProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  const int32_t result = QVPlugin_DefCommandProc(hostValue, command, param1, param2);
  std::string strLine = std::string(TEST_PLUGIN_NAME) + " host=" + std::to_string(hostValue) +
                        " command=" + std::to_string(command) + " param1=" + std::to_string(param1);
  if (const auto* p = command == QVPLUGIN_CMD_OPEN ? reinterpret_cast<const RecipientInfo*>(param2) : nullptr)
    strLine += " name=" + Escape(p->pszName) + " count=" + std::to_string(p->nCount) +
               " numbers=" + Escape(p->pszNumbers);
  else
    strLine += " param2=" + std::to_string(param2);
  const char* pszPath = std::getenv("TEST_PLUGIN_TRACE");
  if (FILE* f = pszPath ? std::fopen(pszPath, "a") : nullptr) {
    std::fprintf(f, "%s result=%d\n", strLine.c_str(), result);
    std::fclose(f);
  }
  return result;
}

}  // namespace

extern "C" QVPLUGIN_API void* CreateQVPlugin(void) {
  const QIcon icon = LoadIconResource(IDI_MIRETH);
  return QVPlugin_Create(TEST_PLUGIN_NAME, icon.isNull() ? nullptr : new QIcon(icon), &TestCommandProc);
}
