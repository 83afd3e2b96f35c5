// `mireth watch` idle: the program holds the virtual phone with nothing arriving, and
// the processor time it uses over a minute (MIRETH_WATCH_BENCH_SECONDS to change it)
// is scaled to an hour. Goal: at most one core-second an hour, which only a watcher
// that blocks in the line's read (no busy loop, no short polling) meets.
//
// Prints "core_seconds_per_hour" and "budget_ratio" (that over the goal: at most 1).
// As a baseline measured in the same run, a process that only blocks (sleep) is
// measured over the same time: "baseline_core_seconds_per_hour" is what merely
// existing costs on this machine, "baseline_ratio" the watcher's time against it.
//
// `mireth watch` on arrival: a message given to the phone while watch runs, and the
// time until watch has printed it ("arrival_ms"; goal: within a second, so
// "arrival_ratio" = arrival_ms / 1000 at most 1), over ten messages (the slowest
// counts).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "vphone/VirtualPhone.h"

extern char** environ;

namespace {

constexpr double kBudgetPerHour = 1.0;  // core-seconds

int MeasureSeconds() {
  const char* p = std::getenv("MIRETH_WATCH_BENCH_SECONDS");
  int n = p ? std::atoi(p) : 60;
  return n > 0 ? n : 60;
}

// Time a running single-threaded process has spent on a processor, in seconds, to
// the nanosecond (the first field of /proc/<pid>/schedstat).
double ProcessCpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  double dNanoseconds = 0;
  in >> dNanoseconds;
  return dNanoseconds / 1e9;
}

// Starts a program with its standard error to /dev/null, and its standard output
// there too, or, with pFd, on a pipe whose read end goes to *pFd.
pid_t Spawn(std::vector<std::string> args, int* pFd = nullptr) {
  int fds[2] = {-1, -1};
  if (pFd != nullptr && pipe(fds) != 0)
    return -1;
  std::vector<char*> argv;
  for (std::string& s : args)
    argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pFd != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  if (pFd != nullptr) {
    close(fds[1]);
    *pFd = fds[0];
  }
  return pid;
}

// Processor time a process takes over nSeconds, from after its start-up.
double IdleCpu(pid_t pid, int nSeconds) {
  double dStart = ProcessCpuSeconds(pid);
  std::this_thread::sleep_for(std::chrono::seconds(nSeconds));
  return ProcessCpuSeconds(pid) - dStart;
}

