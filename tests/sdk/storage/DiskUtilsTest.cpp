#include "DiskUtils.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "CurrentDirectory.h"
#include "DevicePort.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "NTConnection.h"
#include "OSKind.h"
#include "TraceCapture.h"

namespace {

constexpr uint32_t kLock = 0x00090018;
constexpr uint32_t kUnlock = 0x0009001C;
constexpr uint32_t kDismount = 0x00090020;

const std::string kWindows = "C:\\WINDOWS";

uint32_t mask(const char* letters) {
  uint32_t m = 0;
  for (const char* p = letters; *p; ++p) m |= 1u << (*p - 'A');
  return m;
}

DeviceParams paramsFor(const char* letters) {
  DeviceParams p;
  p.driveMask = mask(letters);
  pdk::setText(p.serial, "0F3B27000042");
  p.capacity = 2 * 1024 * 1024;
  return p;
}

// A current directory the lock may move around, without touching the process's.
class TestDirectory : public pdkos::ICurrentDirectory {
 public:
  bool get(char* buffer, size_t size) override {
    if (current.size() + 1 > size) return false;
    std::memcpy(buffer, current.c_str(), current.size() + 1);
    return true;
  }
  bool set(const char* path) override {
    current = path;
    moves.emplace_back(path);
    return true;
  }
  bool windowsDirectory(char* buffer, size_t size) override {
    if (kWindows.size() + 1 > size) return false;
    std::memcpy(buffer, kWindows.c_str(), kWindows.size() + 1);
    return true;
  }

  std::string current = "D:\\projects";
  std::vector<std::string> moves;
};

// A volume control code and the volume it went to, as the port saw it.
struct Sent {
  uint32_t code;
  std::string volume;
  bool succeeded;
  bool operator==(const Sent& o) const {
    return code == o.code && volume == o.volume && succeeded == o.succeeded;
  }
};

std::ostream& operator<<(std::ostream& os, const Sent& s) {
  return os << std::hex << s.code << std::dec << "@" << s.volume << (s.succeeded ? "" : "(failed)");
}

std::string vol(char letter) { return std::string("\\\\.\\") + letter + ":"; }

class DiskUtilsTest : public ::testing::Test {
 protected:
  DiskUtilsTest() : drive(config()) {
    for (char letter : {'E', 'F', 'G', 'Z'}) port.attach(letter, &drive);
    pdk::setDevicePort(&port);
    setOSKindForTesting(pdk::kOSWinXP);
  }
  ~DiskUtilsTest() override {
    setOSKindForTesting(kOSKindNotOverridden);
    pdk::setDevicePort(nullptr);
  }

  static emu::DriveConfig config() {
    emu::DriveConfig c;
    c.serial = "0F3B27000042";
    c.sectorCount = 4096;
    return c;
  }

  std::vector<Sent> sent() const {
    std::vector<Sent> out;
    for (const auto& r : port.controls()) out.push_back({r.code, r.volume, r.succeeded});
    return out;
  }

