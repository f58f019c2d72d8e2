#include "regcleaner/PDKRegCleaner.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "regcleaner/RegPaths.h"

namespace {

// The code a cleaning operation answers where it may not run.
constexpr int kNotAllowedCode = 7;

std::string join(const std::string& a, const std::string& b) { return a + "\\" + b; }

std::string usbInterfaceName(const std::string& pid, const std::string& serial) {
  return std::string("##?#USB#") + regpath::kVendorPrefix + pid + "#" + serial + "#" +
         regpath::kUsbDeviceInterface;
}

std::string diskInterfaceName(const std::string& diskName, const std::string& instance) {
  return "##?#USBSTOR#" + diskName + "#" + instance + "#" + regpath::kDiskInterface;
}

std::string mediaInterfaceName(const std::string& mediaId, const char* interfaceClass) {
  return "##?#STORAGE#RemovableMedia#" + mediaId + "#" + interfaceClass;
}

std::string volumeInterfaceName(const std::string& volumeId) {
  return "##?#STORAGE#Volume#" + volumeId + "#" + regpath::kVolumeInterface;
}

bool equalNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && containsNoCase(a, b);
}

bool listed(const std::vector<std::string>& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& entry) { return equalNoCase(entry, text); });
}

// A MountedDevices value that names a device holds its path as UTF-16 text.
std::string narrowText(const std::string& data) {
  std::string text;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    if (data[i + 1] != '\0') return "";
    if (data[i] == '\0') break;
    text += data[i];
  }
  return text;
}

uint64_t littleEndian(const std::string& data, size_t offset, size_t length) {
  uint64_t value = 0;
  for (size_t i = length; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
  }
  return value;
}

// The hexadecimal number after `label` in a volume instance id such as
// "1&30a96598&0&Signature5A0C2E07Offset7E00Length3B9B2A00".
bool hexAfter(const std::string& text, const char* label, uint64_t* value) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return false;
  const char* start = text.c_str() + at + std::char_traits<char>::length(label);
  char* end = nullptr;
  *value = std::strtoull(start, &end, 16);
  return end != start;
}

// The instance part of an interface key name: "##?#USBSTOR#disk#instance#{...}".
std::string interfaceInstance(const std::string& name) {
  const size_t guid = name.rfind("#{");
  if (guid == std::string::npos) return "";
  const size_t start = name.rfind('#', guid - 1);
  if (start == std::string::npos) return "";
  return name.substr(start + 1, guid - start - 1);
}

// The disk part of a USBSTOR interface key name.
std::string interfaceDisk(const std::string& name) {
  const std::string prefix = "##?#USBSTOR#";
  if (name.compare(0, prefix.size(), prefix) != 0) return "";
  const size_t end = name.find('#', prefix.size());
  return end == std::string::npos ? "" : name.substr(prefix.size(), end - prefix.size());
}

}  // namespace

const RegError* CPDKRegCleaner::errorAt(size_t index) const {
  return index < errors().size() ? &errors()[index] : nullptr;
}

bool CPDKRegCleaner::_cleaningAllowed() const {
  if (systemMode() != 255) return true;
  log(1, "Registry cleaning runs only on Windows 2000 and XP");
  return false;
}

bool CPDKRegCleaner::_deleteKeyTree(const CRegKey& parent, const std::string& name) {
  const std::string path = join(parent.path(), name);
  if (m_dryRun) {
    CRegKey probe;
    if (!openKey(probe, parent, name, CRegKey::kTest)) return false;
    log(3, "Would delete " + path);
    return true;
  }
  // The system's Enum keys refuse deletion to administrators too: a descriptor
  // without an access list opens them. The old list goes back if the key stays.
  std::string accessList;
  {
    CRegKey key;
    if (!openKey(key, parent, name, CRegKey::kMaximum)) return false;
    long result = key.accessList(&accessList);
    if (result != kRegOk) record(result, "GetKeySecurity", path);
    result = key.removeAccessList();
    if (result != kRegOk) record(result, "SetSecurity", path);
  }
  {
    CRegKey key;
    if (openKey(key, parent, name, CRegKey::kModify)) {
      forEachSubkey(key, [&](const std::string& subkey) { _deleteKeyTree(key, subkey); });
    }
  }
  const long result = parent.deleteSubkey(name);
  if (result != kRegOk) {
    record(result, "DeleteKey", path);
    CRegKey key;
    if (!accessList.empty() && key.open(parent, name, CRegKey::kMaximum) == kRegOk) {
      key.setAccessList(accessList);
    }
    return false;
  }
  log(3, "Deleted " + path);
  return true;
}

