#include "tethra/AtChannel.h"

#include <algorithm>
#include <chrono>

#include "platform/Deadline.h"
#include "tethra/AtErrorCodes.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<uint64_t> g_nCommands{0};
std::atomic<uint64_t> g_nBytesWritten{0};
std::atomic<uint64_t> g_nBytesRead{0};

// Most bytes taken in between two commands: a phone that never stops talking must
// not hold the next command back for ever.
constexpr size_t kMaxDrain = 64 * 1024;
constexpr int kMaxDrainTime = 20;
// The pause between two tries of a command the SIM was too busy for: it starts short
// and doubles up to this.
constexpr int kMaxBusyPause = 500;
// How long an answer line that may stand alone waits for its final result.
constexpr int kAnswerGrace = 250;

bool HasAnswer(const CAtReply& reply, const std::string& strAnswer) {
  for (const std::string& line : reply.lines)
    if (line.size() >= strAnswer.size() && line.compare(0, strAnswer.size(), strAnswer) == 0)
      return true;
  return false;
}

}  // namespace

CAtChannel::CAtChannel(IAtTransport& transport, int nTimeOutMs) : m_transport(transport), m_nTimeOut(1) {
  SetTimeOut(nTimeOutMs);
}

CAtTraffic CAtChannel::GetTraffic() {
  CAtTraffic t;
  t.nCommands = g_nCommands.load();
  t.nBytesWritten = g_nBytesWritten.load();
  t.nBytesRead = g_nBytesRead.load();
  return t;
}

bool CAtChannel::IsBusyReply(const CAtReply& reply) {
  if (reply.eFinal == AT_FINAL_CME)
    return reply.nErrorCode == CME_SIM_BUSY || reply.nErrorCode == CME_DEVICE_BUSY;
  if (reply.eFinal == AT_FINAL_CMS)
    return reply.nErrorCode == CMS_SIM_BUSY || reply.nErrorCode == CMS_DEVICE_BUSY;
  return false;
}

AtStatus CAtChannel::Command(const std::string& strCommand, CAtReply& reply) {
  return RunRetryingBusy(strCommand, nullptr, reply);
}

AtStatus CAtChannel::CommandAnswered(const std::string& strCommand, const std::string& strAnswer,
                                     CAtReply& reply) {
  m_strAnswer = strAnswer;
  AtStatus status = RunRetryingBusy(strCommand, nullptr, reply);
  m_strAnswer.clear();
  return status;
}

AtStatus CAtChannel::CommandWithData(const std::string& strCommand, const std::string& strData,
                                     CAtReply& reply) {
  return RunRetryingBusy(strCommand, &strData, reply);
}

AtStatus CAtChannel::RunRetryingBusy(const std::string& strCommand, const std::string* pData,
                                     CAtReply& reply) {
  Clock::time_point start = Clock::now();
  int nPause = 20;
  for (;;) {
    AtStatus status = Run(strCommand, pData, reply, m_nTimeOut);
    // Only a refusal before the prompt is retried: once the data went out the
    // message may have gone too.
    if (status != AT_STATUS_ERROR || !IsBusyReply(reply) || (pData != nullptr && reply.bPrompt))
      return status;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    if (elapsed + nPause >= m_nTimeOut)
      return status;
    // Wait for the phone to say something (a SIM ready notice ends the wait at once),
    // or for the pause.
    char buf[512];
    long n = m_transport.Read(buf, sizeof buf, nPause);
    if (n < 0)
      return AT_STATUS_LINE_GONE;
    if (n > 0) {
      g_nBytesRead += static_cast<uint64_t>(n);
      m_strPending.append(buf, static_cast<size_t>(n));
    }
    nPause = std::min(nPause * 2, kMaxBusyPause);
  }
}

AtStatus CAtChannel::CommandOnce(const std::string& strCommand, CAtReply& reply, int nTimeOutMs) {
  return Run(strCommand, nullptr, reply, nTimeOutMs > 0 ? nTimeOutMs : 1);
}

