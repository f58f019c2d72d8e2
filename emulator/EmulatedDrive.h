// The emulated Tovik Drive at the SCSI-command level: it answers the CDBs the
// SDK sends exactly as the firmware does, so every transport can be tested
// without hardware. Portable code: no operating-system header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandFilter.h"
#include "FixedDiskLayout.h"
#include "HiddenArea.h"
#include "PDKCriticalSection.h"
#include "RemovableLayout.h"
#include "SectorStore.h"

namespace emu {

constexpr uint32_t kDriveSectorSize = 512;
constexpr uint8_t kStatusGood = 0;
constexpr uint8_t kStatusCheckCondition = 2;

// Sense keys and codes the drive reports with CHECK CONDITION.
constexpr uint8_t kSenseKeyNone = 0x00;
constexpr uint8_t kSenseKeyNotReady = 0x02;
constexpr uint8_t kSenseKeyHardwareError = 0x04;
constexpr uint8_t kSenseKeyIllegalRequest = 0x05;
constexpr uint8_t kSenseKeyDataProtect = 0x07;
constexpr uint8_t kAscInvalidOpcode = 0x20;
constexpr uint8_t kAscLbaOutOfRange = 0x21;
constexpr uint8_t kAscInvalidFieldInCdb = 0x24;
constexpr uint8_t kAscInvalidFieldInParameterList = 0x26;
constexpr uint8_t kAscNotReady = 0x04;
constexpr uint8_t kAscqBecomingReady = 0x01;
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
  // Removable drive: sectors per allocation unit of the safe partition (1 MB).
  uint32_t allocationUnitSectors = 2048;
  // Fixed disk: a unit is unitFactorA × unitFactorB sectors (1 MB); it must be
  // longer than 63 sectors, and the flash must hold at least one.
  uint32_t unitFactorA = 64;
  uint32_t unitFactorB = 32;
  // After a configuration or a partition switch, READ CAPACITY, READ and WRITE
  // answer NOT READY for this many commands (of any kind).
  uint32_t notReadyCommandsAfterSwitch = 0;
  // An accepted re-layout (0x0041, 0x0045) erases every hidden page, as a
  // controller that rebuilds its tables may; the host must carry them across.
  bool clearHiddenOnRelayout = false;

  static constexpr size_t kMaxSerialLength = 33;
};

// The three words of the detach sub-code, as the drive's owner receives them.
struct DetachRequest {
  uint32_t first = 0;
  uint32_t second = 0;
  uint32_t bootFlag = 0;
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

// Everything a drive keeps besides its identity and its sectors: what a virtual
// drive carries from one run of the program to the next.
struct DriveState {
  std::array<uint8_t, 16> configBlock{};
  std::array<uint8_t, 16> password{};
  std::vector<uint8_t> hiddenArea;  // every hidden page, back to back
  uint32_t safeUnits = 0;           // units of the safe partition
  uint32_t dummyUnits = 0;          // fixed disk: units of the dummy partition
  bool safePresented = false;
  uint32_t lunMode = 0;  // fixed disk
};

// The partitions of a drive's flash; the dummy one is the fixed disk's only.
enum class FlashPartition { kPublic, kDummy, kSafe };

class CEmulatedDrive {
 public:
  // Throws std::invalid_argument for a configuration the drive cannot present.
  // The sectors live in store (an image file, say), or in memory when none is given.
  explicit CEmulatedDrive(DriveConfig config = DriveConfig(),
                          std::unique_ptr<CSectorStore> store = nullptr);
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

  DriveState state() const;
  // The flash sectors the partition holds in the present layout (0 for a
  // partition the drive has not got).
  uint32_t partitionSectors(FlashPartition partition) const;
  // Takes over a saved state; throws std::invalid_argument, changing nothing,
  // when it does not fit this drive's geometry.
  void restore(const DriveState& state);

  std::vector<CommandRecord> commandLog() const;
  void clearCommandLog();
  uint64_t commandCount() const;  // every execute() since construction

  // The next count commands fail with kind (replacing any earlier injection).
  void injectFaults(FaultKind kind, uint32_t count);
  // The same, for the next count commands that match filter; the others run normally.
  void injectFaults(FaultKind kind, uint32_t count, CCommandFilter filter);
  uint32_t pendingFaults() const;

  // READ CAPACITY, READ and WRITE answer NOT READY for the next count commands
  // (replacing the window a switch may have opened).
  void setNotReady(uint32_t commands);

  // Called after the detach sub-code has been answered, without the drive's lock,
  // so the handler may send the drive commands. Empty: detach does nothing more.
  void setDetachHandler(std::function<void(const DetachRequest&)> handler);
  // Called, like the detach handler, after a WRITE that put a FAT boot sector
  // into a partition: the host formatted it. Empty: nothing more happens.
  void setFormatHandler(std::function<void(FlashPartition)> handler);
  // Called, like the format handler, after a command that changed what the
  // drive presents: the partition it shows, the partitions' sizes or its
  // write protection (a login, a logout, a new layout). Empty: nothing happens.
  void setPresentationHandler(std::function<void()> handler);

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

