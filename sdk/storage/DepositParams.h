// What the application asks of a privacy-zone configuration.
#pragma once

#include <cstdint>

struct DepositParams {
  char password[17] = {};  // at most 16 characters
  char hint[128] = {};     // kept in the hidden area
  int32_t safeBytes = 0;   // 0: no safe partition
  int32_t dummyBytes = 0;  // fixed disks only; 0: none
  // Volume labels of up to 11 characters; a removable drive uses the public
  // one for both its volumes.
  char publicLabel[12] = {};
  char dummyLabel[12] = {};
  char safeLabel[12] = {};
};
