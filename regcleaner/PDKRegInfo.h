// The registry cleaner's reader of one drive's entries, over HKEY_LOCAL_MACHINE
// with read access.
#pragma once

#include "regcleaner/IPDKRegInfo.h"

class CPDKRegInfo : public IPDKRegInfo {
 public:
  int isRegistered(const char* serial, const char* letters, bool& registered) override;
};
