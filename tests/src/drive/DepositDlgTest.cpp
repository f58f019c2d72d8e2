// The login dialog and the logout window on an emulated drive whose privacy
// zone was set up through the SDK: login shows the hint, counts wrong
// passwords and enters the zone with the right one; logout brings the public
// partition back with no window shown; a busy drive tells why either way.
#include "DepositLoginDlg.h"
#include "DepositLogoutDlg.h"

#include <gtest/gtest.h>

#include <cstring>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "ExplorerWindow.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using drivetest::kZoneLetter;

constexpr char kPassword[] = "open sesame";
constexpr int kPublic = 0;
constexpr int kSafe = 2;
const char kBusy[] =
    "The Tovik Drive is currently in use by another application. Close all applications and "
    "documents and try again";

class DepositDlgTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    emu::DriveConfig config = drivetest::DriveConfig("0F3B27220041");
    config.sectorCount = 8192;
    config.allocationUnitSectors = 1024;
    drive = &MakeDrive(config);
    // On a letter of its own: the switch changes what the volume shows.
    const int id = PlugInserted(*drive, {kZoneLetter});
    ASSERT_GE(id, 0);
    ASSERT_TRUE(device.attachDevice(manager->GetProxy(id).DeviceInfo()));
    DepositParams zone;
    std::strcpy(zone.password, kPassword);
    std::strcpy(zone.hint, Hint());
    zone.safeBytes = 1024 * 1024;
    ASSERT_EQ(device.deposit().configure(zone, nullptr, true), pdk::kOk);
    ASSERT_EQ(Visible(), kPublic);
  }
  virtual const char* Hint() const { return "the usual"; }
  void LogIn() {
    ASSERT_EQ(device.deposit().login(kPassword, nullptr, true), pdk::kOk);
    ASSERT_EQ(Visible(), kSafe);
  }
  void TearDown() override {
    device.detachDevice();
    DriveTest::TearDown();
  }
  int Visible() {
    int state = -1;
    EXPECT_EQ(device.getVisiblePartition(kZoneLetter, state), pdk::kOk);
    return state;
  }

  emu::CEmulatedDrive* drive = nullptr;
  CPDK device;
};

TEST_F(DepositDlgTest, BringsThePublicPartitionBack) {
  LogIn();
  BoxAnswerer boxes;
  CDepositLogoutDlg dialog;
  dialog.SetDevice(&device);
  EXPECT_EQ(dialog.Run(), IDOK);
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
  EXPECT_EQ(Visible(), kPublic);
  EXPECT_FALSE(drive->state().safePresented);
}

TEST_F(DepositDlgTest, ABusyDriveTellsWhyAndStaysInItsZone) {
  if (!drivetest::SdkCanSeeABusyDrive()) GTEST_SKIP() << "the SDK never sees a busy drive here";
  LogIn();
  BoxAnswerer boxes;
  {
    drivetest::BusyDrive busy(port, *drive, kZoneLetter);
    CDepositLogoutDlg dialog;
    dialog.SetDevice(&device);
    EXPECT_EQ(dialog.Run(), IDCANCEL);
  }
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].caption, " Error");
  EXPECT_EQ(boxes.boxes()[0].text, kBusy);
  EXPECT_EQ(boxes.boxes()[0].button, "OK");
  EXPECT_EQ(Visible(), kSafe);
  EXPECT_TRUE(drive->state().safePresented);
}

// Presses OK with `password` in the field each time the dialog takes input
// again after a box, `presses` times in all, then Cancel.
class LoginScript {
 public:
  LoginScript(CDepositLoginDlg& dialog, const BoxAnswerer& boxes, const char* password,
              size_t presses)
      : dialog_(dialog), boxes_(boxes), password_(password), presses_(presses) {
    self() = this;
    timer_ = SetTimer(nullptr, 0, 20, &LoginScript::Tick);
  }
  ~LoginScript() {
    KillTimer(nullptr, timer_);
    self() = nullptr;
  }
  LoginScript(const LoginScript&) = delete;
  LoginScript& operator=(const LoginScript&) = delete;
  std::string hint;
  std::string typed;  // what sixteen typed characters left in the field

