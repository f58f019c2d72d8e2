// The few file-system operations the emulator's image and state files need,
// on the host's own API (one implementation per platform).
#pragma once

#include <cstdint>
#include <string>

namespace emu::hostfile {

enum class Kind { kMissing, kRegular, kOther };

Kind kindOf(const std::string& path);
// The size of a regular file; false when it cannot be read.
bool sizeOf(const std::string& path, uint64_t& bytes);
// Extends or cuts an existing file to bytes; an extension reads as zeros.
bool resize(const std::string& path, uint64_t bytes);
// Moves from onto to, replacing a file that is there.
bool replace(const std::string& from, const std::string& to);
bool remove(const std::string& path);

}  // namespace emu::hostfile
