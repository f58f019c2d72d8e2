#include "FatFormatter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BootImages.h"
#include "Connection.h"
#include "DepositNotify.h"
#include "DeviceHandle.h"
#include "FormatTemplate.h"
#include "PDKClock.h"
#include "PDKErrors.h"
#include "ScsiCdb.h"

namespace {

std::atomic<uint64_t> g_progress{0};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}

// Offsets in a boot sector and in the master boot record.
constexpr size_t kBpbSectorsPerTrack = 24;
constexpr size_t kBpbHeads = 26;
constexpr size_t kBpbMedia = 21;
constexpr size_t kBpbSignature = 38;
constexpr size_t kBpbLabel = 43;
constexpr size_t kLabelLength = 11;
constexpr size_t kEntryTable = 446;
constexpr size_t kEntryLength = 16;

const char kNoName[] = "NO NAME    ";
const char* const kMarkers[] = {".PUBLIC", ".DUMMY", ".SAFE"};

// Busy is set for the length of a run and cleared on every way out, together
// with existing-kept (a later run must look at the drive afresh).
class RunGuard {
 public:
  RunGuard(std::atomic<uint8_t>& busy, bool& kept) : m_busy(busy), m_kept(kept) { m_busy = 1; }
  ~RunGuard() {
    m_kept = false;
    m_busy = 0;
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

 private:
  std::atomic<uint8_t>& m_busy;
  bool& m_kept;
};

// One run's zero source: the largest write is a FAT chunk.
const uint8_t* zeros() {
  static const std::vector<uint8_t> buffer(
      CFatFormatter::kChunkSectors * CFatFormatter::kSectorSize, 0);
  return buffer.data();
}

}  // namespace

CFatFormatter::CFatFormatter(IConnection& connection) : m_connection(connection) {}

void CFatFormatter::setTemplate(IFormatTemplate* provider) {
  m_template = provider;
  if (provider == nullptr) return;
  m_writeMbr = provider->writeMbr();
  m_bootable = provider->bootable();
  m_keepExisting = provider->keepExisting();
  if (provider->heads() > 0) m_heads = static_cast<uint32_t>(provider->heads());
  if (provider->sectorsPerTrack() > 0)
    m_sectorsPerTrack = static_cast<uint32_t>(provider->sectorsPerTrack());
}

uint64_t CFatFormatter::progress() { return g_progress.load(); }

void CFatFormatter::resetProgress() { g_progress.store(0); }

int CFatFormatter::totalSectors(uint32_t capacityKb, uint32_t& heads, uint32_t sectorsPerTrack,
                                uint32_t& total, uint64_t maxSectors) {
  uint64_t sectors = static_cast<uint64_t>(capacityKb) * 2;
  // Only the default geometry is adapted: it stands for "no opinion", and the
  // cylinder count of a partition entry must stay below 1,024.
  if (heads == kDefaultHeads && sectorsPerTrack > 0) {
    while (sectors / sectorsPerTrack / heads >= 1024 && heads <= 254) ++heads;
    sectors -= sectors % (static_cast<uint64_t>(heads) * sectorsPerTrack);
  }
  total = 0;
  if (sectors < kMinSectors) return pdk::kTooSmallToFormat;
  if (sectors > maxSectors) return pdk::kTooBigToFormat;
  total = static_cast<uint32_t>(sectors);
  return pdk::kOk;
}

int CFatFormatter::checkPartitionSize(uint64_t sectors) {
  if (sectors < kMinSectors) return pdk::kTooSmallToFormat;
  if (sectors > kMaxPartitionSectors) return pdk::kTooBigToFormat;
  return pdk::kOk;
}

CFatFormatter::FatKind CFatFormatter::fatKindFor(uint32_t t) {
  // Exactly 16,000 sectors takes the row below it (4 sectors per cluster):
  // that gives 3,985 clusters, below FAT12's limit of 4,084, with the smaller
  // cluster wasting less of a small drive.
  if (t <= 16000) return {12, 4};
  if (t <= 32679) return {12, 8};
  if (t <= 65535) return {16, 1};
  if (t <= 131071) return {16, 2};
  if (t <= 262143) return {16, 4};
  if (t <= 524287) return {16, 8};
  if (t <= 1048575) return {16, 16};
  return {16, 32};
}

