// The SDK's block structs against the byte layouts the drivers read: the
// emulated driver decodes through the structs, the tests build through the
// offsets, so both must agree for either side's tests to mean anything.
#include <gtest/gtest.h>

#include <cstddef>

#include "CommandBlocks.h"
#include "RawBlock.h"

namespace {

struct Field {
  const char* name;
  size_t structOffset;
  size_t driverOffset;
};

TEST(BlockLayout, StructsMatchTheDriverLayouts) {
  using namespace pdk;
  const Field fields[] = {
      {"direct.length", offsetof(ScsiPassThroughDirect, length), raw::pt::length},
      {"direct.scsiStatus", offsetof(ScsiPassThroughDirect, scsiStatus), raw::pt::scsiStatus},
      {"direct.pathId", offsetof(ScsiPassThroughDirect, pathId), raw::pt::pathId},
      {"direct.targetId", offsetof(ScsiPassThroughDirect, targetId), raw::pt::targetId},
      {"direct.lun", offsetof(ScsiPassThroughDirect, lun), raw::pt::lun},
      {"direct.cdbLength", offsetof(ScsiPassThroughDirect, cdbLength), raw::pt::cdbLength},
      {"direct.senseInfoLength", offsetof(ScsiPassThroughDirect, senseInfoLength),
       raw::pt::senseInfoLength},
      {"direct.dataIn", offsetof(ScsiPassThroughDirect, dataIn), raw::pt::dataIn},
      {"direct.dataTransferLength", offsetof(ScsiPassThroughDirect, dataTransferLength),
       raw::pt::dataTransferLength},
      {"direct.timeOutValue", offsetof(ScsiPassThroughDirect, timeOutValue), raw::pt::timeOutValue},
      {"direct.dataBuffer", offsetof(ScsiPassThroughDirect, dataBuffer), raw::pt::pointer},
      {"direct.senseInfoOffset", offsetof(ScsiPassThroughDirect, senseInfoOffset),
       raw::pt::senseInfoOffset},
      {"direct.cdb", offsetof(ScsiPassThroughDirect, cdb), raw::pt::cdb},
      {"direct header size", sizeof(ScsiPassThroughDirect), raw::pt::headerSize},
      {"buffered.dataTransferLength", offsetof(ScsiPassThrough, dataTransferLength),
       raw::pt::dataTransferLength},
      {"buffered.dataBufferOffset", offsetof(ScsiPassThrough, dataBufferOffset), raw::pt::pointer},
      {"buffered.senseInfoOffset", offsetof(ScsiPassThrough, senseInfoOffset),
       raw::pt::senseInfoOffset},
      {"buffered.cdb", offsetof(ScsiPassThrough, cdb), raw::pt::cdb},
      {"buffered header size", sizeof(ScsiPassThrough), raw::pt::headerSize},
      {"direct block sense", offsetof(ScsiDirectBlock, sense), raw::pt::senseOffset},
      {"direct block size", sizeof(ScsiDirectBlock), raw::pt::directBlockSize},
      {"identifier block data", offsetof(ScsiIdentifierBlock, data), raw::pt::identifierData},
      {"identifier block size", sizeof(ScsiIdentifierBlock), raw::pt::identifierBlockSize},
      {"buffered block sense", offsetof(ScsiBufferedBlock, sense), raw::pt::senseOffset},
      {"buffered block data", offsetof(ScsiBufferedBlock, data), raw::pt::bufferedDataOffset},
      {"buffered block size", sizeof(ScsiBufferedBlock), raw::pt::bufferedBlockSize},
      {"98.cdb", offsetof(Usb98Block, cdb), raw::u98::cdb},
      {"98.cdbLength", offsetof(Usb98Block, cdbLength), raw::u98::cdbLength},
      {"98.data", offsetof(Usb98Block, data), raw::u98::data},
      {"98.dataLength", offsetof(Usb98Block, dataLength), raw::u98::dataLength},
      {"98.dataIn", offsetof(Usb98Block, dataIn), raw::u98::dataIn},
      {"98.status", offsetof(Usb98Block, status), raw::u98::status},
      {"98.reserved1", offsetof(Usb98Block, reserved1), raw::u98::reserved1},
      {"98 size", sizeof(Usb98Block), raw::u98::size},
      {"ha.haCount", offsetof(AspiHaInquiry, haCount), raw::srb::haCount},
      {"ha.haScsiId", offsetof(AspiHaInquiry, haScsiId), raw::srb::haScsiId},
      {"ha.managerId", offsetof(AspiHaInquiry, managerId), raw::srb::managerId},
      {"ha.identifier", offsetof(AspiHaInquiry, identifier), raw::srb::identifier},
      {"ha.unique", offsetof(AspiHaInquiry, unique), raw::srb::unique},
      {"ha size", sizeof(AspiHaInquiry), raw::srb::haInquirySize},
      {"exec.target", offsetof(AspiExecScsiCmd, target), raw::srb::target},
      {"exec.lun", offsetof(AspiExecScsiCmd, lun), raw::srb::lun},
      {"exec.bufLen", offsetof(AspiExecScsiCmd, bufLen), raw::srb::bufLen},
      {"exec.bufPointer", offsetof(AspiExecScsiCmd, bufPointer), raw::srb::bufPointer},
      {"exec.senseLen", offsetof(AspiExecScsiCmd, senseLen), raw::srb::senseLen},
      {"exec.cdbLen", offsetof(AspiExecScsiCmd, cdbLen), raw::srb::cdbLen},
      {"exec.haStat", offsetof(AspiExecScsiCmd, haStat), raw::srb::haStat},
      {"exec.targStat", offsetof(AspiExecScsiCmd, targStat), raw::srb::targStat},
      {"exec.postProc", offsetof(AspiExecScsiCmd, postProc), raw::srb::postProc},
      {"exec.cdb", offsetof(AspiExecScsiCmd, cdb), raw::srb::cdb},
      {"exec.senseArea", offsetof(AspiExecScsiCmd, senseArea), raw::srb::senseArea},
      {"exec size", sizeof(AspiExecScsiCmd), raw::srb::execSize},
  };
  for (const Field& f : fields) EXPECT_EQ(f.structOffset, f.driverOffset) << f.name;
}

}  // namespace
