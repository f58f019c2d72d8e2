#include "EmulatedDrive.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "PDKLockGuard.h"

namespace emu {

namespace {

constexpr uint8_t kOpInquiry = 0x12;
constexpr uint8_t kOpReadCapacity10 = 0x25;
constexpr uint8_t kOpRead10 = 0x28;
constexpr uint8_t kOpWrite10 = 0x2A;
constexpr uint8_t kOpReportDeviceIdentifier = 0xA3;
constexpr uint8_t kServiceActionReportIdentifier = 0x05;
constexpr uint8_t kOpVendor = 0xFF;

constexpr size_t kInquiryDataLength = 36;
constexpr uint32_t kReadCapacityLength = 8;
constexpr size_t kVendorCdbLength = 14;
constexpr char kVendorSignature[4] = {'T', 'O', 'R', 'M'};

constexpr uint8_t kSerialLayoutVersion = 1;

ScsiResult good(uint32_t transferred) { return {true, kStatusGood, transferred, {}}; }

ScsiResult check(uint8_t key, uint8_t asc, uint8_t ascq = 0) {
  return {true, kStatusCheckCondition, 0, {key, asc, ascq}};
}

ScsiResult illegal(uint8_t asc) { return check(kSenseKeyIllegalRequest, asc); }

// Wrong passwords, impossible sizes and lengths: the parameter data is refused.
ScsiResult badParameters() { return illegal(kAscInvalidFieldInParameterList); }

bool needsMedium(const uint8_t* cdb, size_t cdbLength) {
  if (cdbLength == 0) return false;
  return cdb[0] == kOpReadCapacity10 || cdb[0] == kOpRead10 || cdb[0] == kOpWrite10;
}

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void putBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}

// Copies text into a blank-padded fixed field, as INQUIRY presents its texts.
void putPadded(uint8_t* field, size_t width, const std::string& text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

bool isZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

}  // namespace

size_t writeFixedSense(const SenseCode& sense, uint8_t* out, size_t outLength) {
  uint8_t s[kFixedSenseLength] = {};
  s[0] = 0x70;  // current error, fixed format
  s[2] = sense.key & 0x0F;
  s[7] = kFixedSenseLength - 8;  // additional sense length
  s[12] = sense.asc;
  s[13] = sense.ascq;
  const size_t n = std::min(outLength, kFixedSenseLength);
  if (n > 0) std::memcpy(out, s, n);
  return n;
}

// The vendor sub-codes the firmware answers. A sub-code not listed here gets
// CHECK CONDITION, as the real drive does with an unknown sub-code.
const CEmulatedDrive::VendorCommand CEmulatedDrive::kVendorCommands[] = {
    {kSubCodeSerial, Direction::In, kSerialAnswerLength, &CEmulatedDrive::vendorSerial},
    {kSubCodeConfigRead, Direction::In, kConfigBlockLength, &CEmulatedDrive::vendorConfigRead},
    {kSubCodeConfigWrite, Direction::Out, kConfigBlockLength, &CEmulatedDrive::vendorConfigWrite},
    {kSubCodeUclProbe, Direction::In, kUclAnswerLength, &CEmulatedDrive::vendorUclProbe},
    {kSubCodeAcknowledge, Direction::None, 0, &CEmulatedDrive::vendorAcknowledge},
    {kSubCodeHiddenRead, Direction::In, CHiddenArea::kPageSize, &CEmulatedDrive::vendorHiddenRead},
    {kSubCodeHiddenWrite, Direction::Out, CHiddenArea::kPageSize,
     &CEmulatedDrive::vendorHiddenWrite},
    {kSubCodeRemovableRecord, Direction::In, CRemovableLayout::kRecordLength,
     &CEmulatedDrive::vendorRemovableRecord},
    {kSubCodeRemovableConfigure, Direction::Out, kRemovableConfigureLength,
     &CEmulatedDrive::vendorRemovableConfigure},
    {kSubCodeRemovableSwitch, Direction::Out, kRemovableSwitchLength,
     &CEmulatedDrive::vendorRemovableSwitch},
    {kSubCodeFixedRecord, Direction::In, CFixedDiskLayout::kRecordLength,
     &CEmulatedDrive::vendorFixedRecord},
    {kSubCodeFixedConfigure, Direction::Out, kFixedConfigureLength,
     &CEmulatedDrive::vendorFixedConfigure},
    {kSubCodeFixedSwitch, Direction::Out, kFixedSwitchLength, &CEmulatedDrive::vendorFixedSwitch},
    {kSubCodePartitionTable, Direction::Out, kPartitionTableLength,
     &CEmulatedDrive::vendorPartitionTable},
    {kSubCodeSetLunMode, Direction::Out, kSetLunModeLength, &CEmulatedDrive::vendorSetLunMode},
    {kSubCodeLunMode, Direction::In, kLunModeLength, &CEmulatedDrive::vendorLunMode},
    {kSubCodeDetach, Direction::Out, kDetachLength, &CEmulatedDrive::vendorDetach},
    {kSubCodeChangePassword, Direction::Out, kChangePasswordLength,
     &CEmulatedDrive::vendorChangePassword},
};

CEmulatedDrive::CEmulatedDrive(DriveConfig config, std::unique_ptr<CSectorStore> store)
    : config_(std::move(config)) {
  if (config_.sectorCount == 0) throw std::invalid_argument("a drive needs at least one sector");
  if (store && store->sectorCount() != config_.sectorCount) {
    throw std::invalid_argument("the sector store does not have the drive's sector count");
  }
  if (config_.vendor.size() > 8) throw std::invalid_argument("vendor text longer than 8");
  if (config_.product.size() > 16) throw std::invalid_argument("product text longer than 16");
  if (config_.revision.size() > 4) throw std::invalid_argument("revision text longer than 4");
  if (config_.serial.size() > DriveConfig::kMaxSerialLength)
    throw std::invalid_argument("serial text too long for the serial answer");
  if (config_.ucl != config_.serial.empty())
    throw std::invalid_argument("a drive has an empty serial exactly when it is the UCL version");
  // Only the presentation word is set; the rest of the block starts zeroed.
  configBlock_[kConfigPresentationOffset] = config_.removable ? 1 : 0;
  // The layouts refuse geometries they cannot present with invalid_argument.
  if (config_.removable) {
    removableLayout_.emplace(config_.sectorCount, config_.allocationUnitSectors);
  } else {
    fixedLayout_.emplace(config_.sectorCount, config_.unitFactorA, config_.unitFactorB);
  }
  store_ = store ? std::move(store) : CSectorStore::inMemory(config_.sectorCount);
}

std::string CEmulatedDrive::identifierText() const {
  if (!config_.identifierText.empty()) return config_.identifierText;
  return "Vantrel Plunda " + config_.serial;
}

ScsiResult CEmulatedDrive::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                                   uint32_t dataLength, bool dataIn) {
  CPDKLockGuard lock(&mutex_);
  ++commandCount_;
  const Request r{cdb, cdb ? cdbLength : 0, data, data ? dataLength : 0, dataIn};
  if (faultsLeft_ > 0 && faultFilter_.matches(r.cdb, r.cdbLength)) {
    --faultsLeft_;
    const ScsiResult injected = faultKind_ == FaultKind::NotDelivered
                                    ? ScsiResult{false, kStatusGood, 0, {}}
                                    : check(kSenseKeyHardwareError, kAscInternalTargetFailure);
    log(r, injected, true);
    return injected;
  }
  // Every command the drive receives uses up the window, whatever it is.
  const bool notReady = notReadyLeft_ > 0;
  if (notReady) --notReadyLeft_;
  const std::array<uint32_t, 5> before = presentation();
  const ScsiResult result = notReady && needsMedium(r.cdb, r.cdbLength)
                                ? check(kSenseKeyNotReady, kAscNotReady, kAscqBecomingReady)
                                : dispatch(r);
  log(r, result, false);
  const std::optional<FlashPartition> formatted = pendingFormat_;
  pendingFormat_.reset();
  const std::function<void(FlashPartition)> formatHandler = formatHandler_;
  const std::function<void()> presented =
      presentation() != before ? presentationHandler_ : std::function<void()>();
  if (!pendingDetach_) {
    lock.release();
    if (formatted && formatHandler) formatHandler(*formatted);
    if (presented) presented();
    return result;
  }

  // The owner's handler typically takes the drive off the bus and back, which
  // reaches this drive again: call it with the lock released.
  const DetachRequest request = *pendingDetach_;
  pendingDetach_.reset();
  const std::function<void(const DetachRequest&)> handler = detachHandler_;
  lock.release();
  if (presented) presented();
  if (handler) handler(request);
  return result;
}