uint32_t CFatFormatter::fatSectorsFor(uint32_t dataSectors, uint32_t sectorsPerCluster, int bits) {
  const uint64_t entries = dataSectors / sectorsPerCluster + 2;
  const uint64_t bitsNeeded = static_cast<uint64_t>(bits) * entries;
  return static_cast<uint32_t>((bitsNeeded + kSectorSize * 8 - 1) / (kSectorSize * 8));
}

uint32_t CFatFormatter::solveFatSectors(uint32_t sectors, uint32_t sectorsPerCluster, int bits) {
  // One reserved sector and the root directory come off the top; the FATs and
  // the data share the rest. Starting from FATs sized for all of it, one step
  // settles: the FATs then cover every cluster the data area holds.
  if (sectors <= 1 + kRootSectors) return 1;
  const uint32_t available = sectors - 1 - kRootSectors;
  uint32_t fat = fatSectorsFor(available, sectorsPerCluster, bits);
  uint32_t data = available > 2 * fat ? available - 2 * fat : 0;
  fat = fatSectorsFor(data, sectorsPerCluster, bits);
  while (data + 2 * fat < available) {
    data = available - 2 * fat;
    fat = fatSectorsFor(data, sectorsPerCluster, bits);
  }
  return fat;
}

uint8_t CFatFormatter::partitionType(uint32_t t) {
  if (t <= 32679) return 0x01;
  if (t <= 65535) return 0x04;
  if (t <= 262140) return 0x06;
  return 0x0E;
}

CFatFormatter::Existing CFatFormatter::parseSectorZero(const uint8_t* s) {
  Existing e;
  const uint32_t heads = static_cast<uint32_t>(s[0x1C3]) + 1;
  const uint32_t sectorsPerTrack = s[0x1C4] & 0x3Fu;
  const uint8_t indicator = s[0x1BE];
  if (heads > 16 || sectorsPerTrack < 3 || (indicator != 0 && indicator != 0x80)) {
    if (s[kBpbMedia] != 0xF8 || s[kBpbSignature] != 0x29) return e;
    e.kind = Existing::kBootSector;
    // The bytes are the drive's, not ours: a geometry that could not be real
    // is left out (0), and the formatter keeps what it had.
    const uint32_t h = le16(s + kBpbHeads);
    const uint32_t t = le16(s + kBpbSectorsPerTrack);
    e.heads = h >= 1 && h <= 255 ? h : 0;
    e.sectorsPerTrack = t >= 1 && t <= 63 ? t : 0;
    return e;
  }
  e.kind = Existing::kPartitionTable;
  e.heads = heads;
  e.sectorsPerTrack = sectorsPerTrack;
  e.bootable = indicator == 0x80;
  return e;
}

int CFatFormatter::keepExisting(CDeviceHandle& dev) {
  uint8_t sector[kSectorSize];
  int rc = m_connection.read10(dev, sector, 0, 1, kTimeout);
  if (rc != pdk::kOk) return rc;
  const Existing e = parseSectorZero(sector);
  switch (e.kind) {
    case Existing::kNothing:
      return pdk::kOk;
    case Existing::kBootSector:
      std::memcpy(m_boot.data(), sector, kSectorSize);
      m_writeMbr = false;
      m_bootable = false;
      if (e.heads != 0) m_heads = e.heads;
      if (e.sectorsPerTrack != 0) m_sectorsPerTrack = e.sectorsPerTrack;
      break;
    case Existing::kPartitionTable:
      m_heads = e.heads;
      m_sectorsPerTrack = e.sectorsPerTrack;
      if (e.bootable) m_bootable = true;
      std::memcpy(m_mbr.data(), sector, kSectorSize);
      rc = m_connection.read10(dev, m_boot.data(), m_sectorsPerTrack, 1, kTimeout);
      if (rc != pdk::kOk) return rc;
      break;
  }
  std::memcpy(m_keptLabel.data(), m_boot.data() + kBpbLabel, kLabelLength);
  m_hasKeptLabel = true;
  m_existingKept = true;
  return pdk::kOk;
}

