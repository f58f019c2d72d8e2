// The privacy zone of a drive the system sees as a fixed disk: partition 1 is
// public, the second slot shows the dummy or the safe partition, and every
// switch ends with the drive detached and re-attached so that the system
// reads the new partition table.
#pragma once

#include "DepositHandler.h"
#include "ReattachThread.h"

class CFixDiskDepositHdl : public CDepositHandler {
 public:
  static constexpr uint16_t kSubCodeRecord = 0x0044;
  static constexpr uint16_t kSubCodeConfigure = 0x0045;
  static constexpr uint16_t kSubCodeSwitch = 0x0046;
  static constexpr uint16_t kSubCodeSetLunMode = 0x004C;
  static constexpr uint16_t kSubCodeGetLunMode = 0x004D;
  static constexpr uint32_t kReattachWaitSeconds = 20;
  static constexpr uint32_t kReattachWaitSecondsWin2000 = 30;
  static constexpr int kPartitionWeight = 50;
  static constexpr int kPartitionWeightWithDummy = 33;

  using CDepositHandler::CDepositHandler;

  int getPartitionSizes(CDeviceHandle& dev, int64_t& publicBytes, int64_t& safeBytes,
                        int64_t& dummyBytes) override;
  int configureDiskPartitions(const DepositParams& params, CDeviceHandle& dev,
                              IDepositNotify* notify, bool syncFlag) override;
  int changePassword(CDeviceHandle& dev, const char* password1, const char* password2) override;
  int enterSafePartition(CDeviceHandle& dev, const char* password, IDepositNotify* notify) override;
  int exitSafePartition(CDeviceHandle& dev) override;
  int readDepositConfig(CDeviceHandle& dev, DepositRecord& record) override;
  int isInSafePartition(CDeviceHandle& dev, bool& inSafe) override;
  int safePartitionExist(CDeviceHandle& dev, bool& exists) override;
  int depositFlag(CDeviceHandle& dev, bool& flag) override;
  int minPartitionSize(CDeviceHandle& dev, int64_t& minSafe, int64_t& minDummy) override;
  int getLunMode(CDeviceHandle& dev) override;
  // Returns once the re-attach has begun; dev and notify must stay until a
  // later enter or the handler's end, which wait for it.
  int setLunMode(CDeviceHandle& dev, int mode, IDepositNotify* notify) override;
  int formatFixDiskPartitions(CDeviceHandle& dev, const DepositParams& params,
                              IDepositNotify* notify) override;

  // Detaches the drive and waits for it to come back, on the calling thread
  // (syncFlag) or on a thread of its own (returns 0 at once; the outcome goes
  // to the sink only).
  int attachDetach(CDeviceHandle& dev, const DeviceParams& params, IDepositNotify* notify,
                   bool syncFlag, uint8_t bootFlag);

  // The smallest safe and dummy sizes for a drive of this many 512-byte
  // sectors whose unit has the given second factor and size.
  static void sizeLimits(uint32_t sectors, uint32_t secondFactor, int64_t unitBytes,
                         int64_t& minSafe, int64_t& minDummy);

 private:
  // The unit in bytes of a record; 0 for a record that makes no sense.
  static int64_t unitBytes(const DepositRecord& record);
  static uint32_t reattachWaitSeconds();

  CReattachThread m_lunReattach;
};
