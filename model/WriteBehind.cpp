#include "model/WriteBehind.h"

CWriteBehind::CWriteBehind(CFile& target) : m_target(target), m_thread([this] { Run(); }) {}

CWriteBehind::~CWriteBehind() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStop = true;
  }
  m_changed.notify_all();
  m_thread.join();
}

void CWriteBehind::Hand(std::string& block) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return !m_bNext || m_failure; });
  ThrowFailure();
  m_next.swap(block);  // block gets the buffer the thread gave back
  block.clear();
  m_bNext = true;
  lock.unlock();
  m_changed.notify_all();
}

void CWriteBehind::Finish() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return (!m_bNext && !m_bWriting) || m_failure; });
  ThrowFailure();
}

void CWriteBehind::ThrowFailure() {
  if (m_failure)
    std::rethrow_exception(m_failure);
}

void CWriteBehind::Run() {
  std::string block;
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [&] { return m_bNext || m_bStop; });
    if (m_bStop || m_failure)
      return;
    block.swap(m_next);  // m_next keeps the buffer written last, for the caller
    m_bNext = false;
    m_bWriting = true;
    lock.unlock();
    m_changed.notify_all();  // the caller may hand over the next block
    std::exception_ptr failure;
    try {
      m_target.Write(block.data(), block.size());
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure)
      m_failure = failure;
    m_bWriting = false;
    m_changed.notify_all();
  }
}
