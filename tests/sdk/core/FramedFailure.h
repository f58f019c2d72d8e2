// A framed data-in the drive refuses, on a transport whose failed commands
// have their frame compared: a buffer that lost it answers lostFrameCode, one
// that kept it (or was framed here) the drive's own code.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Connection.h"
#include "DeviceHandle.h"
#include "EmulatedDrive.h"
#include "PDKErrors.h"

inline void expectFramedFailures(IConnection& connection, CDeviceHandle& handle,
                                 emu::CEmulatedDrive& drive, uint32_t triesPerCommand,
                                 int lostFrameCode) {
  const struct {
    int framed;
    const char* start;  // the buffer's first bytes before the command
    int expected;
  } cases[] = {{1, "XXXX", lostFrameCode},
               {1, "BIPO", pdk::kDeviceInternalError},
               {0, "XXXX", pdk::kDeviceInternalError}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " framed " + std::to_string(c.framed));
    uint8_t data[40] = {};
    std::memcpy(data, c.start, 4);
    drive.injectFaults(emu::FaultKind::CheckCondition, triesPerCommand);
    EXPECT_EQ(connection.vendorInFramed(handle, 0x0100, 0, nullptr, 40, data, 10000, c.framed),
              c.expected);
  }
}
