// A short walk through the SDK against an emulated Tovik Drive on E:, printing
// what it does: the SDK's own calls, down to the very request blocks the Windows
// drivers would receive.
#include <cstdio>
#include <cstring>
#include <vector>

#include "Connection.h"
#include "ConnectionSingleton.h"
#include "DeviceHandle.h"
#include "EmuDevicePort.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "ScsiCdb.h"
#include "sdk/PDKSDK.h"

namespace {

int g_failures = 0;

void report(const char* step, int code) {
  std::printf("%-34s -> %d (%s)\n", step, code, PDKSDK_getErrorString(code));
  if (code != 0) ++g_failures;
}

std::string field(const uint8_t* data, size_t from, size_t length) {
  std::string text(reinterpret_cast<const char*>(data + from), length);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

int main() {
  std::printf("Tovik device SDK %s\n", PDKSDK_getVersion());
  std::printf("PDKSDK_init() -> %d\n", PDKSDK_init());
  std::printf("Windows kind %d\n", GetOSKind());

  emu::DriveConfig config;
  config.serial = "0F3B27001234";
  config.sectorCount = 131072;  // 64 MB
  emu::CEmulatedDrive drive(config);
  emu::CEmuDevicePort port;
  port.attach('E', &drive);
  pdk::setDevicePort(&port);
  std::printf("Emulated Tovik Drive on E: (%u sectors of 512 bytes)\n\n", config.sectorCount);

  IConnection& connection = CConnectionSingleton::instance();
  CDeviceHandle handle('E');
  report("open \\\\.\\E:", handle.open(connection));

  uint8_t inquiry[pdk::kInquiryBufferLength] = {};
  uint32_t received = 0;
  report("INQUIRY", connection._inquiry(handle, inquiry, &received));
  std::printf("    %u bytes: vendor \"%s\", product \"%s\", revision \"%s\"\n", received,
              field(inquiry, 8, 8).c_str(), field(inquiry, 16, 16).c_str(),
              field(inquiry, 32, 5).c_str());

  uint32_t kilobytes = 0;
  report("READ CAPACITY(10)", connection.readCapacity(handle, &kilobytes));
  std::printf("    %u KB\n", kilobytes);

  uint8_t serial[40] = {};
  report("serial number (vendor 0x0100)",
         connection.vendorIn(handle, 0x0100, 0, nullptr, sizeof(serial), serial,
                             pdk::kDefaultTimeout));
  std::printf("    serial \"%s\"\n", field(serial, 6, sizeof(serial) - 6).c_str());

  std::vector<uint8_t> written(512);
  for (size_t i = 0; i < written.size(); ++i) written[i] = static_cast<uint8_t>(i ^ 0xA5);
  report("WRITE(10) sector 100",
         connection.write10(handle, written.data(), 100, 1, pdk::kDefaultTimeout));
  std::vector<uint8_t> read(512);
  report("READ(10) sector 100",
         connection.read10(handle, read.data(), 100, 1, pdk::kDefaultTimeout));
  const bool same = read == written;
  std::printf("    read back %s what was written\n", same ? "equals" : "DIFFERS FROM");
  if (!same) ++g_failures;
  handle.close();

  CDeviceHandle missing('Q');
  const int code = connection.readCapacity(missing, &kilobytes);
  std::printf("\n%-34s -> %d (%s)\n", "READ CAPACITY on Q: (no drive)", code,
              PDKSDK_getErrorString(code));
  if (code != pdk::kNotConnected) ++g_failures;

  pdk::setDevicePort(nullptr);
  PDKSDK_fini();
  std::printf("PDKSDK_fini() done\n");
  return g_failures == 0 ? 0 : 1;
}
