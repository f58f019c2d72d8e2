#include "emulator/EmuDevicePort.h"

#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RawBlock.h"
#include "emulator/EmulatedDrive.h"

namespace {

using emu::CEmuDevicePort;
using emu::CEmulatedDrive;
using emu::ControlRecord;
using raw::Block;

constexpr uint32_t kDirect = 0x4D014;
constexpr uint32_t kBuffered = 0x4D004;
constexpr uint32_t k98 = 0x220000;

emu::DriveConfig config() {
  emu::DriveConfig c;
  c.serial = "SN0042";
  c.sectorCount = 2048;
  return c;
}

std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 13);
  return v;
}

// A pass-through header with the values the SDK puts in every request.
void putHeader(Block& b, const std::vector<uint8_t>& cdb, bool dataIn, uint32_t transfer,
               uint32_t timeout = 10) {
  b.put16(raw::pt::length, uint16_t(raw::pt::headerSize));
  b.put8(raw::pt::pathId, 0);
  b.put8(raw::pt::targetId, 1);
  b.put8(raw::pt::lun, 0);
  b.put8(raw::pt::cdbLength, uint8_t(cdb.size()));
  b.put8(raw::pt::senseInfoLength, 24);
  b.put8(raw::pt::dataIn, dataIn ? 1 : 0);
  b.put32(raw::pt::dataTransferLength, transfer);
  b.put32(raw::pt::timeOutValue, timeout);
  b.put32(raw::pt::senseInfoOffset, uint32_t(raw::pt::senseOffset));
  b.putBytes(raw::pt::cdb, cdb);
}

Block directBlock(const std::vector<uint8_t>& cdb, bool dataIn, void* data, uint32_t length,
                  uint32_t timeout = 10) {
  Block b(raw::pt::directBlockSize);
  putHeader(b, cdb, dataIn, length, timeout);
  b.putPtr(raw::pt::pointer, data);
  return b;
}

Block bufferedBlock(const std::vector<uint8_t>& cdb, bool dataIn, uint32_t length) {
  Block b(raw::pt::bufferedBlockSize);
  putHeader(b, cdb, dataIn, length);
  b.putWord(raw::pt::pointer, raw::pt::bufferedDataOffset);
  return b;
}

// The 98 SE block with its own 50-byte CDB area and status byte.
struct Request98 {
  Request98(const std::vector<uint8_t>& cdb, bool dataIn, void* data, uint32_t length)
      : block(raw::u98::size), cdbArea(50, 0) {
    std::copy(cdb.begin(), cdb.end(), cdbArea.begin());
    block.putPtr(raw::u98::cdb, cdbArea.data());
    block.put32(raw::u98::cdbLength, uint32_t(cdb.size()));
    block.putPtr(raw::u98::data, data);
    block.put32(raw::u98::dataLength, length);
    block.put32(raw::u98::dataIn, dataIn ? 1 : 0);
    block.putPtr(raw::u98::status, &status);
  }
  Block block;
  std::vector<uint8_t> cdbArea;
  uint8_t status = 0xEE;
};

class EmuDevicePortTest : public ::testing::Test {
 protected:
  EmuDevicePortTest() {
    port.attach('E', &drive);
    handle = port.open("\\\\.\\E:", nullptr);
  }
  ~EmuDevicePortTest() override { port.close(handle); }

  // Sends block as input and output buffer, as the NT transport does.
  bool send(uint32_t code, Block& b, uint32_t* returned) {
    return port.control(handle, code, b.data(), uint32_t(b.size()), b.data(), uint32_t(b.size()),
                        returned);
  }

  CEmulatedDrive drive{config()};
  CEmuDevicePort port;
  pdk::PDKHandle handle = nullptr;
};

// ---- opening and closing ----------------------------------------------------------------

