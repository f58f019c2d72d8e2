// Registry access for the registry cleaner's objects: every failed call leaves a
// record, and the lookups along a drive's registry chain are shared here.
#pragma once

#include <string>
#include <vector>

#include "regcleaner/IPDKRegLogSink.h"
#include "regcleaner/RegError.h"
#include "regcleaner/RegKey.h"
#include "regcleaner/RegPaths.h"

class CPDKRegObject {
 public:
  // 0 on Windows 2000, 1 on Windows XP, 255 anywhere else; asked once per process.
  static int systemMode();
  // The cleaner's result code of a system error number.
  static int resultCode(long systemError);

  void setSerialNumber(const char* serial) { m_serial = serial != nullptr ? serial : ""; }
  const std::string& serialNumber() const { return m_serial; }
  // "Pid_0010" or "Pid_0011": where the serial's USB instance was last found.
  const std::string& productId() const { return m_pid; }

  const std::vector<RegError>& errors() const { return m_errors; }
  void setLogSink(IPDKRegLogSink* sink) { m_sink = sink; }

 protected:
  void log(int level, const std::string& text) const;
  void record(long systemError, const char* operation, const std::string& key,
              const std::string& value = "");
  // The code of the last failure recorded since `mark` (a size of errors()).
  int codeSince(size_t mark) const;

  // The calls below record their failure.
  bool openKey(CRegKey& key, const std::string& path, CRegKey::Access access = CRegKey::kRead);
  bool openKey(CRegKey& key, const CRegKey& parent, const std::string& name,
               CRegKey::Access access = CRegKey::kRead);
  bool readString(const CRegKey& key, const char* value, std::string* text);
  // False past the last subkey, which is no failure.
  bool subkeyAt(const CRegKey& key, unsigned index, std::string* name);
  bool subkeyCount(const CRegKey& key, unsigned long* count);

  // Calls visit(name) for every subkey of key. visit may delete the subkey it
  // is given, so the index moves on only past a name that is still there.
  template <class Visit>
  void forEachSubkey(const CRegKey& key, Visit visit) {
    std::string name;
    for (unsigned index = 0; subkeyAt(key, index, &name);) {
      visit(name);
      std::string now;
      if (key.subkeyName(index, &now) == kRegOk && now == name) ++index;
    }
  }

  // Calls visit(instance, serial) for every USB instance of the maker's drives.
  template <class Visit>
  void forEachUsbInstance(Visit visit) {
    for (const char* product : regpath::kProductIds) {
      CRegKey parent;
      if (parent.open(std::string(regpath::kUsb) + "\\" + regpath::kVendorPrefix + product,
                      CRegKey::kRead) != kRegOk) {
        continue;
      }
      std::string serial;
      for (unsigned index = 0; subkeyAt(parent, index, &serial); ++index) {
        CRegKey instance;
        if (instance.open(parent, serial, CRegKey::kRead) == kRegOk) visit(instance, serial);
      }
    }
  }

  // The USB instance of serial under one of the two product ids, which
  // productId() then tells; records one "OpenKey" when there is none and
  // `recordMissing` is set.
  bool openUsbInstance(const std::string& serial, CRegKey* instance, bool recordMissing);
  // The USBSTOR instance id of a USB instance: its "ParentIdPrefix" on Windows
  // 2000, the serial followed by "&0" on XP; none elsewhere.
  bool usbstorInstanceId(const CRegKey& usbInstance, const std::string& serial, std::string* id,
                         bool recordMissing);
  // The disk key under Enum\USBSTOR that holds the instance id.
  static bool findUsbstorDisk(const CRegKey& usbstor, const std::string& instance,
                              std::string* diskName);
  // Whether the system holds the device of an instance key as present now: it
  // then has the volatile "Control" key with the "DeviceReference" value.
  static bool isPresent(const CRegKey& instance);

 private:
  std::string m_serial;
  std::string m_pid;
  std::vector<RegError> m_errors;
  IPDKRegLogSink* m_sink = nullptr;
};

// Whether text contains part, ignoring case.
bool containsNoCase(const std::string& text, const std::string& part);
