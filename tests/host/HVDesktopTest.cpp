// HVDesktop run as a program, the way scripts use it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct RunResult {
  int exitCode = -1;  // -1 when the program did not end normally
  std::string out, err;
};

// Runs HVDesktop with exactly the given environment and collects its output. A program
// that has not finished after a minute is killed (it would be waiting for a window).
RunResult RunHost(const std::vector<std::string>& args, const std::vector<std::string>& env) {
  RunResult r;
  int outPipe[2], errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return r;
  std::vector<std::string> argStore = {HVDESKTOP_PATH};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (std::string& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore = env;
  // The sanitizer runtime reads its options from the environment; keep them.
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* v = std::getenv(name)) envStore.push_back(std::string(name) + "=" + v);
  for (std::string& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    close(outPipe[0]), close(outPipe[1]), close(errPipe[0]), close(errPipe[1]);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open = 2;
  while (open > 0) {
    const int n = poll(fds, 2, 60000);
    if (n == 0) {
      kill(pid, SIGKILL);
      break;
    }
    if (n < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buf[4096];
      const ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  return r;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The environment of an offscreen run whose test plug-ins trace into a fresh file.
class HVDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/hvdesktop-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    m_dir = dir;
    m_trace = m_dir + "/trace.txt";
  }
  void TearDown() override {
    std::remove(m_trace.c_str());
    rmdir(m_dir.c_str());
  }
  std::vector<std::string> Offscreen() const {
    return {"QT_QPA_PLATFORM=offscreen", "HOME=" + m_dir, "XDG_RUNTIME_DIR=" + m_dir,
            "TEST_PLUGIN_TRACE=" + m_trace};
  }

  std::string m_dir, m_trace;
};

TEST_F(HVDesktopTest, WithoutADisplayItSaysSoAndFails) {
  const RunResult r = RunHost({"--plugin", TEST_PLUGIN_ALPHA, "--command", "1"}, {"HOME=" + m_dir});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "HVDesktop needs a display: set DISPLAY or run under Xvfb\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(m_trace), "");  // no plug-in was loaded

  // An empty DISPLAY is no display either; help and usage errors need none.
  EXPECT_EQ(RunHost({}, {"DISPLAY=", "QT_QPA_PLATFORM="}).exitCode, 1);
  const RunResult help = RunHost({"--help"}, {});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--plugin-dir"), std::string::npos);
  const RunResult bad = RunHost({"--colour", "red"}, {});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("unknown option: --colour"), std::string::npos);
}

TEST_F(HVDesktopTest, CommandGoesToTheNamedPluginWithTheRecipient) {
  const RunResult r = RunHost({"--plugin", TEST_PLUGIN_ALPHA, "--plugin", TEST_PLUGIN_BETA,
                               "--plugin-name", "Beta", "--recipient-name", "Ann Lee",
                               "--recipient-number", "a", "--recipient-number", "b", "--command",
                               "1", "--quit-after"},
                              Offscreen());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "result: 1\n");
  // The options are HVDesktop's alone: Qt must not take "--plugin" for one of its own.
  EXPECT_EQ(r.err, "");
  // Beta registered second, so its host value is 2.
  EXPECT_EQ(ReadFile(m_trace),
            "Beta host=2 command=1 param1=0 name=Ann Lee count=2 numbers=a\\r\\nb result=1\n");
}

TEST_F(HVDesktopTest, OtherCommandsGoToTheFirstPluginWithoutRecipient) {
  const RunResult r = RunHost({"--plugin", TEST_PLUGIN_BETA, "--plugin", TEST_PLUGIN_ALPHA,
                               "--recipient-name", "Ann", "--command", "7", "--quit-after"},
                              Offscreen());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "result: 7\n");
  EXPECT_EQ(ReadFile(m_trace), "Beta host=1 command=7 param1=0 param2=0 result=7\n");
}

TEST_F(HVDesktopTest, PluginFolderAndMissingTarget) {
  // A folder scan loads the plug-ins and names the libraries that are none.
  const RunResult list = RunHost({"--plugin-dir", TEST_PLUGIN_DIR, "--quit-after"}, Offscreen());
  EXPECT_EQ(list.exitCode, 0) << list.err;
  EXPECT_EQ(list.out, "plug-in: Alpha\nplug-in: Beta\n");
  EXPECT_NE(list.err.find(std::string(TEST_PLUGIN_NONE) + ": not a plug-in"), std::string::npos) << list.err;
  EXPECT_NE(list.err.find(std::string(TEST_PLUGIN_SILENT) + ": the plug-in did not register"),
            std::string::npos);

  // A command for a plug-in that is not there reaches nobody.
  const RunResult none = RunHost({"--plugin-dir", TEST_PLUGIN_DIR, "--plugin-name", "Gamma",
                                  "--command", "1", "--quit-after"},
                                 Offscreen());
  EXPECT_EQ(none.exitCode, 3);
  EXPECT_EQ(none.out, "");
  EXPECT_NE(none.err.find("no plug-in named \"Gamma\""), std::string::npos) << none.err;
  EXPECT_EQ(ReadFile(m_trace), "");
}

}  // namespace
