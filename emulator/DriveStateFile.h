// A virtual drive kept between runs of the program: a small text file with the
// drive's identity, layout, password, configuration block and hidden pages, and
// the path of the image file that holds its sectors.
#pragma once

#include <memory>
#include <string>

#include "EmulatedDrive.h"

namespace emu {

struct SavedDrive {
  DriveConfig config;
  DriveState state;
  std::string imagePath;
};

class CDriveStateFile {
 public:
  // Writes the state next to path first and then puts it in place, so a failed
  // save never leaves a half-written file behind. Throws std::runtime_error.
  static void save(const std::string& path, const SavedDrive& saved);
  // Reads a state file. A missing, damaged or truncated file throws
  // std::runtime_error naming the file and what is wrong; the file is never written.
  static SavedDrive load(const std::string& path);

  // A drive on its image file, as saved (the image must exist), and its saving.
  static std::unique_ptr<CEmulatedDrive> openDrive(const std::string& path);
  static void saveDrive(const std::string& path, const CEmulatedDrive& drive,
                        const std::string& imagePath);

  static constexpr const char* kHeader = "TovikEmulatedDrive 1";
};

}  // namespace emu
