// Replays a fuzz target's corpus without libFuzzer: every file named on the command
// line, or every file inside a folder named there, is fed to LLVMFuzzerTestOneInput.
// Used to keep the corpus as a regression test on compilers without libFuzzer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// libFuzzer's byte mutation, for the targets' own mutators to link against in this
// build (the replay never calls them): changes one byte.
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize) {
  if (size == 0 || maxSize == 0)
    return 0;
  data[size / 2] ^= 0x5A;
  return size < maxSize ? size : maxSize;
}

static void RunFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int main(int argc, char** argv) {
  size_t nRun = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(p))
        if (e.is_regular_file()) {
          RunFile(e.path());
          ++nRun;
        }
    } else if (std::filesystem::exists(p)) {
      RunFile(p);
      ++nRun;
    }
  }
  // An empty input always runs too, so a target with no corpus yet is still exercised.
  LLVMFuzzerTestOneInput(nullptr, 0);
  std::printf("replayed %zu inputs\n", nRun);
  return 0;
}