bool CPDKRegCleaner::_deleteInterface(const char* interfaceClass, const std::string& name) {
  CRegKey interfaces;
  return openKey(interfaces, join(regpath::kDeviceClasses, interfaceClass)) &&
         _deleteKeyTree(interfaces, name);
}

bool CPDKRegCleaner::_deleteMountedValues(const std::string& target) {
  CRegKey mounted;
  if (!openKey(mounted, regpath::kMountedDevices, CRegKey::kModify)) return false;
  bool ok = true;
  std::string name;
  std::string data;
  for (unsigned index = 0;;) {
    const long result = mounted.valueAt(index, &name, &data);
    if (result == kRegNoMoreItems) break;
    if (result != kRegOk) {
      record(result, "QueryValue", mounted.path());
      return false;
    }
    const bool points = containsNoCase(narrowText(data), target);
    if (points && m_dryRun) {
      log(3, "Would delete value " + name + " of " + mounted.path());
    } else if (points) {
      const long deleted = mounted.deleteValue(name.c_str());
      if (deleted == kRegOk) {
        log(3, "Deleted value " + name + " of " + mounted.path());
        continue;
      }
      record(deleted, "DeleteValue", mounted.path(), name);
      ok = false;
    }
    ++index;
  }
  return ok;
}

bool CPDKRegCleaner::_cleanDriverKey(const CRegKey& instance) {
  std::string driver;
  if (!readString(instance, "Driver", &driver)) return false;
  const size_t slash = driver.find('\\');
  CRegKey classKey;
  if (slash == std::string::npos) {
    record(kRegNotFound, "OpenKey", join(regpath::kClass, driver));
    return false;
  }
  return openKey(classKey, join(regpath::kClass, driver.substr(0, slash))) &&
         _deleteKeyTree(classKey, driver.substr(slash + 1));
}

int CPDKRegCleaner::cleanSerial(const char* serialText) {
  if (!_cleaningAllowed()) return kNotAllowedCode;
  setSerialNumber(serialText);
  const std::string serial = serialNumber();
  const size_t mark = errors().size();
  log(2, "[Cleaning Serial Number " + serial + "]");
  bool ok = true;
  {
    CRegKey usb;
    if (!openUsbInstance(serial, &usb, true)) return codeSince(mark);
    std::string instance;
    ok = usbstorInstanceId(usb, serial, &instance, true) && _cleanUsbstorChain(instance);
    ok = _cleanDriverKey(usb) && ok;
  }
  ok = _deleteInterface(regpath::kUsbDeviceInterface, usbInterfaceName(productId(), serial)) && ok;
  CRegKey product;
  ok = openKey(product, join(regpath::kUsb, regpath::kVendorPrefix + productId())) &&
       _deleteKeyTree(product, serial) && ok;
  return ok ? 0 : codeSince(mark);
}

bool CPDKRegCleaner::_cleanUsbstorChain(const std::string& instance) {
  CRegKey usbstor;
  if (!openKey(usbstor, regpath::kUsbstor)) return false;
  std::string diskName;
  if (!findUsbstorDisk(usbstor, instance, &diskName)) {
    record(kRegNotFound, "OpenKey", join(usbstor.path(), instance));
    return false;
  }
  return _cleanUsbstorInstance(usbstor, diskName, instance);
}

bool CPDKRegCleaner::_cleanUsbstorInstance(const CRegKey& usbstor, const std::string& diskName,
                                           const std::string& instance) {
  CRegKey disk;
  if (!openKey(disk, usbstor, diskName)) return false;
  bool ok = _deleteInterface(regpath::kDiskInterface, diskInterfaceName(diskName, instance));
  {
    CRegKey key;
    if (!openKey(key, disk, instance)) return false;
    // The removable-media child is named by the prefix the disk gave it.
    std::string prefix;
    ok = readString(key, "ParentIdPrefix", &prefix) && _cleanMedia(prefix + "&RM") && ok;
    ok = _cleanDriverKey(key) && ok;
  }
  ok = _deleteKeyTree(disk, instance) && ok;
  unsigned long left = 0;
  if (subkeyCount(disk, &left) && left == 0) {
    disk.close();
    ok = _deleteKeyTree(usbstor, diskName) && ok;
  }
  return ok;
}

