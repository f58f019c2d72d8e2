// The application's handle on one drive of the SDK's device table. Attached,
// it forwards every request to the drive's table object and follows the
// drive's changes; when the drive leaves it falls back to the null device and
// answers 8 ("not connected") until it is attached again.
#pragma once

#include <cstdint>
#include <memory>

#include "DeviceParams.h"
#include "PDKCriticalSection.h"
#include "PDKImpl.h"

class CPDKCookie;
class CPDKDeposit;
class IDepositNotify;

class CPDK {
 public:
  CPDK();
  // Detaches a handle that is still attached.
  virtual ~CPDK();
  CPDK(const CPDK&) = delete;
  // Refused: a handle is bound to one observer registration. Only traces.
  CPDK& operator=(const CPDK&);

  // Every operation returns the own status when it is not 0 (8 when detached),
  // and 25 before PDKSDK_init and after PDKSDK_fini.
  virtual int getCapacity(int32_t& bytes);
  // Copies the serial, cut to length - 1 characters, always terminated.
  virtual int getSerial(char* buffer, uint32_t length);
  // 26 and the needed size when length is too small.
  virtual int getRevision(char* buffer, uint32_t& length);
  // Whether this user may open drives at all: 0, or 2.
  virtual int probeAccess();
  virtual int ejectDevice(int& succeeded);
  // "C:\" and a NUL per letter, then a NUL; 26 with the needed size, 28 for no letters.
  virtual int getDriveLetters(char* buffer, uint32_t& length);
  // Which partition the volume of the letter shows: 0 public, 1 dummy, 2 safe;
  // 28 when it cannot tell.
  virtual int getVisiblePartition(char letter, int& state);
  virtual int isRemovable(int& removable);
  virtual int isWriteProtected(int& writeProtected);
  virtual int updateWriteProtected(bool protect, IDepositNotify* notify, int flag);
  virtual int writeImage(const char* path, uint32_t firstSector);
  // Attaches to the drive of these params when the table still holds it in
  // exactly this state; false otherwise (the handle is then detached).
  virtual bool attachDevice(const DeviceParams& params);
  // Attaches to the first drive holding the letter.
  virtual bool attachDevice(char letter);
  virtual void detachDevice();
  // Attached to a usable drive: the own status is 0.
  virtual bool isValid() const;

  // The privacy zone and the hidden-area cookies of the attached drive.
  CPDKDeposit& deposit() { return *m_deposit; }
  CPDKCookie& cookies() { return *m_cookies; }

  // A copy of the own record of the drive.
  DeviceParams params() const;

 private:
  // What the table object tells of the drive's changes. A member, not a base:
  // an application compiled against the public header finds this class's own
  // operations from the first slot of its table on.
  class Observer : public IPDKObserver {
   public:
    explicit Observer(CPDK& owner) : m_owner(owner) {}
    void update(CPDKImpl& subject, const DeviceParams& params) override {
      m_owner.update(subject, params);
    }

   private:
    CPDK& m_owner;
  };

  // Called through the observer by the table object, under the SDK lock.
  void update(CPDKImpl& subject, const DeviceParams& params);

  friend class CPDKCookie;
  friend class CPDKDeposit;

  struct Binding {
    DeviceParams params;
    CPDKImpl* impl;
  };
  Binding binding() const;
  // The feature objects of the attached drive; code 0 or the reason there are none.
  std::shared_ptr<CPDKImpl::Features> features(int& code) const;
  // Stores what the drive told into the own record while still attached to impl.
  template <typename Store>
  void storeIfBound(const CPDKImpl* impl, Store store);
  void detachLocked();

  Observer m_observer{*this};
  mutable CPDKCriticalSection m_lock;  // m_params and m_impl
  DeviceParams m_params;
  CPDKImpl* m_impl;
  std::unique_ptr<CPDKCookie> m_cookies;
  std::unique_ptr<CPDKDeposit> m_deposit;
};
