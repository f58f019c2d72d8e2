// The three sync entries under Wine, as the drive view will call them: with
// the drive's volume letters and the database folder, over real folders on
// C: and on the test drive S: (T: when it comes back under another letter).
#include "SyncEntry.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "SyncDB.h"
#include "SyncDialogsTestSupport.h"
#include "SyncText.h"
#include "WinExplorer.h"
#include "support/ShellFolderOverride.h"

using syncdlgtest::BoxAnswerer;
using syncdlgtest::ParamsFor;
using syncdlgtest::WindowScript;
using synctest::kBaseTime;
using synctest::SyncTree;
using tovik::CSyncEntry;
using tovik::SyncDrive;

namespace {

const char* kWindow = "Synchronization Details";
const char* kSettings = "Synchronization Settings";
const std::string kInStep = "Your folders are synchronized";

HWND List(HWND window) { return GetDlgItem(window, IDC_ACTIONS_LIST); }
int Count(HWND window) { return int(SendMessageA(List(window), LB_GETCOUNT, 0, 0)); }

// What the sync window listed when its scan was done; then it is closed.
struct Listing {
  bool shown = false;
  std::vector<std::pair<std::string, int>> items;  // host path (or status text), kind (-1 status)
};

std::unique_ptr<WindowScript> ListAndClose(Listing& out) {
  return std::make_unique<WindowScript>(kWindow, [&out](HWND window) {
    if (Count(window) == 0) return false;
    out.shown = true;
    for (int i = 0; i < Count(window); ++i) {
      auto* action =
          reinterpret_cast<tovik::CSyncAction*>(SendMessageA(List(window), LB_GETITEMDATA, i, 0));
      char text[512] = "";
      SendMessageA(List(window), LB_GETTEXT, i, LPARAM(text));
      out.items.emplace_back(action ? action->GetHostPath() : text,
                             action ? int(action->GetKind()) : -1);
    }
    PostMessageA(GetDlgItem(window, IDC_CLOSE), BM_CLICK, 0, 0);
    return true;
  });
}

std::string DriveFieldOnDisk(const std::string& folder, const std::string& name) {
  auto db = tovik::sync::Open(folder, name, true);
  tovik::SyncLinkRecord link;
  if (!db->GetLink(link)) return std::string();
  return tovik::FieldToPath(link.driveFolder, tovik::kSyncPathUnits) + "|" +
         tovik::FieldToPath(link.hostFolder, tovik::kSyncPathUnits);
}

}  // namespace

TEST(SyncEntry, VolumeLettersComeFromTheRootsInVolumeOrder) {
  EXPECT_EQ(CSyncEntry::LettersOfRoots("F:\\,E:\\,h:\\"), "FEH");
  EXPECT_EQ(CSyncEntry::LettersOfRoots(""), "");
  EXPECT_EQ(CSyncEntry::LettersOfRoots("D:\\,E:\\,F:\\,G:\\,H:\\,I:\\,J:\\,K:\\,L:\\"), "DEFGHIJK");
}

TEST(SyncEntry, ADriveWithoutVolumesGetsNothingFromAnyEntry) {
  SyncTree tree(true);
  const SyncDrive drive{"NoVolume", "", tree.databaseFolder() + "none\\"};
  bool anyWindow = false;
  WindowScript settings(kSettings, [&](HWND) { return anyWindow = true; });
  WindowScript window(kWindow, [&](HWND) { return anyWindow = true; });
  for (auto kind : {CSyncEntry::kFolder, CSyncEntry::kDocuments, CSyncEntry::kFavorites}) {
    EXPECT_FALSE(CSyncEntry::Run(nullptr, kind, drive)) << kind;
  }
  guitest::Pump(100);
  EXPECT_FALSE(anyWindow);
  EXPECT_FALSE(SyncTree::exists(drive.databaseFolder));
}

