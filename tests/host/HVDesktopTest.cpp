// HVDesktop run as a program, the way scripts use it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tests/host/HostTestSupport.h"
#include "tests/support/TestIo.h"

namespace {

class HVDesktopTest : public ::testing::Test {
 protected:
  struct Result {
    int nExit = -1;  // -1 when the program did not end normally
    std::string strOut, strErr;
  };
  // Runs HVDesktop with exactly the given environment (and the sanitizer's options).
  // A program still running after a minute (waiting for a window) is ended.
  Result Run(const std::vector<std::string>& args, std::vector<std::string> env) {
    for (const char* pszName : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
      if (const char* psz = std::getenv(pszName))
        env.push_back(std::string(pszName) + "=" + psz);
    std::string strCommand = "timeout -s KILL 60 env -i";
    for (const std::string& s : env)
      strCommand += " '" + s + "'";
    strCommand += " '" HVDESKTOP_PATH "'";
    for (const std::string& s : args)
      strCommand += " '" + s + "'";
    Result r;
    r.nExit = test_io::RunCommandLine(strCommand + " 2>'" + m_trace.Dir() + "/err'", r.strOut);
    if (r.nExit >= 124)  // ended by the time-out
      r.nExit = -1;
    r.strErr = test_io::ReadFile(m_trace.Dir() + "/err");
    return r;
  }
  // An offscreen run whose test plug-ins trace into the test's file.
  std::vector<std::string> Offscreen() const {
    return {"QT_QPA_PLATFORM=offscreen", "HOME=" + m_trace.Dir(), "XDG_RUNTIME_DIR=" + m_trace.Dir(),
            "TEST_PLUGIN_TRACE=" + m_trace.Path()};
  }
  CTraceFile m_trace;
};

TEST_F(HVDesktopTest, WithoutADisplayItSaysSoAndFails) {
  for (const std::vector<std::string>& env : {std::vector<std::string>{"HOME=" + m_trace.Dir()},
                                              std::vector<std::string>{"DISPLAY=", "QT_QPA_PLATFORM="}}) {
    const Result r = Run({"--plugin", TEST_PLUGIN_ALPHA, "--command", "1"}, env);
    EXPECT_EQ(r.nExit, 1);
    EXPECT_EQ(r.strErr, "HVDesktop needs a display: set DISPLAY or run under Xvfb\n");
    EXPECT_EQ(r.strOut, "");
  }
  EXPECT_EQ(m_trace.Read(), "");  // no plug-in was loaded
  // Help and usage errors need no display.
  EXPECT_EQ(Run({"--help"}, {}).nExit, 0);
  const Result bad = Run({"--colour", "red"}, {});
  EXPECT_EQ(bad.nExit, 2);
  EXPECT_NE(bad.strErr.find("unknown option: --colour"), std::string::npos);
}

TEST_F(HVDesktopTest, CommandsGoToTheNamedOrFirstPlugin) {
  Result r = Run({"--plugin", TEST_PLUGIN_ALPHA, "--plugin", TEST_PLUGIN_BETA, "--plugin-name", "Beta",
                  "--recipient-name", "Ann Lee", "--recipient-number", "a", "--recipient-number", "b",
                  "--command", "1", "--quit-after"},
                 Offscreen());
  EXPECT_EQ(r.nExit, 0) << r.strErr;
  EXPECT_EQ(r.strOut, "result: 1\n");
  EXPECT_EQ(r.strErr, "");  // Qt must not take "--plugin" for one of its own options
  r = Run({"--plugin", TEST_PLUGIN_BETA, "--plugin", TEST_PLUGIN_ALPHA, "--recipient-name", "Ann",
           "--command", "7", "--quit-after"},
          Offscreen());
  EXPECT_EQ(r.strOut, "result: 7\n");
  // Beta registered second in the first run and first in the second.
  const std::string strTrace =
      "Beta host=2 command=1 param1=0 name=Ann Lee count=2 numbers=a\\r\\nb result=1\n"
      "Beta host=1 command=7 param1=0 param2=0 result=7\n";
  EXPECT_EQ(m_trace.Read(), strTrace);

  // A command for a plug-in that is not there reaches nobody.
  r = Run({"--plugin-dir", TEST_PLUGIN_DIR, "--plugin-name", "Gamma", "--command", "1", "--quit-after"},
          Offscreen());
  EXPECT_EQ(r.nExit, 3);
  EXPECT_NE(r.strErr.find("no plug-in named \"Gamma\""), std::string::npos) << r.strErr;
  EXPECT_EQ(m_trace.Read(), strTrace);
}

}  // namespace
