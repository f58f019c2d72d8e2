// The native run of a fuzz target, without libFuzzer:
//   <program> [runs] [folder...]        feeds `runs` generated inputs to the entry
//                                       point, then every file of the folders
//                                       (the stored corpora);
//   <program> --write-seeds <folder> [runs]
//                                       writes the generated inputs into the folder
//                                       instead: a starting corpus for the fuzzer,
//                                       which cannot forge checksums or ciphers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

class FuzzDriver {
 public:
  FuzzDriver(int argc, char** argv, unsigned long defaultRuns) : m_runs(defaultRuns) {
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--write-seeds") == 0) {
      m_seedFolder = argv[2];
      std::filesystem::create_directories(m_seedFolder);
      first = 3;
    }
    if (argc > first) m_runs = std::strtoul(argv[first++], nullptr, 10);
    if (m_seedFolder.empty()) m_folders.assign(argv + first, argv + argc);
  }

  unsigned long runs() const { return m_runs; }

  void feed(const uint8_t* data, size_t size) {
    if (m_seedFolder.empty()) {
      LLVMFuzzerTestOneInput(data, size);
      return;
    }
    std::ofstream out(m_seedFolder + "/seed-" + std::to_string(m_written++), std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }

  // Every stored input; how many there were.
  size_t replay() const {
    size_t replayed = 0;
    for (const std::string& folder : m_folders) {
      std::error_code error;
      std::filesystem::directory_iterator files(folder, error);
      if (error) {
        // A folder that is not there would make the run pass without replaying.
        std::fprintf(stderr, "no corpus folder %s\n", folder.c_str());
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

 private:
  unsigned long m_runs;
  std::string m_seedFolder;
  unsigned long m_written = 0;
  std::vector<std::string> m_folders;
};