TEST(SyncEntry, MyDocumentsAndFavoritesMakeTheDriveFolderAndTheirPairingAtOnce) {
  struct Case {
    CSyncEntry::Kind kind;
    int csidl;
    const char* value;
    const char* suffix;
    const char* driveFolder;
  } cases[] = {
      {CSyncEntry::kDocuments, CSIDL_PERSONAL, "Personal", "Doc",
       "My Profile\\Tovik USB Drive Documents\\"},
      {CSyncEntry::kFavorites, CSIDL_FAVORITES, "Favorites", "Fav",
       "My Profile\\Tovik USB Drive Favorites\\"},
  };
  for (const Case& c : cases) {
    SyncTree tree(true);
    SyncTree::makeFolder(tree.host() + c.value + "\\");
    shelltest::ShellFolderOverride own(c.value, tree.host() + c.value);
    const std::string identifier = "Entry" + std::to_string(GetCurrentProcessId());
    const std::string host = CWinExplorer::GetSpecialFolder(c.csidl) + "\\";
    ASSERT_EQ(host, tree.host() + c.value + "\\");
    const std::string file = host + identifier + ".txt";
    SyncTree::write(file, "mine", kBaseTime);
    const std::string driveFolder = std::string("S:\\") + c.driveFolder;
    std::error_code ec;
    std::filesystem::remove_all(SyncTree::nativePath("S:\\My Profile"), ec);
    ASSERT_FALSE(SyncTree::exists(driveFolder));
    Listing listing;
    auto script = ListAndClose(listing);
    BoxAnswerer boxes;
    EXPECT_TRUE(CSyncEntry::Run(nullptr, c.kind, {identifier, "S", tree.databaseFolder()}));
    EXPECT_TRUE(boxes.seen.empty()) << boxes.Texts().front();
    EXPECT_TRUE(listing.shown) << c.suffix;
    EXPECT_TRUE(SyncTree::exists(driveFolder)) << c.suffix;
    const auto mine = std::make_pair(file, int(tovik::CreateOnDrive));
    EXPECT_NE(std::find(listing.items.begin(), listing.items.end(), mine), listing.items.end());
    EXPECT_EQ(DriveFieldOnDisk(tree.databaseFolder(), identifier + c.suffix),
              std::string("0:\\") + c.driveFolder + "|" + host);
    SyncTree::remove(file);
    std::filesystem::remove_all(SyncTree::nativePath("S:\\My Profile"), ec);
  }
}

TEST(SyncEntry, SynchronizeFolderAsksForTheFoldersFirstAndMakesTheDatabaseFolder) {
  SyncTree tree(true);
  const SyncDrive drive{"Chosen", "S", tree.databaseFolder() + "made\\here\\"};
  SyncTree::write(tree.host() + "one.txt", "one", kBaseTime);
  {
    // Cancel in the settings: no window, no pairing, but the folder is there.
    Listing listing;
    auto window = ListAndClose(listing);
    WindowScript settings(kSettings, [](HWND dialog) {
      PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
      return true;
    });
    EXPECT_FALSE(CSyncEntry::Run(nullptr, CSyncEntry::kFolder, drive));
    EXPECT_FALSE(listing.shown);
    EXPECT_TRUE(SyncTree::exists(drive.databaseFolder));
    EXPECT_FALSE(tovik::sync::Exists(drive.databaseFolder, "Chosen"));
  }
  for (bool linked : {false, true}) {
    // Without a pairing the settings come first; with one the window opens at once.
    bool settingsShown = false;
    WindowScript settings(kSettings, [&](HWND dialog) {
      settingsShown = true;
      SetDlgItemTextA(dialog, IDC_HOST_FOLDER, tree.host().c_str());
      SetDlgItemTextA(dialog, IDC_PDK_FOLDER, tree.drive().c_str());
      PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
      return true;
    });
    Listing listing;
    auto window = ListAndClose(listing);
    EXPECT_TRUE(CSyncEntry::Run(nullptr, CSyncEntry::kFolder, drive));
    EXPECT_EQ(settingsShown, !linked);
    EXPECT_EQ(listing.items, (std::vector<std::pair<std::string, int>>{
                                 {tree.host() + "one.txt", int(tovik::CreateOnDrive)}}));
  }
}

TEST(SyncEntry, ADriveOnAnotherLetterOrWithoutItsFolderGetsNoDestructiveProposal) {
  SyncTree tree(true);
  const SyncDrive drive{"Moving", "S", tree.databaseFolder()};
  SyncTree::write(tree.host() + "kept.txt", "kept", kBaseTime);
  {
    tovik::CSyncEngine engine;
    engine.SetParams(ParamsFor(tree, "Moving", "S"));
    engine.SetLink(tree.host(), tree.drive());
    tovik::CSyncAction* const* actions = nullptr;
    int count = 0;
    engine.Prepare(actions, count);
    ASSERT_EQ(count, 1);
    engine.Start(true);
  }
  ASSERT_TRUE(SyncTree::exists(tree.drive() + "kept.txt"));
  {
    // The same volume under T: finds the same pair in step.
    Listing listing;
    auto window = ListAndClose(listing);
    SyncDrive moved = drive;
    moved.volumeLetters = "T";
    EXPECT_TRUE(CSyncEntry::Run(nullptr, CSyncEntry::kFolder, moved));
    EXPECT_EQ(listing.items, (std::vector<std::pair<std::string, int>>{{kInStep, -1}}));
  }
  // The drive folder is gone (its privacy zone logged out): the path error,
  // and nothing is touched on the host.
  SyncTree::rename(tree.drive(), tree.drive().substr(0, tree.drive().size() - 1) + "-away\\");
  Listing listing;
  auto window = ListAndClose(listing);
  BoxAnswerer boxes;
  EXPECT_FALSE(CSyncEntry::Run(nullptr, CSyncEntry::kFolder, drive));
  EXPECT_FALSE(listing.shown);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The path you have selected does not exist."});
  EXPECT_EQ(SyncTree::read(tree.host() + "kept.txt"), "kept");
}
