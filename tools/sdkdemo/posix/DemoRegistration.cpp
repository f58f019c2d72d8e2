#include "../DemoRegistration.h"

// No registry here: nothing to write.
bool registerDemoDrive(const std::string&) { return true; }
void unregisterDemoDrive(const std::string&) {}