ScsiResult CEmulatedDrive::dispatch(const Request& r) {
  if (r.cdbLength == 0) return illegal(kAscInvalidOpcode);
  switch (r.cdb[0]) {
    case kOpInquiry:
      return inquiry(r);
    case kOpReadCapacity10:
      return readCapacity(r);
    case kOpRead10:
      return readWrite10(r, false);
    case kOpWrite10:
      return readWrite10(r, true);
    case kOpReportDeviceIdentifier:
      return reportIdentifier(r);
    case kOpVendor:
      return vendor(r);
    default:
      return illegal(kAscInvalidOpcode);
  }
}

ScsiResult CEmulatedDrive::inquiry(const Request& r) {
  if (r.cdbLength < 6) return illegal(kAscInvalidFieldInCdb);
  // No vital product data pages: EVPD and a page code are refused.
  if ((r.cdb[1] & 0x01) != 0 || r.cdb[2] != 0) return illegal(kAscInvalidFieldInCdb);
  const uint32_t allocation = r.cdb[4];
  if (allocation > 0 && !r.dataIn) return illegal(kAscInvalidFieldInCdb);

  uint8_t d[kInquiryDataLength] = {};
  d[0] = 0x00;                             // direct-access block device
  d[1] = config_.removable ? 0x80 : 0x00;  // RMB
  d[2] = 0x02;                             // SCSI-2
  d[3] = 0x02;                             // response data format
  d[4] = kInquiryDataLength - 5;           // additional length
  putPadded(d + 8, 8, config_.vendor);
  putPadded(d + 16, 16, config_.product);
  putPadded(d + 32, 4, config_.revision);

  // The firmware fills the whole allocation: bytes past the standard data are zero.
  const uint32_t n = std::min(allocation, r.dataLength);
  const uint32_t fromData = std::min<uint32_t>(n, kInquiryDataLength);
  if (n > 0) {
    std::memcpy(r.data, d, fromData);
    std::memset(r.data + fromData, 0, n - fromData);
  }
  return good(n);
}

