// Keys and values a test writes under HKEY_LOCAL_MACHINE, removed again when
// the test ends: only what the test itself created goes.
#pragma once

#include <string>
#include <utility>
#include <vector>

class TestRegistry {
 public:
  TestRegistry() = default;
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;
  ~TestRegistry();

  void key(const std::string& path);
  void text(const std::string& path, const char* name, const std::string& value);
  void list(const std::string& path, const char* name, const std::vector<std::string>& texts);
  void binary(const std::string& path, const char* name, const std::string& bytes);
  void dword(const std::string& path, const char* name, unsigned long value);

 private:
  void value(const std::string& path, const char* name, unsigned long type,
             const std::string& data);

  std::vector<std::string> m_createdKeys;
  std::vector<std::pair<std::string, std::string>> m_values;
};
