// The privacy zone of a removable-media drive: the drive presents either its
// public or its safe partition at LBA 0, switched by a vendor command.
#pragma once

#include "DeviceParams.h"
#include "HiddenAreaBackup.h"
#include "IDepositHandler.h"

class IConnection;

class CDepositHandler : public IDepositHandler {
 public:
  static constexpr uint16_t kSubCodeRecord = 0x0040;
  static constexpr uint16_t kSubCodeConfigure = 0x0041;
  static constexpr uint16_t kSubCodeSwitch = 0x0042;
  static constexpr uint16_t kSubCodeConfigured = 0x0043;
  static constexpr uint16_t kSubCodeChangePassword = 0x004B;
  static constexpr size_t kPasswordLength = 16;
  static constexpr int kReadyTries = 30;
  static constexpr uint32_t kReadyPauseMs = 500;

  // params: the drive's record, owned by the device object and kept current.
  CDepositHandler(IConnection& connection, const DeviceParams& params);

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
  bool lockForSwitch(CDeviceHandle& dev) override;
  bool _deviceIsReady(CDeviceHandle& dev) override;
  int resetDevice(CDeviceHandle& dev) override;
  int getLunMode(CDeviceHandle& dev) override;
  int setLunMode(CDeviceHandle& dev, int mode, IDepositNotify* notify) override;
  int formatFixDiskPartitions(CDeviceHandle& dev, const DepositParams& params,
                              IDepositNotify* notify) override;

  // Formats the presented partition; with a safe size, switches to the safe
  // partition, formats it too and switches back. True when all of it worked.
  bool _formatDevicePartitions(CDeviceHandle& dev, int64_t safeBytes, const char* password,
                               bool doSwitch, const char* label, IDepositNotify* notify);

  // The password of the last successful login, zero padded.
  const uint8_t* password() const { return m_password; }

 protected:
  // The first characters of a password, zero padded to 16 bytes; false for a
  // missing or longer password.
  static bool padPassword(const char* password, uint8_t (&out)[kPasswordLength]);
  int sendOut(CDeviceHandle& dev, uint16_t subCode, const uint8_t* data, uint32_t length);
  int sendIn(CDeviceHandle& dev, uint16_t subCode, uint8_t* data, uint32_t length);
  // The record's words from an answer of count words.
  int readWords(CDeviceHandle& dev, uint16_t subCode, int count, DepositRecord& record);
  // The command block of a password change, with the lengths the drive is told.
  int sendChangePassword(CDeviceHandle& dev, const char* password1, const char* password2,
                         bool realLengths);
  // The login and logout checks shared by both kinds of drive: 13, 16 or 7.
  int checkSwitch(CDeviceHandle& dev, bool toSafe);
  // The configuration's password hint into the drive's hidden area.
  int storeHint(const DepositParams& params);

  IConnection& m_connection;
  const DeviceParams& m_params;
  uint8_t m_password[kPasswordLength] = {};
  CHiddenAreaBackup m_backup;
};
