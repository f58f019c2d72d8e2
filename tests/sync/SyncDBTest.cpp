#include "SyncDB.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "FaultyFileSystem.h"
#include "SyncEngine.h"
#include "SyncText.h"
#include "emulator/TempDir.h"

using tovik::CSyncDB;
using tovik::SyncFileRecord;
using tovik::SyncLinkRecord;

namespace tovik {
namespace {

constexpr uint64_t kGoldenTime = 133485408000000000ull;
const std::string kHeader(CSyncDB::kHeaderText, sizeof(CSyncDB::kHeaderText));  // with NUL

SyncFileRecord record(const std::string& host, const std::string& drive, uint64_t time) {
  SyncFileRecord r;
  EXPECT_TRUE(tovik::PathToField(host, r.hostPath, tovik::kSyncPathUnits));
  EXPECT_TRUE(tovik::PathToField(drive, r.drivePath, tovik::kSyncPathUnits));
  r.time = tovik::SyncFileTime::from(time);
  return r;
}

SyncLinkRecord link(const std::string& host, const std::string& drive) {
  SyncLinkRecord l;
  EXPECT_TRUE(tovik::PathToField(host, l.hostFolder, tovik::kSyncPathUnits));
  EXPECT_TRUE(tovik::PathToField(drive, l.driveFolder, tovik::kSyncPathUnits));
  return l;
}

std::string hostOf(const SyncFileRecord& r) {
  return tovik::FieldToPath(r.hostPath, tovik::kSyncPathUnits);
}

std::string bytesOf(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Host paths of the records in storage order.
std::vector<std::string> hosts(const CSyncDB& db) {
  std::vector<std::string> out;
  SyncFileRecord r;
  for (int64_t at = db.FirstEntry(r); at >= 0; at = db.NextEntry(at, r)) out.push_back(hostOf(r));
  return out;
}

std::string linkBytes() {
  std::string bytes(SyncLinkRecord::kSize, '\0');
  link("C:\\h\\", "0:\\d\\").encode(reinterpret_cast<uint8_t*>(&bytes[0]));
  return bytes;
}

std::string recordBytes(const std::string& host, uint64_t time) {
  std::string bytes(SyncFileRecord::kSize, '\0');
  record(host, "F:\\d\\x", time).encode(reinterpret_cast<uint8_t*>(&bytes[0]));
  return bytes;
}

class SyncDBTest : public ::testing::Test {
 protected:
  std::string folder() const { return dir_.path().string() + "/"; }
  std::string file(const std::string& name) const { return sync::DatabasePath(folder(), name); }
  std::unique_ptr<CSyncDB> fresh(const std::string& name = "T") {
    return sync::Open(folder(), name, false);
  }
  tovik_test::TempDir dir_;
};

struct LoadCase {
  const char* what;
  std::string bytes;
  int code;  // -1: loads
  const char* message;
};

TEST_F(SyncDBTest, LoadChecksLengthAndHeader) {
  std::string wrongText = kHeader + std::string(102, '\0');
  wrongText[0] = 'o';
  std::string noNul = kHeader + std::string(102, '\0');
  noNul[25] = 'X';
  const LoadCase cases[] = {
      {"exactly the header", kHeader + std::string(102, '\0'), -1, ""},
      {"127 bytes", (kHeader + std::string(102, '\0')).substr(0, 127), 1, "Corrupt Database"},
      {"empty", "", 1, "Corrupt Database"},
      {"other text", wrongText, 1, "Corrupt Database"},
      {"text without its NUL", noNul, 1, "Corrupt Database"},
      {"half a link", kHeader + std::string(102 + 600, '\0'), -1, ""},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.what);
    writeBytes(file("L"), c.bytes);
    try {
      CSyncDB db(file("L"));
      EXPECT_EQ(c.code, -1);
      SyncLinkRecord l;
      EXPECT_FALSE(db.GetLink(l));
      EXPECT_EQ(db.image().size(), c.bytes.size());
    } catch (const sync::CPDKException& e) {
      EXPECT_EQ(e.code, c.code);
      EXPECT_STREQ(e.message, c.message);
      EXPECT_EQ(e.detail, 0);
    }
  }
}

TEST_F(SyncDBTest, OpenFailures) {
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"missing", [&] { sync::Open(folder(), "none", true); }, "Database does not exist"},
      {"folder missing", [&] { sync::Open(folder() + "no/", "x", false); },
       "Error creating database file"},
      {"not a file",
       [&] {
         std::filesystem::create_directories(file("dir"));
         CSyncDB db(file("dir"));
       },
       "Error opening file"},
      {"delete missing", [&] { sync::Delete(folder(), "none"); }, "Could not delete database file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.call();
      ADD_FAILURE() << "no error";
    } catch (const sync::CPDKException& e) {
      EXPECT_EQ(e.code, 0);
      EXPECT_STREQ(e.message, c.message);
    }
  }
}

