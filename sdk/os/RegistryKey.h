// Read access to the Windows registry, enough for the SDK's device lookups.
#pragma once

#include <cstddef>
#include <string>

namespace pdkos {

enum class RegistryRoot { kLocalMachine, kDynData };

class CRegistryKey {
 public:
  // Opens root\path for reading; isOpen() tells whether it exists.
  CRegistryKey(RegistryRoot root, const std::string& path);
  // Opens a subkey of an open key.
  CRegistryKey(const CRegistryKey& parent, const std::string& name);
  ~CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;

  bool isOpen() const { return m_key != nullptr; }
  // Name of subkey `index` (names of up to 256 characters); false past the last one.
  bool subkeyName(unsigned index, std::string* name) const;
  // A string value of at most maxBytes bytes; false when absent.
  bool stringValue(const char* name, std::string* value, size_t maxBytes = 1024) const;
  bool hasValue(const char* name) const;

  // Points a root somewhere else: the dynamic-data root of the 9x family does not
  // exist on the NT family, so tests map it to a key of their own under
  // HKEY_CURRENT_USER. An empty path restores the real root.
  static void redirectRoot(RegistryRoot root, const std::string& currentUserPath);

 private:
  void* m_key;
};

}  // namespace pdkos