TEST(EmuDevicePortOpen, ResolvesPathsLikeTheVolumeManager) {
  struct Case {
    const char* path;
    uint32_t error;
  };
  const Case cases[] = {
      {"\\\\.\\E:", 0},       {"\\\\.\\e:", 0}, {"\\\\.\\USBDISK0", 0}, {"\\\\.\\F:", 2},
      {"\\\\.\\E", 2},        {"E:", 2},        {"\\\\.\\E:\\", 2},     {"\\\\.\\usbdisk0", 2},
      {"\\\\.\\USBDISK1", 2}, {"", 2},          {nullptr, 2},
  };
  CEmulatedDrive drive(config());
  CEmuDevicePort port;
  port.attach('e', &drive);
  port.attachPath("\\\\.\\USBDISK0", &drive);
  for (const Case& c : cases) {
    uint32_t error = 0xDEAD;
    const pdk::PDKHandle h = port.open(c.path, &error);
    const std::string name = c.path ? c.path : "(null)";
    EXPECT_EQ(error, c.error) << name;
    if (c.error == 0) {
      EXPECT_NE(h, nullptr) << name;
      EXPECT_NE(h, pdk::invalidHandle()) << name;
      port.close(h);
    } else {
      EXPECT_EQ(h, pdk::invalidHandle()) << name;
    }
  }
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.openCount(), 3u);
  EXPECT_EQ(port.badCloseCount(), 0u);
  EXPECT_EQ(port.openedPaths().size(), 10u);  // the null path is no request
  EXPECT_EQ(port.openedPaths().front(), "\\\\.\\E:");
}

TEST(EmuDevicePortOpen, EachOpenGetsItsOwnHandleAndCloseIsCounted) {
  CEmulatedDrive drive(config());
  CEmuDevicePort port;
  port.attach('E', &drive);
  std::set<pdk::PDKHandle> handles;
  for (int i = 0; i < 5; ++i) handles.insert(port.open("\\\\.\\E:", nullptr));
  EXPECT_EQ(handles.size(), 5u);
  EXPECT_EQ(port.openHandleCount(), 5u);
  for (pdk::PDKHandle h : handles) port.close(h);
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.badCloseCount(), 0u);
  port.close(*handles.begin());  // closed twice
  port.close(pdk::invalidHandle());
  EXPECT_EQ(port.badCloseCount(), 2u);
}

TEST(EmuDevicePortOpen, BusyVolumeRefusesWithSharingViolation) {
  CEmulatedDrive drive(config());
  CEmuDevicePort port;
  port.attach('E', &drive);
  port.attachPath("\\\\.\\USBDISK0", &drive);
  port.setBusy('e', true);
  port.setPathBusy("\\\\.\\USBDISK0", true);
  for (const char* path : {"\\\\.\\E:", "\\\\.\\USBDISK0"}) {
    uint32_t error = 0;
    EXPECT_EQ(port.open(path, &error), pdk::invalidHandle()) << path;
    EXPECT_EQ(error, 32u) << path;
  }
  port.setBusy('E', false);
  uint32_t error = 0xDEAD;
  const pdk::PDKHandle h = port.open("\\\\.\\E:", &error);
  EXPECT_EQ(error, 0u);
  EXPECT_NE(h, pdk::invalidHandle());
  port.close(h);
}

TEST_F(EmuDevicePortTest, DetachedDriveNoLongerOpensOrAnswers) {
  std::vector<uint8_t> data(8);
  Block b = directBlock(raw::cdb::readCapacity(14), true, data.data(), 8);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, b, &returned));
  port.detach('E');
  EXPECT_FALSE(send(kDirect, b, &returned));
  EXPECT_EQ(returned, 0u);
  uint32_t error = 0;
  EXPECT_EQ(port.open("\\\\.\\E:", &error), pdk::invalidHandle());
  EXPECT_EQ(error, 2u);
  EXPECT_EQ(drive.commandCount(), 1u);
}

// ---- direct block ------------------------------------------------------------------------

