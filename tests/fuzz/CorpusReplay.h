// The stored inputs of a fuzz target, replayed by its native test run: every
// file of the folders named on the command line from argument `first` on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

inline size_t replayCorpora(int argc, char** argv, int first) {
  size_t replayed = 0;
  for (int i = first; i < argc; ++i) {
    std::error_code error;
    std::filesystem::directory_iterator files(argv[i], error);
    if (error) {
      // A folder that is not there would make the run pass without replaying.
      std::fprintf(stderr, "no corpus folder %s\n", argv[i]);
      std::exit(1);
    }
    for (const auto& entry : files) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  return replayed;
}
