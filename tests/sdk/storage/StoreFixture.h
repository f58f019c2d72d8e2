// An emulated drive with a cookie store on it, a connection that can fail
// chosen page writes, and direct page access for set-up and checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Connection.h"
#include "CookieImpl.h"
#include "DriveFixture.h"
#include "NTConnection.h"

// Passes every call on, except page writes it was told to fail.
class ScriptedConnection : public IConnection {
 public:
  explicit ScriptedConnection(IConnection& next) : m_next(next) {}

  // The next `count` writes of this page, after `skip` that go through, answer
  // `code` without reaching the drive.
  void failWrites(uint16_t page, int count, int code, int skip = 0) {
    m_fail[page] = {count, code, skip};
  }
  // Commands number first to first + count - 1 (counted from 1 since the last
  // call of this) answer `code` without reaching the drive; count 0 fails none.
  void failCommands(int first, int count, int code) {
    m_commands = 0;
    m_failFirst = first;
    m_failCount = count;
    m_failCode = code;
  }
  // Commands sent since failCommands().
  int commands() const { return m_commands; }
  // The data of every vendor command sent out, in order.
  struct Sent {
    uint16_t subCode;
    std::vector<uint8_t> data;
  };
  std::vector<Sent> sent;

  int probeAccess() override { return m_next.probeAccess(); }
  bool eject(const DeviceParams& p) override { return m_next.eject(p); }
  int readCapacity(CDeviceHandle& h, uint32_t* kb) override {
    if (failing()) return m_failCode;
    return m_next.readCapacity(h, kb);
  }
  int write10(CDeviceHandle& h, const uint8_t* b, uint32_t s, uint32_t n, uint32_t t) override {
    if (failing()) return m_failCode;
    return m_next.write10(h, b, s, n, t);
  }
  int read10(CDeviceHandle& h, uint8_t* b, uint32_t s, uint32_t n, uint32_t t) override {
    if (failing()) return m_failCode;
    return m_next.read10(h, b, s, n, t);
  }
  int vendorOutFramed(CDeviceHandle& h, uint16_t c, uint32_t pl, const uint8_t* p, uint32_t dl,
                      uint8_t* d, uint32_t t, int f) override {
    if (failing()) return m_failCode;
    return m_next.vendorOutFramed(h, c, pl, p, dl, d, t, f);
  }
  // Called with the sub-code before each vendor command out goes on.
  std::function<void(uint16_t)> beforeVendorOut;

  int vendorOut(CDeviceHandle& h, uint16_t c, uint32_t pl, const uint8_t* p, uint32_t dl,
                const uint8_t* d, uint32_t t) override {
    if (beforeVendorOut) beforeVendorOut(c);
    if (c == CCookieImpl::kSubCodeWritePage && pl >= 2) {
      auto it = m_fail.find(static_cast<uint16_t>(p[0] | (p[1] << 8)));
      if (it != m_fail.end() && it->second.skip > 0) {
        --it->second.skip;
      } else if (it != m_fail.end() && it->second.count > 0) {
        --it->second.count;
        return it->second.code;
      }
    }
    if (failing()) return m_failCode;
    sent.push_back({c, d != nullptr ? std::vector<uint8_t>(d, d + dl) : std::vector<uint8_t>()});
    return m_next.vendorOut(h, c, pl, p, dl, d, t);
  }
  int vendorInFramed(CDeviceHandle& h, uint16_t c, uint32_t pl, const uint8_t* p, uint32_t dl,
                     uint8_t* d, uint32_t t, int f) override {
    if (failing()) return m_failCode;
    return m_next.vendorInFramed(h, c, pl, p, dl, d, t, f);
  }
  int vendorIn(CDeviceHandle& h, uint16_t c, uint32_t pl, const uint8_t* p, uint32_t dl, uint8_t* d,
               uint32_t t) override {
    if (failing()) return m_failCode;
    return m_next.vendorIn(h, c, pl, p, dl, d, t);
  }
  bool buildVolumePath(char letter, char* path, size_t size) override {
    return m_next.buildVolumePath(letter, path, size);
  }
  int _inquiry(CDeviceHandle& h, uint8_t* d, uint32_t* r) override {
    return m_next._inquiry(h, d, r);
  }
  int _reportIdentifier(CDeviceHandle& h, uint8_t* d) override {
    return m_next._reportIdentifier(h, d);
  }
  int inquireAndRecognize(DeviceParams& p, bool check) override {
    return m_next.inquireAndRecognize(p, check);
  }
  int reportIdentifier(DeviceParams& p) override { return m_next.reportIdentifier(p); }
  bool isInstanceRegistered(const char* text) override { return m_next.isInstanceRegistered(text); }