ScsiResult CEmulatedDrive::readCapacity(const Request& r) {
  if (r.cdbLength < 10) return illegal(kAscInvalidFieldInCdb);
  if (!r.dataIn || r.dataLength < kReadCapacityLength) return illegal(kAscInvalidFieldInCdb);
  putBe32(r.data, presentedSectorCount() - 1);
  putBe32(r.data + 4, kDriveSectorSize);
  return good(kReadCapacityLength);
}

ScsiResult CEmulatedDrive::readWrite10(const Request& r, bool write) {
  if (r.cdbLength < 10) return illegal(kAscInvalidFieldInCdb);
  const uint32_t lba = be32(r.cdb + 2);
  // Standard 16-bit transfer length; the SDK only ever fills the low byte.
  const uint32_t count = (uint32_t(r.cdb[7]) << 8) | r.cdb[8];
  const uint32_t presented = presentedSectorCount();
  if (lba >= presented || count > presented - lba) return illegal(kAscLbaOutOfRange);
  if (write && writeProtected()) return check(kSenseKeyDataProtect, kAscWriteProtected);
  const uint32_t bytes = count * kDriveSectorSize;
  if (bytes == 0) return good(0);
  if (r.dataIn == write) return illegal(kAscInvalidFieldInCdb);
  if (r.dataLength < bytes) return illegal(kAscParameterLengthError);

  std::vector<uint32_t> flash(count);
  std::vector<bool> backed(count);
  for (uint32_t i = 0; i < count; ++i) {
    backed[i] = presentedToFlash(lba + i, flash[i]);
    // A write into the fixed disk's gap has nowhere to go: refuse all of it.
    if (write && !backed[i]) return illegal(kAscLbaOutOfRange);
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* p = r.data + size_t(i) * kDriveSectorSize;
    if (write) {
      writeFlash(flash[i], p);
      // A FAT boot sector: bytes per sector 512, extended signature, 55 AA.
      if (p[11] == 0x00 && p[12] == 0x02 && p[38] == 0x29 && p[510] == 0x55 && p[511] == 0xAA)
        pendingFormat_ = partitionAt(lba + i);
    } else if (backed[i]) {
      readFlash(flash[i], p);
    } else {
      std::memset(p, 0, kDriveSectorSize);
    }
  }
  return good(bytes);
}