  emu::CEmulatedDrive drive;
  emu::CEmuDevicePort port;
  CNTConnection nt;
  TestDirectory dir;
  TraceCapture trace;
};

const char* const kLockFailure = "ERROR CDiskUtils:unable to lock volume %c\n";

std::string lockFailureLine(char letter) {
  char line[64];
  std::snprintf(line, sizeof line, kLockFailure, letter);
  return line;
}

TEST_F(DiskUtilsTest, OnTheNtFamilyEachVolumeIsLockedAndUnlockedInTurn) {
  for (int kind : {pdk::kOSWinNT4, pdk::kOSWin2000, pdk::kOSWinXP}) {
    SCOPED_TRACE(kind);
    setOSKindForTesting(kind);
    port.clearControls();
    CDiskUtils utils(nt, true, dir);
    const DeviceParams params = paramsFor("EFG");

    CDeviceHandle* last = utils.openAndLockAll(params);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(sent(),
              (std::vector<Sent>{
                  {kLock, vol('E'), true}, {kLock, vol('F'), true}, {kLock, vol('G'), true}}));
    for (char letter : {'E', 'F', 'G'}) EXPECT_TRUE(port.isLocked(letter)) << letter;
    EXPECT_EQ(port.openHandleCount(), 3u);
    // The last letter's handle, carrying the drive's record on its own path.
    EXPECT_STREQ(last->params().path, "\\\\.\\G:");
    EXPECT_EQ(last->params().driveMask, params.driveMask);
    EXPECT_STREQ(last->params().serial, "0F3B27000042");

    port.clearControls();
    EXPECT_TRUE(utils.unlockAll(params));
    EXPECT_EQ(sent(), (std::vector<Sent>{{kUnlock, vol('E'), true},
                                         {kUnlock, vol('F'), true},
                                         {kUnlock, vol('G'), true}}));
    for (char letter : {'E', 'F', 'G'}) EXPECT_FALSE(port.isLocked(letter)) << letter;
    EXPECT_EQ(port.openHandleCount(), 0u);
  }
}

TEST_F(DiskUtilsTest, DismountAllWorksUpwardAndStopsAtTheFirstFailure) {
  struct Case {
    const char* what;
    const char* letters;
    char refused;  // a volume whose lock is refused, or 0
    bool expected;
    std::vector<Sent> codes;
  } cases[] = {
      {"all dismount",
       "GE",
       0,
       true,
       {{kLock, vol('E'), true},
        {kDismount, vol('E'), true},
        {kUnlock, vol('E'), true},
        {kLock, vol('G'), true},
        {kDismount, vol('G'), true},
        {kUnlock, vol('G'), true}}},
      {"F cannot be locked",
       "EFG",
       'F',
       false,
       {{kLock, vol('E'), true},
        {kDismount, vol('E'), true},
        {kUnlock, vol('E'), true},
        {kLock, vol('F'), false}}},
      {"D cannot be opened", "DEG", 0, false, {}},
      {"Z is refused",
       "EZ",
       0,
       false,
       {{kLock, vol('E'), true}, {kDismount, vol('E'), true}, {kUnlock, vol('E'), true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.clearControls();
    if (c.refused) port.setLockRefused(c.refused, true);
    {
      CDiskUtils utils(nt, false, dir);
      EXPECT_EQ(utils.dismountAll(paramsFor(c.letters)), c.expected);
      EXPECT_EQ(sent(), c.codes);
      // Nothing opened for the dismount alone outlives it, even without release.
    }
    EXPECT_EQ(port.openHandleCount(), 0u);
    if (c.refused) port.setLockRefused(c.refused, false);
  }
}

TEST_F(DiskUtilsTest, DismountUsesTheHandleAlreadyHeld) {
  CDiskUtils utils(nt, true, dir);
  CDeviceHandle* handle = utils.openAndLockVolume('E', paramsFor("E"));
  ASSERT_NE(handle, nullptr);
  port.clearControls();
  const uint64_t opens = port.openCount();

  EXPECT_TRUE(utils.dismountVolume('E'));
  EXPECT_EQ(sent(), (std::vector<Sent>{{kDismount, vol('E'), true}}));
  EXPECT_EQ(port.openCount(), opens);
  EXPECT_TRUE(handle->isOpen());
  EXPECT_TRUE(port.isLocked('E'));
}

TEST_F(DiskUtilsTest, ALetterAlreadyHeldKeepsItsHandle) {
  CDiskUtils utils(nt, true, dir);
  CDeviceHandle* first = utils.openAndLockVolume('E', paramsFor("E"));
  ASSERT_NE(first, nullptr);
  CDeviceHandle* again = utils.openAndLockVolume('E', paramsFor("EF"));
  EXPECT_EQ(again, first);
  EXPECT_EQ(first->params().driveMask, mask("EF"));
  EXPECT_EQ(port.openCount(), 1u);
  EXPECT_EQ(sent(), (std::vector<Sent>{{kLock, vol('E'), true}}));
}

TEST_F(DiskUtilsTest, UnlockAllGoesOnAfterAFailure) {
  CDiskUtils utils(nt, true, dir);
  // E is held but not locked (opened as on 98 SE), F not held at all: both fail.
  setOSKindForTesting(pdk::kOSWin98SE);
  ASSERT_NE(utils.openAndLockVolume('E', paramsFor("E")), nullptr);
  setOSKindForTesting(pdk::kOSWinXP);
  ASSERT_NE(utils.openAndLockVolume('G', paramsFor("G")), nullptr);
  port.clearControls();

  EXPECT_FALSE(utils.unlockAll(paramsFor("EFG")));
  EXPECT_EQ(sent(), (std::vector<Sent>{{kUnlock, vol('E'), false}, {kUnlock, vol('G'), true}}));
  EXPECT_FALSE(port.isLocked('G'));
  EXPECT_EQ(port.openHandleCount(), 0u);
}

TEST_F(DiskUtilsTest, OutsideTheNtFamilyNoCodeIsSentAndAllSucceeds) {
  struct Case {
    int kind;
    size_t handlesWhileHeld;  // the ME transport opens no handle at all
  } cases[] = {
      {pdk::kOSWin98, 3}, {pdk::kOSWin98SE, 3}, {pdk::kOSWinME, 0}, {pdk::kOSUnsupported, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    setOSKindForTesting(c.kind);
    port.clearControls();
    CDiskUtils utils(nt, true, dir);
    const DeviceParams params = paramsFor("EFG");
    EXPECT_TRUE(utils.dismountAll(params));
    EXPECT_EQ(port.openHandleCount(), 0u);
    EXPECT_NE(utils.openAndLockAll(params), nullptr);
    EXPECT_EQ(port.openHandleCount(), c.handlesWhileHeld);
    EXPECT_TRUE(utils.dismountVolume('F'));
    EXPECT_TRUE(utils.unlockAll(params));
    EXPECT_EQ(port.openHandleCount(), 0u);
    EXPECT_TRUE(port.controls().empty());
  }
}

TEST_F(DiskUtilsTest, OnlyLettersAToYAreHandled) {
  // Z: is attached, so only the refusal itself can keep it from being opened.
  for (char letter : {'Z', 'z', 'e', '[', '@', '\0'}) {
    SCOPED_TRACE(int(letter));
    CDiskUtils utils(nt, true, dir);
    EXPECT_EQ(utils.openAndLockVolume(letter, paramsFor("E")), nullptr);
    EXPECT_FALSE(utils.dismountVolume(letter));
    EXPECT_FALSE(utils.unlockVolume(letter));
  }
  CDiskUtils utils(nt, true, dir);
  EXPECT_EQ(utils.openAndLockAll(paramsFor("Z")), nullptr);
  // The last letter decides, even when an earlier one was locked.
  EXPECT_EQ(utils.openAndLockAll(paramsFor("EZ")), nullptr);
  EXPECT_EQ(port.openedPaths(), (std::vector<std::string>{vol('E')}));
  EXPECT_TRUE(port.isLocked('E'));
  EXPECT_EQ(trace.lines().size(), 0u);
}

TEST_F(DiskUtilsTest, AFailedLockClosesTheHandleRestoresTheDirectoryAndTraces) {
  port.setLockRefused('F', true);
  dir.current = "F:\\work";
  CDiskUtils utils(nt, true, dir);

  EXPECT_EQ(utils.openAndLockVolume('F', paramsFor("F")), nullptr);
  EXPECT_EQ(port.openCount(), 1u);
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(dir.moves, (std::vector<std::string>{kWindows, "F:\\work"}));
  EXPECT_EQ(trace.lines(), (std::vector<std::string>{lockFailureLine('F')}));
  EXPECT_FALSE(utils.unlockVolume('F'));  // nothing is held for F
}

TEST_F(DiskUtilsTest, AVolumeThatCannotBeOpenedRestoresTheDirectoryQuietly) {
  dir.current = "Q:\\";
  CDiskUtils utils(nt, true, dir);
  EXPECT_EQ(utils.openAndLockVolume('Q', paramsFor("Q")), nullptr);
  EXPECT_EQ(dir.moves, (std::vector<std::string>{kWindows, "Q:\\"}));
  EXPECT_TRUE(port.controls().empty());
  EXPECT_TRUE(trace.lines().empty());
}

TEST_F(DiskUtilsTest, TheCurrentDirectoryLeavesALockedVolumeAndComesBack) {
  struct Case {
    const char* current;
    bool moves;
  } cases[] = {
      {"E:\\work", true}, {"e:\\work\\deeper", true},   {"E:", true}, {"F:\\work", false},
      {"C:\\", false},    {"\\\\server\\share", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current);
    dir.current = c.current;
    dir.moves.clear();
    CDiskUtils utils(nt, true, dir);
    ASSERT_NE(utils.openAndLockVolume('E', paramsFor("E")), nullptr);
    EXPECT_EQ(dir.current, c.moves ? kWindows : std::string(c.current));
    EXPECT_TRUE(utils.dismountVolume('E'));
    EXPECT_EQ(dir.current, c.moves ? kWindows : std::string(c.current));
    EXPECT_TRUE(utils.unlockVolume('E'));
    EXPECT_EQ(dir.current, c.current);
    EXPECT_EQ(dir.moves.size(), c.moves ? 2u : 0u);
  }
}

TEST_F(DiskUtilsTest, TheDirectoryReturnsWithTheLetterItLayOn) {
  dir.current = "F:\\work";
  CDiskUtils utils(nt, true, dir);
  ASSERT_NE(utils.openAndLockAll(paramsFor("EFG")), nullptr);
  EXPECT_EQ(dir.current, kWindows);
  EXPECT_TRUE(utils.unlockVolume('E'));
  EXPECT_TRUE(utils.unlockVolume('G'));
  EXPECT_EQ(dir.current, kWindows);
  EXPECT_TRUE(utils.unlockVolume('F'));
  EXPECT_EQ(dir.current, "F:\\work");
}

TEST_F(DiskUtilsTest, DismountingALetterNotYetOpenLeavesNoHandle) {
  dir.current = "G:\\";
  CDiskUtils utils(nt, false, dir);
  EXPECT_TRUE(utils.dismountVolume('G'));
  EXPECT_EQ(port.openCount(), 1u);
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_FALSE(port.isLocked('G'));
  EXPECT_EQ(dir.current, "G:\\");
  EXPECT_FALSE(utils.unlockVolume('G'));  // the slot was cleared too
}

TEST_F(DiskUtilsTest, AHandleClosedBehindItsBackIsInvalid) {
  dir.current = "E:\\work";
  CDiskUtils utils(nt, true, dir);
  CDeviceHandle* handle = utils.openAndLockVolume('E', paramsFor("E"));
  ASSERT_NE(handle, nullptr);
  handle->close();
  port.clearControls();

  EXPECT_FALSE(utils.unlockVolume('E'));
  EXPECT_TRUE(port.controls().empty());
  EXPECT_EQ(dir.current, "E:\\work");

  // A fresh lock on a stale slot opens a new handle.
  handle = utils.openAndLockVolume('E', paramsFor("E"));
  ASSERT_NE(handle, nullptr);
  handle->close();
  EXPECT_TRUE(utils.dismountVolume('E'));
  EXPECT_EQ(sent(), (std::vector<Sent>{{kLock, vol('E'), true},
                                       {kLock, vol('E'), true},
                                       {kDismount, vol('E'), true},
                                       {kUnlock, vol('E'), true}}));
  EXPECT_EQ(port.openHandleCount(), 0u);
}

TEST_F(DiskUtilsTest, TheDestructorReleasesOnlyWhenAskedTo) {
  for (bool release : {true, false}) {
    SCOPED_TRACE(release);
    dir.current = "E:\\work";
    std::vector<pdk::PDKHandle> held;
    {
      CDiskUtils utils(nt, release, dir);
      for (char letter : {'E', 'G'}) {
        CDeviceHandle* handle = utils.openAndLockVolume(letter, paramsFor("EG"));
        ASSERT_NE(handle, nullptr);
        held.push_back(handle->handle());
      }
      port.clearControls();
    }
    // The directory stays where the lock put it either way.
    EXPECT_EQ(dir.current, kWindows);
    if (release) {
      EXPECT_EQ(sent(), (std::vector<Sent>{{kUnlock, vol('E'), true}, {kUnlock, vol('G'), true}}));
      EXPECT_FALSE(port.isLocked('E'));
      EXPECT_FALSE(port.isLocked('G'));
    } else {
      EXPECT_TRUE(sent().empty());
      EXPECT_EQ(port.openHandleCount(), 2u);
      EXPECT_TRUE(port.isLocked('E'));
      EXPECT_TRUE(port.isLocked('G'));
      // The test, not the process's end, puts the kept handles away.
      for (pdk::PDKHandle handle : held) port.close(handle);
      EXPECT_EQ(port.badCloseCount(), 0u);
    }
    EXPECT_EQ(port.openHandleCount(), 0u);
  }
}

TEST_F(DiskUtilsTest, UnlockHandleNeedsAnOpenLockedHandle) {
  EXPECT_TRUE(CDiskUtils::unlockHandle(nullptr));
  CDeviceHandle closed('E');
  EXPECT_TRUE(CDiskUtils::unlockHandle(&closed));
  EXPECT_TRUE(port.controls().empty());

  CDeviceHandle open('E');
  ASSERT_EQ(open.open(nt), pdk::kOk);
  EXPECT_FALSE(CDiskUtils::unlockHandle(&open));  // it holds no lock
  setOSKindForTesting(pdk::kOSWin98SE);
  EXPECT_TRUE(CDiskUtils::unlockHandle(&open));  // nothing is sent there
  EXPECT_EQ(sent(), (std::vector<Sent>{{kUnlock, vol('E'), false}}));
}

}  // namespace
