#include "grellow/ComPorts.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Registry.h"
#include "res/StringTable.h"

const char* const g_szComPortNames[COM_PORT_COUNT] = {
    "COM1",  "COM2",  "COM3",  "COM4",  "COM5",  "COM6",  "COM7",  "COM8",  "COM9",
    "COM10", "COM11", "COM12", "COM13", "COM14", "COM15", "COM16", "COM17", "COM18",
    "COM19", "COM20", "COM21", "COM22", "COM23", "COM24", "COM25", "COM26", "COM27",
    "COM28", "COM29", "COM30", "COM31", "COM32", "COM33", "COM34", "COM35"};

namespace {

// Device paths are longer than the usual text limit of the store (by-id names).
constexpr size_t MAX_DEVICE_PATH = 4096;

std::mutex g_rootsMutex;
std::string g_strDevOverride;
std::string g_strSysOverride;

std::string RootFolder(const std::string& strOverride, const char* pszEnv, const char* pszDefault) {
  {
    std::lock_guard<std::mutex> guard(g_rootsMutex);
    if (!strOverride.empty())
      return strOverride;
  }
  if (const char* pszValue = std::getenv(pszEnv); pszValue && *pszValue)
    return pszValue;
  return pszDefault;
}

std::string DevFolder() { return RootFolder(g_strDevOverride, "MIRETH_DEV_DIR", "/dev"); }
std::string SysFolder() { return RootFolder(g_strSysOverride, "MIRETH_SYS_DIR", "/sys"); }

std::string RealPath(const std::string& strPath) {
  std::string strResult;
  if (char* pszReal = realpath(strPath.c_str(), nullptr)) {
    strResult = pszReal;
    std::free(pszReal);
  }
  return strResult;
}

bool IsCharDevice(const std::string& strPath) {
  struct stat st {};
  return stat(strPath.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

std::vector<std::string> ListFolder(const std::string& strFolder) {
  std::vector<std::string> names;
  DIR* pDir = opendir(strFolder.c_str());
  if (!pDir)
    return names;
  while (struct dirent* pEntry = readdir(pDir)) {
    std::string strName = pEntry->d_name;
    if (strName != "." && strName != "..")
      names.push_back(strName);
  }
  closedir(pDir);
  std::sort(names.begin(), names.end());
  return names;
}

// The first line of a small text file, without the line end; false when unreadable.
bool ReadLine(const std::string& strPath, std::string& strLine) {
  int fd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return false;
  char buf[128];
  ssize_t n = read(fd, buf, sizeof buf);
  close(fd);
  if (n < 0)
    return false;
  strLine.assign(buf, static_cast<size_t>(n));
  size_t nEnd = strLine.find_first_of("\r\n");
  if (nEnd != std::string::npos)
    strLine.resize(nEnd);
  return true;
}

// The families of devices taken as serial lines, in the order they are listed.
struct DeviceFamily {
  const char* pszPrefix;
  const char* pszKind;
};
const DeviceFamily g_families[] = {
    {"ttyS", "serial"}, {"ttyUSB", "USB"}, {"ttyACM", "ACM"}, {"rfcomm", "Bluetooth"}};

// The number after the family prefix ("ttyUSB12" -> 12), or -1 when the rest of the
// name is not a plain number.
long DeviceNumber(const std::string& strName, const std::string& strPrefix) {
  if (strName.size() <= strPrefix.size() || strName.compare(0, strPrefix.size(), strPrefix) != 0)
    return -1;
  long nNumber = 0;
  for (size_t i = strPrefix.size(); i < strName.size(); ++i) {
    char c = strName[i];
    if (c < '0' || c > '9' || nNumber > 1000000)
      return -1;
    nNumber = nNumber * 10 + (c - '0');
  }
  return nNumber;
}

// Every 8250-style driver registers a fixed set of ttyS ports whether a UART is
// fitted or not. A port is real when the driver found a UART type for it; a port
// that carries the system console is left alone.
bool IsRealBuiltInPort(const std::string& strName, const std::string& strNode) {
  std::string strSys = SysFolder() + "/class/tty/" + strName;
  std::string strLine;
  if (ReadLine(strSys + "/console", strLine) && strLine == "Y")
    return false;
  if (ReadLine(strSys + "/type", strLine)) {
    char* pEnd = nullptr;
    long nType = std::strtol(strLine.c_str(), &pEnd, 10);
    return pEnd != strLine.c_str() && nType != PORT_UNKNOWN;
  }
  // No sysfs entry: ask the driver.
  int fd = open(strNode.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errno == EBUSY;  // held exclusively by someone: it is there
  struct serial_struct info {};
  bool bReal = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  close(fd);
  return bReal;
}

// The values of the port map for the 35 table names (empty where unmapped).
std::vector<std::string> ReadMapValues() {
  std::vector<std::string> values(COM_PORT_COUNT);
  CRegKey key;
  if (!key.Open(LoadString(IDS_KEY_PORTS)))
    return values;
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    std::string strValue;
    if (key.QueryText(g_szComPortNames[i], strValue, MAX_DEVICE_PATH))
      values[static_cast<size_t>(i)] = strValue;
  }
  return values;
}

}  // namespace

int GetComPortIndex(const std::string& strName) {
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    if (strName == g_szComPortNames[i])
      return i;
  }
  return -1;
}

void SetSerialDeviceRoots(const std::string& strDevFolder, const std::string& strSysFolder) {
  std::lock_guard<std::mutex> guard(g_rootsMutex);
  g_strDevOverride = strDevFolder;
  g_strSysOverride = strSysFolder;
}

std::vector<CComPortEntry> ReadComPortMap() {
  std::vector<CComPortEntry> entries;
  std::vector<std::string> values = ReadMapValues();
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    if (!values[static_cast<size_t>(i)].empty())
      entries.push_back({g_szComPortNames[i], values[static_cast<size_t>(i)]});
  }
  return entries;
}

