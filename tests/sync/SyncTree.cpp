#include "SyncTree.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "SyncFileSystem.h"

namespace synctest {

void SyncTree::write(const std::string& enginePath, const std::string& content, uint64_t time) {
  const std::filesystem::path path = nativePath(enginePath);
  std::filesystem::create_directories(path.parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + path.string());
  }
  setTime(enginePath, time);
}

uint64_t SyncTree::time(const std::string& enginePath) {
  tovik::SyncFileTime t;
  if (!tovik::platformSyncFileSystem().lastWriteTime(enginePath, t)) return 0;
  return t.value();
}

std::string SyncTree::read(const std::string& enginePath) {
  std::ifstream in(nativePath(enginePath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SyncTree::exists(const std::string& enginePath) {
  std::error_code ec;
  return std::filesystem::exists(nativePath(enginePath), ec);
}

void SyncTree::remove(const std::string& enginePath) {
  std::error_code ec;
  std::filesystem::remove_all(nativePath(enginePath), ec);
}

void SyncTree::makeFolder(const std::string& enginePath) {
  std::filesystem::create_directories(nativePath(enginePath));
}

void SyncTree::rename(const std::string& fromEnginePath, const std::string& toEnginePath) {
  std::filesystem::rename(nativePath(fromEnginePath), nativePath(toEnginePath));
}

}  // namespace synctest
