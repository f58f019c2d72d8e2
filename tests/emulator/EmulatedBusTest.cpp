#include "emulator/EmulatedBus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "RawBlock.h"
#include "emulator/EmuAspiTarget.h"
#include "emulator/EmuDevicePort.h"
#include "emulator/EmulatedDrive.h"

namespace {

using emu::BusEvent;
using emu::CEmuAspiTarget;
using emu::CEmuDevicePort;
using emu::CEmulatedBus;
using emu::CEmulatedDrive;
using namespace std::chrono_literals;
using Letters = std::vector<char>;

constexpr uint32_t kErrorFileNotFound = 2;
constexpr auto kPatience = 5s;  // how long a background return may take at most

uint32_t bit(char letter) { return 1u << (letter - 'A'); }

char lowestLetter(uint32_t mask) {
  char l = 'A';
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++l;
  }
  return l;
}

std::unique_ptr<CEmulatedDrive> makeDrive(const std::string& serial) {
  emu::DriveConfig c;
  c.serial = serial;
  c.sectorCount = 2048;
  return std::make_unique<CEmulatedDrive>(c);
}

class EmulatedBusTest : public ::testing::Test {
 protected:
  EmulatedBusTest() {
    for (int i = 0; i < 4; ++i) drives_.push_back(makeDrive("SN" + std::to_string(i)));
  }
  CEmulatedDrive* drive(int i) { return drives_.at(size_t(i)).get(); }

  // Opens the volume as the SDK does; 0 when it opened, else the error.
  uint32_t openError(char letter) {
    const std::string path = std::string("\\\\.\\") + letter + ":";
    uint32_t error = 0;
    pdk::PDKHandle h = port_.open(path.c_str(), &error);
    if (h == pdk::invalidHandle()) return error;
    port_.close(h);
    return 0;
  }

  // The drive an INQUIRY sent through the volume reaches, or nullptr.
  CEmulatedDrive* reachedThrough(char letter) {
    const std::string path = std::string("\\\\.\\") + letter + ":";
    uint32_t error = 0;
    pdk::PDKHandle h = port_.open(path.c_str(), &error);
    if (h == pdk::invalidHandle()) return nullptr;
    std::vector<uint64_t> before;
    for (auto& d : drives_) before.push_back(d->commandCount());
    uint8_t data[36] = {};
    raw::Block b(raw::pt::directBlockSize);
    const auto cdb = raw::cdb::inquiry(36);
    b.put16(raw::pt::length, uint16_t(raw::pt::headerSize));
    b.put8(raw::pt::cdbLength, uint8_t(cdb.size()));
    b.put8(raw::pt::dataIn, 1);
    b.put32(raw::pt::dataTransferLength, sizeof(data));
    b.put32(raw::pt::timeOutValue, 10);
    b.putPtr(raw::pt::pointer, data);
    b.putBytes(raw::pt::cdb, cdb);
    uint32_t returned = 0;
    const bool ok = port_.control(h, 0x4D014, b.data(), uint32_t(b.size()), b.data(),
                                  uint32_t(b.size()), &returned);
    port_.close(h);
    if (!ok) return nullptr;
    for (size_t i = 0; i < drives_.size(); ++i)
      if (drives_[i]->commandCount() != before[i]) return drives_[i].get();
    return nullptr;
  }

  // The drive an ASPI INQUIRY at (adapter, 0) reaches, or nullptr.
  CEmulatedDrive* reachedAt(uint8_t adapter) {
    std::vector<uint64_t> before;
    for (auto& d : drives_) before.push_back(d->commandCount());
    uint8_t data[36] = {};
    raw::Block b(raw::srb::execSize);
    const auto cdb = raw::cdb::inquiry(36);
    b.put8(raw::srb::cmd, 2);
    b.put8(raw::srb::haId, adapter);
    b.put8(raw::srb::flags, 0x08);
    b.put32(raw::srb::bufLen, sizeof(data));
    b.putPtr(raw::srb::bufPointer, data);
    b.put8(raw::srb::senseLen, 14);
    b.put8(raw::srb::cdbLen, uint8_t(cdb.size()));
    b.putBytes(raw::srb::cdb, cdb);
    if (aspi_.execute(b.data()) != 1) return nullptr;
    for (size_t i = 0; i < drives_.size(); ++i)
      if (drives_[i]->commandCount() != before[i]) return drives_[i].get();
    return nullptr;
  }

