#include "RegistryKey.h"

namespace pdkos {

// There is no registry here: every key is absent, so every lookup finds nothing.
CRegistryKey::CRegistryKey(RegistryRoot, const std::string&) : m_key(nullptr) {}
CRegistryKey::CRegistryKey(const CRegistryKey&, const std::string&) : m_key(nullptr) {}
CRegistryKey::~CRegistryKey() = default;
bool CRegistryKey::subkeyName(unsigned, std::string*) const { return false; }
bool CRegistryKey::stringValue(const char*, std::string*, size_t) const { return false; }
bool CRegistryKey::hasValue(const char*) const { return false; }
void CRegistryKey::redirectRoot(RegistryRoot, const std::string&) {}

}  // namespace pdkos
