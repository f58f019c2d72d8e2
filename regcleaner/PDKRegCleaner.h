// The registry cleaner of the maker's drives on Windows 2000 and XP.
#pragma once

#include <string>
#include <vector>

#include "regcleaner/IPDKRegCleaner.h"
#include "regcleaner/PDKRegObject.h"

class CPDKRegCleaner : public IPDKRegCleaner, public CPDKRegObject {
 public:
  int cleanAll() override;
  int cleanSerial(const char* serial) override;
  int sweepOrphans() override;
  const RegError* errorAt(size_t index) const override;
  void attachLogSink(IPDKRegLogSink* sink) override { setLogSink(sink); }
  void setDryRun(bool dryRun) override { m_dryRun = dryRun; }

 private:
  // What the instances under Enum point at: their driver keys and the
  // prefixes of their children's instance ids.
  struct EnumReferences {
    std::vector<std::string> drivers;
    std::vector<std::string> parentIdPrefixes;
  };

  // Only the registry layouts of Windows 2000 and XP are known to this cleaner.
  bool _cleaningAllowed() const;
  bool _deleteKeyTree(const CRegKey& parent, const std::string& name);
  bool _deleteInterface(const char* interfaceClass, const std::string& name);
  bool _deleteMountedValues(const std::string& target);
  bool _cleanDriverKey(const CRegKey& instance);
  bool _cleanUsbstorChain(const std::string& instance);
  bool _cleanUsbstorInstance(const CRegKey& usbstor, const std::string& diskName,
                             const std::string& instance);
  bool _cleanMedia(const std::string& mediaId);
  bool _cleanVolume(const std::string& volumeId);

  void _sweepUsbstor();
  void _sweepMedia();
  void _sweepVolumes();
  void _sweepClassKeys();
  void _sweepInterfaces();
  void _sweepDeadVolumeInterfaces();

  // The USBSTOR instance ids the maker's USB instances lead to.
  std::vector<std::string> _makerUsbstorInstances();
  static EnumReferences _scanEnum();
  bool _isOrphanUsbstor(const std::string& diskName, const std::string& instance);
  bool _isOrphanMedia(const std::string& mediaId, const EnumReferences& references);
  bool _isRecordedVolume(const std::string& volumeId);

  bool m_dryRun = false;
};