  CEmuDevicePort port_;
  CEmuAspiTarget aspi_;
  std::vector<std::unique_ptr<CEmulatedDrive>> drives_;
};

TEST_F(EmulatedBusTest, LettersComeFromTheFirstFreeOnesUpwards) {
  struct Case {
    const char* name;
    char first;       // 0: the default
    Letters earlier;  // given to drive 0 explicitly first (empty: none)
    unsigned volumes;
    Letters expected;  // for drive 1
  };
  const Case cases[] = {
      {"default start", 0, {}, 1, {'E'}},
      {"two volumes", 0, {}, 2, {'E', 'F'}},
      {"other start", 'c', {}, 2, {'C', 'D'}},
      {"skips a taken letter", 0, {'E'}, 1, {'F'}},
      {"skips a hole's taken letter", 0, {'F'}, 2, {'E', 'G'}},
      {"below the start is not used", 'X', {'X', 'Z'}, 1, {'Y'}},
      {"last letter", 'Z', {}, 1, {'Z'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEmuDevicePort port;
    CEmulatedBus bus(port);
    if (c.first) bus.setFirstLetter(c.first);
    if (!c.earlier.empty()) {
      EXPECT_EQ(bus.attach(drive(0), c.earlier), c.earlier);
    }
    EXPECT_EQ(bus.attach(drive(1), c.volumes), c.expected);
    EXPECT_EQ(bus.lettersOf(drive(1)), c.expected);
    EXPECT_EQ(bus.maskOf(drive(1)), CEmulatedBus::maskOfLetters(c.expected));
    for (char l : c.expected) EXPECT_EQ(bus.driveAt(l), drive(1)) << l;
  }
}

TEST_F(EmulatedBusTest, ExplicitLettersAreNormalisedAndSorted) {
  CEmulatedBus bus(port_);
  EXPECT_EQ(bus.attach(drive(0), Letters{'k', 'H'}), (Letters{'H', 'K'}));
  EXPECT_EQ(bus.maskOf(drive(0)), bit('H') | bit('K'));
  EXPECT_EQ(bus.driveAt('h'), drive(0));
}

TEST_F(EmulatedBusTest, BadAttachmentsAreRefusedAndChangeNothing) {
  struct Case {
    const char* name;
    Letters letters;  // empty: use volumes
    unsigned volumes;
  };
  const Case cases[] = {
      {"no volume", {}, 0},
      {"three volumes", {}, 3},
      {"three letters", {'H', 'I', 'J'}, 0},
      {"not a letter", {'1'}, 0},
      {"same letter twice", {'H', 'h'}, 0},
      {"taken letter", {'G', 'E'}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEmuDevicePort port;
    CEmulatedBus bus(port);
    bus.attach(drive(0), Letters{'E'});
    if (c.letters.empty()) {
      EXPECT_THROW(bus.plugIn(drive(1), c.volumes), std::invalid_argument);
    } else {
      EXPECT_THROW(bus.plugIn(drive(1), c.letters), std::invalid_argument);
    }
    EXPECT_TRUE(bus.lettersOf(drive(1)).empty());
    EXPECT_TRUE(bus.events().empty());
    EXPECT_EQ(bus.driveAt('E'), drive(0));
    EXPECT_EQ(bus.driveAt('G'), nullptr);
  }
}

TEST_F(EmulatedBusTest, AttachingADriveTwiceIsRefused) {
  CEmulatedBus bus(port_);
  bus.plugIn(drive(0));
  EXPECT_THROW(bus.plugIn(drive(0)), std::invalid_argument);
  EXPECT_THROW(bus.attach(drive(0), Letters{'Q'}), std::invalid_argument);
  EXPECT_EQ(bus.lettersOf(drive(0)), Letters{'E'});
  EXPECT_EQ(bus.events().size(), 1u);
}

TEST_F(EmulatedBusTest, RunningOutOfLettersIsAnError) {
  CEmulatedBus bus(port_);
  bus.setFirstLetter('Y');
  bus.attach(drive(0), 1);
  EXPECT_THROW(bus.attach(drive(1), 2), std::runtime_error);
  EXPECT_EQ(bus.attach(drive(1), 1), Letters{'Z'});
  EXPECT_THROW(bus.attach(drive(2), 1), std::runtime_error);
  EXPECT_THROW(bus.setFirstLetter('@'), std::invalid_argument);
}

TEST_F(EmulatedBusTest, PlugInRoutesTheLettersAndAnnouncesTheArrival) {
  CEmulatedBus bus(port_);
  EXPECT_EQ(openError('E'), kErrorFileNotFound);
  const Letters letters = bus.plugIn(drive(0), 2);
  ASSERT_EQ(letters, (Letters{'E', 'F'}));
  EXPECT_EQ(reachedThrough('E'), drive(0));
  EXPECT_EQ(reachedThrough('f'), drive(0));
  bus.plugIn(drive(1));
  EXPECT_EQ(reachedThrough('G'), drive(1));
  EXPECT_EQ(bus.events(), (std::vector<BusEvent>{{true, bit('E') | bit('F'), drive(0)},
                                                 {true, bit('G'), drive(1)}}));
  EXPECT_TRUE(bus.isPresent(drive(0)));
}

TEST_F(EmulatedBusTest, AttachRoutesWithoutAnnouncing) {
  CEmulatedBus bus(port_);
  bus.attach(drive(0));
  EXPECT_EQ(reachedThrough('E'), drive(0));
  EXPECT_TRUE(bus.events().empty());
}

TEST_F(EmulatedBusTest, UnplugUnroutesAnnouncesAndFreesTheLetters) {
  CEmulatedBus bus(port_);
  bus.plugIn(drive(0), 2);
  bus.plugIn(drive(1));
  bus.clearEvents();
  bus.unplug(drive(0));
  EXPECT_EQ(openError('E'), kErrorFileNotFound);
  EXPECT_EQ(openError('F'), kErrorFileNotFound);
  EXPECT_EQ(reachedThrough('G'), drive(1));
  EXPECT_EQ(bus.events(), (std::vector<BusEvent>{{false, bit('E') | bit('F'), drive(0)}}));
  EXPECT_TRUE(bus.lettersOf(drive(0)).empty());
  EXPECT_FALSE(bus.isPresent(drive(0)));
  EXPECT_EQ(bus.driveAt('E'), nullptr);
  // The freed letters are handed out again, lowest first.
  EXPECT_EQ(bus.plugIn(drive(2)), Letters{'E'});
  EXPECT_EQ(bus.plugIn(drive(3), 2), (Letters{'F', 'H'}));
  EXPECT_EQ(reachedThrough('H'), drive(3));
  // A drive that is not on the bus is ignored.
  bus.clearEvents();
  bus.unplug(drive(0));
  EXPECT_TRUE(bus.events().empty());
}

TEST_F(EmulatedBusTest, AspiAdaptersFollowTheDrives) {
  CEmulatedBus bus(port_, &aspi_);
  bus.plugIn(drive(0));
  bus.plugIn(drive(1));
  EXPECT_EQ(bus.adapterOf(drive(0)), 1);
  EXPECT_EQ(bus.adapterOf(drive(1)), 2);
  EXPECT_EQ(reachedAt(1), drive(0));
  EXPECT_EQ(reachedAt(2), drive(1));
  bus.unplug(drive(0));
  EXPECT_EQ(reachedAt(1), nullptr);
  EXPECT_EQ(bus.adapterOf(drive(0)), 0);
  bus.plugIn(drive(2));
  EXPECT_EQ(bus.adapterOf(drive(2)), 1);
  EXPECT_EQ(reachedAt(1), drive(2));
  // Without an ASPI target nothing is given out.
  CEmuDevicePort other;
  CEmulatedBus plain(other);
  plain.plugIn(drive(3));
  EXPECT_EQ(plain.adapterOf(drive(3)), 0);
}

TEST_F(EmulatedBusTest, DetachAndReturnComesBackWithTheSameLettersAndAdapter) {
  CEmulatedBus bus(port_, &aspi_);
  bus.plugIn(drive(0), 2);
  bus.clearEvents();
  // What a listener sees at each announcement: can it open the volume yet?
  std::vector<std::pair<bool, uint32_t>> seen;
  std::mutex seenMutex;
  bus.broadcaster().subscribe([&](bool arrival, uint32_t mask) {
    const uint32_t error = openError(lowestLetter(mask));
    std::lock_guard<std::mutex> lock(seenMutex);
    seen.emplace_back(arrival, error);
  });
  bus.detachAndReturn(drive(0), 150ms);
  // Away: the letters stay the drive's, but nothing reaches it.
  EXPECT_EQ(openError('E'), kErrorFileNotFound);
  EXPECT_EQ(openError('F'), kErrorFileNotFound);
  EXPECT_EQ(reachedAt(1), nullptr);
  EXPECT_FALSE(bus.isPresent(drive(0)));
  EXPECT_EQ(bus.lettersOf(drive(0)), (Letters{'E', 'F'}));
  EXPECT_EQ(bus.driveAt('F'), drive(0));
  EXPECT_EQ(bus.plugIn(drive(1)), Letters{'G'});  // the away drive's letters are not free
  EXPECT_THROW(bus.detachAndReturn(drive(0), 1ms), std::logic_error);

  ASSERT_TRUE(bus.waitForEvents(3, kPatience));
  const uint32_t mask = bit('E') | bit('F');
  EXPECT_EQ(bus.events(),
            (std::vector<BusEvent>{
                {false, mask, drive(0)}, {true, bit('G'), drive(1)}, {true, mask, drive(0)}}));
  EXPECT_TRUE(bus.isPresent(drive(0)));
  EXPECT_EQ(reachedThrough('F'), drive(0));
  EXPECT_EQ(reachedAt(1), drive(0));
  std::lock_guard<std::mutex> lock(seenMutex);
  // Gone before the removal is announced; back before the arrival is.
  EXPECT_EQ(seen, (std::vector<std::pair<bool, uint32_t>>{
                      {false, kErrorFileNotFound}, {true, 0}, {true, 0}}));
}

TEST_F(EmulatedBusTest, DetachForeverOnlyAnnouncesTheRemoval) {
  CEmulatedBus bus(port_);
  bus.plugIn(drive(0));
  bus.clearEvents();
  bus.detachForever(drive(0));
  EXPECT_FALSE(bus.waitForEvents(2, 300ms));
  EXPECT_EQ(bus.events(), (std::vector<BusEvent>{{false, bit('E'), drive(0)}}));
  EXPECT_EQ(openError('E'), kErrorFileNotFound);
  EXPECT_EQ(bus.lettersOf(drive(0)), Letters{'E'});
  EXPECT_THROW(bus.detachForever(drive(0)), std::logic_error);
  // Unplugging a drive that is away frees its letters without a second removal.
  bus.unplug(drive(0));
  EXPECT_EQ(bus.events().size(), 1u);
  EXPECT_EQ(bus.plugIn(drive(1)), Letters{'E'});
}

TEST_F(EmulatedBusTest, UnplugCancelsAPendingReturn) {
  CEmulatedBus bus(port_);
  bus.plugIn(drive(0));
  bus.clearEvents();
  bus.detachAndReturn(drive(0), 100ms);
  bus.unplug(drive(0));
  bus.plugIn(drive(1));  // takes the letter the drive would have come back on
  EXPECT_FALSE(bus.waitForEvents(3, 400ms));
  EXPECT_EQ(bus.events(),
            (std::vector<BusEvent>{{false, bit('E'), drive(0)}, {true, bit('E'), drive(1)}}));
  EXPECT_EQ(reachedThrough('E'), drive(1));
}

TEST_F(EmulatedBusTest, DestroyingTheBusWithAPendingReturnEndsAtOnce) {
  const auto start = std::chrono::steady_clock::now();
  {
    CEmulatedBus bus(port_);
    bus.plugIn(drive(0));
    bus.plugIn(drive(1));
    bus.detachAndReturn(drive(0), std::chrono::hours(1));
    bus.handleDetach(drive(1));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  // Whatever was still attached is no longer routed.
  EXPECT_EQ(openError('E'), kErrorFileNotFound);
  EXPECT_EQ(openError('F'), kErrorFileNotFound);
}

TEST_F(EmulatedBusTest, DetachRequestFollowsTheDrivesReattachBehaviour) {
  struct Case {
    const char* name;
    bool set;  // false: the default behaviour
    emu::ReattachBehaviour behaviour;
    bool returns;
  };
  const Case cases[] = {
      {"back after a delay", true, {false, 50ms}, true},
      {"never back", true, {true, 50ms}, false},
      {"default comes back", false, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEmuDevicePort port;
    CEmulatedBus bus(port);
    bus.plugIn(drive(0));
    if (c.set) bus.setReattachBehaviour(drive(0), c.behaviour);
    bus.clearEvents();
    bus.handleDetach(drive(0));
    ASSERT_TRUE(bus.waitForEvents(1, kPatience));
    EXPECT_EQ(bus.events().front(), (BusEvent{false, bit('E'), drive(0)}));
    if (c.returns) {
      ASSERT_TRUE(bus.waitForEvents(2, kPatience));
      EXPECT_EQ(bus.events().back(), (BusEvent{true, bit('E'), drive(0)}));
      EXPECT_TRUE(bus.isPresent(drive(0)));
    } else {
      EXPECT_FALSE(bus.waitForEvents(2, 300ms));
      EXPECT_FALSE(bus.isPresent(drive(0)));
    }
  }
}

TEST_F(EmulatedBusTest, TheDetachSubCodeTakesTheDriveOffTheBusAndBack) {
  CEmuDevicePort port;
  CEmulatedBus bus(port);
  bus.plugIn(drive(0));
  bus.setReattachBehaviour(drive(0), {false, 50ms});
  bus.clearEvents();
  // 1000, 40000 and the boot flag, as the host sends them.
  std::vector<uint8_t> block = {0xE8, 0x03, 0, 0, 0x40, 0x9C, 0, 0, 1, 0, 0, 0};
  const std::vector<uint8_t> cdb = raw::cdb::vendor(0x0048);
  EXPECT_EQ(drive(0)->execute(cdb.data(), cdb.size(), block.data(), 12, false).status,
            emu::kStatusGood);
  ASSERT_TRUE(bus.waitForEvents(2, kPatience));
  EXPECT_EQ(bus.events(),
            (std::vector<BusEvent>{{false, bit('E'), drive(0)}, {true, bit('E'), drive(0)}}));
  // Once unplugged the drive no longer answers to this bus.
  bus.unplug(drive(0));
  bus.clearEvents();
  EXPECT_EQ(drive(0)->execute(cdb.data(), cdb.size(), block.data(), 12, false).status,
            emu::kStatusGood);
  EXPECT_FALSE(bus.waitForEvents(1, 200ms));
}

TEST_F(EmulatedBusTest, DetachRequestForADriveNotOnTheBusIsIgnored) {
  CEmulatedBus bus(port_);
  bus.handleDetach(drive(0));
  bus.plugIn(drive(1));
  bus.detachForever(drive(1));
  bus.clearEvents();
  bus.handleDetach(drive(1));  // already away
  EXPECT_FALSE(bus.waitForEvents(1, 200ms));
  EXPECT_THROW(bus.setReattachBehaviour(drive(0), {}), std::invalid_argument);
}

TEST_F(EmulatedBusTest, ListenerMayQueryTheBusWhileTheReturnIsAnnounced) {
  // The return is announced from the background thread; a listener there that
  // asks the bus about the drive must not stall it.
  CEmulatedBus bus(port_);
  bus.plugIn(drive(0));
  std::vector<uint32_t> masks;
  std::mutex masksMutex;
  bus.broadcaster().subscribe([&](bool arrival, uint32_t) {
    if (!arrival) return;
    const uint32_t m = bus.maskOf(bus.driveAt('E'));
    std::lock_guard<std::mutex> lock(masksMutex);
    masks.push_back(m);
  });
  bus.clearEvents();
  bus.detachAndReturn(drive(0), 10ms);
  ASSERT_TRUE(bus.waitForEvents(2, kPatience));
  std::lock_guard<std::mutex> lock(masksMutex);
  EXPECT_EQ(masks, std::vector<uint32_t>{bit('E')});
}

}  // namespace
