// The strings the registry holds for one drive.
#pragma once

class IRegInfoContainer {
 public:
  virtual ~IRegInfoContainer() = default;
  virtual const char* serialNumber() const = 0;
  virtual const char* vendor() const = 0;
  virtual const char* version() const = 0;
  virtual const char* usbDeviceDesc() const = 0;
  virtual const char* usbHardwareId() const = 0;
  virtual const char* usbLocationInfo() const = 0;
  virtual const char* usbService() const = 0;
  virtual const char* usbstorDeviceDesc() const = 0;
  virtual const char* usbstorHardwareId() const = 0;
  virtual const char* usbstorFriendlyName() const = 0;
  virtual const char* usbstorService() const = 0;
  virtual const char* mediaDeviceDesc() const = 0;
  virtual const char* mediaHardwareId() const = 0;
};