TEST_F(EmuDevicePortTest, DirectBlockCarriesTheCommandAndGetsTheStatus) {
  std::vector<uint8_t> data(8, 0xAA);
  Block b = directBlock(raw::cdb::readCapacity(14), true, data.data(), 8);
  b.put8(raw::pt::scsiStatus, 0x77);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, b, &returned));
  EXPECT_EQ(returned, raw::pt::directBlockSize);
  EXPECT_EQ(b.get8(raw::pt::scsiStatus), 0);
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 0x07, 0xFF, 0, 0, 0x02, 0}));

  const auto log = drive.commandLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].cdb, raw::cdb::readCapacity(14));
  EXPECT_TRUE(log[0].dataIn);
  EXPECT_EQ(log[0].dataLength, 8u);
}

TEST_F(EmuDevicePortTest, RecordsEveryHeaderFieldThatReachedTheDriver) {
  std::vector<uint8_t> data(512);
  Block b = directBlock(raw::cdb::write10(0x0102, 1, 14), false, data.data(), 512, 10000);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, b, &returned));
  const auto controls = port.controls();
  ASSERT_EQ(controls.size(), 1u);
  const ControlRecord& c = controls[0];
  EXPECT_EQ(c.code, kDirect);
  EXPECT_EQ(c.inLength, raw::pt::directBlockSize);
  EXPECT_EQ(c.outLength, raw::pt::directBlockSize);
  EXPECT_TRUE(c.succeeded);
  EXPECT_TRUE(c.headerDecoded);
  EXPECT_EQ(c.length, raw::pt::headerSize);
  EXPECT_EQ(c.pathId, 0u);
  EXPECT_EQ(c.targetId, 1u);
  EXPECT_EQ(c.lun, 0u);
  EXPECT_EQ(c.cdbLength, 14u);
  EXPECT_EQ(c.senseInfoLength, 24u);
  EXPECT_EQ(c.dataIn, 0u);
  EXPECT_EQ(c.dataTransferLength, 512u);
  EXPECT_EQ(c.timeOutValue, 10000u);
  EXPECT_EQ(c.senseInfoOffset, raw::pt::senseOffset);
  EXPECT_TRUE(c.dataBufferPresent);
  EXPECT_EQ(c.cdb, raw::cdb::write10(0x0102, 1, 14));
  EXPECT_EQ(c.scsiStatus, 0);

  port.clearControls();
  EXPECT_TRUE(port.controls().empty());
}

TEST_F(EmuDevicePortTest, DirectWriteThenReadMovesTheCallersData) {
  const std::vector<uint8_t> data = pattern(1024, 5);
  std::vector<uint8_t> out = data;
  Block w = directBlock(raw::cdb::write10(100, 2, 14), false, out.data(), 1024);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, w, &returned));
  EXPECT_EQ(drive.sector(101), std::vector<uint8_t>(data.begin() + 512, data.end()));

  std::vector<uint8_t> in(1024, 0);
  Block r = directBlock(raw::cdb::read10(100, 2, 14), true, in.data(), 1024);
  ASSERT_TRUE(send(kDirect, r, &returned));
  EXPECT_EQ(in, data);
  EXPECT_EQ(r.get32(raw::pt::dataTransferLength), 1024u);
}

TEST_F(EmuDevicePortTest, DirectCheckConditionComesBackWithSense) {
  std::vector<uint8_t> data(40, 0);
  Block b = directBlock(raw::cdb::vendor(0x0999), true, data.data(), 40);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, b, &returned));  // the call itself succeeded
  EXPECT_EQ(b.get8(raw::pt::scsiStatus), 2);
  EXPECT_EQ(b.get32(raw::pt::dataTransferLength), 0u);
  EXPECT_EQ(b.get8(raw::pt::senseOffset), 0x70);
  EXPECT_EQ(b.get8(raw::pt::senseOffset + 2), 0x05);
  EXPECT_EQ(b.get8(raw::pt::senseOffset + 12), 0x24);
  EXPECT_EQ(port.controls().back().scsiStatus, 2);
}

