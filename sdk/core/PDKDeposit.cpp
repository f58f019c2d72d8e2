#include "PDKDeposit.h"

#include "DepositImpl.h"
#include "PDK.h"

template <typename Op>
int CPDKDeposit::call(Op op) {
  int code = 0;
  // Held for the call: detection may give the drive new feature objects meanwhile.
  const std::shared_ptr<CPDKImpl::Features> f = m_owner.features(code);
  if (f == nullptr) return code;
  return op(*f->deposit);
}

int CPDKDeposit::getPasswordHint(char* buffer, uint32_t& size) {
  return call([&](CDepositImpl& d) { return d.getPasswordHint(buffer, size); });
}

int CPDKDeposit::isInSafePartition(bool& inSafe) {
  return call([&](CDepositImpl& d) { return d.isInSafePartition(inSafe); });
}

int CPDKDeposit::isDepositSupported(bool& supported) {
  return call([&](CDepositImpl& d) { return d.isDepositSupported(supported); });
}

int CPDKDeposit::isVersion3(bool& version3) {
  return call([&](CDepositImpl& d) { return d.isVersion3(version3); });
}

int CPDKDeposit::safePartitionExist(bool& exists) {
  return call([&](CDepositImpl& d) { return d.safePartitionExist(exists); });
}

int CPDKDeposit::getPartitionSizes(int64_t& publicBytes, int64_t& safeBytes, int64_t& dummyBytes) {
  return call(
      [&](CDepositImpl& d) { return d.getPartitionSizes(publicBytes, safeBytes, dummyBytes); });
}

int CPDKDeposit::configure(const DepositParams& params, IDepositNotify* notify, bool syncFlag) {
  return call([&](CDepositImpl& d) { return d.configure(params, notify, syncFlag); });
}

int CPDKDeposit::changePassword(const char* password1, const char* password2, const char* hint) {
  return call([&](CDepositImpl& d) { return d.changePassword(password1, password2, hint); });
}

int CPDKDeposit::login(const char* password, IDepositNotify* notify, bool syncFlag) {
  return call([&](CDepositImpl& d) { return d.login(password, notify, syncFlag); });
}

int CPDKDeposit::logout(IDepositNotify* notify, bool syncFlag) {
  return call([&](CDepositImpl& d) { return d.logout(notify, syncFlag); });
}

int CPDKDeposit::minPartitionSize(int64_t& minSafe, int64_t& minDummy) {
  return call([&](CDepositImpl& d) { return d.minPartitionSize(minSafe, minDummy); });
}
