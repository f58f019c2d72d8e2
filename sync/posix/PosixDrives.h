// Drive letters of the native build. The engine and its database speak Windows
// paths ("E:\Work\notes.txt") on every platform, so that a database means the
// same on both; natively a letter stands for a folder given here, and the
// backslashes become slashes. A path whose letter is not mapped is used as
// written, with slashes for backslashes.
#pragma once

#include <string>

namespace tovik {

// Maps letter (either case) to root, a folder without a trailing slash; an
// empty root removes the mapping. Set up before the engine runs.
void MapPosixDrive(char letter, const std::string& root);

// The native path of an engine path.
std::string PosixPath(const std::string& enginePath);

}  // namespace tovik