int CFatFormatter::readTotalSectors(CDeviceHandle& dev, uint32_t& total, uint64_t maxSectors) {
  uint32_t kilobytes = 0;
  const int rc = m_connection.readCapacity(dev, &kilobytes);
  if (rc != pdk::kOk) return rc;
  return totalSectors(kilobytes, m_heads, m_sectorsPerTrack, total, maxSectors);
}

uint32_t CFatFormatter::serialNumber() {
  std::srand(pdkos::tickCount() & 0xFF);
  const uint32_t low = static_cast<uint32_t>(std::rand()) & 0xFFFF;
  const uint32_t high = static_cast<uint32_t>(std::rand()) & 0xFFFF;
  return (high << 16) | low;
}

void CFatFormatter::buildBootSector(uint32_t sectors, uint32_t hidden, const char* label) {
  uint8_t* b = m_boot.data();
  b[0] = 0xEB;
  b[1] = 0x3C;
  b[2] = 0x90;
  std::memcpy(b + 3, "*..6<IHC", 8);
  put16(b + 11, kSectorSize);
  b[13] = static_cast<uint8_t>(m_sectorsPerCluster);
  put16(b + 14, 1);
  b[16] = 2;
  put16(b + 17, 512);
  put16(b + 19, sectors <= 0xFFFF ? sectors : 0);
  b[21] = 0xF8;
  put16(b + 22, m_fatSectors);
  put16(b + 24, 63);
  put16(b + 26, 255);
  put32(b + 28, hidden);
  put32(b + 32, sectors > 0xFFFF ? sectors : 0);
  b[36] = m_bootable ? 0x80 : 0x00;
  b[37] = 0;
  b[38] = 0x29;
  put32(b + 39, serialNumber());
  const size_t length = label != nullptr ? std::strlen(label) : 0;
  if (length >= 1 && length <= kLabelLength) {
    std::memset(b + kBpbLabel, 0, kLabelLength);
    std::memcpy(b + kBpbLabel, label, length);
  } else if (label == nullptr && m_hasKeptLabel) {
    // No label asked for: the one of the boot sector found on the drive stays.
    std::memcpy(b + kBpbLabel, m_keptLabel.data(), kLabelLength);
  } else {
    std::memcpy(b + kBpbLabel, kNoName, kLabelLength);
  }
  std::memcpy(b + 54, m_fatBits == 16 ? "FAT16   " : "FAT12   ", 8);
  b[510] = 0x55;
  b[511] = 0xAA;
}

int CFatFormatter::writeMbr(CDeviceHandle& dev, uint32_t total) {
  const uint8_t* code = m_template != nullptr ? m_template->mbrCode() : nullptr;
  if (code != nullptr) {
    std::memcpy(m_mbr.data(), code, kEntryTable);
  } else if (!m_existingKept) {
    const auto& image =
        dev.params().removable != 0 ? CBootImages::removableMbr() : CBootImages::fixedDiskMbr();
    std::memcpy(m_mbr.data(), image.data(), kEntryTable);
  }
  uint8_t* e = m_mbr.data() + kEntryTable;
  std::memset(e, 0, kSectorSize - kEntryTable);
  const uint32_t cylinders = total / m_heads / m_sectorsPerTrack;
  const uint32_t last = cylinders - 1;  // wraps for a volume under one cylinder, as bytes do
  e[0] = m_bootable ? 0x80 : 0x00;
  e[1] = 1;
  e[2] = 1;
  e[3] = 0;
  e[4] = partitionType(total);
  e[5] = static_cast<uint8_t>(m_heads - 1);
  e[6] = static_cast<uint8_t>(m_sectorsPerTrack | ((last >> 2) & 0xC0));
  e[7] = static_cast<uint8_t>(last & 0xFF);
  put32(e + 8, m_sectorsPerTrack);
  put32(e + 12, total - m_sectorsPerTrack);
  m_mbr[510] = 0x55;
  m_mbr[511] = 0xAA;
  return m_connection.write10(dev, m_mbr.data(), 0, 1, kTimeout);
}

