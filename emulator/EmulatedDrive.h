// The emulated Tovik Drive at the SCSI-command level: it answers the CDBs the
// SDK sends exactly as the firmware does, so every transport can be tested
// without hardware. Portable code: no operating-system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "HiddenArea.h"

namespace emu {

constexpr uint32_t kDriveSectorSize = 512;
constexpr uint8_t kStatusGood = 0;
constexpr uint8_t kStatusCheckCondition = 2;

// Sense keys and codes the drive reports with CHECK CONDITION.
constexpr uint8_t kSenseKeyNone = 0x00;
constexpr uint8_t kSenseKeyHardwareError = 0x04;
constexpr uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr uint8_t kSenseKeyDataProtect = 0x07;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscLbaOutOfRange = 0x21;
constexpr uint8_t kAscInvalidFieldInCdb = 0x24;
constexpr uint8_t kAscParameterLengthError = 0x1A;
constexpr uint8_t kAscWriteProtected = 0x27;
constexpr uint8_t kAscInternalTargetFailure = 0x44;

// Fixed-format sense data (18 bytes) as a transport copies it out.
constexpr size_t kFixedSenseLength = 18;

struct SenseCode {
  uint8_t key = kSenseKeyNone;
  uint8_t asc = 0;
  uint8_t ascq = 0;
};

struct ScsiResult {
  bool delivered;  // false: the command never reached the drive (transport failure)
  uint8_t status;  // kStatusGood or kStatusCheckCondition
  uint32_t transferred;
  SenseCode sense{};  // meaningful with kStatusCheckCondition
};

// Writes sense as fixed-format sense data into out (at most outLength bytes);
// returns the number of bytes written.
size_t writeFixedSense(const SenseCode& sense, uint8_t* out, size_t outLength);

struct DriveConfig {
  std::string vendor = "VANTREL";        // INQUIRY bytes 8-15
  std::string product = "Plunda Drive";  // INQUIRY bytes 16-31
  std::string revision = "2.70";         // INQUIRY bytes 32-35
  // At most kMaxSerialLength characters; empty exactly when ucl is set.
  std::string serial = "0F3B27000001";
  bool removable = true;
  // The UCL version answers the UCL probe sub-code and carries no serial.
  bool ucl = false;
  uint32_t sectorCount = 262144;  // 128 MB; must be at least 1
  // REPORT DEVICE IDENTIFIER text; empty: "Vantrel Plunda <serial>".
  std::string identifierText;
  size_t commandLogCapacity = 64;

  static constexpr size_t kMaxSerialLength = 33;
};

enum class FaultKind {
  NotDelivered,    // the transport fails; the drive never sees the command
  CheckCondition,  // the drive answers CHECK CONDITION, HARDWARE ERROR
};

// One command as it reached (or failed to reach) the drive.
struct CommandRecord {
  std::vector<uint8_t> cdb;  // cdbLength bytes as given
  bool dataIn = false;
  uint32_t dataLength = 0;
  bool delivered = false;
  uint8_t status = kStatusGood;
  bool injected = false;  // the outcome came from fault injection
};

class CEmulatedDrive {
 public:
  // Throws std::invalid_argument for a configuration the drive cannot present.
  explicit CEmulatedDrive(DriveConfig config = DriveConfig());
  CEmulatedDrive(const CEmulatedDrive&) = delete;
  CEmulatedDrive& operator=(const CEmulatedDrive&) = delete;

  // Executes one command. data/dataLength is the caller's buffer; dataIn tells the
  // direction the transport announced.
  ScsiResult execute(const uint8_t* cdb, size_t cdbLength, uint8_t* data, uint32_t dataLength,
                     bool dataIn);

  const DriveConfig& config() const { return config_; }
  std::string identifierText() const;

  // Direct access to the flash, bypassing the command path (test set-up and checks).
  // Out-of-range sectors throw std::out_of_range.
  std::vector<uint8_t> sector(uint32_t lba) const;
  void setSector(uint32_t lba, const uint8_t* data512);
  size_t storedSectorCount() const;

  std::vector<CommandRecord> commandLog() const;
  void clearCommandLog();
  uint64_t commandCount() const;  // every execute() since construction

  // The next count commands fail with kind (replacing any earlier injection).
  void injectFaults(FaultKind kind, uint32_t count);
  uint32_t pendingFaults() const;

  // The serial answer (vendor sub-code 0x0100): bytes 0-5 header, serial from byte 6.
  static constexpr uint16_t kSubCodeSerial = 0x0100;
  static constexpr uint32_t kSerialAnswerLength = 40;
  static constexpr size_t kSerialTextOffset = 6;

  static constexpr uint16_t kSubCodeConfigWrite = 0x0049;
  static constexpr uint16_t kSubCodeConfigRead = 0x004A;
  static constexpr uint32_t kConfigBlockLength = 16;
  static constexpr size_t kConfigPresentationOffset = 8;   // 32-bit LE; 1 = removable
  static constexpr uint8_t kConfigWriteProtectBit = 0x02;  // in byte 8

  static constexpr uint16_t kSubCodeUclProbe = 0x0072;
  static constexpr uint32_t kUclAnswerLength = 4;

  static constexpr uint16_t kSubCodeAcknowledge = 0x0043;

  static constexpr uint16_t kSubCodeHiddenWrite = 0x0130;
  static constexpr uint16_t kSubCodeHiddenRead = 0x0131;

 private:
  enum class Direction { None, In, Out };

  struct Request {
    const uint8_t* cdb;
    size_t cdbLength;
    uint8_t* data;
    uint32_t dataLength;
    bool dataIn;
  };

  using VendorHandler = ScsiResult (CEmulatedDrive::*)(const Request&);
  struct VendorCommand {
    uint16_t subCode;
    Direction direction;
    uint32_t dataLength;  // the exact number of bytes the sub-code moves
    VendorHandler handler;
  };
  static const VendorCommand kVendorCommands[];

  ScsiResult dispatch(const Request& r);
  ScsiResult inquiry(const Request& r);
  ScsiResult readCapacity(const Request& r);
  ScsiResult readWrite10(const Request& r, bool write);
  ScsiResult reportIdentifier(const Request& r);
  ScsiResult vendor(const Request& r);
  ScsiResult vendorSerial(const Request& r);
  ScsiResult vendorConfigRead(const Request& r);
  ScsiResult vendorConfigWrite(const Request& r);
  ScsiResult vendorUclProbe(const Request& r);
  ScsiResult vendorAcknowledge(const Request& r);
  ScsiResult vendorHiddenRead(const Request& r);
  ScsiResult vendorHiddenWrite(const Request& r);
  bool writeProtected() const;

  void log(const Request& r, const ScsiResult& result, bool injected);
  void checkLba(uint32_t lba) const;

  const DriveConfig config_;
  mutable std::mutex mutex_;
  std::map<uint32_t, std::vector<uint8_t>> sectors_;  // only sectors that hold non-zero bytes
  std::array<uint8_t, kConfigBlockLength> configBlock_{};
  CHiddenArea hidden_;
  std::deque<CommandRecord> log_;
  uint64_t commandCount_ = 0;
  FaultKind faultKind_ = FaultKind::NotDelivered;
  uint32_t faultsLeft_ = 0;
};

}  // namespace emu
