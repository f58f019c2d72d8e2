// What the registry cleaner can tell about one drive's registry entries.
#pragma once

class IPDKRegInfo {
 public:
  virtual ~IPDKRegInfo() = default;
  // Sets registered when the USB instance key of the drive (serial as subkey of
  // "SYSTEM\CurrentControlSet\Enum\USB\Vid_0f3b&Pid_0010\" or "...&Pid_0011\") opens. Always
  // returns 0.
  virtual int isRegistered(const char* serial, const char* letters, bool& registered) = 0;
};