TEST_F(SyncDBTest, CreateTruncatesExistsAndDelete) {
  writeBytes(file("T"), std::string(5000, 'x'));
  EXPECT_TRUE(sync::Exists(folder(), "T"));
  {
    auto db = fresh();
    EXPECT_EQ(db->image().size(), 128u);
  }
  EXPECT_EQ(bytesOf(file("T")), kHeader + std::string(102, '\0'));
  sync::Delete(folder(), "T");
  EXPECT_FALSE(sync::Exists(folder(), "T"));
}

TEST_F(SyncDBTest, LinkAndEntryPreconditions) {
  auto db = fresh();
  try {
    db->AddEntry(record("a", "b", 1));
    ADD_FAILURE();
  } catch (const sync::CPDKException& e) {
    EXPECT_EQ(e.code, 3);
    EXPECT_STREQ(e.message, "No link found");
  }
  db->AddLink(link("C:\\h\\", "0:\\d\\"));
  SyncLinkRecord read;
  ASSERT_TRUE(db->GetLink(read));
  EXPECT_EQ(tovik::FieldToPath(read.driveFolder, tovik::kSyncPathUnits), "0:\\d\\");
  try {
    db->AddLink(link("x", "y"));
    ADD_FAILURE();
  } catch (const sync::CPDKException& e) {
    EXPECT_EQ(e.code, 2);
    EXPECT_STREQ(e.message, "Link already exists");
  }
  // Any bytes after the header count as a link.
  writeBytes(file("S"), kHeader + std::string(102 + 10, '\0'));
  CSyncDB stray(file("S"));
  EXPECT_THROW(stray.AddLink(link("x", "y")), sync::CPDKException);
}

TEST_F(SyncDBTest, FindMatchesEitherPathExactlyAndFirstInStorageOrder) {
  auto db = fresh();
  db->AddLink(link("C:\\h\\", "0:\\d\\"));
  db->AddEntry(record("C:\\h\\a", "F:\\d\\a", 1));
  db->AddEntry(record("C:\\h\\b", "F:\\d\\b", 2));
  db->AddEntry(record("C:\\h\\c", "C:\\h\\b", 3));  // its drive path is the second's host path

  EXPECT_EQ(db->FindEntry("C:\\h\\a"), 1184);
  EXPECT_EQ(db->FindEntry("F:\\d\\b"), 1184 + 1048);
  EXPECT_EQ(db->FindEntry("C:\\h\\b"), 1184 + 1048);
  EXPECT_EQ(db->FindEntry("C:\\H\\A"), -1);
  EXPECT_EQ(db->FindEntry("C:\\h\\"), -1);

  // Once the second is gone the third, now in its place, is the first match.
  ASSERT_TRUE(db->RemoveEntry("F:\\d\\b"));
  SyncFileRecord r;
  ASSERT_TRUE(db->GetEntry("C:\\h\\b", r));
  EXPECT_EQ(hostOf(r), "C:\\h\\c");
  EXPECT_EQ(r.time.value(), 3u);

  ASSERT_TRUE(db->UpdateEntry("C:\\h\\b", record("C:\\h\\n", "F:\\d\\n", 9)));
  EXPECT_EQ(db->FindEntry("C:\\h\\b"), -1);
  EXPECT_EQ(db->FindEntry("C:\\h\\c"), -1);
  EXPECT_EQ(db->FindEntry("F:\\d\\n"), 1184 + 1048);
  EXPECT_FALSE(db->UpdateEntry("C:\\h\\zz", record("a", "b", 1)));
  EXPECT_FALSE(db->RemoveEntry("C:\\h\\zz"));
  EXPECT_FALSE(db->GetEntry("C:\\h\\zz", r));
}

TEST_F(SyncDBTest, RemovingTheFirstOfThreeMovesTheThirdIntoItsPlace) {
  auto db = fresh();
  db->AddLink(link("C:\\h\\", "0:\\d\\"));
  for (const char* name : {"C:\\h\\1", "C:\\h\\2", "C:\\h\\3"}) db->AddEntry(record(name, "-", 1));
  ASSERT_TRUE(db->RemoveEntry("C:\\h\\1"));
  EXPECT_EQ(hosts(*db), (std::vector<std::string>{"C:\\h\\3", "C:\\h\\2"}));
  EXPECT_EQ(db->image().size(), 1184u + 2 * 1048);
  db->Clear();
  EXPECT_EQ(db->image().size(), 128u);
  EXPECT_EQ(db->FindEntry("C:\\h\\2"), -1);
}

