// Helpers for the fuzz targets' own mutators (LLVMFuzzerCustomMutator), which take
// an input apart into its fields, change a field or two and put it together again
// with every length and count made to agree, so that the fuzzer gets past the
// framing checks into the code behind them. The leaf bytes are changed by
// libFuzzer's own mutations (LLVMFuzzerMutate).
//
// MIRETH_FUZZ_PLAIN=1 in the environment turns the shape-keeping mutations off (the
// target then mutates as libFuzzer does without a mutator of its own), so that
// coverage of equal runs can be compared with and without them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t* pData, size_t nSize, size_t nMaxSize);

class CShapeRandom {
 public:
  explicit CShapeRandom(unsigned nSeed) : m_engine(nSeed) {}
  // A number from 0 to nBelow - 1 (0 when nBelow is 0).
  size_t Below(size_t nBelow) { return nBelow ? m_engine() % nBelow : 0; }
  // True once in nTimes.
  bool OneIn(size_t nTimes) { return Below(nTimes) == 0; }
  uint8_t Octet() { return static_cast<uint8_t>(m_engine()); }
  template <class T, size_t N>
  const T& Pick(const T (&values)[N]) {
    return values[Below(N)];
  }

 private:
  std::minstd_rand m_engine;
};

// Whether the shape-keeping mutations are off for this run.
inline bool ShapeMutationOff() {
  static const bool bOff = std::getenv("MIRETH_FUZZ_PLAIN") != nullptr;
  return bOff;
}

// Changes the bytes with libFuzzer's mutations, to at most nMaxSize bytes (an empty
// field gets a random byte to start from).
inline void MutateLeaf(std::vector<uint8_t>& bytes, size_t nMaxSize, CShapeRandom& random) {
  if (nMaxSize == 0) {
    bytes.clear();
    return;
  }
  if (bytes.empty())
    bytes.push_back(random.Octet());
  if (bytes.size() > nMaxSize)
    bytes.resize(nMaxSize);
  const size_t nOld = bytes.size();
  bytes.resize(nMaxSize);
  bytes.resize(LLVMFuzzerMutate(bytes.data(), nOld, nMaxSize));
}
