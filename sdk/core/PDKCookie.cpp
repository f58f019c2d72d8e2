#include "PDKCookie.h"

#include "CookieImpl.h"
#include "PDK.h"

template <typename Op>
int CPDKCookie::call(Op op) {
  int code = 0;
  // Held for the call: detection may give the drive new feature objects meanwhile.
  const std::shared_ptr<CPDKImpl::Features> f = m_owner.features(code);
  if (f == nullptr) return code;
  return op(*f->cookies);
}

int CPDKCookie::setString(const char* section, const char* name, const char* value) {
  return call([&](CCookieImpl& c) { return c.setString(section, name, value); });
}

int CPDKCookie::setInt(const char* section, const char* name, int value) {
  return call([&](CCookieImpl& c) { return c.setInt(section, name, value); });
}

int CPDKCookie::getString(const char* section, const char* name, char* buffer, uint32_t& size) {
  return call([&](CCookieImpl& c) { return c.getString(section, name, buffer, size); });
}

int CPDKCookie::getInt(const char* section, const char* name, int& value) {
  return call([&](CCookieImpl& c) { return c.getInt(section, name, value); });
}

int CPDKCookie::delCookie(const char* section, const char* name) {
  return call([&](CCookieImpl& c) { return c.delCookie(section, name); });
}

int CPDKCookie::delSection(const char* section) {
  return call([&](CCookieImpl& c) { return c.delSection(section); });
}

int CPDKCookie::freeSpace(uint32_t& bytes) {
  return call([&](CCookieImpl& c) { return c.freeSpace(bytes); });
}

int CPDKCookie::dumpHiddenArea(const char* path, bool withBinary) {
  return call([&](CCookieImpl& c) { return c.dumpHiddenArea(path, withBinary); });
}

int CPDKCookie::delAllCookies() {
  return call([&](CCookieImpl& c) { return c.delAllCookies(); });
}

int CPDKCookie::enumSections(char*, uint32_t&) {
  return call([](CCookieImpl&) { return static_cast<int>(pdk::kNotSupported); });
}

int CPDKCookie::enumCookies(const char*, char*, uint32_t&) {
  return call([](CCookieImpl&) { return static_cast<int>(pdk::kNotSupported); });
}
