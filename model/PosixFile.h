// A file read or written through its descriptor, for the archive: a store file, its
// temporary, or standard output. Failures are thrown as file exceptions (the cause
// from the system's error number), and the store files' fault hook is asked before
// each read and write (see StoreFile.h), so tests can make any of them fail.
//
// A file that is to be flushed at its end (a store file's temporary) may have the
// disk's writeback started every few megabytes as it is written (it is then written
// from its start), so that the flush waits for its last part only. Other output
// (standard output) is left to the system.
#pragma once

#include <cstddef>

#include "model/Archive.h"

// Throws the file exception for a system error number.
[[noreturn]] void ThrowFileError(int nErrno);

class CPosixFile final : public CFile {
 public:
  // nSize: the file's size when it is read (what GetRemaining counts down from).
  CPosixFile(int fd, size_t nSize) : m_fd(fd), m_nSize(nSize) {}
  enum Writeback { startWriteback };
  CPosixFile(int fd, Writeback) : m_fd(fd), m_nSize(0), m_bWriteback(true) {}

  size_t Read(void* pBuffer, size_t nCount) override;
  void Write(const void* pBuffer, size_t nCount) override;
  size_t GetRemaining() const override { return m_nPos < m_nSize ? m_nSize - m_nPos : 0; }
  size_t GetWritten() const { return m_nWritten; }

 private:
  void StartWriteback();

  static constexpr size_t kWritebackStep = 2 << 20;
  int m_fd;
  size_t m_nSize;
  size_t m_nPos = 0;
  size_t m_nWritten = 0;
  bool m_bWriteback = false;
  size_t m_nWriteback = 0;  // where the writeback started so far ends
};
