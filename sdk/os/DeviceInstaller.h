// The system's device-installation functions the NT family ejects a drive
// with, loaded at run time from "setupapi.dll". One enumeration of the present
// devices at a time; the object is used by one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pdkos {

class CDeviceInstaller {
 public:
  enum class Property { kDescription, kDriver };

  // Loads the library and looks its functions up.
  CDeviceInstaller();
  ~CDeviceInstaller();
  CDeviceInstaller(const CDeviceInstaller&) = delete;
  CDeviceInstaller& operator=(const CDeviceInstaller&) = delete;

  // The functions enumeration needs were all found.
  bool available() const;
  // Starts an enumeration of the present devices of every class; false when
  // the system gives no device set.
  bool beginEnumeration();
  // Makes the device of this index the current one; false past the last.
  bool selectDevice(uint32_t index);
  // A text property of the current device, read into a 512-byte buffer.
  bool property(Property which, std::string* value) const;
  // Asks the system to eject the current device; true when it agreed.
  bool requestEject() const;
  // Ends the enumeration (also done by the destructor).
  void endEnumeration();

 private:
  struct State;
  std::unique_ptr<State> m_state;
};

}  // namespace pdkos