TEST_F(EmuDevicePortTest, DirectIntoSeparateOutputBufferCopiesTheHeader) {
  std::vector<uint8_t> data(36);
  Block in = directBlock(raw::cdb::inquiry(36), true, data.data(), 36);
  Block out(raw::pt::directBlockSize);
  uint32_t returned = 0;
  ASSERT_TRUE(port.control(handle, kDirect, in.data(), uint32_t(in.size()), out.data(),
                           uint32_t(out.size()), &returned));
  EXPECT_EQ(out.slice(0, raw::pt::headerSize), in.slice(0, raw::pt::headerSize));
  EXPECT_EQ(data[8], 'V');
}

TEST_F(EmuDevicePortTest, IdentifierBlockReceivesTheAnswerBehindTheDirectBlock) {
  Block b(raw::pt::identifierBlockSize);
  putHeader(b, raw::cdb::reportIdentifier(100), true, 100, 1);
  b.putPtr(raw::pt::pointer, b.data() + raw::pt::identifierData);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kDirect, b, &returned));
  EXPECT_EQ(returned, raw::pt::identifierBlockSize);
  EXPECT_EQ(b.get8(raw::pt::scsiStatus), 0);
  const std::string id = "Vantrel Plunda SN0042";
  EXPECT_EQ(b.get8(raw::pt::identifierData + 3), id.size());
  EXPECT_EQ(b.slice(raw::pt::identifierData + 4, id.size()),
            std::vector<uint8_t>(id.begin(), id.end()));
  EXPECT_EQ(port.controls().back().timeOutValue, 1u);
  EXPECT_EQ(port.controls().back().cdbLength, 12u);
}

// ---- buffered block ----------------------------------------------------------------------

TEST_F(EmuDevicePortTest, BufferedInquirySendsHeaderAndReceivesDataAtTheOffset) {
  Block full = bufferedBlock(raw::cdb::inquiry(36), true, 36);
  // Exactly the lengths the transport passes: the header goes out, header+sense+36 come back.
  std::vector<uint8_t> in(full.data(), full.data() + raw::pt::headerSize);
  std::vector<uint8_t> out(raw::pt::bufferedDataOffset + 36, 0xAA);
  uint32_t returned = 0;
  ASSERT_TRUE(port.control(handle, kBuffered, in.data(), uint32_t(in.size()), out.data(),
                           uint32_t(out.size()), &returned));
  EXPECT_EQ(returned, raw::pt::bufferedDataOffset + 36);
  EXPECT_EQ(out[raw::pt::scsiStatus], 0);
  EXPECT_EQ(out[raw::pt::bufferedDataOffset + 1], 0x80);
  EXPECT_EQ(std::string(out.begin() + raw::pt::bufferedDataOffset + 8,
                        out.begin() + raw::pt::bufferedDataOffset + 15),
            "VANTREL");
  const ControlRecord c = port.controls().back();
  EXPECT_EQ(c.dataBufferOffset, raw::pt::bufferedDataOffset);
  EXPECT_EQ(c.inLength, raw::pt::headerSize);
  EXPECT_EQ(c.outLength, raw::pt::bufferedDataOffset + 36);
}

TEST_F(EmuDevicePortTest, BufferedReturnedCountsOnlyTheDataThatCame) {
  // A whole block offered for 128 bytes of INQUIRY data: what comes back is the
  // header part plus those 128 bytes, not the block's length.
  Block b = bufferedBlock(raw::cdb::inquiry(128), true, 128);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kBuffered, b, &returned));
  EXPECT_EQ(returned, raw::pt::bufferedDataOffset + 128);
  EXPECT_EQ(b.get32(raw::pt::dataTransferLength), 128u);
}

