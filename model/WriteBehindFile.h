// A file written from a second thread. Each block handed to Write is copied and
// passed to that thread, which writes it to the file underneath while the caller
// goes on making the next block: on a machine with two cores, making a large file
// and writing it to the disk overlap.
//
// The contract:
//  - The blocks reach the file underneath whole and in the order they were given.
//  - A failure of the file underneath (an exception its Write throws) stops the
//    writing; the next Write or Finish throws it in the caller's thread. Nothing
//    given after the failure is written.
//  - Finish waits until every block given is written. The destructor waits for the
//    block being written, drops any block not yet begun, and never throws.
//  - Reading is refused (write only).
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "model/Archive.h"

class CWriteBehindFile final : public CFile {
 public:
  explicit CWriteBehindFile(CFile& target);
  ~CWriteBehindFile() override;
  CWriteBehindFile(const CWriteBehindFile&) = delete;
  CWriteBehindFile& operator=(const CWriteBehindFile&) = delete;

  size_t Read(void* pBuffer, size_t nCount) override;
  void Write(const void* pBuffer, size_t nCount) override;
  void Finish();

 private:
  void Run();
  void ThrowFailure();  // with the lock held

  CFile& m_target;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::string m_next;       // the block handed over and not yet taken
  bool m_bNext = false;     // m_next holds one
  bool m_bWriting = false;  // the thread is writing a block
  bool m_bStop = false;     // the thread is to end
  std::exception_ptr m_failure;
  std::thread m_thread;  // last: started once the rest is set up
};
