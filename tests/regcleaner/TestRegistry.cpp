#include "TestRegistry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <windows.h>

TestRegistry::~TestRegistry() {
  for (const auto& value : m_values) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, value.first.c_str(), 0, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
      RegDeleteValueA(key, value.second.c_str());
      RegCloseKey(key);
    }
  }
  for (auto it = m_createdKeys.rbegin(); it != m_createdKeys.rend(); ++it) {
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, it->c_str());
  }
}

void TestRegistry::key(const std::string& path) {
  // The first missing key of the path is the one to remove again.
  for (size_t end = path.find('\\');; end = path.find('\\', end + 1)) {
    const std::string prefix = path.substr(0, end);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      m_createdKeys.push_back(prefix);
      break;
    }
    RegCloseKey(key);
    if (end == std::string::npos) break;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS)
      << path;
  RegCloseKey(key);
}

void TestRegistry::value(const std::string& path, const char* name, unsigned long type,
                         const std::string& data) {
  key(path);
  m_values.emplace_back(path, name);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS)
      << path << " " << name;
  RegCloseKey(key);
}

void TestRegistry::text(const std::string& path, const char* name, const std::string& value) {
  this->value(path, name, REG_SZ, value + '\0');
}

void TestRegistry::list(const std::string& path, const char* name,
                        const std::vector<std::string>& texts) {
  std::string data;
  for (const std::string& text : texts) data += text + '\0';
  value(path, name, REG_MULTI_SZ, data + '\0');
}

void TestRegistry::binary(const std::string& path, const char* name, const std::string& bytes) {
  value(path, name, REG_BINARY, bytes);
}

void TestRegistry::dword(const std::string& path, const char* name, unsigned long value) {
  const DWORD number = value;
  this->value(path, name, REG_DWORD,
              std::string(reinterpret_cast<const char*>(&number), sizeof(number)));
}