int CFatFormatter::writeZeros(CDeviceHandle& dev, uint32_t first, uint32_t count) {
  // Only a caller's long track needs more than one write here.
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(kChunkSectors, count - done);
    const int rc = m_connection.write10(dev, zeros(), first + done, n, kTimeout);
    if (rc != pdk::kOk) return rc;
    done += n;
  }
  return pdk::kOk;
}

void CFatFormatter::addProgress(uint32_t sectors, IDepositNotify* notify) {
  const uint64_t step = static_cast<uint64_t>(m_weight) * sectors / (m_fatSectors + 34);
  const uint64_t value = g_progress.fetch_add(step) + step;
  if (notify != nullptr) notify->onProgress(static_cast<int>(value & 0xFFFF));
}

int CFatFormatter::writeFatsAndRoot(CDeviceHandle& dev, uint32_t start, IDepositNotify* notify) {
  int first = pdk::kOk;
  auto keep = [&first](int rc) {
    if (first == pdk::kOk) first = rc;
    return rc == pdk::kOk;
  };
  uint8_t head[kSectorSize] = {0xF8, 0xFF, 0xFF};
  if (m_fatBits == 16) head[3] = 0xFF;
  if (!keep(m_connection.write10(dev, head, start + 1, 1, kTimeout))) return first;
  if (!keep(m_connection.write10(dev, head, start + 1 + m_fatSectors, 1, kTimeout))) return first;

  // A chunk that fails is not counted, and the rest is still cleared: the
  // caller learns of the fault, and as much of the volume as possible is sane.
  for (uint32_t offset = 0; offset + 1 < m_fatSectors;) {
    const uint32_t n = std::min<uint32_t>(kChunkSectors, m_fatSectors - 1 - offset);
    const bool a = keep(writeZeros(dev, start + 2 + offset, n));
    const bool b = keep(writeZeros(dev, start + 2 + m_fatSectors + offset, n));
    if (a && b) addProgress(n, notify);
    offset += n;
  }
  if (keep(writeZeros(dev, start + 2 * m_fatSectors + 1, kRootSectors)))
    addProgress(kRootSectors, notify);
  return first;
}

int CFatFormatter::format(CDeviceHandle& dev, IDepositNotify* notify, const char* label) {
  RunGuard guard(m_busy, m_existingKept);
  CDeviceHandle::ScopedOpen open(dev, m_connection);
  if (open.result() != pdk::kOk) return open.result();

  m_boot.fill(0);
  if (m_heads != 255) {
    const uint8_t* image = m_template != nullptr ? m_template->bootSector() : nullptr;
    if (image != nullptr) {
      std::memcpy(m_boot.data(), image, kSectorSize);
    } else if (!m_existingKept) {
      m_boot = CBootImages::bootSector();
    }
  }
  int rc = pdk::kOk;
  if (m_keepExisting && (rc = keepExisting(dev)) != pdk::kOk) return rc;
  if ((rc = readTotalSectors(dev, m_total, kMaxSectors)) != pdk::kOk) return rc;
  const FatKind kind = fatKindFor(m_total);
  m_fatBits = kind.bits;
  m_sectorsPerCluster = kind.sectorsPerCluster;

  uint32_t start = 0;
  if (m_writeMbr) {
    // A caller's track longer than the volume would leave no volume behind it.
    if (m_sectorsPerTrack + kMinSectors > m_total) return pdk::kTooSmallToFormat;
    if ((rc = writeMbr(dev, m_total)) != pdk::kOk) return rc;
    start = m_sectorsPerTrack;
    if (start > 1 && (rc = writeZeros(dev, 1, start - 1)) != pdk::kOk) return rc;
  }
  const uint32_t sectors = m_total - start;
  m_fatSectors = solveFatSectors(sectors, m_sectorsPerCluster, m_fatBits);
  buildBootSector(sectors, start, label);
  if ((rc = m_connection.write10(dev, m_boot.data(), start, 1, kTimeout)) != pdk::kOk) return rc;
  return writeFatsAndRoot(dev, start, notify);
}

