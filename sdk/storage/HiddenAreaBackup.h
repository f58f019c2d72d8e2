// The hidden area carried across a repartitioning: every page read before the
// drive's layout changes and written back after the format, since a drive
// that rebuilds its tables may clear them. From save() to restore() or
// release() the store's named mutex is held, so no store of any process
// writes a page in between that the write-back would overwrite.
#pragma once

#include <array>
#include <cstdint>

#include "PDKMutex.h"

class CDeviceHandle;
class IConnection;

class CHiddenAreaBackup {
 public:
  // Pages 0 to 31: the cookie store keeps its records up to page 31.
  static constexpr int kPages = 32;
  static constexpr uint32_t kPageSize = 512;
  static constexpr uint16_t kSubCodeWritePage = 0x0130;
  static constexpr uint16_t kSubCodeReadPage = 0x0131;
  static constexpr uint32_t kWriteTries = 3;

  explicit CHiddenAreaBackup(IConnection& connection);
  ~CHiddenAreaBackup();
  CHiddenAreaBackup(const CHiddenAreaBackup&) = delete;
  CHiddenAreaBackup& operator=(const CHiddenAreaBackup&) = delete;

  // Takes the mutex and reads every page, trying each a second time when the
  // first read fails. 0, or the error of the first page that could not be
  // read, which releases the mutex: the layout must then stay as it is.
  int save(CDeviceHandle& dev);
  // Writes every page back, a failed write up to kWriteTries times, and
  // releases the mutex. 0 or the first error.
  int restore(CDeviceHandle& dev);
  // Releases the mutex without writing (the layout was not changed).
  void release();

 private:
  IConnection& m_connection;
  CPDKMutex m_mutex;
  bool m_held = false;
  std::array<uint8_t, kPages * kPageSize> m_pages{};
};
