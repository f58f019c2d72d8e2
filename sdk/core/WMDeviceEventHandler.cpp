#include "WMDeviceEventHandler.h"

#include <cstdio>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DeviceChecker.h"
#include "DeviceHandle.h"
#include "DeviceMessageWindow.h"
#include "DevicePort.h"
#include "OSKind.h"
#include "PDKErrors.h"
#include "PDKSDK.h"
#include "ScsiCdb.h"
#include "regcleaner/IPDKRegInfo.h"

namespace {

constexpr size_t kPresentationOffset = 8;
constexpr uint32_t kPresentsRemovable = 1;
constexpr size_t kLetterListSize = 64;

}  // namespace

void CWMDeviceEventHandler::initialScan() {
  for (char letter : pdk::devicePort().logicalDriveLetters()) {
    DeviceParams p = DeviceParams::forLetter(letter);
    processOneDevice(p);
  }
  createWindow();
}

bool CWMDeviceEventHandler::processOneDevice(DeviceParams& p) {
  if (deviceChecker() != nullptr) deviceChecker()->recognise(p);
  authenticate(p);
  if (p.status != pdk::kOk && p.status != pdk::kNotAuthenticated) return false;
  CPDKSDK::instance().deviceArrival(p);
  return true;
}

void CWMDeviceEventHandler::wait() {
  const uint32_t timeout = waitTimeout();
  if (window() != nullptr) window()->waitAndPeek(timeout);
}

void CWMDeviceEventHandler::authenticate(DeviceParams& p) {
  IConnection& connection = CConnectionSingleton::instance();
  const int kind = GetOSKind();

  // Newer firmware on 98 SE can present the flash as a fixed disk; its
  // configuration block tells.
  if (kind == pdk::kOSWin98SE && p.revision[0] > '2') {
    uint8_t block[kConfigBlockLength] = {};
    CDeviceHandle handle(p);
    if (connection.vendorIn(handle, kConfigBlockSubCode, 0, nullptr, sizeof(block), block,
                            pdk::kDefaultTimeout) == pdk::kOk &&
        pdk::le32(block + kPresentationOffset) != kPresentsRemovable) {
      p.removable = 0;
    }
  }
  // A fixed disk shows each partition as a volume of its own: a second
  // volume of a drive already waiting is a duplicate.
  if (p.removable == 0 && serialPendingElsewhere(p)) p.status = pdk::kAlreadyExists;
  if (p.status != pdk::kOk) return;

  if (kind == pdk::kOSWin2000 || kind == pdk::kOSWinXP) {
    if (p.serial[0] == '\0') {
      uint8_t probe[kUclProbeLength] = {};
      CDeviceHandle handle(p);
      p.status = connection.vendorIn(handle, kUclProbeSubCode, 0, nullptr, sizeof(probe), probe,
                                     pdk::kDefaultTimeout) == pdk::kOk
                     ? pdk::kUclVersion
                     : pdk::kGeneralError;
      return;
    }
    char letters[kLetterListSize] = {};
    size_t used = 0;
    for (int bit = 0; bit < 26 && used + 4 <= sizeof(letters); ++bit) {
      if (p.driveMask & (1u << bit))
        used += std::snprintf(letters + used, sizeof(letters) - used, "%c:\\", 'A' + bit);
    }
    bool registered = false;
    if (regInfo().isRegistered(p.serial, letters, registered) != pdk::kOk || !registered) {
      p.status = pdk::kNotReady;
      return;
    }
  }
  p.status = pdk::kOk;
}