TEST_F(EmuDevicePortTest, BufferedWithoutDataReturnsHeaderAndSense) {
  Block full = bufferedBlock(raw::cdb::vendor(0x0999), false, 0);
  std::vector<uint8_t> in(full.data(), full.data() + raw::pt::headerSize);
  std::vector<uint8_t> out(raw::pt::bufferedDataOffset, 0);
  uint32_t returned = 0;
  ASSERT_TRUE(port.control(handle, kBuffered, in.data(), uint32_t(in.size()), out.data(),
                           uint32_t(out.size()), &returned));
  EXPECT_EQ(returned, raw::pt::bufferedDataOffset);
  EXPECT_EQ(out[raw::pt::scsiStatus], 2);
  EXPECT_EQ(out[raw::pt::senseOffset], 0x70);
  EXPECT_EQ(out[raw::pt::senseOffset + 2], 0x05);
  ASSERT_EQ(drive.commandLog().size(), 1u);
  EXPECT_EQ(drive.commandLog()[0].dataLength, 0u);
}

TEST_F(EmuDevicePortTest, BufferedWriteTakesDataFromInsideTheBlock) {
  Block b = bufferedBlock(raw::cdb::write10(9, 1, 14), false, 512);
  const std::vector<uint8_t> data = pattern(512, 77);
  b.putBytes(raw::pt::bufferedDataOffset, data);
  uint32_t returned = 0;
  ASSERT_TRUE(send(kBuffered, b, &returned));
  EXPECT_EQ(b.get8(raw::pt::scsiStatus), 0);
  EXPECT_EQ(drive.sector(9), data);
}

// ---- 98 SE block ---------------------------------------------------------------------------

TEST_F(EmuDevicePortTest, Block98CarriesCommandAndReportsStatusThroughThePointer) {
  std::vector<uint8_t> data(36, 0);
  Request98 r(raw::cdb::inquiry(36), true, data.data(), 36);
  r.block.put32(raw::u98::reserved0, 0);
  uint32_t returned = 0;
  ASSERT_TRUE(send(k98, r.block, &returned));
  EXPECT_EQ(returned, raw::u98::size);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(data[8], 'V');
  const ControlRecord c = port.controls().back();
  EXPECT_EQ(c.code, k98);
  EXPECT_EQ(c.inLength, raw::u98::size);
  EXPECT_EQ(c.cdbLength, 6u);
  EXPECT_EQ(c.dataTransferLength, 36u);
  EXPECT_EQ(c.dataIn, 1u);
  EXPECT_EQ(c.cdb, raw::cdb::inquiry(36));
}

TEST_F(EmuDevicePortTest, Block98MovesSectorsBothWaysAndFlagsCheckCondition) {
  const std::vector<uint8_t> data = pattern(512, 21);
  std::vector<uint8_t> out = data;
  Request98 w(raw::cdb::write10(3, 1), false, out.data(), 512);
  uint32_t returned = 0;
  ASSERT_TRUE(send(k98, w.block, &returned));
  EXPECT_EQ(w.status, 0);

  std::vector<uint8_t> in(512, 0);
  Request98 r(raw::cdb::read10(3, 1), true, in.data(), 512);
  ASSERT_TRUE(send(k98, r.block, &returned));
  EXPECT_EQ(in, data);

  Request98 bad(raw::cdb::read10(2048, 1), true, in.data(), 512);
  ASSERT_TRUE(send(k98, bad.block, &returned));
  EXPECT_EQ(bad.status, 2);
}

// ---- refused requests: never beyond the buffers, never to the drive ------------------------

struct Refusal {
  const char* name;
  uint32_t code;
  // Builds the request; in/out are then copied into buffers of exactly the given lengths.
  std::function<Block(std::vector<uint8_t>& data, Request98*& r98)> build;
  size_t inLength;
  size_t outLength;
};

class EmuDevicePortRefusal : public EmuDevicePortTest {};

