// The privacy zone of one drive as its device object offers it: picks the
// handler for the drive's kind, opens the drive for each operation and frames
// the switches with volume locking.
#pragma once

#include <cstdint>
#include <memory>

#include "DepositParams.h"
#include "DeviceParams.h"

class CDepositHandler;
class CFixDiskDepositHdl;
class IConnection;
class IDepositHandler;
class IDepositNotify;

class CDepositImpl {
 public:
  static constexpr size_t kMaxHintLength = 32;

  // params: the drive's record, owned by the device object and kept current.
  CDepositImpl(IConnection& connection, const DeviceParams& params);
  virtual ~CDepositImpl();
  CDepositImpl(const CDepositImpl&) = delete;
  CDepositImpl& operator=(const CDepositImpl&) = delete;

  // size: in, the buffer's bytes; out, the bytes the hint needs.
  virtual int getPasswordHint(char* buffer, uint32_t& size);
  virtual int isInSafePartition(bool& inSafe);
  // Firmware 2.5 and later has the privacy zone.
  virtual int isDepositSupported(bool& supported);
  virtual int isVersion3(bool& version3);
  virtual int safePartitionExist(bool& exists);
  virtual int getPartitionSizes(int64_t& publicBytes, int64_t& safeBytes, int64_t& dummyBytes);
  // Repartitions and formats the drive (everything on it is lost; the hidden
  // area is kept).
  virtual int configure(const DepositParams& params, IDepositNotify* notify, bool syncFlag);
  virtual int changePassword(const char* password1, const char* password2, const char* hint);
  virtual int login(const char* password, IDepositNotify* notify, bool syncFlag);
  virtual int logout(IDepositNotify* notify, bool syncFlag);
  virtual int minPartitionSize(int64_t& minSafe, int64_t& minDummy);
  virtual IDepositHandler& selectHandler();

 private:
  // Runs op with a freshly opened handle, after the firmware check.
  template <typename Op>
  int withDrive(Op op);
  // The login and logout frame: volumes dismounted (and on a fixed disk
  // locked), the switch, then the re-attach of a fixed disk.
  template <typename Switch>
  int switchFrame(IDepositNotify* notify, bool syncFlag, Switch doSwitch);

  IConnection& m_connection;
  const DeviceParams& m_params;
  std::unique_ptr<CDepositHandler> m_removable;
  std::unique_ptr<CFixDiskDepositHdl> m_fixed;
};
