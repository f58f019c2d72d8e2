// The emulated ASPI library (wnaspi32.dll, Windows builds only): besides the two
// ASPI entry points it exports one hook by which a program in the same process
// routes every request to its own handler, typically a CEmuAspiTarget through
// CEmuAspiTarget::sendThunk and supportThunk. Without a handler installed the
// library answers like an ASPI layer with no adapters.
#pragma once

#include <cstdint>

namespace emu {

constexpr const char* kAspiLibraryName = "wnaspi32.dll";
constexpr const char* kAspiSendName = "SendASPI32Command";
constexpr const char* kAspiSupportName = "GetASPI32SupportInfo";
constexpr const char* kAspiSetTargetName = "TovikEmuAspi_setTarget";

using AspiSendHandler = uint32_t (*)(void* context, void* srb);
using AspiSupportHandler = uint32_t (*)(void* context);
// Installs the handlers (send == nullptr removes them). The library keeps only the
// two function pointers and the context; the caller keeps the context alive until
// it removes the handlers.
using AspiSetTargetFn = void (*)(AspiSendHandler send, AspiSupportHandler support, void* context);

}  // namespace emu
