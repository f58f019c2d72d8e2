// Points the emulated wnaspi32.dll this process loads at an ASPI target (null:
// away again), so the Windows ME transport reaches the bus's drives. Windows
// builds only; the library is loaded by name, as the transport loads it.
#pragma once

namespace emu {

class CEmuAspiTarget;

// False when the library (or its routing entry) cannot be found.
bool connectAspiLibrary(CEmuAspiTarget* target);

}  // namespace emu