 private:
  struct Failure {
    int count;
    int code;
    int skip;
  };
  bool failing() {
    ++m_commands;
    return m_commands >= m_failFirst && m_commands < m_failFirst + m_failCount;
  }
  IConnection& m_next;
  std::map<uint16_t, Failure> m_fail;
  int m_commands = 0;
  int m_failFirst = 0;
  int m_failCount = 0;
  int m_failCode = 0;
};

// One vendor command as the drive logged it.
struct VendorCall {
  uint16_t subCode;
  uint16_t page;
  uint32_t tryWord;
};

// The text a string cookie holds on the drive, or "" when it cannot be read.
inline std::string storedString(IConnection& connection, const DeviceParams& params,
                                const char* section, const char* name) {
  char value[256] = {};
  uint32_t size = sizeof(value);
  if (CCookieImpl(connection, params).getString(section, name, value, size) != 0) return "";
  return value;
}

inline emu::DriveConfig storeDrive() {
  emu::DriveConfig config = smallDrive();
  config.commandLogCapacity = 100000;
  return config;
}

class StoreFixture : public DriveFixture {
 protected:
  static constexpr const char* kSerial = "0F3B27000042";  // smallDrive()'s serial

  StoreFixture() : DriveFixture(storeDrive()) {}

  // A page as the drive holds it, read with try word 0.
  std::vector<uint8_t> page(uint16_t number) {
    std::vector<uint8_t> bytes(512);
    const uint8_t params[6] = {static_cast<uint8_t>(number), 0, 0, 0, 0, 0};
    CDeviceHandle handle(driveE());
    EXPECT_EQ(nt.vendorIn(handle, 0x0131, 6, params, 512, bytes.data(), 10000), 0);
    return bytes;
  }
  void putPage(uint16_t number, const std::vector<uint8_t>& bytes) {
    const uint8_t params[2] = {static_cast<uint8_t>(number), 0};
    CDeviceHandle handle(driveE());
    ASSERT_EQ(nt.vendorOut(handle, 0x0130, 2, params, 512, bytes.data(), 10000), 0);
  }
  // The vendor commands the drive saw since the last clear.
  std::vector<VendorCall> vendorCalls() const {
    std::vector<VendorCall> calls;
    for (const emu::CommandRecord& r : drive.commandLog()) {
      if (r.cdb.size() < 9 || r.cdb[0] != 0xFF) continue;
      calls.push_back({static_cast<uint16_t>(r.cdb[1] | (r.cdb[2] << 8)),
                       static_cast<uint16_t>(r.cdb[3] | (r.cdb[4] << 8)),
                       static_cast<uint32_t>(r.cdb[5] | (r.cdb[6] << 8) | (r.cdb[7] << 16) |
                                             (static_cast<uint32_t>(r.cdb[8]) << 24))});
    }
    return calls;
  }
  size_t writesSeen() const {
    size_t n = 0;
    for (const VendorCall& c : vendorCalls()) n += c.subCode == 0x0130 ? 1 : 0;
    return n;
  }

  CNTConnection nt;
  ScriptedConnection scripted{nt};
  CCookieImpl store{scripted, driveE()};
};
