// The request blocks that carry a command to the drive, laid out exactly as the
// Windows drivers read them. The pointer-sized fields follow the build's pointer
// width: on the 32-bit build the sizes are the ones the drivers of the 9x and NT
// families expect (see the static_asserts at the end).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pdk {

// Control codes.
constexpr uint32_t kIoctlScsiPassThrough = 0x4D004;        // buffered block
constexpr uint32_t kIoctlScsiPassThroughDirect = 0x4D014;  // direct block
constexpr uint32_t kIoctl98Command = 0x220000;             // 98 SE USB driver

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kSenseLength = 32;

// SCSI_PASS_THROUGH_DIRECT: the data travel in the caller's buffer.
struct ScsiPassThroughDirect {
  uint16_t length;
  uint8_t scsiStatus;
  uint8_t pathId;
  uint8_t targetId;
  uint8_t lun;
  uint8_t cdbLength;
  uint8_t senseInfoLength;
  uint8_t dataIn;
  uint32_t dataTransferLength;
  uint32_t timeOutValue;
  void* dataBuffer;
  uint32_t senseInfoOffset;
  uint8_t cdb[16];
};

// SCSI_PASS_THROUGH: the data travel inside the block, at dataBufferOffset.
struct ScsiPassThrough {
  uint16_t length;
  uint8_t scsiStatus;
  uint8_t pathId;
  uint8_t targetId;
  uint8_t lun;
  uint8_t cdbLength;
  uint8_t senseInfoLength;
  uint8_t dataIn;
  uint32_t dataTransferLength;
  uint32_t timeOutValue;
  uintptr_t dataBufferOffset;
  uint32_t senseInfoOffset;
  uint8_t cdb[16];
};

// Direct request: header, filler, sense bytes.
struct ScsiDirectBlock {
  ScsiPassThroughDirect header;
  uint32_t filler;
  uint8_t sense[kSenseLength];
};

// REPORT DEVICE IDENTIFIER keeps its 100 answer bytes right behind the direct block.
constexpr uint32_t kIdentifierLengthNT = 100;
struct ScsiIdentifierBlock {
  ScsiDirectBlock direct;
  uint8_t data[kIdentifierLengthNT];
};

// Buffered request: header, filler, sense bytes, one sector of data.
struct ScsiBufferedBlock {
  ScsiPassThrough header;
  uint32_t filler;
  uint8_t sense[kSenseLength];
  uint8_t data[kSectorSize];
};

// The 98 SE USB driver's request for control code 0x220000.
struct Usb98Block {
  uint32_t reserved0;
  uint8_t* cdb;  // 50-byte CDB area
  uint32_t cdbLength;
  uint8_t* data;
  uint32_t dataLength;
  uint32_t dataIn;  // 1 data in, 0 data out
  uint8_t* status;  // set by the driver; non-zero: the drive failed the command
  uint32_t reserved1;
};
constexpr uint32_t kUsb98CdbArea = 50;

// ASPI for Win32 request blocks (byte packed, as the ASPI layer defines them).
#pragma pack(push, 1)
struct AspiHaInquiry {
  uint8_t cmd;  // 0
  uint8_t status;
  uint8_t haId;
  uint8_t flags;
  uint32_t reserved;
  uint8_t haCount;
  uint8_t haScsiId;
  uint8_t managerId[16];
  uint8_t identifier[16];
  uint8_t unique[16];
  uint16_t reserved1;
};

struct AspiExecScsiCmd {
  uint8_t cmd;  // 2
  uint8_t status;
  uint8_t haId;
  uint8_t flags;
  uint32_t reserved;
  uint8_t target;
  uint8_t lun;
  uint16_t reserved1;
  uint32_t bufLen;
  uint8_t* bufPointer;
  uint8_t senseLen;
  uint8_t cdbLen;
  uint8_t haStat;
  uint8_t targStat;
  void (*postProc)(void* srb);  // called with the request when it completes
  uint8_t reserved2[20];
  uint8_t cdb[16];
  uint8_t senseArea[16];
};
#pragma pack(pop)

constexpr uint8_t kAspiCmdHaInquiry = 0;
constexpr uint8_t kAspiCmdExecScsi = 2;
constexpr uint8_t kAspiStatusPending = 0;
constexpr uint8_t kAspiStatusComplete = 1;
constexpr uint8_t kAspiStatusError = 4;
constexpr uint8_t kAspiFlagsDataIn = 0x09;   // data in, posting
constexpr uint8_t kAspiFlagsDataOut = 0x11;  // data out, posting
constexpr uint8_t kAspiSenseLength = 14;

// The ASPI library's two entry points.
using SendAspi32CommandFn = uint32_t (*)(void* srb);
using GetAspi32SupportInfoFn = uint32_t (*)();

static_assert(offsetof(AspiExecScsiCmd, cdb) == 40 + 2 * sizeof(void*),
              "the CDB follows the post procedure and 20 reserved bytes");

#if UINTPTR_MAX == 0xFFFFFFFFu
// The sizes the 32-bit drivers expect.
static_assert(sizeof(ScsiPassThroughDirect) == 44, "SCSI_PASS_THROUGH_DIRECT header");
static_assert(sizeof(ScsiPassThrough) == 44, "SCSI_PASS_THROUGH header");
static_assert(sizeof(ScsiDirectBlock) == 80, "direct block");
static_assert(offsetof(ScsiDirectBlock, sense) == 48, "sense offset of the direct block");
static_assert(sizeof(ScsiIdentifierBlock) == 180, "REPORT DEVICE IDENTIFIER block");
static_assert(sizeof(ScsiBufferedBlock) == 592, "buffered block");
static_assert(offsetof(ScsiBufferedBlock, data) == 80, "data offset of the buffered block");
static_assert(sizeof(AspiExecScsiCmd) == 80, "SRB_ExecSCSICmd");
static_assert(offsetof(AspiExecScsiCmd, cdb) == 48, "CDB offset of SRB_ExecSCSICmd");
static_assert(sizeof(Usb98Block) == 32, "98 SE control block");
#endif

}  // namespace pdk
