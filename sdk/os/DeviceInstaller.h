// The system's device-installation functions the NT family ejects a drive
// with, loaded at run time from "setupapi.dll". The loaded library is shared
// and never changes; each walk over the present devices is an Enumeration of
// its own, so several threads may eject at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pdkos {

class CDeviceInstaller {
 public:
  enum class Property { kDescription, kDriver };

  // Loads the library; its absence leaves available() false.
  CDeviceInstaller();
  ~CDeviceInstaller();
  CDeviceInstaller(const CDeviceInstaller&) = delete;
  CDeviceInstaller& operator=(const CDeviceInstaller&) = delete;

  // The functions an enumeration needs are there.
  bool available() const;

  // One enumeration of the present devices of every class, for the thread
  // that made it; the installer must outlive it.
  class Enumeration {
   public:
    explicit Enumeration(const CDeviceInstaller& installer);
    ~Enumeration();
    Enumeration(const Enumeration&) = delete;
    Enumeration& operator=(const Enumeration&) = delete;

    // The system gave a device list.
    bool valid() const;
    // Makes the device of this index the current one; false past the last.
    bool selectDevice(uint32_t index);
    // A property of the current device; false when it has none or none is current.
    bool property(Property which, std::string* value) const;
    // Asks the system to eject the current device; true when it agreed.
    bool requestEject() const;

   private:
    struct State;
    std::unique_ptr<State> m_state;
  };

 private:
  struct Library;
  std::unique_ptr<Library> m_library;
};

}  // namespace pdkos
