// Helpers the non-window test folders share: whole files written and read back,
// reading a descriptor until what is awaited has come, programs run to their end,
// and checks run in a child process (as the user nobody when asked).
#pragma once

#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace test_io {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes the file whole, creating its folder first.
inline void WriteFile(const std::filesystem::path& path, const std::string& strData) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << strData;
}

// Appends what fd gives to strBuffer until done() holds (true), the time-out passes
// or the other end has gone (false). The end of file, or EIO from a pseudo-terminal
// whose other side is closed, sets bClosed.
template <class Done>
bool ReadFdUntil(int fd, std::string& strBuffer, int nTimeoutMs, Done done, bool& bClosed) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
  while (!done()) {
    const auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (bClosed || nLeft <= 0)
      return false;
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(nLeft)) <= 0)
      continue;
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
      strBuffer.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || (errno != EAGAIN && errno != EINTR))
      bClosed = true;
  }
  return true;
}

// Runs a shell command line to its end: its exit status (-1 when it did not exit),
// and what it wrote to its standard output.
inline int RunCommandLine(const std::string& strCommand, std::string& strOut) {
  FILE* pPipe = popen(strCommand.c_str(), "r");
  char buffer[4096];
  strOut.clear();
  for (size_t n; pPipe && (n = fread(buffer, 1, sizeof buffer, pPipe)) > 0;)
    strOut.append(buffer, n);
  const int nStatus = pPipe ? pclose(pPipe) : -1;
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

// Runs fn (0 when its checks hold) in a child process and gives its result; with
// bAsNobody a superuser's child first becomes nobody, for whom permissions bind.
// -1 when the child did not exit, 99 when it could not change its user.
template <class Fn>
int RunInChild(Fn fn, bool bAsNobody = false) {
  const pid_t pid = fork();
  if (pid == 0) {
    const bool bRoot = bAsNobody && geteuid() == 0;
    _exit(bRoot && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) ? 99 : fn());
  }
  int nStatus = 0;
  waitpid(pid, &nStatus, 0);
  return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

}  // namespace test_io