ScsiResult CEmulatedDrive::reportIdentifier(const Request& r) {
  if (r.cdbLength < 12) return illegal(kAscInvalidFieldInCdb);
  if ((r.cdb[1] & 0x1F) != kServiceActionReportIdentifier) return illegal(kAscInvalidFieldInCdb);
  const uint32_t allocation = be32(r.cdb + 6);
  if (allocation > 0 && !r.dataIn) return illegal(kAscInvalidFieldInCdb);

  const std::string text = identifierText();
  std::vector<uint8_t> answer(4 + text.size());
  putBe32(answer.data(), uint32_t(text.size()));
  std::memcpy(answer.data() + 4, text.data(), text.size());

  // Only the answer itself travels; the rest of the caller's buffer is not touched.
  const uint32_t n = std::min({allocation, r.dataLength, uint32_t(answer.size())});
  if (n > 0) std::memcpy(r.data, answer.data(), n);
  return good(n);
}

ScsiResult CEmulatedDrive::vendor(const Request& r) {
  if (r.cdbLength < kVendorCdbLength) return illegal(kAscInvalidFieldInCdb);
  if (std::memcmp(r.cdb + 10, kVendorSignature, sizeof kVendorSignature) != 0)
    return illegal(kAscInvalidFieldInCdb);
  const uint16_t subCode = uint16_t(r.cdb[1] | (r.cdb[2] << 8));
  for (const VendorCommand& c : kVendorCommands) {
    if (c.subCode != subCode) continue;
    if (c.direction == Direction::None) {
      if (r.dataLength != 0) return illegal(kAscParameterLengthError);
    } else {
      if (r.dataIn != (c.direction == Direction::In)) return illegal(kAscInvalidFieldInCdb);
      if (r.dataLength < c.dataLength) return illegal(kAscParameterLengthError);
    }
    return (this->*c.handler)(r);
  }
  return illegal(kAscInvalidFieldInCdb);
}

// Serial answer, 40 bytes:
//   0-1  "SN"
//   2    layout version (1)
//   3    length of the serial text
//   4-5  0
//   6-39 serial text, NUL-terminated, zero-padded
ScsiResult CEmulatedDrive::vendorSerial(const Request& r) {
  uint8_t* d = r.data;
  std::memset(d, 0, kSerialAnswerLength);
  d[0] = 'S';
  d[1] = 'N';
  d[2] = kSerialLayoutVersion;
  d[3] = uint8_t(config_.serial.size());
  std::memcpy(d + kSerialTextOffset, config_.serial.data(), config_.serial.size());
  return good(kSerialAnswerLength);
}

bool CEmulatedDrive::writeProtected() const {
  return (configBlock_[kConfigPresentationOffset] & kConfigWriteProtectBit) != 0;
}

ScsiResult CEmulatedDrive::vendorConfigRead(const Request& r) {
  std::memcpy(r.data, configBlock_.data(), kConfigBlockLength);
  return good(kConfigBlockLength);
}