TEST_F(SyncDBTest, StrayBytesAreKeptButNeverARecord) {
  const std::string stray(500, '\x5A');
  writeBytes(file("S"), kHeader + std::string(102, '\0') + linkBytes() +
                            recordBytes("C:\\h\\1", 1) + recordBytes("C:\\h\\2", 2) + stray);
  {
    CSyncDB db(file("S"));
    EXPECT_EQ(hosts(db), (std::vector<std::string>{"C:\\h\\1", "C:\\h\\2"}));
    // A new record joins the others in front of the stray bytes; removing one
    // takes a whole record away and leaves them.
    db.AddEntry(record("C:\\h\\3", "-", 3));
    EXPECT_EQ(hosts(db), (std::vector<std::string>{"C:\\h\\1", "C:\\h\\2", "C:\\h\\3"}));
    EXPECT_EQ(db.FindEntry("C:\\h\\3"), 1184 + 2 * 1048);
    ASSERT_TRUE(db.RemoveEntry("C:\\h\\1"));
    EXPECT_EQ(hosts(db), (std::vector<std::string>{"C:\\h\\3", "C:\\h\\2"}));
  }
  const std::string written = bytesOf(file("S"));
  ASSERT_EQ(written.size(), 1184u + 2 * 1048 + 500);
  EXPECT_EQ(written.substr(written.size() - 500), stray);
}

TEST_F(SyncDBTest, DestructionWritesTheImageBack) {
  {
    auto db = fresh();
    db->AddLink(link("C:\\h\\", "0:\\d\\"));
    db->AddEntry(record("C:\\h\\1", "F:\\d\\1", 7));
  }
  CSyncDB again(file("T"));
  SyncFileRecord r;
  ASSERT_TRUE(again.GetEntry("F:\\d\\1", r));
  EXPECT_EQ(r.time.value(), 7u);
}

TEST_F(SyncDBTest, DestructionWritesOnlyAChangedImage) {
  synctest::FaultyFileSystem fs;
  {
    auto db = sync::Open(folder(), "T", false, fs);
    db->AddLink(link("C:\\h\\", "0:\\d\\"));
  }
  EXPECT_EQ(fs.writes, 1);
  { CSyncDB unchanged(file("T"), fs); }
  EXPECT_EQ(fs.writes, 1);
  {
    CSyncDB changed(file("T"), fs);
    changed.AddEntry(record("C:\\h\\1", "F:\\d\\1", 7));
  }
  EXPECT_EQ(fs.writes, 2);
  CSyncDB again(file("T"));
  EXPECT_EQ(hosts(again), (std::vector<std::string>{"C:\\h\\1"}));
}

TEST_F(SyncDBTest, FailedFlushLeavesFileAndImageAsTheyWere) {
  synctest::FaultyFileSystem fs;
  {
    auto db = sync::Open(folder(), "T", false, fs);
    db->AddLink(link("C:\\h\\", "0:\\d\\"));
    db->AddEntry(record("C:\\h\\1", "F:\\d\\1", 7));
    db->Flush();
    const std::string before = bytesOf(file("T"));
    db->AddEntry(record("C:\\h\\2", "F:\\d\\2", 8));
    const std::vector<uint8_t> image = db->image();
    fs.failReplace = true;
    try {
      db->Flush();
      ADD_FAILURE();
    } catch (const sync::CPDKException& e) {
      EXPECT_EQ(e.code, 0);
      EXPECT_STREQ(e.message, "Error flushing to database file");
    }
    EXPECT_EQ(bytesOf(file("T")), before);
    EXPECT_EQ(db->image(), image);
    fs.failReplace = false;
  }
  CSyncDB again(file("T"));
  EXPECT_EQ(hosts(again), (std::vector<std::string>{"C:\\h\\1", "C:\\h\\2"}));
}