TEST_F(EmuDevicePortRefusal, MalformedRequestsFailWithoutReachingTheDrive) {
  using namespace raw::pt;
  std::vector<Request98> keep;
  keep.reserve(16);
  auto direct = [](std::vector<uint8_t>& d, Request98*&) {
    d.assign(36, 0);
    return directBlock(raw::cdb::inquiry(36), true, d.data(), 36);
  };
  auto directWith = [direct](std::function<void(Block&)> change) {
    return [direct, change](std::vector<uint8_t>& d, Request98*& r) {
      Block b = direct(d, r);
      change(b);
      return b;
    };
  };
  auto bufferedIn = [](std::vector<uint8_t>&, Request98*&) {
    return bufferedBlock(raw::cdb::inquiry(36), true, 36);
  };
  auto bufferedWith = [](bool dataIn, uint32_t length, std::function<void(Block&)> change) {
    return [=](std::vector<uint8_t>&, Request98*&) {
      Block b =
          bufferedBlock(dataIn ? raw::cdb::read10(0, 1) : raw::cdb::write10(0, 1), dataIn, length);
      change(b);
      return b;
    };
  };
  auto block98 = [&keep](std::function<void(Request98&)> change) {
    return [&keep, change](std::vector<uint8_t>& d, Request98*& r) {
      d.assign(36, 0);
      keep.emplace_back(raw::cdb::inquiry(36), true, d.data(), 36);
      r = &keep.back();
      change(*r);
      return r->block;
    };
  };
  auto none = [](Block&) {};
  const size_t u98 = raw::u98::size;

  const Refusal cases[] = {
      {"directInputShort", kDirect, direct, headerSize - 1, directBlockSize},
      {"directOutputShort", kDirect, direct, directBlockSize, headerSize - 1},
      {"directLengthField", kDirect, directWith([](Block& b) { b.put16(length, 44 + 56); }),
       directBlockSize, directBlockSize},
      {"directCdbLengthZero", kDirect, directWith([](Block& b) { b.put8(cdbLength, 0); }),
       directBlockSize, directBlockSize},
      {"directCdbLength17", kDirect, directWith([](Block& b) { b.put8(cdbLength, 17); }),
       directBlockSize, directBlockSize},
      {"directDataIn2", kDirect, directWith([](Block& b) { b.put8(dataIn, 2); }), directBlockSize,
       directBlockSize},
      {"directNullData", kDirect, directWith([](Block& b) { b.putPtr(pointer, nullptr); }),
       directBlockSize, directBlockSize},
      {"directSenseBeyondOutput", kDirect,
       directWith([](Block& b) { b.put32(senseInfoOffset, uint32_t(directBlockSize - 23)); }),
       directBlockSize, directBlockSize},
      {"directSenseInsideHeader", kDirect,
       directWith([](Block& b) { b.put32(senseInfoOffset, 8); }), directBlockSize, directBlockSize},
      {"bufferedInputShort", kBuffered, bufferedIn, headerSize - 1, bufferedDataOffset + 36},
      {"bufferedOutputShort", kBuffered, bufferedIn, headerSize, headerSize - 1},
      {"bufferedDataInBeyondOutput", kBuffered, bufferedIn, headerSize, bufferedDataOffset + 35},
      {"bufferedDataOutBeyondInput", kBuffered, bufferedWith(false, 512, none),
       bufferedDataOffset + 511, bufferedDataOffset},
      {"bufferedDataInsideHeader", kBuffered,
       bufferedWith(true, 512, [](Block& b) { b.putWord(pointer, 4); }), bufferedBlockSize,
       bufferedBlockSize},
      {"bufferedHugeOffset", kBuffered,
       bufferedWith(true, 512, [](Block& b) { b.putWord(pointer, 0xFFFFFF00u); }),
       bufferedBlockSize, bufferedBlockSize},
      {"98InputShort", k98, block98([](Request98&) {}), u98 - 1, u98},
      {"98OutputShort", k98, block98([](Request98&) {}), u98, u98 - 1},
      {"98NullCdb", k98, block98([](Request98& r) { r.block.putPtr(raw::u98::cdb, nullptr); }), u98,
       u98},
      {"98CdbLengthZero", k98, block98([](Request98& r) { r.block.put32(raw::u98::cdbLength, 0); }),
       u98, u98},
      {"98CdbLength51", k98, block98([](Request98& r) { r.block.put32(raw::u98::cdbLength, 51); }),
       u98, u98},
      {"98DataIn2", k98, block98([](Request98& r) { r.block.put32(raw::u98::dataIn, 2); }), u98,
       u98},
      {"98NullStatus", k98,
       block98([](Request98& r) { r.block.putPtr(raw::u98::status, nullptr); }), u98, u98},
      {"98NullData", k98, block98([](Request98& r) { r.block.putPtr(raw::u98::data, nullptr); }),
       u98, u98},
      {"unknownCode", 0x2D1400, direct, directBlockSize, directBlockSize},
  };

  for (const Refusal& c : cases) {
    std::vector<uint8_t> data;
    Request98* r98 = nullptr;
    const Block full = c.build(data, r98);
    // Exact-size heap buffers: any access past them is an AddressSanitizer report.
    std::vector<uint8_t> in(full.data(), full.data() + std::min(c.inLength, full.size()));
    in.resize(c.inLength);
    std::vector<uint8_t> out(c.outLength, 0xAA);
    uint32_t returned = 0xDEAD;
    const uint64_t before = drive.commandCount();
    EXPECT_FALSE(port.control(handle, c.code, in.data(), uint32_t(in.size()), out.data(),
                              uint32_t(out.size()), &returned))
        << c.name;
    EXPECT_EQ(returned, 0u) << c.name;
    EXPECT_EQ(drive.commandCount(), before) << c.name;
    EXPECT_EQ(out, std::vector<uint8_t>(c.outLength, 0xAA)) << c.name;
    if (r98) {
      EXPECT_EQ(r98->status, 0xEE) << c.name;
    }
    const ControlRecord rec = port.controls().back();
    EXPECT_EQ(rec.code, c.code) << c.name;
    EXPECT_EQ(rec.inLength, c.inLength) << c.name;
    EXPECT_EQ(rec.outLength, c.outLength) << c.name;
    EXPECT_FALSE(rec.succeeded) << c.name;
  }
}