// Stored verbatim: the write-protect bit acts on the next WRITE(10); every other
// byte is only kept for the next read.
ScsiResult CEmulatedDrive::vendorConfigWrite(const Request& r) {
  std::memcpy(configBlock_.data(), r.data, kConfigBlockLength);
  return good(kConfigBlockLength);
}

// Probe answer, 4 bytes: "UCL" and the answer layout version, 1.
ScsiResult CEmulatedDrive::vendorUclProbe(const Request& r) {
  if (!config_.ucl) return illegal(kAscInvalidFieldInCdb);
  const uint8_t answer[kUclAnswerLength] = {'U', 'C', 'L', 1};
  std::memcpy(r.data, answer, kUclAnswerLength);
  return good(kUclAnswerLength);
}

ScsiResult CEmulatedDrive::vendorAcknowledge(const Request&) { return good(0); }

// Parameters: [0..1] page (LE), [2..5] try word (LE). The try word picks a
// read retry mode; the model's flash never fails a read, so 0 and 1 read alike.
ScsiResult CEmulatedDrive::vendorHiddenRead(const Request& r) {
  const uint8_t* p = r.cdb + 3;
  const uint32_t page = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
  if (le32(p + 2) > 1) return illegal(kAscInvalidFieldInCdb);
  if (page >= CHiddenArea::kPageCount) return illegal(kAscLbaOutOfRange);
  hidden_.read(page, r.data);
  return good(CHiddenArea::kPageSize);
}

// Parameters: [0..1] page (LE).
ScsiResult CEmulatedDrive::vendorHiddenWrite(const Request& r) {
  const uint8_t* p = r.cdb + 3;
  const uint32_t page = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
  if (page >= CHiddenArea::kPageCount) return illegal(kAscLbaOutOfRange);
  hidden_.write(page, r.data);
  return good(CHiddenArea::kPageSize);
}

std::optional<CEmulatedDrive::Password> CEmulatedDrive::passwordField(const uint8_t* field,
                                                                      uint32_t length) {
  if (length > kPasswordLength) return std::nullopt;
  Password p{};
  std::memcpy(p.data(), field, length);
  return p;
}

void CEmulatedDrive::startNotReadyWindow() { notReadyLeft_ = config_.notReadyCommandsAfterSwitch; }

// Record of the removable layout, 20 bytes (CRemovableLayout::record).
ScsiResult CEmulatedDrive::vendorRemovableRecord(const Request& r) {
  if (!removableLayout_) return illegal(kAscInvalidFieldInCdb);
  removableLayout_->record(r.data);
  return good(CRemovableLayout::kRecordLength);
}

// [0..3] safe size in units (LE), [4..19] password, zero padded. The flash is
// left as it is: the new partitions show whatever lies at their place.
ScsiResult CEmulatedDrive::vendorRemovableConfigure(const Request& r) {
  if (!removableLayout_) return illegal(kAscInvalidFieldInCdb);
  const uint32_t safeUnits = le32(r.data);
  const Password password = *passwordField(r.data + 4, kPasswordLength);
  // Sixteen zero bytes mean "present the public partition", so they cannot
  // guard a safe one.
  const bool emptyPassword = isZero(password.data(), kPasswordLength);
  if (safeUnits > 0 && emptyPassword) return badParameters();
  if (!removableLayout_->configure(safeUnits)) return badParameters();
  password_ = password;
  if (config_.clearHiddenOnRelayout) hidden_.erase();
  startNotReadyWindow();
  return good(kRemovableConfigureLength);
}

// 16 bytes: all zero presents the public partition, the password the safe one.
ScsiResult CEmulatedDrive::vendorRemovableSwitch(const Request& r) {
  if (!removableLayout_) return illegal(kAscInvalidFieldInCdb);
  const Password given = *passwordField(r.data, kPasswordLength);
  if (isZero(given.data(), kPasswordLength)) {
    removableLayout_->presentPublic();
  } else {
    if (!removableLayout_->hasSafe() || given != password_) return badParameters();
    removableLayout_->presentSafe();
  }
  startNotReadyWindow();
  return good(kRemovableSwitchLength);
}

