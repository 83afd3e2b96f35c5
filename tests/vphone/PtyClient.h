#pragma once
// A bare terminal client for the virtual phone's tests: plain open, raw termios,
// write, and reads that wait in poll() for expected bytes up to a generous limit.

#include <cerrno>
#include <chrono>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class CPtyClient {
public:
    static constexpr int kTimeoutMs = 15000;

    ~CPtyClient() { Close(); }

    bool Open(const std::string& strPath) {
        m_fd = open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return false;
        termios tio{};
        if (tcgetattr(m_fd, &tio) != 0) return false;
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }

    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

    int Fd() const { return m_fd; }

    bool Send(const std::string& strBytes) {
        std::size_t nDone = 0;
        while (nDone < strBytes.size()) {
            ssize_t n = write(m_fd, strBytes.data() + nDone, strBytes.size() - nDone);
            if (n > 0) {
                nDone += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd pfd{m_fd, POLLOUT, 0};
                if (poll(&pfd, 1, kTimeoutMs) <= 0) return false;
            } else if (n < 0 && errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    // Reads until the received text contains strExpect; true when it does.
    bool WaitFor(const std::string& strExpect, int nTimeoutMs = kTimeoutMs) {
        return ReadUntil([&] { return m_strReceived.find(strExpect) != std::string::npos; }, nTimeoutMs);
    }

    // Reads until the text ends with a final result code: OK, ERROR, +CME ERROR or
    // +CMS ERROR on a line of its own.
    bool WaitForFinal(int nTimeoutMs = kTimeoutMs) {
        return ReadUntil([&] { return HasFinal(m_strReceived); }, nTimeoutMs);
    }

    // Reads until the line is hung up (end of file or EIO); true when it was.
    bool WaitForHangUp(int nTimeoutMs = kTimeoutMs) {
        return ReadUntil([&] { return m_bHungUp; }, nTimeoutMs);
    }

    // Sends a command line and returns everything received up to its final result.
    std::string Command(const std::string& strCommand) {
        m_strReceived.clear();
        if (!Send(strCommand + "\r") || !WaitForFinal()) return "<no final result> " + m_strReceived;
        return Take();
    }

    std::string Take() {
        std::string str;
        str.swap(m_strReceived);
        return str;
    }
    const std::string& Received() const { return m_strReceived; }
    bool IsHungUp() const { return m_bHungUp; }

    static bool HasFinal(const std::string& str) {
        static const char* const kFinals[] = {"\r\nOK\r\n", "\r\nERROR\r\n"};
        for (const char* psz : kFinals) {
            std::string strEnd = psz;
            if (str.size() >= strEnd.size() && str.compare(str.size() - strEnd.size(), strEnd.size(), strEnd) == 0)
                return true;
        }
        std::size_t nLineStart = str.rfind("\r\n", str.size() >= 2 ? str.size() - 3 : 0);
        if (str.size() < 2 || str.compare(str.size() - 2, 2, "\r\n") != 0 || nLineStart == std::string::npos)
            return false;
        std::string strLine = str.substr(nLineStart + 2, str.size() - nLineStart - 4);
        return strLine.rfind("+CME ERROR: ", 0) == 0 || strLine.rfind("+CMS ERROR: ", 0) == 0;
    }

private:
    template <typename Done>
    bool ReadUntil(Done done, int nTimeoutMs) {
        auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        for (;;) {
            if (done()) return true;
            if (m_bHungUp) return false;
            auto nLeft = std::chrono::duration_cast<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now())
                             .count();
            if (nLeft <= 0) return false;
            pollfd pfd{m_fd, POLLIN, 0};
            int nReady = poll(&pfd, 1, static_cast<int>(nLeft));
            if (nReady < 0 && errno != EINTR) return false;
            if (nReady <= 0) continue;
            char buffer[4096];
            ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n > 0) m_strReceived.append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || (errno != EAGAIN && errno != EINTR)) m_bHungUp = true;
        }
    }

    int m_fd = -1;
    std::string m_strReceived;
    bool m_bHungUp = false;
};
