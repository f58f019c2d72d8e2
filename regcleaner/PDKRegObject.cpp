#include "regcleaner/PDKRegObject.h"

#include <cctype>

#include "OSVersion.h"
#include "regcleaner/RegPaths.h"

namespace {

constexpr uint32_t kPlatformNt = 2;
constexpr uint32_t kBasicVersionInfoSize = 148;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

bool containsNoCase(const std::string& text, const std::string& part) {
  if (part.size() > text.size()) return false;
  for (size_t start = 0; start + part.size() <= text.size(); ++start) {
    size_t i = 0;
    while (i < part.size() && lower(text[start + i]) == lower(part[i])) ++i;
    if (i == part.size()) return true;
  }
  return false;
}

int CPDKRegObject::systemMode() {
  static const int mode = [] {
    pdkos::OSVersion version;
    if (!pdkos::getVersionEx(kBasicVersionInfoSize, &version)) return 255;
    if (version.platformId != kPlatformNt || version.major != 5) return 255;
    if (version.minor == 0) return 0;
    if (version.minor == 1) return 1;
    return 255;
  }();
  return mode;
}

int CPDKRegObject::resultCode(long systemError) {
  switch (systemError) {
    case 0:
      return 0;
    case 1:
    case 2:
      return 3;
    case 5:
      return 4;
    case 234:
      return 1;
    case 259:
      return 5;
    default:
      return 7;
  }
}

void CPDKRegObject::log(int level, const std::string& text) const {
  if (m_sink != nullptr) m_sink->logText(level, text.c_str());
}

void CPDKRegObject::record(long systemError, const char* operation, const std::string& key,
                           const std::string& value) {
  m_errors.push_back(RegError{resultCode(systemError), operation, key, value});
  log(1, std::string(operation) + " failed: " + key + (value.empty() ? "" : " [" + value + "]"));
}

int CPDKRegObject::codeSince(size_t mark) const {
  return m_errors.size() > mark ? m_errors.back().code : 0;
}

bool CPDKRegObject::openKey(CRegKey& key, const std::string& path, CRegKey::Access access) {
  const long result = key.open(path, access);
  if (result != kRegOk) record(result, "OpenKey", path);
  return result == kRegOk;
}

bool CPDKRegObject::openKey(CRegKey& key, const CRegKey& parent, const std::string& name,
                            CRegKey::Access access) {
  const long result = key.open(parent, name, access);
  if (result != kRegOk) record(result, "OpenKey", key.path());
  return result == kRegOk;
}

bool CPDKRegObject::readString(const CRegKey& key, const char* value, std::string* text) {
  const long result = key.stringValue(value, text);
  if (result != kRegOk) record(result, "QueryValue", key.path(), value);
  return result == kRegOk;
}

bool CPDKRegObject::subkeyAt(const CRegKey& key, unsigned index, std::string* name) {
  const long result = key.subkeyName(index, name);
  if (result != kRegOk && result != kRegNoMoreItems) record(result, "EnumKey", key.path());
  return result == kRegOk;
}

bool CPDKRegObject::subkeyCount(const CRegKey& key, unsigned long* count) {
  const long result = key.subkeyCount(count);
  if (result != kRegOk) record(result, "QueryInfo", key.path());
  return result == kRegOk;
}

bool CPDKRegObject::openUsbInstance(const std::string& serial, CRegKey* instance,
                                    bool recordMissing) {
  // A serial names exactly one subkey: an empty one would open the product key
  // itself, one with a backslash a key further down.
  const bool named = !serial.empty() && serial.find('\\') == std::string::npos;
  long result = kRegNotFound;
  for (const char* product : regpath::kProductIds) {
    const std::string path =
        std::string(regpath::kUsb) + "\\" + regpath::kVendorPrefix + product + "\\" + serial;
    result = named ? instance->open(path, CRegKey::kRead) : kRegNotFound;
    if (result == kRegOk) {
      m_pid = product;
      return true;
    }
    if (recordMissing && product == regpath::kProductIds[1]) record(result, "OpenKey", path);
  }
  return false;
}

bool CPDKRegObject::usbstorInstanceId(const CRegKey& usbInstance, const std::string& serial,
                                      std::string* id, bool recordMissing) {
  switch (systemMode()) {
    case 0: {
      const long result = usbInstance.stringValue("ParentIdPrefix", id);
      if (result != kRegOk && recordMissing) {
        record(result, "QueryValue", usbInstance.path(), "ParentIdPrefix");
      }
      return result == kRegOk;
    }
    case 1:
      *id = serial + "&0";
      return true;
    default:
      return false;
  }
}

bool CPDKRegObject::findUsbstorDisk(const CRegKey& usbstor, const std::string& instance,
                                    std::string* diskName) {
  std::string name;
  for (unsigned index = 0; usbstor.subkeyName(index, &name) == kRegOk; ++index) {
    CRegKey disk;
    CRegKey held;
    if (disk.open(usbstor, name, CRegKey::kRead) == kRegOk &&
        held.open(disk, instance, CRegKey::kRead) == kRegOk) {
      *diskName = name;
      return true;
    }
  }
  return false;
}

bool CPDKRegObject::isPresent(const CRegKey& instance) {
  CRegKey control;
  std::string data;
  return control.open(instance, "Control", CRegKey::kRead) == kRegOk &&
         control.value("DeviceReference", &data, 16) == kRegOk;
}
