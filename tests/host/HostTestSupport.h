// The file the test plug-ins append a line to for every command they receive, in a
// folder of its own that is removed at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "tests/support/TestIo.h"

class CTraceFile {
 public:
  CTraceFile() {
    std::string s = std::filesystem::temp_directory_path().string() + "/mireth-host-XXXXXX";
    m_strDir = mkdtemp(s.data()) ? s : std::string();
  }
  ~CTraceFile() {
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
  }
  const std::string& Dir() const { return m_strDir; }
  std::string Path() const { return m_strDir + "/trace.txt"; }
  std::string Read() const { return test_io::ReadFile(Path()); }

 private:
  std::string m_strDir;
};