int CFatFormatter::formatPartition(CDeviceHandle& dev, int index, int64_t sectors,
                                   const char* label, IDepositNotify* notify, int marker) {
  if (index < 0 || index > 3 || marker < kMarkerPublic || marker > kMarkerSafe)
    return pdk::kBadParameters;
  RunGuard guard(m_busy, m_existingKept);
  CDeviceHandle::ScopedOpen open(dev, m_connection);
  if (open.result() != pdk::kOk) return open.result();

  uint8_t table[kSectorSize];
  int rc = m_connection.read10(dev, table, 0, 1, kTimeout);
  if (rc != pdk::kOk) return rc;
  const uint8_t* entry = table + kEntryTable + kEntryLength * static_cast<size_t>(index);
  const uint32_t start = pdk::le32(entry + 8);
  const uint64_t size = sectors >= 0 ? static_cast<uint64_t>(sectors) : pdk::le32(entry + 12);
  // Outside these limits the FAT table has no row.
  if ((rc = checkPartitionSize(size)) != pdk::kOk) return rc;
  m_total = static_cast<uint32_t>(size);
  const FatKind kind = fatKindFor(m_total);
  m_fatBits = kind.bits;
  m_sectorsPerCluster = kind.sectorsPerCluster;
  m_fatSectors = solveFatSectors(m_total, m_sectorsPerCluster, m_fatBits);

  m_boot = CBootImages::bootSector();
  buildBootSector(m_total, start, label);
  if ((rc = m_connection.write10(dev, m_boot.data(), start, 1, kTimeout)) != pdk::kOk) return rc;
  int first = writeFatsAndRoot(dev, start, notify);

  // The root directory names the volume and says which partition it is, so the
  // partition can be told apart whichever slot shows it.
  uint8_t root[kSectorSize] = {};
  std::memset(root, ' ', kLabelLength);
  const size_t length = label != nullptr ? std::strlen(label) : 0;
  if (length >= 1 && length <= kLabelLength)
    std::memcpy(root, label, length);
  else
    std::memcpy(root, kNoName, kLabelLength);
  root[11] = 0x08;
  std::memset(root + 32, ' ', kLabelLength);
  std::memcpy(root + 32, kMarkers[marker], std::strlen(kMarkers[marker]));
  root[32 + 11] = 0x06;
  rc = m_connection.write10(dev, root, start + 2 * m_fatSectors + 1, 1, kTimeout);
  if (rc != pdk::kOk) {
    if (notify != nullptr) notify->onError(rc, "Fail to format patition table");
    if (first == pdk::kOk) first = rc;
  }
  return first;
}

int CFatFormatter::writePartitionTable(CDeviceHandle& dev, uint32_t value) {
  CDeviceHandle::ScopedOpen open(dev, m_connection);
  if (open.result() != pdk::kOk) return open.result();
  // The drive lays out the entries itself and each partition is checked when
  // it is formatted: the whole disk may be larger than any one volume.
  int rc = readTotalSectors(dev, m_total, UINT32_MAX);
  if (rc != pdk::kOk) return rc;
  if ((rc = writeMbr(dev, m_total)) != pdk::kOk) return rc;
  uint8_t block[8] = {};
  put32(block, 1);
  put32(block + 4, value);
  return m_connection.vendorOut(dev, kSubCodePartitionTable, 0, nullptr, sizeof block, block,
                                kTimeout);
}