bool CPDKRegCleaner::_cleanMedia(const std::string& mediaId) {
  bool ok = _deleteInterface(regpath::kMediaInterface,
                             mediaInterfaceName(mediaId, regpath::kMediaInterface));
  ok = _deleteInterface(regpath::kVolumeInterface,
                        mediaInterfaceName(mediaId, regpath::kVolumeInterface)) &&
       ok;
  ok = _deleteMountedValues("STORAGE#RemovableMedia#" + mediaId + "#") && ok;
  CRegKey media;
  if (!openKey(media, regpath::kRemovableMedia)) return false;
  {
    CRegKey key;
    ok = openKey(key, media, mediaId) && _cleanDriverKey(key) && ok;
  }
  return _deleteKeyTree(media, mediaId) && ok;
}

bool CPDKRegCleaner::_cleanVolume(const std::string& volumeId) {
  // A volume that never got an interface entry has none to lose.
  CRegKey interfaces;
  CRegKey entry;
  bool ok = true;
  if (interfaces.open(join(regpath::kDeviceClasses, regpath::kVolumeInterface), CRegKey::kRead) ==
          kRegOk &&
      entry.open(interfaces, volumeInterfaceName(volumeId), CRegKey::kRead) == kRegOk) {
    entry.close();
    ok = _deleteKeyTree(interfaces, volumeInterfaceName(volumeId));
  }
  CRegKey volumes;
  if (!openKey(volumes, regpath::kVolume)) return false;
  {
    CRegKey key;
    std::string driver;
    if (openKey(key, volumes, volumeId) && key.stringValue("Driver", &driver) == kRegOk) {
      ok = _cleanDriverKey(key) && ok;
    }
  }
  return _deleteKeyTree(volumes, volumeId) && ok;
}

int CPDKRegCleaner::cleanAll() {
  if (!_cleaningAllowed()) return kNotAllowedCode;
  const size_t mark = errors().size();
  // A product id the system never saw has nothing to clean.
  for (const char* product : regpath::kProductIds) {
    CRegKey parent;
    const long result = parent.open(
        join(regpath::kUsb, std::string(regpath::kVendorPrefix) + product), CRegKey::kRead);
    if (result == kRegNotFound) continue;
    if (result != kRegOk) {
      record(result, "OpenKey", parent.path());
      continue;
    }
    forEachSubkey(parent, [&](const std::string& serial) { cleanSerial(serial.c_str()); });
  }
  {
    CRegKey usbstor;
    if (!openKey(usbstor, regpath::kUsbstor)) return codeSince(mark);
    forEachSubkey(usbstor, [&](const std::string& disk) {
      if (disk.find(regpath::kProductName) != std::string::npos) _deleteKeyTree(usbstor, disk);
    });
  }
  CRegKey usb;
  if (openKey(usb, regpath::kUsb)) {
    for (const char* product : regpath::kProductIds) {
      const std::string name = std::string(regpath::kVendorPrefix) + product;
      CRegKey probe;
      if (probe.open(usb, name, CRegKey::kRead) == kRegNotFound) continue;
      probe.close();
      _deleteKeyTree(usb, name);
    }
  }
  return codeSince(mark);
}

std::vector<std::string> CPDKRegCleaner::_makerUsbstorInstances() {
  std::vector<std::string> instances;
  forEachUsbInstance([&](const CRegKey& usb, const std::string& serial) {
    std::string instance;
    if (usbstorInstanceId(usb, serial, &instance, false)) instances.push_back(instance);
  });
  return instances;
}

CPDKRegCleaner::EnumReferences CPDKRegCleaner::_scanEnum() {
  EnumReferences references;
  CRegKey enumerators;
  if (enumerators.open(regpath::kEnum, CRegKey::kRead) != kRegOk) return references;
  std::string enumerator;
  for (unsigned e = 0; enumerators.subkeyName(e, &enumerator) == kRegOk; ++e) {
    CRegKey devices;
    if (devices.open(enumerators, enumerator, CRegKey::kRead) != kRegOk) continue;
    std::string device;
    for (unsigned d = 0; devices.subkeyName(d, &device) == kRegOk; ++d) {
      CRegKey instances;
      if (instances.open(devices, device, CRegKey::kRead) != kRegOk) continue;
      std::string instance;
      for (unsigned i = 0; instances.subkeyName(i, &instance) == kRegOk; ++i) {
        CRegKey key;
        if (key.open(instances, instance, CRegKey::kRead) != kRegOk) continue;
        std::string text;
        if (key.stringValue("Driver", &text) == kRegOk) references.drivers.push_back(text);
        if (key.stringValue("ParentIdPrefix", &text) == kRegOk) {
          references.parentIdPrefixes.push_back(text);
        }
      }
    }
  }
  return references;
}

