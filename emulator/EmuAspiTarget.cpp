#include "EmuAspiTarget.h"

#include <algorithm>
#include <cstring>

#include "CommandBlocks.h"
#include "EmulatedDrive.h"
#include "PDKLockGuard.h"

namespace emu {

namespace {

constexpr uint8_t kFlagPosting = 0x01;
constexpr uint8_t kFlagDirIn = 0x08;
constexpr uint8_t kFlagDirOut = 0x10;
constexpr uint8_t kHostScsiId = 7;
constexpr uint8_t kMaxTargets = 8;
constexpr uint32_t kMaxTransfer = 0x10000;
constexpr size_t kMaxCdb = 16;

void putText(uint8_t* field, size_t width, const char* text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text, std::min(width, std::strlen(text)));
}

}  // namespace

void CEmuAspiTarget::attach(uint8_t adapter, uint8_t target, CEmulatedDrive* drive) {
  CPDKLockGuard lock(&mutex_);
  drives_[{adapter, target}] = drive;
}

void CEmuAspiTarget::detach(uint8_t adapter, uint8_t target) {
  CPDKLockGuard lock(&mutex_);
  drives_.erase({adapter, target});
}

void CEmuAspiTarget::setAdapterCount(uint8_t count) {
  CPDKLockGuard lock(&mutex_);
  explicitCount_ = count;
}

uint8_t CEmuAspiTarget::adapterCount() const {
  CPDKLockGuard lock(&mutex_);
  return countLocked();
}

uint8_t CEmuAspiTarget::countLocked() const {
  uint32_t count = explicitCount_;
  for (const auto& d : drives_) count = std::max<uint32_t>(count, d.first.first + 1u);
  return uint8_t(std::min<uint32_t>(count, 0xFF));
}

uint32_t CEmuAspiTarget::supportInfo() const {
  return (uint32_t(pdk::kAspiStatusComplete) << 8) | adapterCount();
}

void CEmuAspiTarget::stallRequests(uint32_t count) {
  CPDKLockGuard lock(&mutex_);
  stallsLeft_ = count;
}

uint32_t CEmuAspiTarget::execute(void* srb) {
  if (!srb) return kAspiStatusInvalidSrb;
  AspiRecord rec;
  const uint8_t* head = static_cast<const uint8_t*>(srb);
  rec.cmd = head[0];
  rec.haId = head[2];
  rec.flags = head[3];
  uint32_t status;
  switch (rec.cmd) {
    case pdk::kAspiCmdHaInquiry:
      status = haInquiry(srb);
      break;
    case pdk::kAspiCmdExecScsi:
      status = execScsi(srb, rec);
      break;
    default:
      status = kAspiStatusInvalidCommand;
      static_cast<uint8_t*>(srb)[1] = kAspiStatusInvalidCommand;
      break;
  }
  rec.status = uint8_t(status);
  record(std::move(rec));
  return status;
}

uint32_t CEmuAspiTarget::haInquiry(void* srb) {
  auto* s = static_cast<pdk::AspiHaInquiry*>(srb);
  uint8_t count;
  {
    CPDKLockGuard lock(&mutex_);
    count = countLocked();
  }
  s->haCount = count;
  s->haScsiId = kHostScsiId;
  putText(s->managerId, sizeof s->managerId, "TOVIK EMU ASPI");
  putText(s->identifier, sizeof s->identifier, "EMULATED BUS");
  std::memset(s->unique, 0, sizeof s->unique);
  s->unique[3] = kMaxTargets;
  for (int i = 0; i < 4; ++i) s->unique[4 + i] = uint8_t(kMaxTransfer >> (8 * i));
  s->status = pdk::kAspiStatusComplete;
  return pdk::kAspiStatusComplete;
}

uint32_t CEmuAspiTarget::execScsi(void* srb, AspiRecord& rec) {
  auto* s = static_cast<pdk::AspiExecScsiCmd*>(srb);
  rec.target = s->target;
  rec.lun = s->lun;
  rec.bufLen = s->bufLen;
  rec.bufPointerPresent = s->bufPointer != nullptr;
  rec.senseLen = s->senseLen;
  rec.cdbLen = s->cdbLen;
  rec.cdb.assign(s->cdb, s->cdb + std::min<size_t>(s->cdbLen, kMaxCdb));
  rec.postProcPresent = s->postProc != nullptr;

  const bool in = (s->flags & kFlagDirIn) != 0;
  const bool out = (s->flags & kFlagDirOut) != 0;
  if (s->cdbLen == 0 || s->cdbLen > kMaxCdb || (in && out) ||
      (s->bufLen > 0 && (!s->bufPointer || (!in && !out)))) {
    s->status = kAspiStatusInvalidSrb;
    return kAspiStatusInvalidSrb;
  }

  CEmulatedDrive* drive = nullptr;
  {
    CPDKLockGuard lock(&mutex_);
    if (stallsLeft_ > 0) {
      if (stallsLeft_ != kForever) --stallsLeft_;
      s->status = pdk::kAspiStatusPending;
      return pdk::kAspiStatusPending;
    }
    const auto it = drives_.find({s->haId, s->target});
    if (it != drives_.end() && s->haId < countLocked() && s->lun == 0) drive = it->second;
  }

  s->haStat = kAspiHaStatusOk;
  s->targStat = kStatusGood;
  uint8_t status = pdk::kAspiStatusError;
  if (!drive) {
    s->haStat = kAspiHaStatusSelectionTimeout;
  } else {
    const ScsiResult r = drive->execute(s->cdb, s->cdbLen, s->bufPointer, s->bufLen, in);
    if (!r.delivered) {
      s->haStat = kAspiHaStatusCommandTimeout;
    } else {
      s->targStat = r.status;
      if (r.status == kStatusGood) {
        status = pdk::kAspiStatusComplete;
      } else if (r.status == kStatusCheckCondition) {
        writeFixedSense(r.sense, s->senseArea, std::min<size_t>(s->senseLen, sizeof s->senseArea));
      }
    }
  }
  s->status = status;
  // A posting request gets its completion call, as the ASPI layer makes it.
  if ((s->flags & kFlagPosting) != 0 && s->postProc) s->postProc(s);
  return status;
}

void CEmuAspiTarget::record(AspiRecord rec) {
  CPDKLockGuard lock(&mutex_);
  if (requests_.size() == kRequestLogCapacity) requests_.pop_front();
  requests_.push_back(std::move(rec));
}

std::vector<AspiRecord> CEmuAspiTarget::requests() const {
  CPDKLockGuard lock(&mutex_);
  return std::vector<AspiRecord>(requests_.begin(), requests_.end());
}

void CEmuAspiTarget::clearRequests() {
  CPDKLockGuard lock(&mutex_);
  requests_.clear();
}

uint32_t CEmuAspiTarget::sendThunk(void* context, void* srb) {
  return static_cast<CEmuAspiTarget*>(context)->execute(srb);
}

uint32_t CEmuAspiTarget::supportThunk(void* context) {
  return static_cast<const CEmuAspiTarget*>(context)->supportInfo();
}

}  // namespace emu
