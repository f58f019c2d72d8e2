// The SDK's own FAT12/FAT16 formatter: it writes the master boot record, the
// boot sector, both FATs and an empty root directory sector by sector through
// the transport, so formatting needs neither the operating system's formatter
// nor a mounted volume. One object per format run.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

class CDeviceHandle;
class IConnection;
class IDepositNotify;
class IFormatTemplate;

class CFatFormatter {
 public:
  static constexpr uint32_t kTimeout = 10000;
  static constexpr uint32_t kSectorSize = 512;
  static constexpr uint32_t kRootSectors = 32;  // 512 entries of 32 bytes
  static constexpr uint32_t kMinSectors = 200;
  static constexpr uint32_t kMaxSectors = 1048575;
  // A partition the drive lays out may be larger than a whole-drive volume:
  // the FAT table's last row (FAT16, 32 sectors per cluster) ends here.
  static constexpr uint32_t kMaxPartitionSectors = 2097152;
  static constexpr uint32_t kChunkSectors = 100;
  static constexpr uint16_t kSubCodePartitionTable = 0x0047;
  static constexpr uint32_t kDefaultHeads = 6;
  static constexpr uint32_t kDefaultSectorsPerTrack = 63;

  // Markers formatPartition puts in the root directory.
  enum Marker { kMarkerPublic = 0, kMarkerDummy = 1, kMarkerSafe = 2 };

  explicit CFatFormatter(IConnection& connection);
  CFatFormatter(const CFatFormatter&) = delete;
  CFatFormatter& operator=(const CFatFormatter&) = delete;

  // The share of the whole operation this run reports (default 100).
  void setWeight(uint32_t weight) { m_weight = weight; }
  // Reads the provider's flags and geometry now; its images when a run starts.
  // nullptr removes it (the flags already taken stay).
  void setTemplate(IFormatTemplate* provider);

  // One partition over the whole drive. notify may be null; label null or
  // empty keeps a label found by keep-existing, else "NO NAME".
  int format(CDeviceHandle& dev, IDepositNotify* notify, const char* label);
  // Fixed disk: formats the partition of entry `index` (0..3) of the table in
  // sector 0 and marks it with ".PUBLIC", ".DUMMY" or ".SAFE". sectors -1: the
  // entry's own size.
  int formatPartition(CDeviceHandle& dev, int index, int64_t sectors, const char* label,
                      IDepositNotify* notify, int marker);
  // Fixed disk: writes the master boot record, then asks the drive to lay out
  // its partition entries (vendor sub-code 0x0047 with `value`).
  int writePartitionTable(CDeviceHandle& dev, uint32_t value);
  bool isBusy() const { return m_busy.load() != 0; }

  // ---- the rules, without a drive ----

  // Volume size from the capacity in KB and the geometry; heads may grow.
  // 0, 18 (too small) or 19 (more than maxSectors).
  static int totalSectors(uint32_t capacityKb, uint32_t& heads, uint32_t sectorsPerTrack,
                          uint32_t& total, uint64_t maxSectors = kMaxSectors);
  // Whether formatPartition can lay a volume of this many sectors: 0, 18 or 19.
  static int checkPartitionSize(uint64_t sectors);
  struct FatKind {
    int bits;  // 12 or 16
    uint32_t sectorsPerCluster;
  };
  static FatKind fatKindFor(uint32_t totalSectors);
  static uint32_t fatSectorsFor(uint32_t dataSectors, uint32_t sectorsPerCluster, int bits);
  // Sectors per FAT for a volume of `sectors` (one reserved sector, 32 root sectors).
  static uint32_t solveFatSectors(uint32_t sectors, uint32_t sectorsPerCluster, int bits);
  // The partition-entry type byte for a volume of T sectors.
  static uint8_t partitionType(uint32_t totalSectors);

  // What keep-existing makes of a sector 0 it read: any 512 bytes at all.
  struct Existing {
    enum Kind { kNothing, kBootSector, kPartitionTable } kind = kNothing;
    uint32_t heads = 0;
    uint32_t sectorsPerTrack = 0;
    bool bootable = false;  // partition table: entry 0 is active
  };
  static Existing parseSectorZero(const uint8_t* sector);

  // The process-wide progress accumulator, and putting it back to 0 at the
  // start and end of a configuration.
  static uint64_t progress();
  static void resetProgress();

  // The images as the last run built them (for checks).
  const std::array<uint8_t, kSectorSize>& bootSector() const { return m_boot; }
  const std::array<uint8_t, kSectorSize>& masterBootRecord() const { return m_mbr; }
  uint32_t heads() const { return m_heads; }
  uint32_t sectorsPerTrack() const { return m_sectorsPerTrack; }

 private:
  int keepExisting(CDeviceHandle& dev);
  int readTotalSectors(CDeviceHandle& dev, uint32_t& total, uint64_t maxSectors);
  void buildBootSector(uint32_t sectors, uint32_t hidden, const char* label);
  int writeMbr(CDeviceHandle& dev, uint32_t total);
  // Steps common to both formats: the FATs and the root directory of a volume
  // starting at `start`. Returns the first error (or the last, see .cpp).
  int writeFatsAndRoot(CDeviceHandle& dev, uint32_t start, IDepositNotify* notify);
  int writeZeros(CDeviceHandle& dev, uint32_t first, uint32_t count);
  void addProgress(uint32_t sectors, IDepositNotify* notify);
  static uint32_t serialNumber();

  IConnection& m_connection;
  IFormatTemplate* m_template = nullptr;
  uint32_t m_weight = 100;
  int m_fatBits = 12;
  uint32_t m_fatSectors = 0;
  uint32_t m_sectorsPerCluster = 4;
  uint32_t m_heads = kDefaultHeads;
  uint32_t m_sectorsPerTrack = kDefaultSectorsPerTrack;
  std::array<uint8_t, 11> m_keptLabel{};
  bool m_hasKeptLabel = false;
  uint32_t m_total = 0;
  bool m_keepExisting = false;
  bool m_existingKept = false;
  bool m_bootable = true;
  bool m_writeMbr = true;
  std::atomic<uint8_t> m_busy{0};
  std::array<uint8_t, kSectorSize> m_mbr{};
  std::array<uint8_t, kSectorSize> m_boot{};
};
