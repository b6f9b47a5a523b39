#pragma once

#include <windows.h>

namespace SharedModule {

// Where a window of this outer size stands with its middle at the middle of the primary
// screen. On a screen smaller than the window the position comes out negative, as it is.
POINT CenteredOrigin(SIZE outer);

// Moves the window there, keeping its size.
void CenterForm(HWND form);

}  // namespace SharedModule
