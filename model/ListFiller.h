// Fills a list of records on other threads from records read on this one.
//
// Loading a long list spends most of its time on the list's new records: two heap
// blocks each, and the first touch of that memory (a page fault every 4 KB). The
// reading thread reads each record into a reused one (Next, then Commit once it is
// read completely), which costs no allocation once the reused records have grown;
// filling threads copy them, a batch at a time, into new records, so that the
// allocations and the page faults run beside the reading and beside each other.
//
// The contract:
//  - Only Finish touches the list, on the calling thread: it hands over what was
//    committed, waits for the filling threads, appends the new records in the order
//    they were committed, and rethrows the error the threads met (out of memory),
//    if any. The list then holds every record committed before the first record
//    that failed, and none after it.
//  - Next throws that error as soon as it is known (after the same wait), so that the
//    reading stops early. Next and Commit belong to one thread.
//  - The constructor throws std::system_error when no thread can be started.
//  - The destructor waits for the filling threads if Finish was not called (the
//    reading failed), and adds nothing to the list; it never throws.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

template <class T>
class CListFiller {
 public:
  static constexpr size_t kBatch = 1024;  // records handed over at a time

  CListFiller(std::vector<std::unique_ptr<T>>& list, size_t nThreads) : m_list(list) {
    for (auto& slot : m_slots)
      slot.pRecords = std::make_unique<T[]>(kBatch);
    try {
      for (size_t i = 0; i < nThreads; ++i)
        m_threads.emplace_back([this] { Fill(); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~CListFiller() { Stop(); }
  CListFiller(const CListFiller&) = delete;
  CListFiller& operator=(const CListFiller&) = delete;

  // The reused record to read the next record into.
  T& Next() {
    if (m_nInBatch == kBatch)
      HandOver();
    return m_slots[m_nHanded % kSlots].pRecords[m_nInBatch];
  }
  // The record Next gave was read completely.
  void Commit() { ++m_nInBatch; }

  void Finish() {
    Stop();
    // Each batch is appended whole or not at all, and then dropped, so that a Finish
    // called again after a failure here appends nothing twice.
    while (!m_batches.empty()) {
      Batch& batch = m_batches.front();
      m_list.insert(m_list.end(), std::make_move_iterator(batch.records.begin()),
                    std::make_move_iterator(batch.records.end()));
      const bool bDone = batch.bDone;
      m_batches.pop_front();
      if (!bDone)
        m_batches.clear();
    }
    if (m_error)
      std::rethrow_exception(m_error);
  }

 private:
  static constexpr size_t kSlots = 6;  // batches in flight

  struct Slot {
    std::unique_ptr<T[]> pRecords;
    size_t nCount = 0;
    bool bBusy = false;  // handed over and not yet copied
  };
  // The new records of one batch handed over, in the order of handing over.
  struct Batch {
    std::vector<std::unique_ptr<T>> records;
    bool bDone = false;  // all its records were copied
  };

  // Hands the full batch over and waits until the next slot is free.
  void HandOver() {
    std::unique_lock lock(m_mutex);
    Queue(m_nInBatch);
    m_cvCopied.wait(lock, [this] { return !m_slots[m_nHanded % kSlots].bBusy || m_error; });
    if (m_error) {
      lock.unlock();
      Finish();
    }
  }

  // With the mutex held: hands the batch being read over with nCount records.
  void Queue(size_t nCount) {
    Slot& slot = m_slots[m_nHanded % kSlots];
    slot.nCount = nCount;
    slot.bBusy = true;
    m_batches.emplace_back();
    ++m_nHanded;
    m_nInBatch = 0;
    m_cvHanded.notify_one();
  }

  // Hands over the last batch and waits for the filling threads to end.
  void Stop() {
    {
      std::lock_guard lock(m_mutex);
      if (m_nInBatch != 0)
        Queue(m_nInBatch);
      m_bDone = true;
    }
    m_cvHanded.notify_all();
    for (std::thread& thread : m_threads)
      thread.join();
    m_threads.clear();
  }

  // A filling thread: takes the next batch handed over and copies it into new records.
  void Fill() {
    std::unique_lock lock(m_mutex);
    for (;;) {
      m_cvHanded.wait(lock, [this] { return m_nTaken < m_nHanded || m_bDone || m_error; });
      if (m_nTaken == m_nHanded || m_error)
        return;
      Slot& slot = m_slots[m_nTaken % kSlots];
      Batch& batch = m_batches[m_nTaken++];
      lock.unlock();
      std::exception_ptr error;
      try {
        batch.records.reserve(slot.nCount);
        for (size_t i = 0; i < slot.nCount; ++i) {
          std::unique_ptr<T> pRecord(new T);
          *pRecord = slot.pRecords[i];
          batch.records.push_back(std::move(pRecord));
        }
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      if (error) {
        if (!m_error)
          m_error = error;
        m_cvHanded.notify_all();
      } else {
        batch.bDone = true;
      }
      slot.bBusy = false;
      m_cvCopied.notify_one();
    }
  }

  std::vector<std::unique_ptr<T>>& m_list;
  std::array<Slot, kSlots> m_slots;
  size_t m_nInBatch = 0;  // reading thread: records committed to the batch being read

  std::mutex m_mutex;  // guards what follows
  std::condition_variable m_cvHanded;
  std::condition_variable m_cvCopied;
  std::deque<Batch> m_batches;  // one for every batch handed over
  size_t m_nHanded = 0;         // batches handed over
  size_t m_nTaken = 0;          // batches taken by a filling thread
  bool m_bDone = false;
  std::exception_ptr m_error;
  std::vector<std::thread> m_threads;
};
