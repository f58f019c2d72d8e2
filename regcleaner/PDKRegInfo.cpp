#include "regcleaner/PDKRegInfo.h"

#include <cstdio>

#include "CurrentDirectory.h"
#include "DebugOutput.h"
#include "regcleaner/ProfileString.h"
#include "regcleaner/RegPaths.h"

namespace {

std::string join(const std::string& a, const std::string& b) { return a + "\\" + b; }

// The text between `label` and the next '&' of a disk key name such as
// "Disk&Ven_Vantrel&Prod_Plunda&Rev_2.70".
std::string namePart(const std::string& diskName, const char* label) {
  const size_t at = diskName.find(label);
  if (at == std::string::npos) return "";
  const size_t start = at + std::char_traits<char>::length(label);
  return diskName.substr(start, diskName.find('&', start) - start);
}

struct ExpectedString {
  const char* key;
  const char* fallback;
  const char* (IRegInfoContainer::*current)() const;
};

const ExpectedString kExpectedStrings[] = {
    {"USBDeviceDesc", "USB Mass Storage Device", &IRegInfoContainer::usbDeviceDesc},
    {"USBHardwareId", "USB\\Vid_0f3b&Pid_0010&Rev_0200", &IRegInfoContainer::usbHardwareId},
    {"USBLocationInfo", "Plunda", &IRegInfoContainer::usbLocationInfo},
    {"USBService", "USBSTOR", &IRegInfoContainer::usbService},
    {"USBSTORDeviceDesc", "Disk drive", &IRegInfoContainer::usbstorDeviceDesc},
    {"USBSTORHardwareId", "USBSTOR\\DiskVantrel_Plunda__________",
     &IRegInfoContainer::usbstorHardwareId},
    {"USBSTORFriendlyName", "Vantrel Plunda USB Device", &IRegInfoContainer::usbstorFriendlyName},
    {"USBSTORService", "disk", &IRegInfoContainer::usbstorService},
};

}  // namespace

void CPDKRegInfo::_readField(const CRegKey& key, const char* value, RegInfoContainer& info,
                             RegInfoContainer::Field field) {
  std::string text;
  if (readString(key, value, &text)) info.set(field, text);
}

int CPDKRegInfo::readInfo(const char* serial, RegInfoContainer& info) {
  if (serial != nullptr) setSerialNumber(serial);
  const std::string drive = serialNumber();
  const size_t mark = errors().size();
  info.clear();
  info.set(RegInfoContainer::kSerialNumber, drive);
  CRegKey usb;
  if (!openUsbInstance(drive, &usb, true)) return codeSince(mark);
  _readField(usb, "DeviceDesc", info, RegInfoContainer::kUsbDeviceDesc);
  _readField(usb, "HardwareID", info, RegInfoContainer::kUsbHardwareId);
  _readField(usb, "LocationInformation", info, RegInfoContainer::kUsbLocationInfo);
  _readField(usb, "Service", info, RegInfoContainer::kUsbService);
  // Elsewhere than on Windows 2000 and XP the USBSTOR instance is not looked for.
  if (systemMode() != 255) _readUsbstor(usb, info);
  return codeSince(mark);
}

void CPDKRegInfo::_readUsbstor(const CRegKey& usb, RegInfoContainer& info) {
  std::string instance;
  if (!usbstorInstanceId(usb, serialNumber(), &instance, true)) return;
  CRegKey usbstor;
  if (!openKey(usbstor, regpath::kUsbstor)) return;
  std::string diskName;
  if (!findUsbstorDisk(usbstor, instance, &diskName)) {
    record(kRegNotFound, "OpenKey", join(usbstor.path(), instance));
    return;
  }
  info.set(RegInfoContainer::kVendor, namePart(diskName, "Ven_"));
  info.set(RegInfoContainer::kVersion, namePart(diskName, "Rev_"));
  CRegKey key;
  if (!openKey(key, join(join(regpath::kUsbstor, diskName), instance))) return;
  _readField(key, "DeviceDesc", info, RegInfoContainer::kUsbstorDeviceDesc);
  _readField(key, "HardwareID", info, RegInfoContainer::kUsbstorHardwareId);
  _readField(key, "FriendlyName", info, RegInfoContainer::kUsbstorFriendlyName);
  _readField(key, "Service", info, RegInfoContainer::kUsbstorService);
  std::string prefix;
  CRegKey media;
  if (!readString(key, "ParentIdPrefix", &prefix) ||
      !openKey(media, join(regpath::kRemovableMedia, prefix + "&RM"))) {
    return;
  }
  _readField(media, "DeviceDesc", info, RegInfoContainer::kMediaDeviceDesc);
  _readField(media, "HardwareID", info, RegInfoContainer::kMediaHardwareId);
}

void CPDKRegInfo::_appendErrors(const RegError& error, std::string& report) const {
  report += "\tKeyName: " + error.keyName + "\n";
  report += "\tValue: " + error.valueName + "\n";
  report += "\tErrorStr: " + error.operation + " failed, code " + std::to_string(error.code) + "\n";
}

