// The hidden-area cookies of the drive a device handle is attached to. Each
// operation answers the handle's status when it is not 0 (8 when detached)
// and otherwise is the cookie store's own operation of the same name.
#pragma once

#include <cstdint>

class CCookieImpl;
class CPDK;

class CPDKCookie {
 public:
  explicit CPDKCookie(const CPDK& owner) : m_owner(owner) {}
  virtual ~CPDKCookie() = default;
  CPDKCookie(const CPDKCookie&) = delete;
  CPDKCookie& operator=(const CPDKCookie&) = delete;

  virtual int setString(const char* section, const char* name, const char* value);
  virtual int setInt(const char* section, const char* name, int value);
  // size: in, the buffer's bytes; out, the bytes the value needs.
  virtual int getString(const char* section, const char* name, char* buffer, uint32_t& size);
  virtual int getInt(const char* section, const char* name, int& value);
  virtual int delCookie(const char* section, const char* name);
  virtual int delSection(const char* section);
  virtual int freeSpace(uint32_t& bytes);
  virtual int dumpHiddenArea(const char* path, bool withBinary);
  virtual int delAllCookies();
  // Listing sections and the names of a section is not offered by the store:
  // both answer 15 ("not supported") for a usable drive.
  virtual int enumSections(char* buffer, uint32_t& size);
  virtual int enumCookies(const char* section, char* buffer, uint32_t& size);

 private:
  template <typename Op>
  int call(Op op);

  const CPDK& m_owner;
};
