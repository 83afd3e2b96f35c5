#include "bench/HeapCounter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<size_t> g_nLiveBytes{0};
std::atomic<size_t> g_nPeakBytes{0};
std::atomic<bool> g_bCounting{true};

void* CountedAlloc(size_t n) {
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p == nullptr)
    throw std::bad_alloc();
  if (!g_bCounting.load(std::memory_order_relaxed))
    return p;
  const size_t nSize = malloc_usable_size(p);
  const size_t nLive = g_nLiveBytes.fetch_add(nSize, std::memory_order_relaxed) + nSize;
  size_t nPeak = g_nPeakBytes.load(std::memory_order_relaxed);
  while (nLive > nPeak && !g_nPeakBytes.compare_exchange_weak(nPeak, nLive, std::memory_order_relaxed)) {
  }
  return p;
}

void CountedFree(void* p) {
  if (p == nullptr)
    return;
  if (g_bCounting.load(std::memory_order_relaxed))
    g_nLiveBytes.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
  std::free(p);
}

}  // namespace

namespace bench {

void SetHeapCounting(bool bOn) { g_bCounting.store(bOn); }
size_t GetLiveHeapBytes() { return g_nLiveBytes.load(); }
size_t GetPeakHeapBytes() { return g_nPeakBytes.load(); }
void ResetHeapPeak() { g_nPeakBytes.store(g_nLiveBytes.load()); }

}  // namespace bench

void* operator new(size_t n) { return CountedAlloc(n); }
void* operator new[](size_t n) { return CountedAlloc(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(n);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
  try {
    return CountedAlloc(n);
  } catch (...) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { CountedFree(p); }
void operator delete[](void* p) noexcept { CountedFree(p); }
void operator delete(void* p, size_t) noexcept { CountedFree(p); }
void operator delete[](void* p, size_t) noexcept { CountedFree(p); }