TEST_F(EmuDevicePortTest, CallsWithoutAValidHandleOrResultPointerFail) {
  std::vector<uint8_t> data(8);
  Block b = directBlock(raw::cdb::readCapacity(14), true, data.data(), 8);
  uint32_t returned = 0;
  const pdk::PDKHandle handles[] = {pdk::invalidHandle(), nullptr};
  for (pdk::PDKHandle h : handles) {
    EXPECT_FALSE(port.control(h, kDirect, b.data(), uint32_t(b.size()), b.data(),
                              uint32_t(b.size()), &returned));
  }
  const pdk::PDKHandle closed = port.open("\\\\.\\E:", nullptr);
  port.close(closed);
  EXPECT_FALSE(port.control(closed, kDirect, b.data(), uint32_t(b.size()), b.data(),
                            uint32_t(b.size()), &returned));
  EXPECT_FALSE(port.control(handle, kDirect, b.data(), uint32_t(b.size()), b.data(),
                            uint32_t(b.size()), nullptr));
  EXPECT_FALSE(port.control(handle, kDirect, nullptr, uint32_t(b.size()), b.data(),
                            uint32_t(b.size()), &returned));
  EXPECT_EQ(drive.commandCount(), 0u);
}

TEST_F(EmuDevicePortTest, UndeliveredCommandFailsTheCall) {
  const struct { uint32_t code; } kinds[] = {{kDirect}, {kBuffered}, {k98}};
  for (const auto& k : kinds) {
    drive.injectFaults(emu::FaultKind::NotDelivered, 1);
    std::vector<uint8_t> data(36, 0);
    Block direct = directBlock(raw::cdb::inquiry(36), true, data.data(), 36);
    Block buffered = bufferedBlock(raw::cdb::inquiry(36), true, 36);
    Request98 r98(raw::cdb::inquiry(36), true, data.data(), 36);
    Block& b = k.code == kDirect ? direct : k.code == kBuffered ? buffered : r98.block;
    uint32_t returned = 0xDEAD;
    EXPECT_FALSE(send(k.code, b, &returned)) << std::hex << k.code;
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(r98.status, 0xEE);
    // The same request goes through once the fault is spent.
    EXPECT_TRUE(send(k.code, b, &returned)) << std::hex << k.code;
  }
}

