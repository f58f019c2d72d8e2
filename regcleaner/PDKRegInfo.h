// The registry cleaner's reader of the maker's drives' entries, over
// HKEY_LOCAL_MACHINE with read access.
#pragma once

#include <string>

#include "regcleaner/IPDKRegInfo.h"
#include "regcleaner/PDKRegObject.h"

class CPDKRegInfo : public IPDKRegInfo, public CPDKRegObject {
 public:
  int collect(std::vector<RegInfoContainer>& drives, std::string& report) override;
  int readInfo(const char* serial, RegInfoContainer& info) override;
  int readInfo(const char* serial, RegInfoContainer& info, std::string& report) override;
  bool checkStrings(const IRegInfoContainer& info, const char* section,
                    const char* vendor) override;
  int isRegistered(const char* serial, const char* letters, bool& registered) override;
  int checkFixedDiskRegistration(const char* serial, char letter, bool& registered) override;
  void attachCleaner(IPDKRegCleaner* cleaner) override;
  void setSerial(const char* serial) override { setSerialNumber(serial); }
  void attachLogSink(IPDKRegLogSink* sink) override { setLogSink(sink); }

 private:
  void _readField(const CRegKey& key, const char* value, RegInfoContainer& info,
                  RegInfoContainer::Field field);
  void _readUsbstor(const CRegKey& usb, RegInfoContainer& info);
  void _appendErrors(const RegError& error, std::string& report) const;
  // The fixed disk with this signature text is a volume of the registered drive.
  bool _fixedDiskConsistent(const std::string& serial, const std::string& signature);

  IPDKRegCleaner* m_cleaner = nullptr;
  size_t m_cleanerReported = 0;
};
