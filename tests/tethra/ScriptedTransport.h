// A transport that plays a modem from a script: each expected write is answered with
// the reply bytes given for it, handed out in chunks of a chosen size. Silence is a
// read that waits its time-out out, as a quiet serial line would.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tethra/AtTransport.h"

class CScriptedTransport : public IAtTransport {
 public:
  // When strWrite is written, strReply becomes readable.
  void Expect(const std::string& strWrite, const std::string& strReply) {
    m_script.push_back({strWrite, strReply});
  }
  // Bytes readable right now, before any write.
  void Push(const std::string& strBytes) { m_strReadable += strBytes; }
  // Reads hand out at most this many bytes each.
  void SetChunkSize(size_t n) { m_nChunk = n == 0 ? 1 : n; }
  // Once the script is played and the readable bytes are gone, reads report a
  // hung-up line.
  void HangUpWhenEmpty() { m_bHangUp = true; }
  void FailWrites() { m_bFailWrites = true; }
  // Called for every read that finds nothing: may supply endless bytes.
  void SetIdleSource(std::function<std::string()> fn) { m_idleSource = std::move(fn); }

  long Read(void* pBuffer, size_t nSize, int nTimeoutMs) override {
    if (m_strReadable.empty() && m_idleSource)
      m_strReadable = m_idleSource();
    if (m_strReadable.empty()) {
      if (m_bHangUp && m_script.empty())
        return -1;
      if (nTimeoutMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(nTimeoutMs));
      return 0;
    }
    size_t n = std::min({nSize, m_nChunk, m_strReadable.size()});
    std::copy_n(m_strReadable.data(), n, static_cast<char*>(pBuffer));
    m_strReadable.erase(0, n);
    return static_cast<long>(n);
  }

  bool Write(const void* pData, size_t nSize) override {
    std::string str(static_cast<const char*>(pData), nSize);
    m_writes.push_back(str);
    if (m_bFailWrites)
      return false;
    if (m_script.empty()) {
      m_unexpected.push_back(str);
      return true;
    }
    if (m_script.front().strWrite != str) {
      m_unexpected.push_back(str);
      return true;
    }
    m_strReadable += m_script.front().strReply;
    m_script.pop_front();
    return true;
  }

  const std::vector<std::string>& Writes() const { return m_writes; }
  const std::vector<std::string>& Unexpected() const { return m_unexpected; }
  size_t StepsLeft() const { return m_script.size(); }

 private:
  struct Step {
    std::string strWrite;
    std::string strReply;
  };
  std::deque<Step> m_script;
  std::string m_strReadable;
  size_t m_nChunk = 4096;
  bool m_bHangUp = false;
  bool m_bFailWrites = false;
  std::function<std::string()> m_idleSource;
  std::vector<std::string> m_writes;
  std::vector<std::string> m_unexpected;
};
