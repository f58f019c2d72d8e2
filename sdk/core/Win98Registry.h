// Where Windows 98 SE keeps a Tovik Drive: its USB instance in the dynamic
// data, its letters under the disk enumerator, its device name under USB.
#pragma once

#include <cstddef>
#include <string>

class CWin98Registry {
 public:
  // The USB instance that holds the drive letter, and its product id text ("PID_...").
  bool findUsbInstanceByLetter(char letter, std::string* productId, std::string* instance) const;
  // The letters Windows gave the disk of a USB instance.
  bool readEsdiDriveLetters(const std::string& instance, const std::string& hardwareName,
                            std::string* letters) const;
  // "\\.\<device name>" of the drive that holds the letter.
  bool buildVolumePath(char letter, char* path, size_t size) const;
  // Whether a Tovik USB instance of that name is present.
  bool isInstanceRegistered(const std::string& instance) const;

 private:
  // Calls visit(instance, hardwareName) for every present Tovik USB device until it returns true.
  template <typename Visit>
  bool forEachTovikDevice(Visit visit) const;
};
