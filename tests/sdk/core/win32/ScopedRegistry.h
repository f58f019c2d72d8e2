// Keys a test writes under HKEY_LOCAL_MACHINE, removed again, with everything
// below them, when the test ends: only the keys the test itself created go.
#pragma once

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

#include <string>
#include <vector>

class ScopedRegistry {
 public:
  ScopedRegistry() = default;
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;
  ~ScopedRegistry() {
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it) {
      SHDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
    }
  }

  // Creates path (and its missing parents); sets a string value when name is given.
  void write(const std::string& path, const char* name = nullptr, const std::string& value = "") {
    rememberFirstMissing(path);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    if (name != nullptr) {
      EXPECT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1)),
                ERROR_SUCCESS);
    }
    RegCloseKey(key);
  }

 private:
  void rememberFirstMissing(const std::string& path) {
    for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
      const std::string prefix = path.substr(0, end);
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        m_created.push_back(prefix);
        return;
      }
      RegCloseKey(key);
      if (end == std::string::npos) return;
    }
  }

  std::vector<std::string> m_created;
};
