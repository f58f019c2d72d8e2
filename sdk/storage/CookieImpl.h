// The hidden-area cookie store of one drive: named values grouped by section,
// enciphered with a key derived from the drive's serial number, kept in pages
// 1 to 31 of the drive's hidden area. The store reloads every page at the start
// of each operation and writes back only the pages that changed, all under a
// named mutex so that several processes never interleave their page traffic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CookieCipher.h"
#include "CookiePage.h"
#include "CookieRecord.h"
#include "DeviceHandle.h"
#include "DeviceParams.h"
#include "PDKMutex.h"

class IConnection;

class CCookieImpl {
 public:
  static constexpr const char* kMutexName = "__Cookies_Mutex_Name__";
  static constexpr uint16_t kSubCodeWritePage = 0x0130;
  static constexpr uint16_t kSubCodeReadPage = 0x0131;
  static constexpr uint16_t kSubCodeSerial = 0x0100;
  static constexpr uint32_t kTimeout = 10000;
  static constexpr uint16_t kFirstPage = 1;
  static constexpr uint16_t kLastPage = 31;
  // setString takes values below this many characters.
  static constexpr size_t kMaxValueLength = 127;
  static constexpr const char* kHintName = "Default";

  // The serial comes from params; when params carry none, the store asks the
  // drive for it at the first operation.
  CCookieImpl(IConnection& connection, const DeviceParams& params);
  virtual ~CCookieImpl();

  CCookieImpl(const CCookieImpl&) = delete;
  CCookieImpl& operator=(const CCookieImpl&) = delete;

  // Every operation returns an SDK code (0 success, 27 bad arguments).
  virtual int setString(const char* section, const char* name, const char* value);
  virtual int setInt(const char* section, const char* name, int value);
  // size: in, the buffer's bytes; out, the bytes the value needs, NUL included
  // (also on success). 26 when the buffer is too small.
  virtual int getString(const char* section, const char* name, char* buffer, uint32_t& size);
  virtual int getInt(const char* section, const char* name, int& value);
  virtual int delCookie(const char* section, const char* name);
  virtual int delSection(const char* section);
  // Sum over the pages holding records of 512 minus their used bytes.
  virtual int freeSpace(uint32_t& bytes);
  virtual int dumpHiddenArea(const char* path, bool withBinary);
  virtual int delAllCookies();
  virtual int writeAllPages();
  // Stores the record under this type byte (1..4) in the first page that takes
  // it: 22 when a page on the way holds the same type, section and name.
  virtual int addRecord(const CCookieRecord& record, int type);
  // Removes every record of the record's type, section and name.
  virtual int deleteRecord(const CCookieRecord& record);

 protected:
  // Page bookkeeping. _newPage: the first page number not in use whose read
  // succeeds (21 when there is none); _writePage: one page to the drive.
  virtual int _newPage(uint16_t& number);
  virtual int _writePage(const CCookiePage& page);

 public:
  // The check-text slot of the record; a protected record only with its own
  // password (9 otherwise). size as for getString.
  virtual int getDefaultValue(const char* section, const char* name, const char* password,
                              char* buffer, uint32_t& size);
  virtual int setBinary(const char* section, const char* name, const uint8_t* data,
                        uint32_t length);
  // length: in, the buffer's bytes; out, the value's length. 26 when too small.
  virtual int getBinary(const char* section, const char* name, uint8_t* buffer, uint32_t& length);
  // Reloads every page of the store from the drive.
  virtual int extructCookies();

  // The privacy zone's password hint: a record of the drive's serial as section
  // and "Default" as name, the hint in its check-text slot.
  int setPasswordHint(const char* hint);
  int getPasswordHint(char* buffer, uint32_t& size);

  bool loaded() const { return m_loaded; }
  // The serial the keys are derived from; empty until known.
  const std::string& serial() const { return m_serial; }

 private:
  int readPage(uint16_t number, uint32_t tryWord, uint8_t* page);
  int writeRaw(uint16_t number, const uint8_t* page);
  int readSerial();
  int defaultValue(const char* section, const char* name, const char* password, char* buffer,
                   uint32_t& size);
  // The first record of type 3 with this section and name, or null.
  const CCookieRecord* findCookie(const std::string& section, const std::string& name) const;
  // Builds a typed cookie and stores it in place of any cookie of the same
  // section and name.
  int setTyped(const char* section, const char* name, const char* typeText, const uint8_t* value,
               size_t valueLength);
  // Places record; when the replaced record is given (page number, index), it
  // leaves the drive only after the new one is on it.
  int place(const CCookieRecord& record, int replacedPage, size_t replacedIndex);
  // Removes the matching records page by page; 23 when none matched.
  template <typename Match>
  int removeWhere(Match match);
  size_t pageIndex(uint16_t number) const;
  void commit(const CCookiePage& page);

  IConnection& m_connection;
  CDeviceHandle m_handle;
  std::string m_serial;
  CCookieCipher m_cipher;
  std::vector<CCookiePage> m_pages;  // pages holding records, in page order
  bool m_loaded = false;
  CPDKMutex m_mutex;
};