// Record of the fixed-disk layout, 28 bytes (CFixedDiskLayout::record).
ScsiResult CEmulatedDrive::vendorFixedRecord(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  fixedLayout_->record(r.data);
  return good(CFixedDiskLayout::kRecordLength);
}

// [0..3] safe units, [4..7] dummy units, [8..11] password length, [12..27]
// password. As on the removable drive, the flash is not cleared.
ScsiResult CEmulatedDrive::vendorFixedConfigure(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  const uint32_t safeUnits = le32(r.data);
  const uint32_t dummyUnits = le32(r.data + 4);
  const std::optional<Password> password = passwordField(r.data + 12, le32(r.data + 8));
  if (!password) return badParameters();
  if (safeUnits > 0 && isZero(password->data(), kPasswordLength)) return badParameters();
  if (!fixedLayout_->configure(safeUnits, dummyUnits)) return badParameters();
  password_ = *password;
  if (config_.clearHiddenOnRelayout) hidden_.erase();
  rewritePartitionTable();
  startNotReadyWindow();
  return good(kFixedConfigureLength);
}

// [0..3] password length, [4..19] password. Length 0 shows the dummy partition
// in the second slot, the password the safe one.
ScsiResult CEmulatedDrive::vendorFixedSwitch(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  const uint32_t length = le32(r.data);
  const std::optional<Password> given = passwordField(r.data + 4, length);
  if (!given) return badParameters();
  if (length == 0) {
    fixedLayout_->presentDummy();
  } else {
    if (!fixedLayout_->hasSafe() || *given != password_) return badParameters();
    fixedLayout_->presentSafe();
  }
  rewritePartitionTable();
  startNotReadyWindow();
  return good(kFixedSwitchLength);
}

// [0..3] 1, [4..7] a value the drive does not use. The host has just written
// its master boot record; the drive puts its own partition entries into it.
ScsiResult CEmulatedDrive::vendorPartitionTable(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  if (le32(r.data) != 1) return badParameters();
  rewritePartitionTable();
  return good(kPartitionTableLength);
}

// [0..3] mode; the three words after it are not used. The mode is only kept.
ScsiResult CEmulatedDrive::vendorSetLunMode(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  fixedLayout_->setLunMode(le32(r.data));
  return good(kSetLunModeLength);
}

ScsiResult CEmulatedDrive::vendorLunMode(const Request& r) {
  if (!fixedLayout_) return illegal(kAscInvalidFieldInCdb);
  putLe32(r.data, fixedLayout_->lunMode());
  return good(kLunModeLength);
}

// Three LE words, passed on unchecked; execute() calls the handler once the
// command is answered.
ScsiResult CEmulatedDrive::vendorDetach(const Request& r) {
  pendingDetach_ = DetachRequest{le32(r.data), le32(r.data + 4), le32(r.data + 8)};
  return good(kDetachLength);
}

// [0..3] length of the current password, [4..19] it; [20..23] length of the new
// one, [24..39] it. The layout and the presented partition do not change.
ScsiResult CEmulatedDrive::vendorChangePassword(const Request& r) {
  const std::optional<Password> current = passwordField(r.data + 4, le32(r.data));
  const std::optional<Password> next = passwordField(r.data + 24, le32(r.data + 20));
  if (!current || !next || *current != password_) return badParameters();
  if (isZero(next->data(), kPasswordLength)) return badParameters();
  password_ = *next;
  return good(kChangePasswordLength);
}

uint32_t CEmulatedDrive::presentedSectorCount() const {
  return removableLayout_ ? removableLayout_->presentedSectors() : fixedLayout_->diskSectors();
}