std::string ResolveComPort(const std::string& strComName) {
  if (GetComPortIndex(strComName) < 0)
    return std::string();
  CRegKey key;
  std::string strDevice;
  if (!key.Open(LoadString(IDS_KEY_PORTS)) || !key.QueryText(strComName, strDevice, MAX_DEVICE_PATH))
    return std::string();
  return strDevice;
}

std::vector<CSerialDevice> EnumerateSerialDevices() {
  std::string strDev = DevFolder();

  // Stable names: /dev/serial/by-id/<name> -> ../../ttyUSB0. The first link (in
  // name order) that reaches a device names it.
  std::vector<std::pair<std::string, std::string>> stableNames;  // real node, link
  std::string strById = strDev + "/serial/by-id";
  for (const std::string& strLink : ListFolder(strById)) {
    std::string strPath = strById + "/" + strLink;
    std::string strReal = RealPath(strPath);
    if (!strReal.empty())
      stableNames.emplace_back(strReal, strPath);
  }

  std::vector<std::string> names = ListFolder(strDev);
  std::vector<CSerialDevice> devices;
  for (const DeviceFamily& family : g_families) {
    std::vector<std::pair<long, std::string>> found;
    for (const std::string& strName : names) {
      long nNumber = DeviceNumber(strName, family.pszPrefix);
      if (nNumber >= 0)
        found.emplace_back(nNumber, strName);
    }
    std::sort(found.begin(), found.end());
    for (const auto& [nNumber, strName] : found) {
      std::string strNode = strDev + "/" + strName;
      if (!IsCharDevice(strNode))
        continue;
      if (std::string(family.pszPrefix) == "ttyS" && !IsRealBuiltInPort(strName, strNode))
        continue;
      CSerialDevice device;
      device.m_strNode = strNode;
      device.m_strPath = strNode;
      device.m_strKind = family.pszKind;
      std::string strReal = RealPath(strNode);
      for (const auto& [strTarget, strLink] : stableNames) {
        if (strTarget == strReal) {
          device.m_strPath = strLink;
          break;
        }
      }
      devices.push_back(std::move(device));
    }
  }
  return devices;
}

std::vector<std::string> AssignComNumbers() {
  std::vector<std::string> assigned;
  std::vector<CSerialDevice> devices = EnumerateSerialDevices();
  if (devices.empty())
    return assigned;
  std::vector<std::string> values = ReadMapValues();

  // A device is known when the map names it by any of its paths, or by a path that
  // leads to the same node (the user may have typed /dev/ttyUSB0 for a by-id link).
  std::vector<std::string> realValues(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    if (!values[i].empty())
      realValues[i] = RealPath(values[i]);
  }
  std::vector<std::pair<std::string, std::string>> additions;  // name, device
  for (const CSerialDevice& device : devices) {
    std::string strReal = RealPath(device.m_strNode);
    bool bKnown = false;
    for (size_t i = 0; i < values.size() && !bKnown; ++i) {
      if (values[i].empty())
        continue;
      bKnown = values[i] == device.m_strPath || values[i] == device.m_strNode ||
               (!strReal.empty() && realValues[i] == strReal);
    }
    if (bKnown)
      continue;
    auto itFree = std::find(values.begin(), values.end(), std::string());
    if (itFree == values.end())
      break;  // all 35 numbers are taken
    size_t nIndex = static_cast<size_t>(itFree - values.begin());
    values[nIndex] = device.m_strPath;
    realValues[nIndex] = strReal;
    additions.emplace_back(g_szComPortNames[nIndex], device.m_strPath);
  }
  if (additions.empty())
    return assigned;

  CRegKey key;
  if (!key.Create(LoadString(IDS_KEY_PORTS)))
    return assigned;
  for (const auto& [strName, strDevice] : additions) {
    // Another program may have taken the number meanwhile; never overwrite.
    std::string strExisting;
    if (key.QueryText(strName, strExisting, MAX_DEVICE_PATH) && !strExisting.empty())
      continue;
    if (key.SetText(strName, strDevice))
      assigned.push_back(strName);
  }
  return assigned;
}

SerialResult ProbeComPortResult(const std::string& strComName) {
  std::string strDevice = ResolveComPort(strComName);
  if (strDevice.empty())
    return SERIAL_NOT_FOUND;
  return CSerialPort::Probe(strDevice);
}

bool ProbeComPort(const std::string& strComName) { return ProbeComPortResult(strComName) == SERIAL_OK; }

std::string FindAvailablePorts() {
  std::string strAvailable;
  for (const CComPortEntry& entry : ReadComPortMap()) {
    if (CSerialPort::Probe(entry.m_strDevice) == SERIAL_OK) {
      strAvailable += entry.m_strName;
      strAvailable += '\t';
    }
  }
  return strAvailable;
}
