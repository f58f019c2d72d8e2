#include "EmuDevicePort.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "CommandBlocks.h"
#include "EmulatedDrive.h"
#include "PDKLockGuard.h"

namespace emu {

namespace {

constexpr size_t kMaxPassThroughCdb = 16;

uint8_t* bytes(void* p) { return static_cast<uint8_t*>(p); }

// Fills the header fields both pass-through layouts share.
template <typename Header>
void recordHeader(const Header& h, ControlRecord& rec) {
  rec.headerDecoded = true;
  rec.length = h.length;
  rec.pathId = h.pathId;
  rec.targetId = h.targetId;
  rec.lun = h.lun;
  rec.cdbLength = h.cdbLength;
  rec.senseInfoLength = h.senseInfoLength;
  rec.dataIn = h.dataIn;
  rec.dataTransferLength = h.dataTransferLength;
  rec.timeOutValue = h.timeOutValue;
  rec.senseInfoOffset = h.senseInfoOffset;
  rec.cdb.assign(h.cdb, h.cdb + std::min<size_t>(h.cdbLength, kMaxPassThroughCdb));
}

// The checks the port driver makes on a pass-through header before the command
// goes out: a request it would refuse must never reach the drive.
template <typename Header>
bool headerAcceptable(const Header& h, uint32_t outLength) {
  if (h.length != sizeof(Header)) return false;
  if (h.cdbLength == 0 || h.cdbLength > kMaxPassThroughCdb) return false;
  if (h.dataIn > 1) return false;
  if (h.senseInfoLength > 0) {
    if (h.senseInfoOffset < sizeof(Header)) return false;
    if (uint64_t(h.senseInfoOffset) + h.senseInfoLength > outLength) return false;
  }
  return true;
}

// Hands the answer back the way the port driver does: the caller's header with
// status and actual transfer length, and the sense bytes on CHECK CONDITION.
template <typename Header>
void completeHeader(Header h, const ScsiResult& result, void* out) {
  h.scsiStatus = result.status;
  h.dataTransferLength = result.transferred;
  std::memmove(out, &h, sizeof h);
  if (result.status == kStatusCheckCondition && h.senseInfoLength > 0)
    writeFixedSense(result.sense, bytes(out) + h.senseInfoOffset, h.senseInfoLength);
}

// One sector of the disk the drive presents, read as the file system would.
bool readPresented(CEmulatedDrive& drive, uint32_t lba, uint8_t* out512) {
  uint8_t read10[10] = {0x28};
  for (int i = 0; i < 4; ++i) read10[2 + i] = static_cast<uint8_t>(lba >> (24 - 8 * i));
  read10[8] = 1;
  const ScsiResult r = drive.execute(read10, sizeof(read10), out512, kDriveSectorSize, true);
  return r.delivered && r.status == kStatusGood;
}

uint32_t le16At(const uint8_t* b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t le32At(const uint8_t* b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool isBootSector(const uint8_t* s) {
  return s[510] == 0x55 && s[511] == 0xAA && (s[0] == 0xEB || s[0] == 0xE9) &&
         le16At(s, 11) == kDriveSectorSize && s[13] != 0 && s[16] != 0;
}

// "NAME    EXT" as the system shows it: "NAME.EXT", or "NAME" without extension.
std::string entryName(const uint8_t* entry) {
  auto trimmed = [](const uint8_t* from, size_t length) {
    std::string t(reinterpret_cast<const char*>(from), length);
    return t.substr(0, t.find_last_not_of(' ') + 1);
  };
  const std::string base = trimmed(entry, 8);
  const std::string ext = trimmed(entry + 8, 3);
  return ext.empty() ? base : base + "." + ext;
}

// The root directory of the volume whose boot sector lies at start.
std::vector<std::string> rootOf(CEmulatedDrive& drive, uint32_t start) {
  std::vector<std::string> names;
  uint8_t boot[kDriveSectorSize];
  if (!readPresented(drive, start, boot) || !isBootSector(boot)) return names;
  const uint32_t rootStart = start + le16At(boot, 14) + boot[16] * le16At(boot, 22);
  const uint32_t rootSectors = (le16At(boot, 17) * 32 + kDriveSectorSize - 1) / kDriveSectorSize;
  uint8_t sector[kDriveSectorSize];
  for (uint32_t i = 0; i < rootSectors; ++i) {
    if (!readPresented(drive, rootStart + i, sector)) return names;
    for (size_t at = 0; at < kDriveSectorSize; at += 32) {
      const uint8_t* entry = sector + at;
      if (entry[0] == 0x00) return names;  // no entries beyond this one
      const uint8_t attributes = entry[11];
      // Deleted entries, long-name pieces and the volume label are not listed.
      if (entry[0] == 0xE5 || (attributes & 0x0F) == 0x0F || (attributes & 0x08) != 0) continue;
      names.push_back(entryName(entry));
    }
  }
  return names;
}

}  // namespace

std::string CEmuDevicePort::letterKey(char letter) {
  return std::string("\\\\.\\") + char(std::toupper(static_cast<unsigned char>(letter))) + ":";
}

std::string CEmuDevicePort::normalise(const char* path) {
  std::string p(path);
  if (p.size() == 6 && p.compare(0, 4, "\\\\.\\") == 0 && p[5] == ':' &&
      std::isalpha(static_cast<unsigned char>(p[4]))) {
    return letterKey(p[4]);
  }
  return p;
}

void CEmuDevicePort::attach(char letter, CEmulatedDrive* drive) {
  CPDKLockGuard lock(&mutex_);
  volumes_[letterKey(letter)].drive = drive;
}

void CEmuDevicePort::detach(char letter) {
  CPDKLockGuard lock(&mutex_);
  volumes_.erase(letterKey(letter));
}

std::vector<char> CEmuDevicePort::logicalDriveLetters() {
  CPDKLockGuard lock(&mutex_);
  std::vector<char> letters;
  for (const auto& [key, volume] : volumes_) {
    if (volume.drive != nullptr && key.size() == 6 && key == letterKey(key[4]))
      letters.push_back(key[4]);
  }
  return letters;
}

bool CEmuDevicePort::isRemovableDrive(char letter) {
  CPDKLockGuard lock(&mutex_);
  const auto it = volumes_.find(letterKey(letter));
  return it != volumes_.end() && it->second.drive != nullptr &&
         it->second.drive->config().removable;
}

std::vector<std::string> CEmuDevicePort::rootEntries(char letter) {
  CEmulatedDrive* drive = nullptr;
  size_t volumeIndex = 0;
  {
    CPDKLockGuard lock(&mutex_);
    const auto it = volumes_.find(letterKey(letter));
    if (it == volumes_.end() || it->second.drive == nullptr) return {};
    drive = it->second.drive;
    // The drive's letters in ascending order are its volumes in disk order.
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (char other = 'A'; other < upper; ++other) {
      const auto v = volumes_.find(letterKey(other));
      if (v != volumes_.end() && v->second.drive == drive) ++volumeIndex;
    }
  }
  uint8_t zero[kDriveSectorSize];
  if (!readPresented(*drive, 0, zero)) return {};
  if (isBootSector(zero)) return volumeIndex == 0 ? rootOf(*drive, 0) : std::vector<std::string>{};
  if (zero[510] != 0x55 || zero[511] != 0xAA) return {};
  // The n-th partition entry in use is the n-th volume.
  size_t seen = 0;
  for (size_t entry = 0; entry < 4; ++entry) {
    const uint8_t* e = zero + 446 + 16 * entry;
    if (e[4] == 0 || le32At(e, 12) == 0) continue;
    if (seen++ == volumeIndex) return rootOf(*drive, le32At(e, 8));
  }
  return {};
}

bool CEmuDevicePort::isVolumeAccessible(char letter) {
  CEmulatedDrive* drive = nullptr;
  {
    CPDKLockGuard lock(&mutex_);
    const auto it = volumes_.find(letterKey(letter));
    if (it == volumes_.end() || it->second.busy) return false;
    drive = it->second.drive;
  }
  if (drive == nullptr) return false;
  // The system's look at the root reads the volume: a drive still becoming
  // ready refuses it, and the look counts as one of its commands.
  const uint8_t readCapacity[10] = {0x25};
  uint8_t answer[8] = {};
  const ScsiResult r =
      drive->execute(readCapacity, sizeof(readCapacity), answer, sizeof(answer), true);
  return r.delivered && r.status == kStatusGood;
}

void CEmuDevicePort::attachPath(const std::string& path, CEmulatedDrive* drive) {
  CPDKLockGuard lock(&mutex_);
  volumes_[normalise(path.c_str())].drive = drive;
}

void CEmuDevicePort::detachPath(const std::string& path) {
  CPDKLockGuard lock(&mutex_);
  volumes_.erase(normalise(path.c_str()));
}

void CEmuDevicePort::setBusy(char letter, bool busy) {
  CPDKLockGuard lock(&mutex_);
  volumes_[letterKey(letter)].busy = busy;
}

void CEmuDevicePort::setPathBusy(const std::string& path, bool busy) {
  CPDKLockGuard lock(&mutex_);
  volumes_[normalise(path.c_str())].busy = busy;
}

void CEmuDevicePort::setLockRefused(char letter, bool refused) {
  CPDKLockGuard lock(&mutex_);
  volumes_[letterKey(letter)].lockRefused = refused;
}

bool CEmuDevicePort::isLocked(char letter) const {
  CPDKLockGuard lock(&mutex_);
  const auto it = volumes_.find(letterKey(letter));
  return it != volumes_.end() && it->second.lockedBy != 0;
}

pdk::PDKHandle CEmuDevicePort::open(const char* path, uint32_t* error) {
  CPDKLockGuard lock(&mutex_);
  uint32_t code = pdk::kWinErrorFileNotFound;
  pdk::PDKHandle handle = pdk::invalidHandle();
  if (path) {
    if (openedPaths_.size() == kControlLogCapacity) openedPaths_.pop_front();
    openedPaths_.emplace_back(path);
    const std::string key = normalise(path);
    const auto it = volumes_.find(key);
    if (it != volumes_.end() && it->second.drive) {
      if (it->second.busy) {
        code = pdk::kWinErrorSharingViolation;
      } else {
        const uintptr_t value = nextHandle_;
        nextHandle_ += 4;  // never reused: a stale handle cannot reach a newer open
        handles_[value] = key;
        ++openCount_;
        handle = reinterpret_cast<pdk::PDKHandle>(value);
        code = 0;
      }
    }
  }
  if (error) *error = code;
  return handle;
}

void CEmuDevicePort::close(pdk::PDKHandle handle) {
  CPDKLockGuard lock(&mutex_);
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  const auto h = handles_.find(value);
  if (h == handles_.end()) {
    ++badCloses_;
    return;
  }
  // Closing the handle that locked a volume releases the lock, as on Windows.
  const auto v = volumes_.find(h->second);
  if (v != volumes_.end() && v->second.lockedBy == value) v->second.lockedBy = 0;
  handles_.erase(h);
}

// Lock, unlock and dismount act on the volume, not the drive: they need an open
// handle on an attached drive and nothing else.
bool CEmuDevicePort::controlVolume(pdk::PDKHandle handle, uint32_t code) {
  CPDKLockGuard lock(&mutex_);
  if (!driveFor(handle)) return false;
  const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
  Volume& volume = volumes_[handles_[value]];
  switch (code) {
    case kFsctlLockVolume:
      if (volume.lockRefused || volume.lockedBy != 0) return false;
      volume.lockedBy = value;
      return true;
    case kFsctlUnlockVolume:
      if (volume.lockedBy != value) return false;
      volume.lockedBy = 0;
      return true;
    default:  // dismount: Windows forces it whether or not the volume is locked
      return true;
  }
}

CEmulatedDrive* CEmuDevicePort::driveFor(pdk::PDKHandle handle) const {
  const auto h = handles_.find(reinterpret_cast<uintptr_t>(handle));
  if (h == handles_.end()) return nullptr;
  const auto v = volumes_.find(h->second);
  return v == volumes_.end() ? nullptr : v->second.drive;
}

bool CEmuDevicePort::control(pdk::PDKHandle handle, uint32_t code, void* in, uint32_t inLength,
                             void* out, uint32_t outLength, uint32_t* returned) {
  ControlRecord rec;
  rec.code = code;
  rec.inLength = in ? inLength : 0;
  rec.outLength = out ? outLength : 0;
  if (!in) inLength = 0;
  if (!out) outLength = 0;
  if (returned) *returned = 0;

  CEmulatedDrive* drive;
  {
    CPDKLockGuard lock(&mutex_);
    drive = driveFor(handle);
    const auto h = handles_.find(reinterpret_cast<uintptr_t>(handle));
    if (h != handles_.end()) rec.volume = h->second;
  }
  bool ok = false;
  uint32_t placed = 0;
  if (code == kFsctlLockVolume || code == kFsctlUnlockVolume || code == kFsctlDismountVolume) {
    ok = drive && controlVolume(handle, code);
  } else if (drive && returned) {
    switch (code) {
      case pdk::kIoctlScsiPassThroughDirect:
        ok = controlDirect(drive, in, inLength, out, outLength, &placed, rec);
        break;
      case pdk::kIoctlScsiPassThrough:
        ok = controlBuffered(drive, in, inLength, out, outLength, &placed, rec);
        break;
      case pdk::kIoctl98Command:
        ok = control98(drive, in, inLength, out, outLength, &placed, rec);
        break;
      default:
        break;
    }
    if (ok) *returned = placed;
  }
  rec.succeeded = ok;

  CPDKLockGuard lock(&mutex_);
  if (controls_.size() == kControlLogCapacity) controls_.pop_front();
  controls_.push_back(std::move(rec));
  return ok;
}

bool CEmuDevicePort::controlDirect(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out,
                                   uint32_t outLength, uint32_t* returned, ControlRecord& rec) {
  using Header = pdk::ScsiPassThroughDirect;
  if (inLength < sizeof(Header)) return false;
  Header h;
  std::memcpy(&h, in, sizeof h);
  recordHeader(h, rec);
  rec.dataBufferPresent = h.dataBuffer != nullptr;
  if (outLength < sizeof(Header) || !headerAcceptable(h, outLength)) return false;
  if (h.dataTransferLength > 0 && !h.dataBuffer) return false;

  const ScsiResult result = drive->execute(h.cdb, h.cdbLength, static_cast<uint8_t*>(h.dataBuffer),
                                           h.dataTransferLength, h.dataIn == 1);
  if (!result.delivered) return false;
  rec.scsiStatus = result.status;
  completeHeader(h, result, out);
  *returned = outLength;
  return true;
}

bool CEmuDevicePort::controlBuffered(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out,
                                     uint32_t outLength, uint32_t* returned, ControlRecord& rec) {
  using Header = pdk::ScsiPassThrough;
  if (inLength < sizeof(Header)) return false;
  Header h;
  std::memcpy(&h, in, sizeof h);
  recordHeader(h, rec);
  rec.dataBufferOffset = h.dataBufferOffset;
  if (outLength < sizeof(Header) || !headerAcceptable(h, outLength)) return false;

  // The data live inside the block: coming in they land in the output buffer,
  // going out they are taken from the input buffer. Either way they must fit.
  uint8_t* data = nullptr;
  if (h.dataTransferLength > 0) {
    const uint64_t end = uint64_t(h.dataBufferOffset) + h.dataTransferLength;
    if (h.dataBufferOffset < sizeof(Header)) return false;
    if (end > (h.dataIn == 1 ? outLength : inLength)) return false;
    data = (h.dataIn == 1 ? bytes(out) : bytes(in)) + h.dataBufferOffset;
  }

  const ScsiResult result =
      drive->execute(h.cdb, h.cdbLength, data, h.dataTransferLength, h.dataIn == 1);
  if (!result.delivered) return false;
  rec.scsiStatus = result.status;
  completeHeader(h, result, out);
  if (h.dataIn == 1 && h.dataTransferLength > 0) {
    *returned = uint32_t(h.dataBufferOffset + result.transferred);
  } else {
    *returned = outLength;
  }
  return true;
}

bool CEmuDevicePort::control98(CEmulatedDrive* drive, void* in, uint32_t inLength, void* out,
                               uint32_t outLength, uint32_t* returned, ControlRecord& rec) {
  pdk::Usb98Block b;
  if (inLength < sizeof b) return false;
  std::memcpy(&b, in, sizeof b);
  rec.headerDecoded = true;
  rec.reserved0 = b.reserved0;
  rec.reserved1 = b.reserved1;
  rec.cdbLength = b.cdbLength;
  rec.dataIn = b.dataIn;
  rec.dataTransferLength = b.dataLength;
  rec.dataBufferPresent = b.data != nullptr;
  if (outLength < sizeof b) return false;
  if (!b.cdb || b.cdbLength == 0 || b.cdbLength > pdk::kUsb98CdbArea) return false;
  rec.cdb.assign(b.cdb, b.cdb + b.cdbLength);
  if (b.dataIn > 1 || !b.status) return false;
  if (b.dataLength > 0 && !b.data) return false;

  const ScsiResult result = drive->execute(b.cdb, b.cdbLength, b.data, b.dataLength, b.dataIn == 1);
  if (!result.delivered) return false;
  rec.scsiStatus = result.status;
  *b.status = result.status;
  std::memmove(out, &b, sizeof b);
  *returned = sizeof b;
  return true;
}

size_t CEmuDevicePort::openHandleCount() const {
  CPDKLockGuard lock(&mutex_);
  return handles_.size();
}

uint64_t CEmuDevicePort::openCount() const {
  CPDKLockGuard lock(&mutex_);
  return openCount_;
}

uint64_t CEmuDevicePort::badCloseCount() const {
  CPDKLockGuard lock(&mutex_);
  return badCloses_;
}

std::vector<std::string> CEmuDevicePort::openedPaths() const {
  CPDKLockGuard lock(&mutex_);
  return std::vector<std::string>(openedPaths_.begin(), openedPaths_.end());
}

std::vector<ControlRecord> CEmuDevicePort::controls() const {
  CPDKLockGuard lock(&mutex_);
  return std::vector<ControlRecord>(controls_.begin(), controls_.end());
}

void CEmuDevicePort::clearControls() {
  CPDKLockGuard lock(&mutex_);
  controls_.clear();
}

}  // namespace emu
