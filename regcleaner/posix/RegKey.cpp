#include "RegKey.h"

// Without a registry every key is absent, and nothing can be asked of a key
// that never opened.
namespace {
constexpr long kInvalidHandle = 6;
}

CRegKey::~CRegKey() = default;

long CRegKey::open(const std::string& path, Access) {
  m_path = path;
  return kRegNotFound;
}

long CRegKey::open(const CRegKey& parent, const std::string& name, Access) {
  m_path = parent.m_path + "\\" + name;
  return kRegNotFound;
}

void CRegKey::close() {}

long CRegKey::subkeyName(unsigned, std::string*) const { return kInvalidHandle; }
long CRegKey::subkeyCount(unsigned long*) const { return kInvalidHandle; }
long CRegKey::valueAt(unsigned, std::string*, std::string*) const { return kInvalidHandle; }
long CRegKey::value(const char*, std::string*, size_t) const { return kInvalidHandle; }
long CRegKey::stringValue(const char*, std::string*, size_t) const { return kInvalidHandle; }
long CRegKey::deleteValue(const char*) const { return kInvalidHandle; }
long CRegKey::deleteSubkey(const std::string&) const { return kInvalidHandle; }
long CRegKey::accessList(std::string*) const { return kInvalidHandle; }
long CRegKey::setAccessList(const std::string&) const { return kInvalidHandle; }
long CRegKey::removeAccessList() const { return kInvalidHandle; }