TEST(EmuDevicePortThreads, ConcurrentOpensAndCommandsAreAllAccountedFor) {
  CEmulatedDrive drive(config());
  CEmuDevicePort port;
  port.attach('E', &drive);
  constexpr int kThreads = 4;
  constexpr int kRounds = 100;
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const pdk::PDKHandle h = port.open("\\\\.\\E:", nullptr);
        std::vector<uint8_t> data(8);
        Block b = directBlock(raw::cdb::readCapacity(14), true, data.data(), 8);
        uint32_t returned = 0;
        if (!port.control(h, kDirect, b.data(), uint32_t(b.size()), b.data(), uint32_t(b.size()),
                          &returned) ||
            data[3] != 0xFF) {
          ++failures[size_t(t)];
        }
        port.close(h);
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.openCount(), uint64_t(kThreads * kRounds));
  EXPECT_EQ(port.badCloseCount(), 0u);
  EXPECT_EQ(port.controls().size(), size_t(kThreads * kRounds));
  EXPECT_EQ(drive.commandCount(), uint64_t(kThreads * kRounds));
}

// Volume codes: the lock belongs to one handle and goes with it; a refused volume
// never locks; dismount needs only an open handle.
TEST(EmuDevicePortVolumeTest, LockUnlockAndDismountFollowTheHandle) {
  constexpr uint32_t kLock = 0x00090018, kUnlock = 0x0009001C, kDismount = 0x00090020;
  CEmulatedDrive drive(config());
  CEmuDevicePort port;
  port.attach('E', &drive);
  uint32_t error = 0, returned = 7;
  pdk::PDKHandle a = port.open("\\\\.\\E:", &error);
  pdk::PDKHandle b = port.open("\\\\.\\e:", &error);
  auto send = [&](pdk::PDKHandle h, uint32_t code) {
    return port.control(h, code, nullptr, 0, nullptr, 0, &returned);
  };
  const struct {
    pdk::PDKHandle handle;
    uint32_t code;
    bool ok;
    bool lockedAfter;
  } steps[] = {
      {b, kUnlock, false, false},   {a, kDismount, true, false}, {a, kLock, true, true},
      {b, kLock, false, true},      {b, kUnlock, false, true},   {a, kLock, false, true},
      {b, kDismount, true, true},   {a, kUnlock, true, false},   {b, kLock, true, true},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(send(s.handle, s.code), s.ok) << std::hex << s.code;
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(port.isLocked('E'), s.lockedAfter) << std::hex << s.code;
  }
  const auto records = port.controls();
  ASSERT_EQ(records.size(), std::size(steps));
  for (const auto& r : records) {
    EXPECT_EQ(r.volume, "\\\\.\\E:");
    EXPECT_EQ(r.inLength, 0u);
    EXPECT_EQ(r.outLength, 0u);
  }

  port.close(b);  // closing the locking handle releases the lock
  EXPECT_FALSE(port.isLocked('E'));
  port.setLockRefused('E', true);
  EXPECT_FALSE(send(a, kLock));
  port.setLockRefused('E', false);
  EXPECT_TRUE(send(a, kLock));
  port.close(a);
  EXPECT_FALSE(send(a, kDismount));  // a closed handle reaches no volume
  EXPECT_EQ(port.controls().back().volume, "");
  EXPECT_FALSE(port.isLocked('E'));
}

}  // namespace
