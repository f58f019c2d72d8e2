#include "98DepositHandler.h"

#include <cstdio>

#include "Connection.h"
#include "DeviceHandle.h"
#include "DevicePort.h"
#include "PDKClock.h"
#include "PDKErrors.h"
#include "PDKTrace.h"
#include "RegistryKey.h"

namespace {
constexpr char kWindowsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
constexpr char kWindowsMe[] = "Microsoft Windows ME";
constexpr uint32_t kResetBlockSize = 32;
constexpr uint32_t kResetRequest = 1;
constexpr uint32_t kResetFunction = 6;
constexpr uint32_t kCapacityPauseMs = 500;
}  // namespace

bool C98DepositHandler::_deviceIsReady(CDeviceHandle& dev) {
  resetDevice(dev);
  const char letter = pdk::lowestLetter(m_params.driveMask);
  if (letter == '\0') {
    PDKTrace("ERROR: C98DepositHandler::_deviceIsReady - device mask 0\n");
    return false;
  }
  for (int attempt = 0; attempt < kRootTries; ++attempt) {
    if (attempt > 0) pdkos::sleep(kRootPauseMs);
    if (pdk::devicePort().isVolumeAccessible(letter)) return true;
  }
  PDKTrace("WARNING:C98DepositHandler::_deviceIsReady-failed to change dir to drive %d\n",
           letter - 'A');
  return false;
}

int C98DepositHandler::resetDevice(CDeviceHandle& dev) {
  pdkos::CRegistryKey windows(pdkos::RegistryRoot::kLocalMachine, kWindowsKey);
  std::string product;
  if (!windows.stringValue("ProductName", &product)) return pdk::kGeneralError;
  if (product != kWindowsMe) {
    CDeviceHandle::ScopedOpen open(dev, m_connection);
    if (open.result() != pdk::kOk) return open.result();
    uint32_t block[kResetBlockSize / 4] = {};
    block[0] = kResetRequest;
    block[4] = kResetFunction;
    uint32_t returned = 0;
    return pdk::devicePort().control(dev.handle(), kResetControlCode, block, sizeof(block), block,
                                     sizeof(block), &returned)
               ? pdk::kOk
               : pdk::kConnectionFailed;
  }
  for (int attempt = 0; attempt < kCapacityTries; ++attempt) {
    if (attempt > 0) pdkos::sleep(kCapacityPauseMs);
    uint32_t kilobytes = 0;
    if (m_connection.readCapacity(dev, &kilobytes) == pdk::kOk) return pdk::kOk;
  }
  return pdk::kNotReady;
}
