#include "RegistryKey.h"

#include <windows.h>

#include "PDKCriticalSection.h"
#include "PDKLockGuard.h"

namespace pdkos {

namespace {

// Made on first use, whatever the order in which the files' statics are made.
CPDKCriticalSection& redirectLock() {
  static CPDKCriticalSection lock;
  return lock;
}
std::string g_redirect[2];

HKEY openRoot(RegistryRoot root, const std::string& path) {
  std::string redirect;
  {
    CPDKLockGuard guard(&redirectLock());
    redirect = g_redirect[static_cast<int>(root)];
  }
  HKEY base = root == RegistryRoot::kLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_DYN_DATA;
  std::string full = path;
  if (!redirect.empty()) {
    base = HKEY_CURRENT_USER;
    full = path.empty() ? redirect : redirect + "\\" + path;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(base, full.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

}  // namespace

void CRegistryKey::redirectRoot(RegistryRoot root, const std::string& currentUserPath) {
  CPDKLockGuard guard(&redirectLock());
  g_redirect[static_cast<int>(root)] = currentUserPath;
}

CRegistryKey::CRegistryKey(RegistryRoot root, const std::string& path)
    : m_key(openRoot(root, path)) {}

CRegistryKey::CRegistryKey(const CRegistryKey& parent, const std::string& name) : m_key(nullptr) {
  HKEY key = nullptr;
  if (parent.isOpen() && RegOpenKeyExA(static_cast<HKEY>(parent.m_key), name.c_str(), 0, KEY_READ,
                                       &key) == ERROR_SUCCESS) {
    m_key = key;
  }
}

CRegistryKey::~CRegistryKey() {
  if (m_key != nullptr) RegCloseKey(static_cast<HKEY>(m_key));
}

bool CRegistryKey::subkeyName(unsigned index, std::string* name) const {
  if (!isOpen()) return false;
  char buffer[257] = {};
  DWORD length = sizeof(buffer);
  const LONG result = RegEnumKeyExA(static_cast<HKEY>(m_key), index, buffer, &length, nullptr,
                                    nullptr, nullptr, nullptr);
  // A name too long for the buffer still counts as a subkey.
  if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA) return false;
  buffer[sizeof(buffer) - 1] = '\0';
  *name = buffer;
  return true;
}

bool CRegistryKey::stringValue(const char* name, std::string* value, size_t maxBytes) const {
  if (!isOpen()) return false;
  std::string buffer(maxBytes + 1, '\0');
  DWORD type = 0;
  DWORD length = static_cast<DWORD>(maxBytes);
  if (RegQueryValueExA(static_cast<HKEY>(m_key), name, nullptr, &type,
                       reinterpret_cast<BYTE*>(&buffer[0]), &length) != ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_BINARY) return false;
  buffer.resize(length);
  // The stored text may or may not carry its terminator.
  const size_t end = buffer.find('\0');
  if (end != std::string::npos) buffer.resize(end);
  *value = buffer;
  return true;
}

bool CRegistryKey::hasValue(const char* name) const {
  if (!isOpen()) return false;
  return RegQueryValueExA(static_cast<HKEY>(m_key), name, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}

}  // namespace pdkos