  // Removable privacy zone.
  static constexpr uint16_t kSubCodeRemovableRecord = 0x0040;
  static constexpr uint16_t kSubCodeRemovableConfigure = 0x0041;
  static constexpr uint16_t kSubCodeRemovableSwitch = 0x0042;
  static constexpr uint32_t kRemovableConfigureLength = 20;
  static constexpr uint32_t kRemovableSwitchLength = 16;

  // Fixed-disk privacy zone.
  static constexpr uint16_t kSubCodeFixedRecord = 0x0044;
  static constexpr uint16_t kSubCodeFixedConfigure = 0x0045;
  static constexpr uint16_t kSubCodeFixedSwitch = 0x0046;
  static constexpr uint16_t kSubCodePartitionTable = 0x0047;
  static constexpr uint16_t kSubCodeSetLunMode = 0x004C;
  static constexpr uint16_t kSubCodeLunMode = 0x004D;
  static constexpr uint32_t kFixedConfigureLength = 28;
  static constexpr uint32_t kFixedSwitchLength = 20;
  static constexpr uint32_t kPartitionTableLength = 8;
  static constexpr uint32_t kSetLunModeLength = 16;
  static constexpr uint32_t kLunModeLength = 4;

  // Both kinds of drive.
  static constexpr uint16_t kSubCodeDetach = 0x0048;
  static constexpr uint16_t kSubCodeChangePassword = 0x004B;
  static constexpr uint32_t kDetachLength = 12;
  static constexpr uint32_t kChangePasswordLength = 40;
  static constexpr uint32_t kPasswordLength = 16;

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
  ScsiResult vendorRemovableRecord(const Request& r);
  ScsiResult vendorRemovableConfigure(const Request& r);
  ScsiResult vendorRemovableSwitch(const Request& r);
  ScsiResult vendorFixedRecord(const Request& r);
  ScsiResult vendorFixedConfigure(const Request& r);
  ScsiResult vendorFixedSwitch(const Request& r);
  ScsiResult vendorPartitionTable(const Request& r);
  ScsiResult vendorSetLunMode(const Request& r);
  ScsiResult vendorLunMode(const Request& r);
  ScsiResult vendorDetach(const Request& r);
  ScsiResult vendorChangePassword(const Request& r);
  bool writeProtected() const;
  // What the host sees: safe partition shown, write protection, and the
  // sectors of the public, dummy and safe partitions.
  std::array<uint32_t, 5> presentation() const;

  using Password = std::array<uint8_t, kPasswordLength>;
  // The first length bytes of field, zero padded; nothing when length is above 16.
  static std::optional<Password> passwordField(const uint8_t* field, uint32_t length);
  void startNotReadyWindow();

  // The presented disk: its size, and the flash sector behind one of its sectors
  // (false where no flash lies behind it). All partition mapping goes through here.
  uint32_t presentedSectorCount() const;
  bool presentedToFlash(uint32_t presentedLba, uint32_t& flashLba) const;
  FlashPartition partitionAt(uint32_t presentedLba) const;
  void rewritePartitionTable();

  // The sector store.
  void readFlash(uint32_t flashLba, uint8_t* out512) const;
  void writeFlash(uint32_t flashLba, const uint8_t* in512);

  void log(const Request& r, const ScsiResult& result, bool injected);
  void checkLba(uint32_t lba) const;

  const DriveConfig config_;
  mutable CPDKCriticalSection mutex_;
  std::unique_ptr<CSectorStore> store_;
  std::array<uint8_t, kConfigBlockLength> configBlock_{};
  CHiddenArea hidden_;
  std::deque<CommandRecord> log_;
  uint64_t commandCount_ = 0;
  FaultKind faultKind_ = FaultKind::NotDelivered;
  uint32_t faultsLeft_ = 0;
  CCommandFilter faultFilter_ = CCommandFilter::any();
  uint32_t notReadyLeft_ = 0;
  // Exactly one of the two, by DriveConfig::removable.
  std::optional<CRemovableLayout> removableLayout_;
  std::optional<CFixedDiskLayout> fixedLayout_;
  Password password_{};  // all zero: none set
  std::function<void(const DetachRequest&)> detachHandler_;
  std::optional<DetachRequest> pendingDetach_;  // answered, the handler not yet called
  std::function<void(FlashPartition)> formatHandler_;
  std::optional<FlashPartition> pendingFormat_;
  std::function<void()> presentationHandler_;
};

}  // namespace emu