bool CEmulatedDrive::presentedToFlash(uint32_t presentedLba, uint32_t& flashLba) const {
  if (removableLayout_) {
    if (presentedLba >= removableLayout_->presentedSectors()) return false;
    flashLba = removableLayout_->toFlash(presentedLba);
    return true;
  }
  return fixedLayout_->toFlash(presentedLba, flashLba);
}

FlashPartition CEmulatedDrive::partitionAt(uint32_t presentedLba) const {
  const bool safe =
      removableLayout_ ? removableLayout_->safePresented() : fixedLayout_->safePresented();
  if (fixedLayout_ && presentedLba < fixedLayout_->publicSectors()) return FlashPartition::kPublic;
  if (safe) return FlashPartition::kSafe;
  return removableLayout_ ? FlashPartition::kPublic : FlashPartition::kDummy;
}

// Sector 0 of the disk always lies in the public partition, whatever the slot shows.
void CEmulatedDrive::rewritePartitionTable() {
  uint32_t flash = 0;
  presentedToFlash(0, flash);
  uint8_t sector[kDriveSectorSize];
  readFlash(flash, sector);
  fixedLayout_->writePartitionTable(sector);
  writeFlash(flash, sector);
}

void CEmulatedDrive::readFlash(uint32_t flashLba, uint8_t* out512) const {
  store_->read(flashLba, 1, out512);
}

void CEmulatedDrive::writeFlash(uint32_t flashLba, const uint8_t* in512) {
  store_->write(flashLba, 1, in512);
}

void CEmulatedDrive::log(const Request& r, const ScsiResult& result, bool injected) {
  if (config_.commandLogCapacity == 0) return;
  if (log_.size() == config_.commandLogCapacity) log_.pop_front();
  CommandRecord rec;
  if (r.cdb) rec.cdb.assign(r.cdb, r.cdb + r.cdbLength);
  rec.dataIn = r.dataIn;
  rec.dataLength = r.dataLength;
  rec.delivered = result.delivered;
  rec.status = result.status;
  rec.injected = injected;
  log_.push_back(std::move(rec));
}

void CEmulatedDrive::checkLba(uint32_t lba) const {
  if (lba >= config_.sectorCount) throw std::out_of_range("sector beyond the drive's capacity");
}

std::vector<uint8_t> CEmulatedDrive::sector(uint32_t lba) const {
  checkLba(lba);
  CPDKLockGuard lock(&mutex_);
  std::vector<uint8_t> data(kDriveSectorSize);
  readFlash(lba, data.data());
  return data;
}

void CEmulatedDrive::setSector(uint32_t lba, const uint8_t* data512) {
  checkLba(lba);
  CPDKLockGuard lock(&mutex_);
  writeFlash(lba, data512);
}

size_t CEmulatedDrive::storedSectorCount() const {
  CPDKLockGuard lock(&mutex_);
  return store_->storedSectorCount();
}

std::vector<CommandRecord> CEmulatedDrive::commandLog() const {
  CPDKLockGuard lock(&mutex_);
  return std::vector<CommandRecord>(log_.begin(), log_.end());
}

void CEmulatedDrive::clearCommandLog() {
  CPDKLockGuard lock(&mutex_);
  log_.clear();
}

uint64_t CEmulatedDrive::commandCount() const {
  CPDKLockGuard lock(&mutex_);
  return commandCount_;
}

void CEmulatedDrive::injectFaults(FaultKind kind, uint32_t count) {
  injectFaults(kind, count, CCommandFilter::any());
}

void CEmulatedDrive::injectFaults(FaultKind kind, uint32_t count, CCommandFilter filter) {
  CPDKLockGuard lock(&mutex_);
  faultKind_ = kind;
  faultsLeft_ = count;
  faultFilter_ = filter;
}

void CEmulatedDrive::setNotReady(uint32_t commands) {
  CPDKLockGuard lock(&mutex_);
  notReadyLeft_ = commands;
}

void CEmulatedDrive::setDetachHandler(std::function<void(const DetachRequest&)> handler) {
  CPDKLockGuard lock(&mutex_);
  detachHandler_ = std::move(handler);
}

