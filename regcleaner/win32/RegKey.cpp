#include "RegKey.h"

#include <windows.h>

#include "DynamicLibrary.h"

namespace {

REGSAM samOf(CRegKey::Access access) {
  switch (access) {
    case CRegKey::kRead:
      return KEY_READ;
    case CRegKey::kModify:
      return KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
    case CRegKey::kMaximum:
      return MAXIMUM_ALLOWED;
    case CRegKey::kTest:
      break;
  }
  return 0;
}

long openKey(HKEY base, const std::string& name, CRegKey::Access access, HKEY* key) {
  if (access == CRegKey::kTest) return RegOpenKeyA(base, name.c_str(), key);
  return RegOpenKeyExA(base, name.c_str(), 0, samOf(access), key);
}

// The security calls are resolved when needed: the library is linked into a
// program that must also load where they are missing.
struct SecurityCalls {
  using GetKeySecurity = LONG(WINAPI*)(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, LPDWORD);
  using SetKeySecurity = LONG(WINAPI*)(HKEY, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR);
  using InitializeDescriptor = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
  using SetDescriptorDacl = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);

  SecurityCalls()
      : library("advapi32.dll"),
        getKeySecurity(reinterpret_cast<GetKeySecurity>(library.symbol("RegGetKeySecurity"))),
        setKeySecurity(reinterpret_cast<SetKeySecurity>(library.symbol("RegSetKeySecurity"))),
        initializeDescriptor(
            reinterpret_cast<InitializeDescriptor>(library.symbol("InitializeSecurityDescriptor"))),
        setDescriptorDacl(
            reinterpret_cast<SetDescriptorDacl>(library.symbol("SetSecurityDescriptorDacl"))) {}

  pdkos::CDynamicLibrary library;
  GetKeySecurity getKeySecurity;
  SetKeySecurity setKeySecurity;
  InitializeDescriptor initializeDescriptor;
  SetDescriptorDacl setDescriptorDacl;
};

const SecurityCalls& securityCalls() {
  static const SecurityCalls calls;
  return calls;
}

}  // namespace

CRegKey::~CRegKey() { close(); }

long CRegKey::open(const std::string& path, Access access) {
  close();
  HKEY key = nullptr;
  const long result = openKey(HKEY_LOCAL_MACHINE, path, access, &key);
  m_path = path;
  if (result == ERROR_SUCCESS) m_key = key;
  return result;
}

long CRegKey::open(const CRegKey& parent, const std::string& name, Access access) {
  close();
  m_path = parent.m_path + "\\" + name;
  if (!parent.isOpen()) return ERROR_INVALID_HANDLE;
  HKEY key = nullptr;
  const long result = openKey(static_cast<HKEY>(parent.m_key), name, access, &key);
  if (result == ERROR_SUCCESS) m_key = key;
  return result;
}

void CRegKey::close() {
  if (m_key != nullptr) RegCloseKey(static_cast<HKEY>(m_key));
  m_key = nullptr;
}

long CRegKey::subkeyName(unsigned index, std::string* name) const {
  char buffer[257] = {};
  DWORD length = sizeof(buffer);
  const long result = RegEnumKeyExA(static_cast<HKEY>(m_key), index, buffer, &length, nullptr,
                                    nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS) *name = buffer;
  return result;
}

long CRegKey::subkeyCount(unsigned long* count) const {
  DWORD subkeys = 0;
  const long result =
      RegQueryInfoKeyA(static_cast<HKEY>(m_key), nullptr, nullptr, nullptr, &subkeys, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS) *count = subkeys;
  return result;
}

long CRegKey::valueAt(unsigned index, std::string* name, std::string* data) const {
  char nameBuffer[16384];
  BYTE dataBuffer[2048];
  DWORD nameLength = sizeof(nameBuffer);
  DWORD dataLength = sizeof(dataBuffer);
  const long result = RegEnumValueA(static_cast<HKEY>(m_key), index, nameBuffer, &nameLength,
                                    nullptr, nullptr, dataBuffer, &dataLength);
  if (result != ERROR_SUCCESS) return result;
  name->assign(nameBuffer, nameLength);
  data->assign(reinterpret_cast<const char*>(dataBuffer), dataLength);
  return result;
}

long CRegKey::value(const char* name, std::string* data, size_t maxBytes) const {
  std::string buffer(maxBytes, '\0');
  DWORD length = static_cast<DWORD>(maxBytes);
  const long result = RegQueryValueExA(static_cast<HKEY>(m_key), name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&buffer[0]), &length);
  if (result != ERROR_SUCCESS) return result;
  buffer.resize(length);
  *data = buffer;
  return result;
}

long CRegKey::stringValue(const char* name, std::string* text, size_t maxBytes) const {
  std::string data;
  const long result = value(name, &data, maxBytes);
  if (result != ERROR_SUCCESS) return result;
  // A stored text may or may not carry its terminator; a list ends at its first one.
  *text = data.substr(0, data.find('\0'));
  return result;
}

long CRegKey::deleteValue(const char* name) const {
  return RegDeleteValueA(static_cast<HKEY>(m_key), name);
}

long CRegKey::deleteSubkey(const std::string& name) const {
  return RegDeleteKeyA(static_cast<HKEY>(m_key), name.c_str());
}

long CRegKey::accessList(std::string* descriptor) const {
  const SecurityCalls& calls = securityCalls();
  if (calls.getKeySecurity == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  DWORD size = 0;
  char probe[1];
  long result =
      calls.getKeySecurity(static_cast<HKEY>(m_key), DACL_SECURITY_INFORMATION, probe, &size);
  if (result != ERROR_INSUFFICIENT_BUFFER)
    return result == ERROR_SUCCESS ? ERROR_INVALID_DATA : result;
  std::string buffer(size, '\0');
  result =
      calls.getKeySecurity(static_cast<HKEY>(m_key), DACL_SECURITY_INFORMATION, &buffer[0], &size);
  if (result == ERROR_SUCCESS) *descriptor = buffer;
  return result;
}

long CRegKey::setAccessList(const std::string& descriptor) const {
  const SecurityCalls& calls = securityCalls();
  if (calls.setKeySecurity == nullptr) return ERROR_CALL_NOT_IMPLEMENTED;
  std::string copy = descriptor;
  return calls.setKeySecurity(static_cast<HKEY>(m_key), DACL_SECURITY_INFORMATION, &copy[0]);
}

long CRegKey::removeAccessList() const {
  const SecurityCalls& calls = securityCalls();
  if (calls.setKeySecurity == nullptr || calls.initializeDescriptor == nullptr ||
      calls.setDescriptorDacl == nullptr) {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  SECURITY_DESCRIPTOR descriptor;
  if (!calls.initializeDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !calls.setDescriptorDacl(&descriptor, TRUE, nullptr, FALSE)) {
    return static_cast<long>(GetLastError());
  }
  return calls.setKeySecurity(static_cast<HKEY>(m_key), DACL_SECURITY_INFORMATION, &descriptor);
}