void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// A virtual phone in a folder of its own, with the lock and settings files there;
// stopped and removed at the end of the benchmark.
struct CBenchPhone {
  explicit CBenchPhone(const std::string& strName)
      : dir(std::filesystem::temp_directory_path() / (strName + std::to_string(getpid()))) {
    std::filesystem::create_directories(dir / "locks");
    setenv("MIRETH_LOCK_DIR", (dir / "locks").c_str(), 1);
    setenv("MIRETH_REGISTRY", (dir / "settings.reg").c_str(), 1);
    config.m_strLinkPath = (dir / "modem").string();
    pPhone = std::make_unique<CVirtualPhone>(config);
  }
  ~CBenchPhone() {
    pPhone->Stop();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  bool Start(benchmark::State& state) {
    std::string strError;
    if (pPhone->Start(&strError))
      return true;
    state.SkipWithError(strError.c_str());
    return false;
  }
  std::filesystem::path dir;
  CVirtualPhoneConfig config;
  std::unique_ptr<CVirtualPhone> pPhone;
};

// Starts mireth watch on the bench's phone and waits until the phone has logged a
// line starting with pszReady, then half a second more for its reply to be read.
// Standard output goes to /dev/null, or with pFd to a pipe. -1 when it did not start.
pid_t StartWatch(CBenchPhone& bench, const char* pszReady, int* pFd) {
  pid_t watch = Spawn(
      {MIRETH_CLI_PATH, "watch", "--device", bench.config.m_strLinkPath, "--data", bench.dir.string()}, pFd);
  const bool bReady = watch > 0 && bench.pPhone->WaitForLog(
                                       [pszReady](const std::vector<std::string>& log) {
                                         for (const std::string& line : log)
                                           if (line.rfind(pszReady, 0) == 0)
                                             return true;
                                         return false;
                                       },
                                       10000);
  if (!bReady) {
    if (watch > 0)
      Stop(watch);
    return -1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  return watch;
}

void BM_WatchIdle(benchmark::State& state) {
  const int nSeconds = MeasureSeconds();
  CBenchPhone bench("mireth-watch-bench-");
  if (!bench.Start(state))
    return;
  for (auto _ : state) {
    pid_t watch = StartWatch(bench, "CMD AT+CMGL=", nullptr);
    if (watch < 0) {
      state.SkipWithError("watch did not start");
      break;
    }
    double dWatch = IdleCpu(watch, nSeconds);
    Stop(watch);

    pid_t sleeper = Spawn({"/bin/sleep", std::to_string(nSeconds + 5)});
    double dBaseline = IdleCpu(sleeper, nSeconds);
    Stop(sleeper);

    const double dPerHour = dWatch * 3600.0 / nSeconds;
    const double dBaselinePerHour = dBaseline * 3600.0 / nSeconds;
    state.counters["core_seconds_per_hour"] = dPerHour;
    state.counters["budget_ratio"] = dPerHour / kBudgetPerHour;
    state.counters["baseline_core_seconds_per_hour"] = dBaselinePerHour;
    state.counters["baseline_ratio"] = dWatch / std::max(dBaseline, 1e-9);
  }
}

// Waits up to nMs for a whole line on fd (into strLine); false when none came.
bool ReadLine(int fd, std::string& buffer, int nMs, std::string& strLine) {
  const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMs);
  while (buffer.find('\n') == std::string::npos) {
    const auto nLeft =
        std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now())
            .count();
    if (nLeft <= 0)
      return false;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(nLeft)) <= 0)
      continue;
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0)
      return false;
    buffer.append(chunk, static_cast<size_t>(n));
  }
  strLine = buffer.substr(0, buffer.find('\n'));
  buffer.erase(0, buffer.find('\n') + 1);
  return true;
}

// "How are you?" from +31641600986 (3GPP TS 23.040 example layout), with the minute
// of its time stamp varied so that each message has a key of its own.
std::string Deliver(int n) {
  char szMinute[3];
  std::snprintf(szMinute, sizeof szMinute, "%d%d", n % 10, (n / 10) % 6);
  return std::string("07911326040000F0040B911346610089F6000020806291") + szMinute +
         "14080CC8F71D14969741F977FD07";
}

void BM_WatchArrival(benchmark::State& state) {
  CBenchPhone bench("mireth-arrival-bench-");
  if (!bench.Start(state))
    return;
  CVirtualPhone& phone = *bench.pPhone;
  for (auto _ : state) {
    int fd = -1;
    pid_t watch = StartWatch(bench, "CMD AT+CNMI=", &fd);
    if (watch < 0) {
      state.SkipWithError("watch did not start");
      break;
    }
    std::string buffer, strLine;
    while (ReadLine(fd, buffer, 300, strLine)) {
      // what watch prints as it starts
    }
    double dWorstMs = 0;
    for (int i = 0; i < 10; ++i) {
      const auto t0 = std::chrono::steady_clock::now();
      if (phone.InjectReceivedMessage(Deliver(i)) <= 0 || !ReadLine(fd, buffer, 10000, strLine) ||
          strLine.find("How are you?") == std::string::npos) {
        state.SkipWithError(("a message was not printed within ten seconds: " + strLine).c_str());
        break;
      }
      const double dMs =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      dWorstMs = std::max(dWorstMs, dMs);
    }
    Stop(watch);
    close(fd);
    state.counters["arrival_ms"] = dWorstMs;
    state.counters["arrival_ratio"] = dWorstMs / 1000.0;
  }
}

BENCHMARK(BM_WatchArrival)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_WatchIdle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