bool CPDKRegCleaner::_isOrphanUsbstor(const std::string& diskName, const std::string& instance) {
  CRegKey key;
  if (key.open(join(join(regpath::kUsbstor, diskName), instance), CRegKey::kRead) != kRegOk) {
    return false;
  }
  return !isPresent(key) && !listed(_makerUsbstorInstances(), instance);
}

bool CPDKRegCleaner::_isOrphanMedia(const std::string& mediaId, const EnumReferences& references) {
  CRegKey key;
  if (key.open(join(regpath::kRemovableMedia, mediaId), CRegKey::kRead) != kRegOk) return false;
  if (isPresent(key)) return false;
  return std::none_of(
      references.parentIdPrefixes.begin(), references.parentIdPrefixes.end(),
      [&](const std::string& prefix) { return equalNoCase(prefix + "&RM", mediaId); });
}

bool CPDKRegCleaner::_isRecordedVolume(const std::string& volumeId) {
  uint64_t signature = 0;
  uint64_t offset = 0;
  // Only a partition of a disk with a signature can be recorded at all.
  if (!hexAfter(volumeId, "Signature", &signature) || !hexAfter(volumeId, "Offset", &offset)) {
    return true;
  }
  CRegKey mounted;
  if (mounted.open(regpath::kMountedDevices, CRegKey::kRead) != kRegOk) return true;
  std::string name;
  std::string data;
  for (unsigned index = 0; mounted.valueAt(index, &name, &data) == kRegOk; ++index) {
    if (data.size() == 12 && littleEndian(data, 0, 4) == signature &&
        littleEndian(data, 4, 8) == offset) {
      return true;
    }
  }
  return false;
}

void CPDKRegCleaner::_sweepUsbstor() {
  CRegKey usbstor;
  if (!openKey(usbstor, regpath::kUsbstor)) return;
  forEachSubkey(usbstor, [&](const std::string& diskName) {
    if (diskName.find(regpath::kProductName) == std::string::npos) return;
    CRegKey disk;
    if (!openKey(disk, usbstor, diskName)) return;
    std::vector<std::string> orphans;
    std::string instance;
    for (unsigned index = 0; subkeyAt(disk, index, &instance); ++index) {
      if (_isOrphanUsbstor(diskName, instance)) orphans.push_back(instance);
    }
    disk.close();
    for (const std::string& orphan : orphans) _cleanUsbstorInstance(usbstor, diskName, orphan);
  });
}

void CPDKRegCleaner::_sweepMedia() {
  CRegKey media;
  if (media.open(regpath::kRemovableMedia, CRegKey::kRead) != kRegOk) return;
  const EnumReferences references = _scanEnum();
  forEachSubkey(media, [&](const std::string& mediaId) {
    if (_isOrphanMedia(mediaId, references)) _cleanMedia(mediaId);
  });
}

void CPDKRegCleaner::_sweepVolumes() {
  CRegKey volumes;
  if (volumes.open(regpath::kVolume, CRegKey::kRead) != kRegOk) return;
  forEachSubkey(volumes, [&](const std::string& volumeId) {
    CRegKey key;
    if (key.open(volumes, volumeId, CRegKey::kRead) != kRegOk || isPresent(key)) return;
    key.close();
    if (!_isRecordedVolume(volumeId)) _cleanVolume(volumeId);
  });
}

