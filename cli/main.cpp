// mireth: the command-line front end. `mireth help` lists the commands.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/SessionOptions.h"
#include "mireth_version.h"

namespace {

struct CommandEntry {
  std::string strSummary;
  CommandFunction pfn;
};

std::map<std::string, CommandEntry>& Commands() {
  static std::map<std::string, CommandEntry> commands;
  return commands;
}

int PrintUsage(FILE* out) {
  std::fprintf(out, "usage: mireth COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& [name, entry] : Commands())
    std::fprintf(out, "  %-10s %s\n", name.c_str(), entry.strSummary.c_str());
  std::fprintf(out, "\n  mireth --version shows the version.\n");
  return out == stdout ? 0 : 2;
}

}  // namespace

CCommandRegistrar::CCommandRegistrar(const char* pszName, const char* pszSummary, CommandFunction pfn) {
  Commands()[pszName] = CommandEntry{pszSummary, pfn};
}

int main(int argc, char** argv) {
  if (argc < 2)
    return PrintUsage(stderr);
  std::string strName = argv[1];
  if (strName == "help" || strName == "--help" || strName == "-h")
    return PrintUsage(stdout);
  if (strName == "--version") {
    std::printf("mireth %s\n", MIRETH_VERSION);
    return 0;
  }
  auto it = Commands().find(strName);
  if (it == Commands().end()) {
    std::fprintf(stderr, "mireth: unknown command '%s'\n", strName.c_str());
    return PrintUsage(stderr);
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  // A settings file that could not be read or written fails every command that used it.
  return SettingsExitStatus(it->second.pfn(args));
}
