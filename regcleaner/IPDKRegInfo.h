// What the registry cleaner can tell about the registry entries of the maker's
// drives. Operations answer the result code of their last failure, 0 when none.
#pragma once

#include <string>
#include <vector>

#include "regcleaner/IPDKRegCleaner.h"
#include "regcleaner/RegInfoContainer.h"

class IPDKRegInfo {
 public:
  virtual ~IPDKRegInfo() = default;
  // The strings of every drive of the maker the registry holds, one container
  // each, and their reports appended to report.
  virtual int collect(std::vector<RegInfoContainer>& drives, std::string& report) = 0;
  // The strings of the drive with this serial (nullptr: the serial set last).
  virtual int readInfo(const char* serial, RegInfoContainer& info) = 0;
  // The same, and appends the report of the drive with the failures met.
  virtual int readInfo(const char* serial, RegInfoContainer& info, std::string& report) = 0;
  // Compares the eight strings with those expected in "PDKReg.ini" of the
  // current directory, section `section` + " " + vendor ("Vendor" when
  // section is nullptr); each difference goes to the log sink. True when all match.
  virtual bool checkStrings(const IRegInfoContainer& info, const char* section,
                            const char* vendor) = 0;
  // Sets registered when the USB instance key of the drive (serial as subkey of
  // "SYSTEM\CurrentControlSet\Enum\USB\Vid_0f3b&Pid_0010\" or "...&Pid_0011\") opens. Always
  // returns 0.
  virtual int isRegistered(const char* serial, const char* letters, bool& registered) = 0;
  // For a drive the system sees as a fixed disk: sets registered when the disk
  // recorded for the letter is consistent with the drive's registration.
  virtual int checkFixedDiskRegistration(const char* serial, char letter, bool& registered) = 0;
  // The failures of this cleaner also go into the reports written from now on.
  virtual void attachCleaner(IPDKRegCleaner* cleaner) = 0;
  virtual void setSerial(const char* serial) = 0;
  virtual void attachLogSink(IPDKRegLogSink* sink) = 0;
};
