#include "tests/host/TestPlugin.h"

#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "host/QVPlugin.h"
#include "res/Resources.h"

#ifndef TEST_PLUGIN_NAME
#error TEST_PLUGIN_NAME must name the plug-in
#endif

namespace {

std::mutex g_mutex;
std::vector<TestPluginCall> g_calls;

void CopyText(char* dst, size_t size, const char* src) {
  std::snprintf(dst, size, "%s", src ? src : "");
}

// "\r" and "\n" written as such, so that a trace line stays one line.
std::string Escape(const char* psz) {
  std::string out;
  for (; psz && *psz; ++psz) {
    if (*psz == '\r')
      out += "\\r";
    else if (*psz == '\n')
      out += "\\n";
    else
      out += *psz;
  }
  return out;
}

void Trace(const TestPluginCall& call) {
  const char* path = std::getenv("TEST_PLUGIN_TRACE");
  if (path == nullptr || *path == '\0') return;
  FILE* f = std::fopen(path, "a");
  if (f == nullptr) return;
  std::fprintf(f, "%s host=%d command=%d param1=%d", TEST_PLUGIN_NAME, call.hostValue, call.command,
               call.param1);
  if (call.bRecipient)
    std::fprintf(f, " name=%s count=%d numbers=%s", Escape(call.szName).c_str(), call.nCount,
                 Escape(call.szNumbers).c_str());
  else
    std::fprintf(f, " param2=%lld", static_cast<long long>(call.param2));
  std::fprintf(f, " result=%d\n", call.result);
  std::fclose(f);
}

int32_t TestCommandProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  TestPluginCall call{};
  call.hostValue = hostValue;
  call.command = command;
  call.param1 = param1;
  call.param2 = param2;
  if (command == QVPLUGIN_CMD_OPEN && param2 != 0) {
    const auto* pInfo = reinterpret_cast<const RecipientInfo*>(param2);
    call.bRecipient = true;
    CopyText(call.szName, sizeof call.szName, pInfo->pszName);
    call.nCount = pInfo->nCount;
    CopyText(call.szNumbers, sizeof call.szNumbers, pInfo->pszNumbers);
  }
  call.result = QVPlugin_DefCommandProc(hostValue, command, param1, param2);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_calls.push_back(call);
  }
  Trace(call);
  return call.result;
}

}  // namespace

extern "C" {

QVPLUGIN_API void* CreateQVPlugin(void) {
  const QIcon icon = LoadIconResource(IDI_MIRETH);
  return QVPlugin_Create(TEST_PLUGIN_NAME, icon.isNull() ? nullptr : new QIcon(icon),
                         &TestCommandProc);
}

QVPLUGIN_API int TestPlugin_GetCallCount(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return static_cast<int>(g_calls.size());
}

QVPLUGIN_API const TestPluginCall* TestPlugin_GetCall(int i) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (i < 0 || static_cast<size_t>(i) >= g_calls.size()) return nullptr;
  return &g_calls[static_cast<size_t>(i)];
}

QVPLUGIN_API void TestPlugin_Reset(void) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_calls.clear();
}

}  // extern "C"
