// The device-table object of one drive: its params, the device objects that
// follow it, and the drive's operations. Every change of the params reaches
// the observers. One per slot of the table, plus the process-wide null device
// a detached device object points to.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "DeviceParams.h"
#include "PDKCriticalSection.h"

class CCookieImpl;
class CDepositImpl;
class CDeviceHandle;
class CPDKImpl;
class IConnection;
class IDepositNotify;

// A device object following a drive; told under the SDK lock.
class IPDKObserver {
 public:
  virtual ~IPDKObserver() = default;
  virtual void update(CPDKImpl& subject, const DeviceParams& params) = 0;
};

class CPDKImpl {
 public:
  static constexpr uint16_t kSubCodeRemovableRecord = 0x0040;
  static constexpr uint16_t kSubCodeFormatDone = 0x0043;
  static constexpr uint16_t kSubCodeFixedRecord = 0x0044;
  static constexpr uint16_t kSubCodeConfigWrite = 0x0049;
  static constexpr uint16_t kSubCodeConfigRead = 0x004A;
  static constexpr uint16_t kSubCodeSerial = 0x0100;
  static constexpr uint32_t kConfigBlockLength = 16;
  static constexpr uint8_t kWriteProtectBit = 0x02;  // in byte 8 of the configuration block
  static constexpr uint32_t kImageChunkSectors = 100;
  static constexpr uint32_t kImageTimeout = 10000;
  static constexpr size_t kRevisionLength = 5;
  static constexpr const char* kFormatLabel = "NO NAME    ";

  // The feature objects of one state of the drive, made for a copy of its
  // params: a holder keeps them (and that copy) alive while it uses them,
  // whatever detection does to the slot meanwhile.
  struct Features {
    explicit Features(IConnection& connection, const DeviceParams& params);
    ~Features();
    Features(const Features&) = delete;
    Features& operator=(const Features&) = delete;

    const DeviceParams params;
    std::unique_ptr<CCookieImpl> cookies;
    std::unique_ptr<CDepositImpl> deposit;
  };

  // connection null: the null device, which talks to no drive.
  explicit CPDKImpl(IConnection* connection);
  virtual ~CPDKImpl();
  CPDKImpl(const CPDKImpl&) = delete;
  CPDKImpl& operator=(const CPDKImpl&) = delete;

  // The device a detached device object points to; it lives as long as the process.
  static CPDKImpl& nullDevice();

  // ---- the drive's operations; each returns an SDK code ----

  // Bytes, read once and then kept in the params.
  virtual int getCapacity(int32_t& bytes);
  // The serial with its NUL; 26 and the needed size when length is too small.
  virtual int getSerial(char* buffer, uint32_t& length);
  // 1 when unknown; 26 and the needed size when length is too small.
  virtual int getRevision(char* buffer, uint32_t& length);
  // succeeded 1 when the system let the drive go. A refusal on the NT family
  // is no error: succeeded 0, result 0.
  virtual int ejectDevice(int& succeeded);
  virtual int getDriveLetters(char* buffer, uint32_t& length);
  virtual int isRemovable(int& removable);
  // 15 for firmware below revision 3.
  virtual int isWriteProtected(int& writeProtected);
  // Switches the drive's write protection and re-attaches it so that the
  // system sees the change: flag 0 returns at once (the outcome goes to
  // notify), anything else waits for the drive to come back.
  virtual int updateWriteProtected(bool protect, IDepositNotify* notify, int flag);
  // Writes the whole 512-byte sectors of the file from firstSector on.
  virtual int writeImage(const char* path, uint32_t firstSector);
  virtual int getId() const;
  // Formats the drive as one volume; options[0] is handed to the formatter.
  virtual int format(const char* options);

  // ---- the table's side ----

  // A copy: detection changes the params while device objects read them.
  DeviceParams params() const;
  int status() const;

  // Stores params that differ from the stored ones (with the id, when one is
  // given) and tells the observers; equal params change nothing.
  void setParams(const DeviceParams& params, int id = -1);
  // Stores a different status and tells the observers.
  void setStatus(int status);

  void attachObserver(IPDKObserver* observer);
  void detachObserver(IPDKObserver* observer);
  size_t observerCount() const;

  // The feature objects for the drive as it is now; null for the null device.
  std::shared_ptr<Features> features();

  // The drive-letter text of a mask: "C:\" and a NUL per letter, then a NUL.
  // 26 and the needed size when length is too small (the buffer zeroed
  // first); 28 for an empty mask.
  static int lettersText(uint32_t mask, char* buffer, uint32_t& length);

 private:
  void notifyObservers();
  // The serial from the drive, kept in the params; 0 when it was known already.
  int readSerial(const DeviceParams& snapshot);
  void storeCapacity(int32_t bytes);

  mutable CPDKCriticalSection m_observersLock;
  std::vector<IPDKObserver*> m_observers;
  mutable CPDKCriticalSection m_paramsLock;  // m_params and m_features
  DeviceParams m_params;
  IConnection* const m_connection;
  std::shared_ptr<Features> m_features;
};