 private:
  static LoginScript*& self() {
    static LoginScript* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    LoginScript* s = self();
    HWND window = s == nullptr ? nullptr : s->dialog_.GetSafeHwnd();
    if (window == nullptr || !IsWindowVisible(window) || !IsWindowEnabled(window)) return;
    if (s->pressed_ != s->boxes_.boxes().size()) return;
    HWND field = GetDlgItem(window, IDC_PASSWORD_EDIT);
    if (s->pressed_ == 0) {
      s->hint = drivetest::WindowText(GetDlgItem(window, IDC_HINT_TXT));
      Type(field, "abcdefghijklmnop");
      s->typed = drivetest::WindowText(field);
    }
    if (s->pressed_ == s->presses_) {
      PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
      ++s->pressed_;
      return;
    }
    // What was typed before goes as a user would take it away: all of it
    // selected, then typed over.
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, WM_CHAR, VK_BACK, 0);
    Type(field, s->password_);
    ++s->pressed_;
    PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
  }
  static void Type(HWND field, const char* text) {
    for (const char* c = text; *c != '\0'; ++c)
      SendMessageA(field, WM_CHAR, static_cast<unsigned char>(*c), 0);
  }

  CDepositLoginDlg& dialog_;
  const BoxAnswerer& boxes_;
  const char* password_;
  size_t presses_;
  size_t pressed_ = 0;
  UINT_PTR timer_ = 0;
};

TEST_F(DepositDlgTest, LoginShowsTheHintAndEntersTheZoneWithTheRightPassword) {
  BoxAnswerer boxes;
  CDepositLoginDlg dialog;
  dialog.SetDevice(&device);
  LoginScript script(dialog, boxes, kPassword, 1);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(script.hint, "the usual");
  EXPECT_EQ(script.typed, "abcdefghijklmno");
  EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
  EXPECT_EQ(Visible(), kSafe);
  EXPECT_TRUE(drive->state().safePresented);
}

TEST_F(DepositDlgTest, FourWrongPasswordsKeepTheDialogTheFifthEndsIt) {
  BoxAnswerer boxes;
  CDepositLoginDlg dialog;
  dialog.SetDevice(&device);
  LoginScript script(dialog, boxes, "not it", 6);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(boxes.boxes().size(), 5u);
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(boxes.boxes()[i].caption, " Error");
    EXPECT_EQ(boxes.boxes()[i].text, "Incorrect password. Click OK and try again.");
    EXPECT_EQ(boxes.boxes()[i].button, "Try Again");
  }
  EXPECT_EQ(boxes.boxes()[4].text,
            "You have provided an incorrect password for the 5th time. In order to login you have "
            "to remove and then reinsert the Tovik Drive.");
  EXPECT_EQ(boxes.boxes()[4].button, "OK");
  EXPECT_EQ(Visible(), kPublic);
}

TEST_F(DepositDlgTest, LoginOnABusyDriveTellsWhyAndKeepsTheDialog) {
  if (!drivetest::SdkCanSeeABusyDrive()) GTEST_SKIP() << "the SDK never sees a busy drive here";
  BoxAnswerer boxes;
  {
    drivetest::BusyDrive busy(port, *drive, kZoneLetter);
    CDepositLoginDlg dialog;
    dialog.SetDevice(&device);
    LoginScript script(dialog, boxes, kPassword, 1);
    // Cancel after the box: the dialog was still there to take it.
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  }
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text, kBusy);
  EXPECT_EQ(boxes.boxes()[0].button, "Try Again");
  EXPECT_EQ(Visible(), kPublic);
}

class DepositNoHintTest : public DepositDlgTest {
 protected:
  const char* Hint() const override { return ""; }
};

TEST_F(DepositNoHintTest, LoginShowsAnEmptyHintLine) {
  BoxAnswerer boxes;
  CDepositLoginDlg dialog;
  dialog.SetDevice(&device);
  LoginScript script(dialog, boxes, kPassword, 1);
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(script.hint, "");
  EXPECT_EQ(Visible(), kSafe);
}