void CEmulatedDrive::setFormatHandler(std::function<void(FlashPartition)> handler) {
  CPDKLockGuard lock(&mutex_);
  formatHandler_ = std::move(handler);
}

void CEmulatedDrive::setPresentationHandler(std::function<void()> handler) {
  CPDKLockGuard lock(&mutex_);
  presentationHandler_ = std::move(handler);
}

std::array<uint32_t, 5> CEmulatedDrive::presentation() const {
  const bool safe =
      removableLayout_ ? removableLayout_->safePresented() : fixedLayout_->safePresented();
  return {safe ? 1u : 0u, writeProtected() ? 1u : 0u, partitionSectors(FlashPartition::kPublic),
          partitionSectors(FlashPartition::kDummy), partitionSectors(FlashPartition::kSafe)};
}

uint32_t CEmulatedDrive::pendingFaults() const {
  CPDKLockGuard lock(&mutex_);
  return faultsLeft_;
}

}  // namespace emu

namespace emu {

uint32_t CEmulatedDrive::partitionSectors(FlashPartition partition) const {
  CPDKLockGuard lock(&mutex_);
  if (removableLayout_) {
    const uint32_t safe = removableLayout_->safeSectors();
    if (partition == FlashPartition::kSafe) return safe;
    return partition == FlashPartition::kPublic ? config_.sectorCount - safe : 0;
  }
  const uint32_t unit = config_.unitFactorA * config_.unitFactorB;
  switch (partition) {
    case FlashPartition::kPublic: return fixedLayout_->publicSectors();
    case FlashPartition::kDummy: return fixedLayout_->dummyUnits() * unit;
    case FlashPartition::kSafe: return fixedLayout_->safeUnits() * unit;
  }
  return 0;
}

DriveState CEmulatedDrive::state() const {
  CPDKLockGuard lock(&mutex_);
  DriveState s;
  s.configBlock = configBlock_;
  s.password = password_;
  s.hiddenArea.resize(CHiddenArea::kPageCount * CHiddenArea::kPageSize);
  for (uint32_t page = 0; page < CHiddenArea::kPageCount; ++page) {
    hidden_.read(page, s.hiddenArea.data() + page * CHiddenArea::kPageSize);
  }
  if (removableLayout_) {
    s.safeUnits = removableLayout_->safeUnits();
    s.safePresented = removableLayout_->safePresented();
  } else {
    s.safeUnits = fixedLayout_->safeUnits();
    s.dummyUnits = fixedLayout_->dummyUnits();
    s.safePresented = fixedLayout_->safePresented();
    s.lunMode = fixedLayout_->lunMode();
  }
  return s;
}

void CEmulatedDrive::restore(const DriveState& s) {
  if (s.hiddenArea.size() != CHiddenArea::kPageCount * CHiddenArea::kPageSize) {
    throw std::invalid_argument("the saved hidden area is not 32 pages of 512 bytes");
  }
  CPDKLockGuard lock(&mutex_);
  // Build the layout aside first, so a state that does not fit changes nothing.
  std::optional<CRemovableLayout> removable = removableLayout_;
  std::optional<CFixedDiskLayout> fixed = fixedLayout_;
  bool fits = true;
  if (removable) {
    fits = s.dummyUnits == 0 && s.lunMode == 0 && removable->configure(s.safeUnits) &&
           (!s.safePresented || removable->presentSafe());
  } else {
    fits =
        fixed->configure(s.safeUnits, s.dummyUnits) && (!s.safePresented || fixed->presentSafe());
    fixed->setLunMode(s.lunMode);
  }
  if (!fits) throw std::invalid_argument("the saved partition layout does not fit this drive");
  removableLayout_ = removable;
  fixedLayout_ = fixed;
  configBlock_ = s.configBlock;
  password_ = s.password;
  for (uint32_t page = 0; page < CHiddenArea::kPageCount; ++page) {
    hidden_.write(page, s.hiddenArea.data() + page * CHiddenArea::kPageSize);
  }
}

}  // namespace emu