AtStatus CAtChannel::Run(const std::string& strCommand, const std::string* pData, CAtReply& reply,
                         int nTimeOutMs) {
  reply.Clear();
  if (!Drain())
    return AT_STATUS_LINE_GONE;
  m_parser.Begin(strCommand, pData != nullptr);
  ++m_nCommands;
  ++g_nCommands;
  if (!WriteAll(strCommand + "\r"))
    return AT_STATUS_LINE_GONE;
  AtStatus status = ReadReply(pData != nullptr, nTimeOutMs);
  if (pData != nullptr && status == AT_STATUS_OK && !m_parser.IsDone()) {
    // The prompt: write the data, ended by Ctrl-Z.
    m_parser.BeginData(*pData);
    if (!WriteAll(*pData + "\x1A")) {
      reply = m_parser.GetReply();
      return AT_STATUS_LINE_GONE;
    }
    status = ReadReply(false, nTimeOutMs);
  } else if (pData != nullptr && status == AT_STATUS_TIMEOUT && !m_parser.HasPrompt()) {
    // No prompt: make sure the phone is not left waiting for text.
    WriteAll("\x1B");
  }
  reply = m_parser.GetReply();
  m_parser.Idle();
  if (status == AT_STATUS_TIMEOUT && !m_strAnswer.empty() && reply.eFinal == AT_FINAL_NONE &&
      HasAnswer(reply, m_strAnswer))
    return AT_STATUS_OK;
  if (status != AT_STATUS_OK)
    return status;
  return reply.eFinal == AT_FINAL_OK ? AT_STATUS_OK : AT_STATUS_ERROR;
}

AtStatus CAtChannel::ReadReply(bool bPrompt, int nTimeOutMs) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(nTimeOutMs);
  uint64_t nProgress = m_parser.GetProgress();
  char buf[4096];
  for (;;) {
    if (!m_strPending.empty()) {
      size_t n = m_parser.Feed(m_strPending.data(), m_strPending.size());
      m_strPending.erase(0, n);
    }
    if (m_parser.IsDone() || (bPrompt && m_parser.HasPrompt()))
      return AT_STATUS_OK;
    if (m_parser.GetProgress() != nProgress) {
      nProgress = m_parser.GetProgress();
      deadline = Clock::now() + std::chrono::milliseconds(nTimeOutMs);
      if (!m_strAnswer.empty() && HasAnswer(m_parser.GetReply(), m_strAnswer))
        deadline = Clock::now() + std::chrono::milliseconds(std::min(nTimeOutMs, kAnswerGrace));
    }
    int nLeft = MillisecondsUntil(deadline);
    if (nLeft <= 0)
      return AT_STATUS_TIMEOUT;
    long n = m_transport.Read(buf, sizeof buf, nLeft);
    if (n < 0)
      return AT_STATUS_LINE_GONE;
    if (n > 0) {
      g_nBytesRead += static_cast<uint64_t>(n);
      m_strPending.append(buf, static_cast<size_t>(n));
    }
  }
}

AtStatus CAtChannel::Listen(int nTimeOutMs) {
  if (!Drain())
    return AT_STATUS_LINE_GONE;
  char buf[4096];
  long n = m_transport.Read(buf, sizeof buf, nTimeOutMs > 0 ? nTimeOutMs : 0);
  if (n < 0)
    return AT_STATUS_LINE_GONE;
  if (n > 0) {
    g_nBytesRead += static_cast<uint64_t>(n);
    m_parser.Feed(buf, static_cast<size_t>(n));
    if (!Drain())
      return AT_STATUS_LINE_GONE;
  }
  return AT_STATUS_OK;
}

bool CAtChannel::Drain() {
  m_parser.Idle();
  if (!m_strPending.empty()) {
    m_parser.Feed(m_strPending.data(), m_strPending.size());
    m_strPending.clear();
  }
  char buf[4096];
  size_t nTaken = 0;
  Clock::time_point stop = Clock::now() + std::chrono::milliseconds(kMaxDrainTime);
  while (nTaken < kMaxDrain && Clock::now() < stop) {
    long n = m_transport.Read(buf, sizeof buf, 0);
    if (n < 0)
      return false;
    if (n == 0)
      break;
    g_nBytesRead += static_cast<uint64_t>(n);
    nTaken += static_cast<size_t>(n);
    m_parser.Feed(buf, static_cast<size_t>(n));
  }
  return true;
}

bool CAtChannel::WriteAll(const std::string& str) {
  if (!m_transport.Write(str.data(), str.size()))
    return false;
  g_nBytesWritten += str.size();
  return true;
}
