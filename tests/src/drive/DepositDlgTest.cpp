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

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using drivetest::kBusOnlyLetter;

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
    const int id = PlugInserted(*drive, {kBusOnlyLetter});
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
    EXPECT_EQ(device.getVisiblePartition(kBusOnlyLetter, state), pdk::kOk);
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
    drivetest::BusyDrive busy(port, *drive, kBusOnlyLetter);
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
      for (int i = 0; i < 16; ++i) SendMessageA(field, WM_CHAR, 'a' + i, 0);
      s->typed = drivetest::WindowText(field);
    }
    if (s->pressed_ == s->presses_) {
      PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
      ++s->pressed_;
      return;
    }
    SetWindowTextA(field, s->password_);
    ++s->pressed_;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
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
    drivetest::BusyDrive busy(port, *drive, kBusOnlyLetter);
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

}  // namespace
