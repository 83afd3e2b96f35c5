// The command-line program's sub-commands. Each lives in a source file of its own
// and registers itself with a static CCommandRegistrar:
//
//   static CCommandRegistrar reg("ports", "list the COM ports", RunPorts);
//
// A command receives the words after its name and returns the exit status.
#pragma once

#include <string>
#include <vector>

using CommandFunction = int (*)(const std::vector<std::string>& args);

struct CCommandRegistrar {
  CCommandRegistrar(const char* pszName, const char* pszSummary, CommandFunction pfn);
};
