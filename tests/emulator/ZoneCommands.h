// Parameter blocks of the privacy-zone sub-codes, built byte by byte as the
// host lays them out, and small wrappers that send them to a drive.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "RawBlock.h"
#include "emulator/EmulatedDrive.h"

namespace zone {

using Bytes = std::vector<uint8_t>;

inline emu::ScsiResult run(emu::CEmulatedDrive& drive, const Bytes& cdb, Bytes& buffer,
                           bool dataIn) {
  return drive.execute(cdb.data(), cdb.size(), buffer.empty() ? nullptr : buffer.data(),
                       uint32_t(buffer.size()), dataIn);
}

inline void putLe(Bytes& b, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}

inline uint32_t le(const Bytes& b, size_t at) {
  return uint32_t(b.at(at)) | uint32_t(b.at(at + 1)) << 8 | uint32_t(b.at(at + 2)) << 16 |
         uint32_t(b.at(at + 3)) << 24;
}

inline Bytes words(std::initializer_list<uint32_t> values) {
  Bytes b(values.size() * 4, 0);
  size_t at = 0;
  for (const uint32_t v : values) {
    putLe(b, at, v);
    at += 4;
  }
  return b;
}

inline void putText(Bytes& b, size_t at, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) b.at(at + i) = uint8_t(text[i]);
}

// 0x0041: [0] safe units, [4..19] password zero padded.
inline Bytes removableConfigure(uint32_t safeUnits, const std::string& password) {
  Bytes b(20, 0);
  putLe(b, 0, safeUnits);
  putText(b, 4, password);
  return b;
}

// 0x0042: the password zero padded to 16 bytes; empty = back to public.
inline Bytes removableSwitch(const std::string& password) {
  Bytes b(16, 0);
  putText(b, 0, password);
  return b;
}

// 0x0045: [0] safe units, [4] dummy units, [8] password length, [12..27] password.
inline Bytes fixedConfigure(uint32_t safeUnits, uint32_t dummyUnits, const std::string& password,
                            uint32_t length) {
  Bytes b(28, 0);
  putLe(b, 0, safeUnits);
  putLe(b, 4, dummyUnits);
  putLe(b, 8, length);
  putText(b, 12, password);
  return b;
}
inline Bytes fixedConfigure(uint32_t safeUnits, uint32_t dummyUnits, const std::string& password) {
  return fixedConfigure(safeUnits, dummyUnits, password, uint32_t(password.size()));
}

// 0x0046: [0] password length, [4..19] password; length 0 = back to the dummy.
inline Bytes fixedSwitch(const std::string& password, uint32_t length) {
  Bytes b(20, 0);
  putLe(b, 0, length);
  putText(b, 4, password);
  return b;
}
inline Bytes fixedSwitch(const std::string& password) {
  return fixedSwitch(password, uint32_t(password.size()));
}

// 0x004B: [0] length, [4..19] first password, [20] length, [24..39] second.
inline Bytes changePassword(uint32_t length1, const std::string& first, uint32_t length2,
                            const std::string& second) {
  Bytes b(40, 0);
  putLe(b, 0, length1);
  putText(b, 4, first);
  putLe(b, 20, length2);
  putText(b, 24, second);
  return b;
}

inline emu::ScsiResult sendOut(emu::CEmulatedDrive& drive, uint16_t subCode, Bytes data) {
  return run(drive, raw::cdb::vendor(subCode), data, false);
}

inline Bytes readIn(emu::CEmulatedDrive& drive, uint16_t subCode, size_t length) {
  Bytes b(length, 0xAA);
  EXPECT_EQ(run(drive, raw::cdb::vendor(subCode), b, true).status, emu::kStatusGood)
      << "sub-code " << subCode;
  return b;
}

// The last LBA READ CAPACITY reports.
inline uint32_t lastLba(emu::CEmulatedDrive& drive) {
  Bytes b(8, 0);
  EXPECT_EQ(run(drive, raw::cdb::readCapacity(), b, true).status, emu::kStatusGood);
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

inline Bytes pattern(uint8_t seed) {
  Bytes v(512);
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(seed + i * 11 + 1);
  return v;
}

inline emu::ScsiResult writeSector(emu::CEmulatedDrive& drive, uint32_t lba, Bytes data) {
  return run(drive, raw::cdb::write10(lba, 1), data, false);
}

inline Bytes readSector(emu::CEmulatedDrive& drive, uint32_t lba) {
  Bytes b(512, 0xAA);
  EXPECT_EQ(run(drive, raw::cdb::read10(lba, 1), b, true).status, emu::kStatusGood)
      << "lba " << lba;
  return b;
}

inline void expectRefused(const emu::ScsiResult& r,
                          uint8_t asc = emu::kAscInvalidFieldInParameterList) {
  EXPECT_TRUE(r.delivered);
  EXPECT_EQ(r.status, emu::kStatusCheckCondition);
  EXPECT_EQ(r.sense.key, emu::kSenseKeyIllegalRequest);
  EXPECT_EQ(r.sense.asc, asc);
}

}  // namespace zone