int CPDKRegInfo::readInfo(const char* serial, RegInfoContainer& info, std::string& report) {
  const size_t mark = errors().size();
  const int code = readInfo(serial, info);
  char header[1024];
  std::snprintf(header, sizeof(header),
                "# Registry Information for PDK  Serial Number: %s, Vendor: %s, Version %s\n\n",
                info.serialNumber(), info.vendor(), info.version());
  report += header;
  report += "[USB Keys]\n";
  report += std::string("DeviceDesc = ") + info.usbDeviceDesc() + "\n";
  report += std::string("HardwareID = ") + info.usbHardwareId() + "\n";
  report += std::string("LocationInfo = ") + info.usbLocationInfo() + "\n";
  report += std::string("Service = ") + info.usbService() + "\n";
  report += "[USBSTOR Keys]\n";
  report += std::string("DeviceDesc = ") + info.usbstorDeviceDesc() + "\n";
  report += std::string("HardwareID = ") + info.usbstorHardwareId() + "\n";
  report += std::string("FriendlyName = ") + info.usbstorFriendlyName() + "\n";
  report += std::string("Service = ") + info.usbstorService() + "\n";
  report += "[Removable Media Keys]\n";
  report += std::string("DeviceDesc = ") + info.mediaDeviceDesc() + "\n";
  report += std::string("HardwareID = ") + info.mediaHardwareId() + "\n";
  for (size_t i = mark; i < errors().size(); ++i) _appendErrors(errors()[i], report);
  if (m_cleaner != nullptr) {
    for (; m_cleaner->errorAt(m_cleanerReported) != nullptr; ++m_cleanerReported) {
      _appendErrors(*m_cleaner->errorAt(m_cleanerReported), report);
    }
  }
  return code;
}

int CPDKRegInfo::collect(std::vector<RegInfoContainer>& drives, std::string& report) {
  const size_t mark = errors().size();
  forEachUsbInstance([&](const CRegKey&, const std::string& serial) {
    drives.emplace_back();
    if (!report.empty()) report += "\n";
    readInfo(serial.c_str(), drives.back(), report);
  });
  return codeSince(mark);
}

bool CPDKRegInfo::checkStrings(const IRegInfoContainer& info, const char* section,
                               const char* vendor) {
  char directory[1024] = {};
  pdkos::platformCurrentDirectory().get(directory, sizeof(directory));
  const std::string file = join(directory, "PDKReg.ini");
  const std::string sectionName = std::string(section != nullptr ? section : "Vendor") + " " +
                                  (vendor != nullptr ? vendor : "");
  bool allMatch = true;
  for (const ExpectedString& expected : kExpectedStrings) {
    const std::string correct =
        readProfileString(file, sectionName, expected.key, expected.fallback);
    const std::string current = (info.*expected.current)();
    if (correct == current) continue;
    allMatch = false;
    log(1, "Registry String Mismatch. Correct: " + correct + " Current: " + current);
  }
  return allMatch;
}

int CPDKRegInfo::isRegistered(const char* serial, const char* /*letters*/, bool& registered) {
  CRegKey instance;
  registered = openUsbInstance(serial != nullptr ? serial : "", &instance, false);
  return 0;
}

int CPDKRegInfo::checkFixedDiskRegistration(const char* serial, char letter, bool& registered) {
  registered = false;
  pdkos::debugOutput("Checking Fixed Disk Registration Finished\n");
  const size_t mark = errors().size();
  CRegKey mounted;
  if (!openKey(mounted, regpath::kMountedDevices)) return codeSince(mark);
  std::string data;
  const std::string value = std::string("\\DosDevices\\") + letter + ":";
  // A letter the system never gave, or gave to a device path rather than to a
  // partition of a disk (signature and offset), is no fixed disk of ours.
  if (mounted.value(value.c_str(), &data, 512) != kRegOk || data.size() != 12) return 0;
  char signature[7];
  std::snprintf(signature, sizeof(signature), "%02X%02X%02X", static_cast<unsigned char>(data[3]),
                static_cast<unsigned char>(data[2]), static_cast<unsigned char>(data[1]));
  registered = _fixedDiskConsistent(serial != nullptr ? serial : "", signature);
  return 0;
}

bool CPDKRegInfo::_fixedDiskConsistent(const std::string& serial, const std::string& signature) {
  CRegKey usb;
  CRegKey volumes;
  if (!openUsbInstance(serial, &usb, false) ||
      volumes.open(regpath::kVolume, CRegKey::kRead) != kRegOk) {
    return false;
  }
  std::string volume;
  for (unsigned index = 0; volumes.subkeyName(index, &volume) == kRegOk; ++index) {
    if (containsNoCase(volume, "Signature" + signature)) return true;
  }
  return false;
}

void CPDKRegInfo::attachCleaner(IPDKRegCleaner* cleaner) {
  m_cleaner = cleaner;
  // Failures the cleaner met before are not this reader's to report.
  m_cleanerReported = 0;
  while (m_cleaner != nullptr && m_cleaner->errorAt(m_cleanerReported) != nullptr) {
    ++m_cleanerReported;
  }
}
