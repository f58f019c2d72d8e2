#include "MERegistry.h"

#include <cctype>
#include <cstring>

#include "RegistryKey.h"

using pdkos::CRegistryKey;
using pdkos::RegistryRoot;

namespace {

const char kUsbEnum[] = "Enum\\USB";
const char kScsiEnum[] = "Enum\\SCSI";
const char kTovikVendor[] = "VID_0F3B";

std::string upper(const std::string& text) {
  std::string out = text;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// The form Windows gives INQUIRY texts in the disk's names: upper case, blanks as '_'.
std::string nameForm(const char* text) {
  std::string out = upper(text);
  for (char& c : out) {
    if (c == ' ') c = '_';
  }
  return out;
}

}  // namespace

bool CMERegistry::isInstanceRegistered(const std::string& text) const {
  CRegistryKey usb(RegistryRoot::kLocalMachine, kUsbEnum);
  const std::string wanted = upper(text);
  std::string deviceName;
  for (unsigned i = 0; usb.subkeyName(i, &deviceName); ++i) {
    // Key names are compared as Windows compares them: without regard to case.
    if (upper(deviceName).compare(0, std::strlen(kTovikVendor), kTovikVendor) != 0) continue;
    CRegistryKey device(usb, deviceName);
    std::string instance;
    for (unsigned k = 0; device.subkeyName(k, &instance); ++k) {
      if (upper(instance) == wanted) return true;
    }
  }
  return false;
}

bool CMERegistry::readDriveLetters(DeviceParams& params) const {
  const std::string vendor = nameForm(params.vendor);
  const std::string product = nameForm(params.product);
  const std::string search = "USBSTOR&DISK&VEN_" + vendor + "&PROD_" + product + "&REV_" +
                             params.revision + "&" + params.serial + "&";

  CRegistryKey scsi(RegistryRoot::kLocalMachine, kScsiEnum);
  std::string diskName;
  for (unsigned i = 0; scsi.subkeyName(i, &diskName); ++i) {
    if (diskName.find(vendor) == std::string::npos && diskName.find(product) == std::string::npos) {
      continue;
    }
    CRegistryKey disk(scsi, diskName);
    std::string instanceName;
    for (unsigned k = 0; disk.subkeyName(k, &instanceName); ++k) {
      if (instanceName.find(search) == std::string::npos) continue;
      CRegistryKey instance(disk, instanceName);
      std::string letters;
      if (!instance.stringValue("CurrentDriveLetterAssignment", &letters)) return false;
      for (char letter : letters) params.driveMask |= pdk::letterBit(letter);
      params.removable = instance.hasValue("Removable") ? 1 : 0;
      return true;
    }
  }
  return false;
}
