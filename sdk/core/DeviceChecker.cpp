#include "DeviceChecker.h"

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DevicePort.h"
#include "OSKind.h"
#include "PDKErrors.h"

CDeviceChecker::~CDeviceChecker() = default;

void CDeviceChecker::recognise(DeviceParams& p) {
  if (p.driveMask != 0) {
    p.removable = pdk::devicePort().isRemovableDrive(pdk::lowestLetter(p.driveMask)) ? 1 : 0;
  }
  IConnection& connection = CConnectionSingleton::instance();
  const int kind = GetOSKind();
  // The 9x transports identify a drive by INQUIRY alone; the NT family first
  // asks the drive for its identifier, which newer firmware answers whatever
  // product name it reports.
  if (kind != pdk::kOSWin98SE && kind != pdk::kOSWinME && connection.reportIdentifier(p) == pdk::kOk) {
    connection.inquireAndRecognize(p, true);
    p.status = pdk::kOk;
    return;
  }
  connection.inquireAndRecognize(p, true);
}
