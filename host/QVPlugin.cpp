#include "host/QVPlugin.h"

#include <QIcon>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// One registered plug-in. The handle given out is the address of its record; records
// are never moved (the list holds pointers).
struct Registration {
  int32_t nHostValue = 0;
  std::string strName;
  std::unique_ptr<QIcon> pIcon;
  QVPluginCommandProc pfnProc = nullptr;
  int32_t nClosedCount = 0;
};

// The table of registered plug-ins. Command procedures are called without the lock held, since
// they call back into QVPlugin_DefCommandProc (and may open a window that runs for
// minutes).
struct PluginTable {
  std::mutex mutex;
  std::vector<std::unique_ptr<Registration>> plugins;
  int32_t nNextHostValue = 1;
  bool bHaveLastCall = false;
  QVPluginDefaultCall lastCall{};
};

// Never destroyed: plug-in libraries and icons may still be about when static objects
// are torn down at exit.
PluginTable& GetTable() {
  static PluginTable* table = new PluginTable;
  return *table;
}

// The registration behind a handle, or null; the caller holds the lock.
Registration* Find(PluginTable& reg, const void* handle) {
  for (const auto& p : reg.plugins)
    if (p.get() == handle)
      return p.get();
  return nullptr;
}

Registration* FindByHostValue(PluginTable& reg, int32_t hostValue) {
  for (const auto& p : reg.plugins)
    if (p->nHostValue == hostValue)
      return p.get();
  return nullptr;
}

}  // namespace

extern "C" {

void* QVPlugin_Create(const char* pszName, void* hIcon, QVPluginCommandProc pfnProc) {
  std::unique_ptr<QIcon> pIcon(static_cast<QIcon*>(hIcon));
  if (pszName == nullptr || pfnProc == nullptr)
    return nullptr;
  auto rec = std::make_unique<Registration>();
  rec->strName = pszName;
  rec->pIcon = std::move(pIcon);
  rec->pfnProc = pfnProc;
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  rec->nHostValue = reg.nNextHostValue++;
  reg.plugins.push_back(std::move(rec));
  return reg.plugins.back().get();
}

int32_t QVPlugin_DefCommandProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  int32_t result = 0;
  if (Registration* rec = FindByHostValue(reg, hostValue)) {
    if (command == QVPLUGIN_CMD_OPEN) {
      ++rec->nClosedCount;
      result = 1;
    } else {
      result = command;
    }
  }
  reg.lastCall = QVPluginDefaultCall{hostValue, command, param1, param2, result};
  reg.bHaveLastCall = true;
  return result;
}

int32_t QVPlugin_GetCount(void) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  return static_cast<int32_t>(reg.plugins.size());
}

void* QVPlugin_GetHandle(int32_t index) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (index < 0 || static_cast<size_t>(index) >= reg.plugins.size())
    return nullptr;
  return reg.plugins[static_cast<size_t>(index)].get();
}

const char* QVPlugin_GetName(void* handle) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Registration* rec = Find(reg, handle);
  return rec ? rec->strName.c_str() : nullptr;
}

const QIcon* QVPlugin_GetIcon(void* handle) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Registration* rec = Find(reg, handle);
  return rec ? rec->pIcon.get() : nullptr;
}

int32_t QVPlugin_GetHostValue(void* handle) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Registration* rec = Find(reg, handle);
  return rec ? rec->nHostValue : 0;
}

int32_t QVPlugin_GetClosedCount(void* handle) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  const Registration* rec = Find(reg, handle);
  return rec ? rec->nClosedCount : 0;
}

int32_t QVPlugin_SendCommand(void* handle, int32_t command, int32_t param1, intptr_t param2) {
  QVPluginCommandProc pfnProc = nullptr;
  int32_t hostValue = 0;
  {
    PluginTable& reg = GetTable();
    std::lock_guard<std::mutex> lock(reg.mutex);
    const Registration* rec = Find(reg, handle);
    if (rec == nullptr)
      return 0;
    pfnProc = rec->pfnProc;
    hostValue = rec->nHostValue;
  }
  return pfnProc(hostValue, command, param1, param2);
}

bool QVPlugin_GetLastDefaultCall(QVPluginDefaultCall* pCall) {
  PluginTable& reg = GetTable();
  std::lock_guard<std::mutex> lock(reg.mutex);
  if (!reg.bHaveLastCall)
    return false;
  if (pCall != nullptr)
    *pCall = reg.lastCall;
  return true;
}

void QVPlugin_RemoveAll(void) {
  std::vector<std::unique_ptr<Registration>> doomed;
  PluginTable& reg = GetTable();
  {
    std::lock_guard<std::mutex> lock(reg.mutex);
    doomed.swap(reg.plugins);
    reg.bHaveLastCall = false;
    reg.lastCall = QVPluginDefaultCall{};
  }
  // The icons are deleted outside the lock.
}

}  // extern "C"
