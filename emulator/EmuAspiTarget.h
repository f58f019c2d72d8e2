// The ASPI layer as the Windows ME transport sees it: host adapters with
// emulated drives at (adapter, target), answering SRBs the way the ASPI
// library does. It completes every request synchronously unless told to leave
// requests pending, which is how a hung bus looks to a polling caller.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "PDKCriticalSection.h"

namespace emu {

class CEmulatedDrive;

// SRB status values beyond the ones the SDK names.
constexpr uint8_t kAspiStatusInvalidCommand = 0x80;
constexpr uint8_t kAspiStatusInvalidSrb = 0xE0;
// Host adapter status values the emulated adapters report.
constexpr uint8_t kAspiHaStatusOk = 0x00;
constexpr uint8_t kAspiHaStatusCommandTimeout = 0x0B;    // the command never reached the drive
constexpr uint8_t kAspiHaStatusSelectionTimeout = 0x11;  // nobody at that adapter/target

// One SRB as the emulated ASPI layer decoded it.
struct AspiRecord {
  uint8_t cmd = 0;
  uint8_t haId = 0;
  uint8_t flags = 0;
  // Execute-command SRBs only.
  uint8_t target = 0;
  uint8_t lun = 0;
  uint32_t bufLen = 0;
  bool bufPointerPresent = false;
  uint8_t senseLen = 0;
  uint8_t cdbLen = 0;
  std::vector<uint8_t> cdb;  // cdbLen bytes (at most 16)
  bool postProcPresent = false;
  uint8_t status = 0;  // the SRB status handed back (0: left pending)
};

class CEmuAspiTarget {
 public:
  CEmuAspiTarget() = default;
  CEmuAspiTarget(const CEmuAspiTarget&) = delete;
  CEmuAspiTarget& operator=(const CEmuAspiTarget&) = delete;

  // Drives stay owned by the caller and must outlive their attachment.
  void attach(uint8_t adapter, uint8_t target, CEmulatedDrive* drive);
  void detach(uint8_t adapter, uint8_t target);
  // The adapter count is the larger of this and the highest attached adapter + 1.
  void setAdapterCount(uint8_t count);
  uint8_t adapterCount() const;

  // SendASPI32Command: srb points at an SRB_HAInquiry or SRB_ExecSCSICmd; returns
  // the SRB status it leaves in the block.
  uint32_t execute(void* srb);
  // GetASPI32SupportInfo: completion status in bits 8-15, adapter count in bits 0-7.
  uint32_t supportInfo() const;

  // The next count execute-command SRBs stay pending (status 0) and never reach a drive.
  static constexpr uint32_t kForever = 0xFFFFFFFFu;
  void stallRequests(uint32_t count);

  std::vector<AspiRecord> requests() const;  // the last kRequestLogCapacity SRBs
  void clearRequests();
  static constexpr size_t kRequestLogCapacity = 1024;

  // Plain functions for routing a loaded ASPI library to this object:
  // context is the CEmuAspiTarget.
  static uint32_t sendThunk(void* context, void* srb);
  static uint32_t supportThunk(void* context);

 private:
  uint32_t haInquiry(void* srb);
  uint32_t execScsi(void* srb, AspiRecord& rec);
  uint8_t countLocked() const;
  void record(AspiRecord rec);

  mutable CPDKCriticalSection mutex_;
  std::map<std::pair<uint8_t, uint8_t>, CEmulatedDrive*> drives_;
  uint8_t explicitCount_ = 0;
  uint32_t stallsLeft_ = 0;
  std::deque<AspiRecord> requests_;
};

}  // namespace emu