// A drive that presents itself as a fixed disk, on two Wine drives: its
// first volume is the public partition, its second shows the dummy partition
// or, once logged in, the safe one; every switch takes the drive off the bus
// and back, which the SDK hides from its listeners.
constexpr uint32_t kUnitSectors = 64 * 32;  // the drive's unit: its two factors
constexpr int kDummy = 1;

class FixedDiskDepositTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    for (char letter : kLetters) {
      ASSERT_NE(GetFileAttributesA(drivetest::Root(letter).c_str()), INVALID_FILE_ATTRIBUTES)
          << "the run links drive " << letter << ": to a folder of its own";
      drivetest::EmptyFolder(drivetest::Root(letter));
    }
    emu::DriveConfig config = drivetest::DriveConfig("0F3B27220051");
    config.removable = false;
    config.sectorCount = 8 * kUnitSectors;
    drive = &MakeDrive(config);
    id = PlugInserted(*drive, {kLetters[0], kLetters[1]});
    ASSERT_GE(id, 0);
    ASSERT_TRUE(device.attachDevice(manager->GetProxy(id).DeviceInfo()));
    int removable = -1;
    ASSERT_EQ(device.isRemovable(removable), pdk::kOk);
    ASSERT_EQ(removable, 0);
    DepositParams zone;
    std::strcpy(zone.password, kPassword);
    std::strcpy(zone.hint, "the usual");
    std::strcpy(zone.publicLabel, "PUBLIC");
    std::strcpy(zone.dummyLabel, "DUMMY");
    std::strcpy(zone.safeLabel, "SAFE");
    zone.safeBytes = 2 * kUnitSectors * 512;
    zone.dummyBytes = kUnitSectors * 512;
    ASSERT_EQ(device.deposit().configure(zone, nullptr, true), pdk::kOk);
    ExpectPresented(false);
    window.clear();
  }
  void TearDown() override {
    device.detachDevice();
    DriveTest::TearDown();
  }
  // Which partition each volume shows, asked of the SDK and read from the
  // marker in the volume's root.
  void ExpectPresented(bool safe) {
    bool inSafe = !safe;
    EXPECT_EQ(device.deposit().isInSafePartition(inSafe), pdk::kOk);
    EXPECT_EQ(inSafe, safe);
    EXPECT_EQ(drive->state().safePresented, safe);
    EXPECT_EQ(Visible(kLetters[0]), kPublic);
    EXPECT_EQ(Visible(kLetters[1]), safe ? kSafe : kDummy);
  }
  int Visible(char letter) {
    int state = -1;
    EXPECT_EQ(device.getVisiblePartition(letter, state), pdk::kOk) << letter;
    return state;
  }
  // What the drive manager heard of this drive going away while it switched.
  std::vector<drivetest::Posted> Removals() const {
    std::vector<drivetest::Posted> removals;
    for (const drivetest::Posted& p : window.messages())
      if (p.message == WM_PLUNDA_REMOVE) removals.push_back(p);
    return removals;
  }

  static constexpr char kLetters[2] = {drivetest::kFixedDiskLetter,
                                       drivetest::kFixedDiskSecondLetter};
  emu::CEmulatedDrive* drive = nullptr;
  int id = -1;
  CPDK device;
};

