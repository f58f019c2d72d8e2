// Prints the SDK's view of the running Windows version and the transport it
// chooses; OSKindWineTest runs it under each Windows version Wine can pretend to be.
#include <cstdio>
#include <typeinfo>

#include "98Connection.h"
#include "ConnectionSingleton.h"
#include "MEConnection.h"
#include "NTConnection.h"
#include "OSKind.h"
#include "sdk/PDKSDK.h"

int main() {
  PDKSDK_init();
  IConnection& connection = CConnectionSingleton::instance();
  const char* name = dynamic_cast<C98Connection*>(&connection)   ? "C98Connection"
                     : dynamic_cast<CMEConnection*>(&connection) ? "CMEConnection"
                     : dynamic_cast<CNTConnection*>(&connection) ? "CNTConnection"
                                                                 : "unknown";
  std::printf("kind=%d connection=%s\n", GetOSKind(), name);
  std::fflush(stdout);
  PDKSDK_fini();
  return 0;
}
