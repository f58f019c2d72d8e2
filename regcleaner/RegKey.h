// One open key of HKEY_LOCAL_MACHINE, named by its full path so failures can
// say which key they hit. Every call answers the system's error number (0 on
// success), so the callers decide what counts as a failure.
#pragma once

#include <cstddef>
#include <string>

// The error numbers the cleaner tells apart.
constexpr long kRegOk = 0;
constexpr long kRegNotFound = 2;
constexpr long kRegNoMoreItems = 259;

class CRegKey {
 public:
  enum Access {
    kRead,     // KEY_READ
    kTest,     // what RegOpenKeyA asks for
    kModify,   // KEY_READ, KEY_CREATE_SUB_KEY and KEY_SET_VALUE
    kMaximum,  // MAXIMUM_ALLOWED
  };

  CRegKey() = default;
  ~CRegKey();
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;

  // HKEY_LOCAL_MACHINE\path.
  long open(const std::string& path, Access access);
  // parent\name.
  long open(const CRegKey& parent, const std::string& name, Access access);
  void close();
  bool isOpen() const { return m_key != nullptr; }
  const std::string& path() const { return m_path; }

  // Subkey names have up to 256 characters; kRegNoMoreItems past the last one.
  long subkeyName(unsigned index, std::string* name) const;
  long subkeyCount(unsigned long* count) const;
  // Value `index` with its raw data; kRegNoMoreItems past the last one.
  long valueAt(unsigned index, std::string* name, std::string* data) const;
  // The raw data of a value of at most maxBytes bytes.
  long value(const char* name, std::string* data, size_t maxBytes) const;
  // A text value, or the first text of a list.
  long stringValue(const char* name, std::string* text, size_t maxBytes = 1024) const;
  long deleteValue(const char* name) const;
  // Deletes the subkey `name`, which must have no subkeys of its own.
  long deleteSubkey(const std::string& name) const;
  // The key's discretionary access list as a self-relative descriptor.
  long accessList(std::string* descriptor) const;
  // Puts a descriptor got from accessList back.
  long setAccessList(const std::string& descriptor) const;
  // Gives the key a descriptor without any access list: everyone may do anything.
  long removeAccessList() const;

 private:
  void* m_key = nullptr;
  std::string m_path;
};
