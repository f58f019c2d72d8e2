// The synchronisation subsystem's error object, thrown by value.
//
// The subsystem lives in namespace tovik: a namespace called sync at global
// scope cannot coexist with the POSIX sync() function that <unistd.h> declares,
// so inside the program's own namespace the error is sync::CPDKException.
#pragma once

#include <cstdint>

namespace tovik::sync {

// Error codes of the sync database and the sync engine.
enum SyncErrorCode : int32_t {
  kDatabaseError = 0,    // the file cannot be found, created, opened, read, written or deleted
  kCorruptDatabase = 1,  // too short, or not our header text
  kLinkExists = 2,       // a second link
  kNoLink = 3,           // a record without a link; a scan without settings
  kBadFolder = 4,        // a folder to walk without a trailing separator
  kPathMissing = 5,      // a folder of a new link does not exist
  kNotOnDrive = 6,       // the drive folder is not on the drive
  kHostOnDrive = 7,      // the host folder is on the drive
  kParamsNotSet = 8,     // a link before the parameters
  kRunFailed = 9,        // any other failure during a run; reported, never thrown
};

class CPDKException {
 public:
  CPDKException(int32_t code, const char* text);

  int32_t code;
  int32_t detail;     // always 0 here
  char message[256];  // at most 255 characters of the text, NUL-terminated
};

}  // namespace tovik::sync
