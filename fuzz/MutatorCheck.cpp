// Checks a fuzz target's own mutator on the target's corpus, without libFuzzer: every
// input the parser accepts is mutated with many seeds, each result must fit the size
// it was given, and most results must still be accepted by the parser (the shape was
// kept, so the fuzzer's time goes to the code behind the framing checks). Prints the
// share accepted; fails below the least share given on the command line.
//
//   mutator_check_<target> CORPUS_FOLDER LEAST_PERCENT
//
// Built with the target's source and MIRETH_CHECK_PDU or MIRETH_CHECK_ARCHIVE, which
// choose the parser that judges.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#if defined(MIRETH_CHECK_PDU)
#include "tethra/PduDecoder.h"
#elif defined(MIRETH_CHECK_ARCHIVE)
#include "model/RecordList.h"
#endif

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned seed);

namespace {

unsigned g_nLeafSeed = 1;

// Whether the target's parser reads the bytes without an error.
bool Accepts(const std::vector<uint8_t>& bytes) {
#if defined(MIRETH_CHECK_PDU)
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return CPduDecoder::Decode(bytes).IsOk() || CPduDecoder::Decode(text).IsOk();
#elif defined(MIRETH_CHECK_ARCHIVE)
  CMessageArray messages;
  CAddressArray addresses;
  return ReadRecordBytes(bytes.data(), bytes.size(), messages).IsOk() ||
         ReadRecordBytes(bytes.data(), bytes.size(), addresses).IsOk();
#else
#error "MIRETH_CHECK_PDU or MIRETH_CHECK_ARCHIVE"
#endif
}

}  // namespace

// libFuzzer's byte mutation as the mutators call it: here one byte changed, put in or
// taken out, in turn.
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize) {
  const unsigned n = g_nLeafSeed++;
  if (size == 0 || maxSize == 0)
    return 0;
  const size_t nAt = n % size;
  switch (n % 3) {
    case 0:
      data[nAt] = static_cast<uint8_t>(data[nAt] + 1 + n % 251);
      return size;
    case 1:
      if (size >= maxSize)
        return size;
      for (size_t i = size; i > nAt; --i)
        data[i] = data[i - 1];
      data[nAt] = static_cast<uint8_t>(n);
      return size + 1;
    default:
      if (size < 2)
        return size;
      for (size_t i = nAt; i + 1 < size; ++i)
        data[i] = data[i + 1];
      return size - 1;
  }
}

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER LEAST_PERCENT\n", argv[0]);
    return 2;
  }
  constexpr size_t kMaxSize = 4096;
  constexpr unsigned kSeeds = 40;
  size_t nInputs = 0, nMutants = 0, nAccepted = 0, nTooLong = 0;
  for (const auto& e : std::filesystem::directory_iterator(argv[1])) {
    std::ifstream in(e.path(), std::ios::binary);
    const std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (input.size() > kMaxSize || !Accepts(input))
      continue;
    ++nInputs;
    for (unsigned nSeed = 1; nSeed <= kSeeds; ++nSeed) {
      std::vector<uint8_t> buffer(input);
      buffer.resize(kMaxSize);
      const size_t nSize = LLVMFuzzerCustomMutator(buffer.data(), input.size(), kMaxSize, nSeed * 7919u);
      ++nMutants;
      if (nSize > kMaxSize) {
        ++nTooLong;
        continue;
      }
      buffer.resize(nSize);
      nAccepted += Accepts(buffer) ? 1 : 0;
    }
  }
  const double dPercent =
      nMutants ? 100.0 * static_cast<double>(nAccepted) / static_cast<double>(nMutants) : 0.0;
  std::printf("%zu accepted inputs, %zu mutants: %.1f %% accepted, %zu too long\n", nInputs, nMutants,
              dPercent, nTooLong);
  return nInputs > 0 && nTooLong == 0 && dPercent >= std::atof(argv[2]) ? 0 : 1;
}
