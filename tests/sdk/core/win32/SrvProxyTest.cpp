// With no administrator service registered, a volume that cannot be opened is
// reported by its Windows error, and the service is asked for only once.
#include "SrvProxy.h"

#include <gtest/gtest.h>

#include "DeviceHandle.h"
#include "NTConnection.h"
#include "PDKErrors.h"
#include "TraceCapture.h"

namespace {

TEST(SrvProxyTest, NoServiceMeansOneTryAndTheMappedWindowsError) {
  TraceCapture trace;
  CNTConnection nt;
  // No drive Q: exists in the test prefix: the real CreateFileA fails.
  for (int i = 0; i < 3; ++i) {
    CDeviceHandle handle('Q');
    uint32_t kb = 0;
    EXPECT_EQ(nt.readCapacity(handle, &kb), pdk::kNotConnected);
  }
  EXPECT_TRUE(CSrvProxy::instance().initialisationTried());
  EXPECT_EQ(trace.count("CSrvProxy::openHandle - can't initilize admin service\n"), 1u);
  EXPECT_EQ(CSrvProxy::instance().openHandle("\\\\.\\Q:"), pdk::invalidHandle());
  EXPECT_EQ(trace.count("CSrvProxy::openHandle - can't initilize admin service\n"), 1u);
}

}  // namespace
