#pragma once

#include <windows.h>

namespace SharedModule {

// Moves the window so that its middle is the middle of the primary screen, keeping its size.
// On a screen smaller than the window the position comes out negative and is used as it is.
void CenterForm(HWND form);

}  // namespace SharedModule
