// The hidden area carried across a repartitioning: pages 0 to 30 read before
// the drive is formatted and written back afterwards.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>

class CDeviceHandle;
class IConnection;

class CHiddenAreaBackup {
 public:
  static constexpr int kPages = 31;
  static constexpr uint32_t kPageSize = 512;
  static constexpr uint16_t kSubCodeWritePage = 0x0130;
  static constexpr uint16_t kSubCodeReadPage = 0x0131;

  explicit CHiddenAreaBackup(IConnection& connection) : m_connection(connection) {}

  // Reads every page, trying each a second time when the first read fails.
  // Returns 0, or the error of the first page that could not be read.
  int save(CDeviceHandle& dev);
  // Writes back the pages save() read, all of them even when one fails (a
  // page that could not be read is never overwritten with what was not read).
  // Returns 0 or the first error.
  int restore(CDeviceHandle& dev);

 private:
  IConnection& m_connection;
  std::array<uint8_t, kPages * kPageSize> m_pages{};
  std::bitset<kPages> m_saved;
};
