#include "dialog/CenterForm.h"

namespace SharedModule {

POINT CenteredOrigin(SIZE outer) {
    return {(GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2, (GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2};
}

void CenterForm(HWND form) {
    RECT outer{};
    GetWindowRect(form, &outer);
    const POINT origin = CenteredOrigin({outer.right - outer.left, outer.bottom - outer.top});
    SetWindowPos(form, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace SharedModule
