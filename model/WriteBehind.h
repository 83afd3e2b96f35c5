// Blocks written to a file from a second thread. Each block handed over is taken
// whole (its buffer changes hands, nothing is copied) and written to the file
// underneath while the caller goes on making the next block: on a machine with two
// cores, making a large output and writing it overlap.
//
// The contract:
//  - The blocks reach the file underneath whole and in the order they were handed.
//  - Hand gives back an empty buffer (with the memory of a block written before) to
//    fill next; it waits while the block before the last is still being written.
//  - A failure of the file underneath (an exception its Write throws) stops the
//    writing; the next Hand or Finish throws it in the caller's thread. Nothing
//    handed after the failure is written.
//  - Finish waits until every block handed is written. The destructor waits for the
//    block being written, drops any block not yet begun, and never throws.
#pragma once

#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "model/Archive.h"

class CWriteBehind {
 public:
  explicit CWriteBehind(CFile& target);
  ~CWriteBehind();
  CWriteBehind(const CWriteBehind&) = delete;
  CWriteBehind& operator=(const CWriteBehind&) = delete;

  void Hand(std::string& block);
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