// The platform's own replacement: nothing can be written beside the database
// (a folder holds the name of the new file), and the old file stays whole.
TEST_F(SyncDBTest, FlushWritesBesideTheFileAndRenames) {
  auto db = fresh();
  db->AddLink(link("C:\\h\\", "0:\\d\\"));
  db->Flush();
  EXPECT_FALSE(std::filesystem::exists(file("T") + ".new"));
  const std::string before = bytesOf(file("T"));
  ASSERT_EQ(before.size(), 1184u);

  std::filesystem::create_directory(file("T") + ".new");
  db->AddEntry(record("C:\\h\\1", "F:\\d\\1", 7));
  EXPECT_THROW(db->Flush(), sync::CPDKException);
  EXPECT_EQ(bytesOf(file("T")), before);

  std::filesystem::remove(file("T") + ".new");
  db->Flush();
  EXPECT_EQ(bytesOf(file("T")).size(), 1184u + 1048);
}

TEST(SyncExceptionTest, MessageIsCutTo255Characters) {
  const std::string text(300, 'm');
  const sync::CPDKException e(4, text.c_str());
  EXPECT_EQ(std::strlen(e.message), 255u);
  EXPECT_EQ(e.code, 4);
  EXPECT_EQ(e.detail, 0);
  EXPECT_STREQ(sync::CPDKException(4, "").message, "");
}

// The same file on every platform: a database written by the Windows build is
// committed, and each build must both read it and write it byte for byte.
class SyncDBFormatTest : public SyncDBTest {
 protected:
  static std::string golden() {
    return bytesOf(std::string(TOVIK_SYNC_DATA) + "SyncDB_Golden.dat");
  }
};

TEST_F(SyncDBFormatTest, WritesTheCommittedFileByteForByte) {
  {
    auto db = fresh("Golden");
    db->AddLink(link("C:\\Users\\Tovik\\Documents\\", "0:\\Work\\"));
    db->AddEntry(record("C:\\Users\\Tovik\\Documents\\a.txt", "F:\\Work\\a.txt", kGoldenTime));
    db->AddEntry(record("C:\\Users\\Tovik\\Documents\\b.txt", "F:\\Work\\b.txt", kGoldenTime + 1));
    db->AddEntry(
        record("C:\\Users\\Tovik\\Documents\\sub\\c.txt", "F:\\Work\\sub\\c.txt", kGoldenTime + 2));
    db->AddEntry(record("C:\\Users\\Tovik\\Documents\\d.txt", "F:\\Work\\d.txt", kGoldenTime + 3));
    ASSERT_TRUE(db->RemoveEntry("C:\\Users\\Tovik\\Documents\\a.txt"));
    ASSERT_TRUE(db->UpdateEntry(
        "F:\\Work\\b.txt",
        record("C:\\Users\\Tovik\\Documents\\b.txt", "G:\\Work\\b.txt", 0x0123456789ABCDEFull)));
  }
  const std::string expected = golden();
  ASSERT_EQ(expected.size(), 1184u + 3 * 1048);
  EXPECT_TRUE(bytesOf(file("Golden")) == expected);
}

TEST_F(SyncDBFormatTest, ReadsTheCommittedFile) {
  writeBytes(file("Golden"), golden());
  CSyncDB db(file("Golden"));
  SyncLinkRecord l;
  ASSERT_TRUE(db.GetLink(l));
  EXPECT_EQ(tovik::FieldToPath(l.hostFolder, tovik::kSyncPathUnits),
            "C:\\Users\\Tovik\\Documents\\");
  EXPECT_EQ(tovik::FieldToPath(l.driveFolder, tovik::kSyncPathUnits), "0:\\Work\\");
  EXPECT_EQ(hosts(db), (std::vector<std::string>{"C:\\Users\\Tovik\\Documents\\d.txt",
                                                 "C:\\Users\\Tovik\\Documents\\b.txt",
                                                 "C:\\Users\\Tovik\\Documents\\sub\\c.txt"}));
  SyncFileRecord r;
  ASSERT_TRUE(db.GetEntry("G:\\Work\\b.txt", r));
  EXPECT_EQ(r.time.dwLowDateTime, 0x89ABCDEFu);
  EXPECT_EQ(r.time.dwHighDateTime, 0x01234567u);
  ASSERT_TRUE(db.GetEntry("F:\\Work\\sub\\c.txt", r));
  EXPECT_EQ(r.time.value(), kGoldenTime + 2);

  // The engine puts the letter of the drive's first volume in front of it.
  SyncParams params{};
  std::strcpy(params.name, "Golden");
  std::strcpy(params.databaseFolder, folder().c_str());
  params.driveLetters[0] = 'K';
  CSyncEngine engine;
  engine.SetParams(params);
  ASSERT_TRUE(engine.GetLink(l));
  EXPECT_EQ(tovik::FieldToPath(l.driveFolder, tovik::kSyncPathUnits), "K:\\Work\\");
}

}  // namespace
}  // namespace tovik
