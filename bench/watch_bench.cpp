// `mireth watch` idle: the program holds the virtual phone with nothing arriving, and
// the processor time it uses over a minute (MIRETH_WATCH_BENCH_SECONDS to change it)
// is scaled to an hour. Goal: at most one core-second an hour, which only a watcher
// that blocks in the line's read (no busy loop, no short polling) meets.
//
// Prints "core_seconds_per_hour" and "budget_ratio" (that over the goal: at most 1).
// As a baseline measured in the same run, a process that only blocks (sleep) is
// measured over the same time: "baseline_core_seconds_per_hour" is what merely
// existing costs on this machine, "baseline_ratio" the watcher's time against it.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& s : args)
    argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
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

void BM_WatchIdle(benchmark::State& state) {
  const int nSeconds = MeasureSeconds();
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("mireth-watch-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "locks");
  setenv("MIRETH_LOCK_DIR", (dir / "locks").c_str(), 1);
  setenv("MIRETH_REGISTRY", (dir / "settings.reg").c_str(), 1);
  CVirtualPhoneConfig config;
  config.m_strLinkPath = (dir / "modem").string();
  CVirtualPhone phone(config);
  std::string strError;
  if (!phone.Start(&strError)) {
    state.SkipWithError(strError.c_str());
    return;
  }
  for (auto _ : state) {
    pid_t watch = Spawn({MIRETH_CLI_PATH, "watch", "--device", config.m_strLinkPath, "--data", dir.string()});
    bool bReady = phone.WaitForLog(
        [](const std::vector<std::string>& log) {
          for (const std::string& line : log)
            if (line.rfind("CMD AT+CMGL=0", 0) == 0)
              return true;
          return false;
        },
        10000);
    if (watch < 0 || !bReady) {
      state.SkipWithError("watch did not start");
      if (watch > 0)
        Stop(watch);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the last listing's reply is read
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
  phone.Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

BENCHMARK(BM_WatchIdle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