TEST_F(FixedDiskDepositTest, TheDialogsSwitchOnTheReattachThreadAndStayResponsive) {
  {
    // Explorer windows on both volumes: the login closes them first.
    drivetest::ExplorerWindow onPublic(drivetest::Root(kLetters[0]));
    drivetest::ExplorerWindow onSecond(drivetest::Root(kLetters[1]));
    ASSERT_TRUE(onPublic.Showing());
    ASSERT_TRUE(onSecond.Showing());
    BoxAnswerer boxes;
    CDepositLoginDlg dialog;
    dialog.SetDevice(&device);
    LoginScript script(dialog, boxes, kPassword, 1);
    drivetest::AnswerWatch watch(bus, *drive, [&] { return dialog.GetSafeHwnd(); });
    drivetest::DepartureCheck departure(bus, {&onPublic, &onSecond});
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(script.hint, "the usual");
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
    EXPECT_GT(watch.AnsweredWhileAway(), 0) << "the drive never left, or the dialog never answered";
    EXPECT_EQ(watch.Unanswered(), 0);
    EXPECT_GT(departure.Departures(), 0);
    EXPECT_EQ(departure.OpenAtDeparture(), 0);
    EXPECT_TRUE(drivetest::PumpUntil([&] { return onPublic.Gone() && onSecond.Gone(); }));
  }
  ExpectPresented(true);
  EXPECT_TRUE(Removals().empty()) << ::testing::PrintToString(Removals());

  window.clear();
  {
    drivetest::ExplorerWindow onSafe(drivetest::Root(kLetters[1]));
    ASSERT_TRUE(onSafe.Showing());
    BoxAnswerer boxes;
    CDepositLogoutDlg dialog;
    dialog.SetDevice(&device);
    drivetest::AnswerWatch watch(bus, *drive, [&] { return dialog.GetSafeHwnd(); });
    drivetest::DepartureCheck departure(bus, {&onSafe});
    EXPECT_EQ(dialog.Run(), IDOK);
    EXPECT_TRUE(boxes.boxes().empty()) << boxes.boxes().front().text;
    EXPECT_GT(watch.AnsweredWhileAway(), 0) << "the drive never left, or the window never answered";
    EXPECT_EQ(watch.Unanswered(), 0);
    EXPECT_GT(departure.Departures(), 0);
    EXPECT_EQ(departure.OpenAtDeparture(), 0);
    EXPECT_TRUE(drivetest::PumpUntil([&] { return onSafe.Gone(); }));
  }
  ExpectPresented(false);
  EXPECT_TRUE(Removals().empty()) << ::testing::PrintToString(Removals());
}

TEST_F(FixedDiskDepositTest, TheSdkSwitchesOnTheCallersThreadWhenAskedTo) {
  // Synchronous: the drive is back with its new partition when the call returns.
  const size_t eventsBefore = bus.events().size();
  ASSERT_EQ(device.deposit().login(kPassword, nullptr, true), pdk::kOk);
  EXPECT_GT(bus.events().size(), eventsBefore) << "the drive did not leave the bus";
  ExpectPresented(true);
  ASSERT_EQ(device.deposit().logout(nullptr, true), pdk::kOk);
  ExpectPresented(false);
  EXPECT_TRUE(Removals().empty()) << ::testing::PrintToString(Removals());
}

// A fixed disk smaller than 16,000 sectors needs four of its units for a safe
// partition; one of 4 MB in units of 1 MB therefore holds no zone at all: the
// request is refused before the drive is touched.
using FixedDiskLimitsTest = DriveTest;

TEST_F(FixedDiskLimitsTest, AZoneTheDriveCannotHoldIsRefusedBeforeTheDriveChanges) {
  emu::DriveConfig config = drivetest::DriveConfig("0F3B27220052");
  config.removable = false;
  config.sectorCount = 4 * kUnitSectors;
  emu::CEmulatedDrive& small = MakeDrive(config);
  const int id = PlugInserted(small, {drivetest::kFixedDiskLetter, drivetest::kFixedDiskSecondLetter});
  ASSERT_GE(id, 0);
  CPDK device;
  ASSERT_TRUE(device.attachDevice(manager->GetProxy(id).DeviceInfo()));
  int64_t minSafe = 0, minDummy = 0;
  ASSERT_EQ(device.deposit().minPartitionSize(minSafe, minDummy), pdk::kOk);
  EXPECT_EQ(minSafe, 4 * kUnitSectors * 512);
  EXPECT_EQ(minDummy, 2 * kUnitSectors * 512);
  const struct {
    int32_t safeBytes;
    int code;
  } cases[] = {
      {int32_t(kUnitSectors * 512), pdk::kBadParameters},  // below the least safe partition
      {int32_t(4 * kUnitSectors * 512), pdk::kTooSmallToFormat},  // no public partition left
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.safeBytes);
    DepositParams zone;
    std::strcpy(zone.password, kPassword);
    zone.safeBytes = c.safeBytes;
    EXPECT_EQ(device.deposit().configure(zone, nullptr, true), c.code);
    EXPECT_EQ(small.state().safeUnits, 0u);
  }
  device.detachDevice();
}

}  // namespace