void CPDKRegCleaner::_sweepClassKeys() {
  static const struct {
    const char* classGuid;
    const char* matchingDeviceId;
  } kDriverClasses[] = {
      {"{36FC9E60-C465-11CF-8056-444553540000}", "usb\\class_08&subclass_06&prot_50"},
      {"{4D36E967-E325-11CE-BFC1-08002BE10318}", "gendisk"},
      {"{71A27CDD-812A-11D0-BEC7-08002BE2092F}", "storage\\volume"},
  };
  const EnumReferences references = _scanEnum();
  for (const auto& driverClass : kDriverClasses) {
    CRegKey classKey;
    if (classKey.open(join(regpath::kClass, driverClass.classGuid), CRegKey::kRead) != kRegOk) {
      continue;
    }
    // A driver key no instance names any more belongs to no device.
    forEachSubkey(classKey, [&](const std::string& number) {
      CRegKey key;
      std::string matching;
      if (key.open(classKey, number, CRegKey::kRead) != kRegOk ||
          key.stringValue("MatchingDeviceId", &matching) != kRegOk ||
          !equalNoCase(matching, driverClass.matchingDeviceId) ||
          listed(references.drivers, join(driverClass.classGuid, number))) {
        return;
      }
      key.close();
      _deleteKeyTree(classKey, number);
    });
  }
}

void CPDKRegCleaner::_sweepInterfaces() {
  static const struct {
    const char* interfaceClass;
    const char* pattern;
    int kind;
  } kInterfaces[] = {
      {regpath::kUsbDeviceInterface, "Vid_0f3b&Pid_0010", 0},
      {regpath::kUsbDeviceInterface, "Vid_0f3b&Pid_0011", 0},
      {regpath::kDiskInterface, "Prod_Plunda", 1},
      {regpath::kMediaInterface, "STORAGE#RemovableMedia", 2},
      {regpath::kVolumeInterface, "STORAGE#RemovableMedia", 2},
  };
  for (const auto& row : kInterfaces) {
    CRegKey interfaces;
    if (interfaces.open(join(regpath::kDeviceClasses, row.interfaceClass), CRegKey::kRead) !=
        kRegOk) {
      continue;
    }
    forEachSubkey(interfaces, [&](const std::string& name) {
      if (!containsNoCase(name, row.pattern)) return;
      const std::string instance = interfaceInstance(name);
      CRegKey target;
      switch (row.kind) {
        case 0: {
          // "##?#USB#Vid_0f3b&Pid_0010#serial#{...}"
          const std::string device = name.substr(8, name.find('#', 8) - 8);
          if (target.open(join(join(regpath::kUsb, device), instance), CRegKey::kRead) == kRegOk) {
            return;
          }
          break;
        }
        case 1: {
          const std::string disk = interfaceDisk(name);
          if (target.open(join(join(regpath::kUsbstor, disk), instance), CRegKey::kRead) ==
              kRegOk) {
            target.close();
            if (!_isOrphanUsbstor(disk, instance)) return;
            CRegKey usbstor;
            if (openKey(usbstor, regpath::kUsbstor)) _cleanUsbstorInstance(usbstor, disk, instance);
          }
          break;
        }
        default: {
          if (target.open(join(regpath::kRemovableMedia, instance), CRegKey::kRead) == kRegOk) {
            target.close();
            if (!_isOrphanMedia(instance, _scanEnum())) return;
            _cleanMedia(instance);
          }
          break;
        }
      }
      // Cleaning the instance may have taken the entry with it.
      CRegKey entry;
      if (entry.open(interfaces, name, CRegKey::kRead) == kRegOk) {
        entry.close();
        _deleteKeyTree(interfaces, name);
      }
    });
  }
}

void CPDKRegCleaner::_sweepDeadVolumeInterfaces() {
  CRegKey interfaces;
  if (interfaces.open(join(regpath::kDeviceClasses, regpath::kVolumeInterface), CRegKey::kRead) !=
      kRegOk) {
    return;
  }
  // The entry's own check: the storage instance it was made for still exists.
  forEachSubkey(interfaces, [&](const std::string& name) {
    CRegKey entry;
    std::string instance;
    if (entry.open(interfaces, name, CRegKey::kRead) != kRegOk ||
        entry.stringValue("DeviceInstance", &instance) != kRegOk ||
        !containsNoCase(instance.substr(0, 8), "STORAGE\\")) {
      return;
    }
    entry.close();
    CRegKey target;
    if (target.open(join(regpath::kEnum, instance), CRegKey::kRead) == kRegOk) return;
    _deleteKeyTree(interfaces, name);
  });
}

int CPDKRegCleaner::sweepOrphans() {
  if (!_cleaningAllowed()) return kNotAllowedCode;
  const size_t mark = errors().size();
  _sweepUsbstor();
  _sweepMedia();
  _sweepVolumes();
  _sweepClassKeys();
  _sweepInterfaces();
  _sweepDeadVolumeInterfaces();
  return codeSince(mark);
}
