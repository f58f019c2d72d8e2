// The strings read for one drive; empty where the registry had none.
#pragma once

#include <string>

#include "regcleaner/IRegInfoContainer.h"

class RegInfoContainer : public IRegInfoContainer {
 public:
  // In the order of the accessors.
  enum Field {
    kSerialNumber,
    kVendor,
    kVersion,
    kUsbDeviceDesc,
    kUsbHardwareId,
    kUsbLocationInfo,
    kUsbService,
    kUsbstorDeviceDesc,
    kUsbstorHardwareId,
    kUsbstorFriendlyName,
    kUsbstorService,
    kMediaDeviceDesc,
    kMediaHardwareId,
    kFieldCount
  };

  void set(Field field, const std::string& text) { m_fields[field] = text; }
  void clear();

  const char* serialNumber() const override { return m_fields[kSerialNumber].c_str(); }
  const char* vendor() const override { return m_fields[kVendor].c_str(); }
  const char* version() const override { return m_fields[kVersion].c_str(); }
  const char* usbDeviceDesc() const override { return m_fields[kUsbDeviceDesc].c_str(); }
  const char* usbHardwareId() const override { return m_fields[kUsbHardwareId].c_str(); }
  const char* usbLocationInfo() const override { return m_fields[kUsbLocationInfo].c_str(); }
  const char* usbService() const override { return m_fields[kUsbService].c_str(); }
  const char* usbstorDeviceDesc() const override { return m_fields[kUsbstorDeviceDesc].c_str(); }
  const char* usbstorHardwareId() const override { return m_fields[kUsbstorHardwareId].c_str(); }
  const char* usbstorFriendlyName() const override {
    return m_fields[kUsbstorFriendlyName].c_str();
  }
  const char* usbstorService() const override { return m_fields[kUsbstorService].c_str(); }
  const char* mediaDeviceDesc() const override { return m_fields[kMediaDeviceDesc].c_str(); }
  const char* mediaHardwareId() const override { return m_fields[kMediaHardwareId].c_str(); }

 private:
  std::string m_fields[kFieldCount];
};
