// How the privacy zone of one kind of drive is driven: the removable-media
// handlers switch the presented partition, the fixed-disk handlers switch the
// disk's second partition and re-attach the drive. Every operation returns an
// SDK code unless said otherwise; dev is a device handle on the drive.
#pragma once

#include <cstdint>

#include "DepositParams.h"

class CDeviceHandle;
class IDepositNotify;

// A configuration record as the drive reports it: five words for removable
// media, seven for a fixed disk.
struct DepositRecord {
  uint32_t words[7] = {};
};

class IDepositHandler {
 public:
  virtual ~IDepositHandler() = default;
  virtual int getPartitionSizes(CDeviceHandle& dev, int64_t& publicBytes, int64_t& safeBytes,
                                int64_t& dummyBytes) = 0;
  // Repartitions and formats the drive; its volumes are locked by the caller.
  virtual int configureDiskPartitions(const DepositParams& params, CDeviceHandle& dev,
                                      IDepositNotify* notify, bool syncFlag) = 0;
  virtual int changePassword(CDeviceHandle& dev, const char* password1, const char* password2) = 0;
  // Login: 13 without a safe partition, 16 when it is presented already.
  virtual int enterSafePartition(CDeviceHandle& dev, const char* password,
                                 IDepositNotify* notify) = 0;
  // Logout: 13 without a safe partition, 16 when it is not presented.
  virtual int exitSafePartition(CDeviceHandle& dev) = 0;
  virtual int readDepositConfig(CDeviceHandle& dev, DepositRecord& record) = 0;
  virtual int isInSafePartition(CDeviceHandle& dev, bool& inSafe) = 0;
  virtual int safePartitionExist(CDeviceHandle& dev, bool& exists) = 0;
  virtual int depositFlag(CDeviceHandle& dev, bool& flag) = 0;
  virtual int minPartitionSize(CDeviceHandle& dev, int64_t& minSafe, int64_t& minDummy) = 0;
  // May the switch go ahead.
  virtual bool lockForSwitch(CDeviceHandle& dev) = 0;
  // Waits until the drive answers again after a switch.
  virtual bool _deviceIsReady(CDeviceHandle& dev) = 0;
  virtual int resetDevice(CDeviceHandle& dev) = 0;
  // Fixed disks only: the LUN mode, -1 when it cannot be read.
  virtual int getLunMode(CDeviceHandle& dev) = 0;
  virtual int setLunMode(CDeviceHandle& dev, int mode, IDepositNotify* notify) = 0;
  virtual int formatFixDiskPartitions(CDeviceHandle& dev, const DepositParams& params,
                                      IDepositNotify* notify) = 0;
};
