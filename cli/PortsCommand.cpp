// mireth ports [--json]: gives COM numbers to newly seen serial devices, then lists
// every mapped COM name with its device and whether it can be opened right now.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/SessionOptions.h"
#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "model/RecordJson.h"
#include "platform/Registry.h"

namespace {

const char* PortState(SerialResult result) {
  switch (result) {
    case SERIAL_OK:
      return "free";
    case SERIAL_IN_USE:
      return "in use";
    case SERIAL_NOT_FOUND:
      return "missing";
    case SERIAL_ACCESS_DENIED:
      return "no access";
    case SERIAL_BAD_BAUD:
    case SERIAL_IO_ERROR:
      break;
  }
  return "error";
}

int RunPorts(const std::vector<std::string>& args) {
  bool bJson = false;
  for (const std::string& strArg : args) {
    if (strArg == "--json") {
      bJson = true;
    } else {
      std::fprintf(stderr, "usage: mireth ports [--json]\n");
      return 2;
    }
  }

  // New devices get COM numbers only in a port map that could be read (one that
  // could not would be reported again as not written).
  std::vector<CComPortEntry> entries = ReadComPortMap();
  std::vector<std::string> assigned;
  if (SettingsUsable()) {
    assigned = AssignComNumbers();
    if (!assigned.empty())
      entries = ReadComPortMap();
  }

  if (bJson) {
    std::printf("[");
    for (size_t i = 0; i < entries.size(); ++i) {
      const CComPortEntry& entry = entries[i];
      bool bNew = false;
      for (const std::string& strName : assigned)
        bNew = bNew || strName == entry.m_strName;
      const SerialResult state = CSerialPort::Probe(entry.m_strDevice);
      std::printf("%s\n  {\"name\": %s, \"device\": %s, \"state\": %s, \"reason\": %s, \"new\": %s}",
                  i ? "," : "", JsonString(entry.m_strName).c_str(), JsonString(entry.m_strDevice).c_str(),
                  JsonString(PortState(state)).c_str(),
                  state == SERIAL_OK ? "null" : JsonString(GetSerialFailureText()).c_str(),
                  bNew ? "true" : "false");
    }
    std::printf("%s]\n", entries.empty() ? "" : "\n");
    return 0;
  }

  if (entries.empty()) {
    std::printf("No COM ports: no serial device found and none mapped.\n");
    return 0;
  }
  for (const CComPortEntry& entry : entries) {
    bool bNew = false;
    for (const std::string& strName : assigned)
      bNew = bNew || strName == entry.m_strName;
    const SerialResult state = CSerialPort::Probe(entry.m_strDevice);
    std::printf("%-6s %-9s %s%s\n", entry.m_strName.c_str(), PortState(state), entry.m_strDevice.c_str(),
                bNew ? "  (new)" : "");
    if (state != SERIAL_OK)  // why, in words: which process holds it, what is missing
      std::printf("       %s\n", GetSerialFailureText().c_str());
  }
  // The settings hold the port map: when they could not be read or written, main
  // makes the exit status 1 (the listing is not to be trusted).
  return 0;
}

}  // namespace

static CCommandRegistrar reg("ports", "list the COM ports, their devices and which are free", RunPorts);
