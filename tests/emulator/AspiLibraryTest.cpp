// The emulated ASPI library as the Windows ME transport meets it: loaded by its
// bare name, entry points found by their undecorated names, and every request
// routed to the test's own emulated bus.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "CommandBlocks.h"
#include "RawBlock.h"
#include "emulator/EmuAspiLibrary.h"
#include "emulator/EmuAspiTarget.h"
#include "emulator/EmulatedDrive.h"

namespace {

struct LibraryDeleter {
  void operator()(HMODULE m) const { FreeLibrary(m); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

template <typename Fn>
Fn entry(HMODULE m, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
}

class AspiLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    library.reset(LoadLibraryA(emu::kAspiLibraryName));
    ASSERT_TRUE(library) << "wnaspi32.dll not found next to the test program, error "
                         << GetLastError();
    send = entry<pdk::SendAspi32CommandFn>(library.get(), emu::kAspiSendName);
    support = entry<pdk::GetAspi32SupportInfoFn>(library.get(), emu::kAspiSupportName);
    setTarget = entry<emu::AspiSetTargetFn>(library.get(), emu::kAspiSetTargetName);
    ASSERT_NE(send, nullptr);
    ASSERT_NE(support, nullptr);
    ASSERT_NE(setTarget, nullptr) << "loaded some other ASPI library than the emulated one";
  }
  void TearDown() override {
    if (setTarget) setTarget(nullptr, nullptr, nullptr);
  }

  Library library;
  pdk::SendAspi32CommandFn send = nullptr;
  pdk::GetAspi32SupportInfoFn support = nullptr;
  emu::AspiSetTargetFn setTarget = nullptr;
};

TEST_F(AspiLibraryTest, WithoutATargetThereAreNoAdaptersAndRequestsFail) {
  EXPECT_EQ(support(), 0x0100u);
  raw::Block b(raw::srb::execSize);
  b.put8(raw::srb::cmd, 2);
  EXPECT_EQ(send(b.data()), 4u);
  EXPECT_EQ(b.get8(raw::srb::status), 4);
}

TEST_F(AspiLibraryTest, RequestsReachTheInstalledTarget) {
  emu::CEmulatedDrive drive;
  emu::CEmuAspiTarget aspi;
  aspi.attach(0, 1, &drive);
  setTarget(&emu::CEmuAspiTarget::sendThunk, &emu::CEmuAspiTarget::supportThunk, &aspi);

  EXPECT_EQ(support(), 0x0101u);
  raw::Block ha(raw::srb::haInquirySize);
  EXPECT_EQ(send(ha.data()), 1u);
  EXPECT_EQ(ha.get8(raw::srb::haCount), 1);

  std::vector<uint8_t> data(128, 0xAA);
  raw::Block b(raw::srb::execSize);
  const std::vector<uint8_t> cdb = raw::cdb::inquiry(128);
  b.put8(raw::srb::cmd, 2);
  b.put8(raw::srb::flags, 0x09);
  b.put8(raw::srb::target, 1);
  b.put32(raw::srb::bufLen, 128);
  b.putPtr(raw::srb::bufPointer, data.data());
  b.put8(raw::srb::senseLen, 14);
  b.put8(raw::srb::cdbLen, 6);
  b.putBytes(raw::srb::cdb, cdb);
  EXPECT_EQ(send(b.data()), 1u);
  EXPECT_EQ(std::string(data.begin() + 8, data.begin() + 15), "VANTREL");
  ASSERT_EQ(drive.commandLog().size(), 1u);
  EXPECT_EQ(drive.commandLog()[0].cdb, cdb);
  EXPECT_EQ(aspi.requests().size(), 2u);

  setTarget(nullptr, nullptr, nullptr);
  EXPECT_EQ(support(), 0x0100u);
  EXPECT_EQ(send(b.data()), 4u);
  EXPECT_EQ(drive.commandLog().size(), 1u);
}

}  // namespace
