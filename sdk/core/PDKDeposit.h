// The privacy zone of the drive a device handle is attached to. Each
// operation answers the handle's status when it is not 0 (8 when detached)
// and otherwise is the privacy zone's own operation of the same name.
#pragma once

#include <cstdint>

class CDepositImpl;
class CPDK;
class IDepositNotify;
struct DepositParams;

class CPDKDeposit {
 public:
  explicit CPDKDeposit(const CPDK& owner) : m_owner(owner) {}
  virtual ~CPDKDeposit() = default;
  CPDKDeposit(const CPDKDeposit&) = delete;
  CPDKDeposit& operator=(const CPDKDeposit&) = delete;

  virtual int getPasswordHint(char* buffer, uint32_t& size);
  virtual int isInSafePartition(bool& inSafe);
  virtual int isDepositSupported(bool& supported);
  virtual int isVersion3(bool& version3);
  virtual int safePartitionExist(bool& exists);
  virtual int getPartitionSizes(int64_t& publicBytes, int64_t& safeBytes, int64_t& dummyBytes);
  virtual int configure(const DepositParams& params, IDepositNotify* notify, bool syncFlag);
  virtual int changePassword(const char* password1, const char* password2, const char* hint);
  virtual int login(const char* password, IDepositNotify* notify, bool syncFlag);
  virtual int logout(IDepositNotify* notify, bool syncFlag);
  virtual int minPartitionSize(int64_t& minSafe, int64_t& minDummy);

 private:
  template <typename Op>
  int call(Op op);

  const CPDK& m_owner;
};
