#include "EmulatedDrive.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

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

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
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
};

CEmulatedDrive::CEmulatedDrive(DriveConfig config) : config_(std::move(config)) {
  if (config_.sectorCount == 0) throw std::invalid_argument("a drive needs at least one sector");
  if (config_.vendor.size() > 8) throw std::invalid_argument("vendor text longer than 8");
  if (config_.product.size() > 16) throw std::invalid_argument("product text longer than 16");
  if (config_.revision.size() > 4) throw std::invalid_argument("revision text longer than 4");
  if (config_.serial.size() > DriveConfig::kMaxSerialLength)
    throw std::invalid_argument("serial text too long for the serial answer");
  if (config_.ucl != config_.serial.empty())
    throw std::invalid_argument("a drive has an empty serial exactly when it is the UCL version");
  // Only the presentation word is set; the rest of the block starts zeroed.
  configBlock_[kConfigPresentationOffset] = config_.removable ? 1 : 0;
}

std::string CEmulatedDrive::identifierText() const {
  if (!config_.identifierText.empty()) return config_.identifierText;
  return "Vantrel Plunda " + config_.serial;
}

ScsiResult CEmulatedDrive::execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data,
                                   uint32_t dataLength, bool dataIn) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++commandCount_;
  const Request r{cdb, cdb ? cdbLength : 0, data, data ? dataLength : 0, dataIn};
  if (faultsLeft_ > 0) {
    --faultsLeft_;
    const ScsiResult injected = faultKind_ == FaultKind::NotDelivered
                                    ? ScsiResult{false, kStatusGood, 0, {}}
                                    : check(kSenseKeyHardwareError, kAscInternalTargetFailure);
    log(r, injected, true);
    return injected;
  }
  const ScsiResult result = dispatch(r);
  log(r, result, false);
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
  putBe32(r.data, config_.sectorCount - 1);
  putBe32(r.data + 4, kDriveSectorSize);
  return good(kReadCapacityLength);
}

ScsiResult CEmulatedDrive::readWrite10(const Request& r, bool write) {
  if (r.cdbLength < 10) return illegal(kAscInvalidFieldInCdb);
  const uint32_t lba = be32(r.cdb + 2);
  // Standard 16-bit transfer length; the SDK only ever fills the low byte.
  const uint32_t count = (uint32_t(r.cdb[7]) << 8) | r.cdb[8];
  if (lba >= config_.sectorCount || count > config_.sectorCount - lba)
    return illegal(kAscLbaOutOfRange);
  if (write && writeProtected()) return check(kSenseKeyDataProtect, kAscWriteProtected);
  const uint32_t bytes = count * kDriveSectorSize;
  if (bytes == 0) return good(0);
  if (r.dataIn == write) return illegal(kAscInvalidFieldInCdb);
  if (r.dataLength < bytes) return illegal(kAscParameterLengthError);

  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* p = r.data + size_t(i) * kDriveSectorSize;
    if (write) {
      if (isZero(p, kDriveSectorSize)) {
        sectors_.erase(lba + i);
      } else {
        sectors_[lba + i].assign(p, p + kDriveSectorSize);
      }
    } else {
      const auto it = sectors_.find(lba + i);
      if (it == sectors_.end()) {
        std::memset(p, 0, kDriveSectorSize);
      } else {
        std::memcpy(p, it->second.data(), kDriveSectorSize);
      }
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

// Parameters: [0] page, [1..4] try word (LE), [5] zero. The try word picks a
// read retry mode; the model's flash never fails a read, so 0 and 1 read alike.
ScsiResult CEmulatedDrive::vendorHiddenRead(const Request& r) {
  const uint8_t* p = r.cdb + 3;
  const uint32_t tryWord = le32(p + 1);
  if (tryWord > 1 || p[5] != 0) return illegal(kAscInvalidFieldInCdb);
  if (p[0] >= CHiddenArea::kPageCount) return illegal(kAscLbaOutOfRange);
  hidden_.read(p[0], r.data);
  return good(CHiddenArea::kPageSize);
}

// Parameters: [0] page, [1] zero.
ScsiResult CEmulatedDrive::vendorHiddenWrite(const Request& r) {
  const uint8_t* p = r.cdb + 3;
  if (p[1] != 0) return illegal(kAscInvalidFieldInCdb);
  if (p[0] >= CHiddenArea::kPageCount) return illegal(kAscLbaOutOfRange);
  hidden_.write(p[0], r.data);
  return good(CHiddenArea::kPageSize);
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
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = sectors_.find(lba);
  if (it == sectors_.end()) return std::vector<uint8_t>(kDriveSectorSize, 0);
  return it->second;
}

void CEmulatedDrive::setSector(uint32_t lba, const uint8_t* data512) {
  checkLba(lba);
  std::lock_guard<std::mutex> lock(mutex_);
  if (isZero(data512, kDriveSectorSize)) {
    sectors_.erase(lba);
  } else {
    sectors_[lba].assign(data512, data512 + kDriveSectorSize);
  }
}

size_t CEmulatedDrive::storedSectorCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sectors_.size();
}

std::vector<CommandRecord> CEmulatedDrive::commandLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<CommandRecord>(log_.begin(), log_.end());
}

void CEmulatedDrive::clearCommandLog() {
  std::lock_guard<std::mutex> lock(mutex_);
  log_.clear();
}

uint64_t CEmulatedDrive::commandCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commandCount_;
}

void CEmulatedDrive::injectFaults(FaultKind kind, uint32_t count) {
  std::lock_guard<std::mutex> lock(mutex_);
  faultKind_ = kind;
  faultsLeft_ = count;
}

uint32_t CEmulatedDrive::pendingFaults() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return faultsLeft_;
}

}  // namespace emu
