// Starts the dialog and writes a picture of its window, as the user sees it, to a PNG file:
//   quellin_shot.exe EXE OUTPUT.png
// The picture is taken once the window is there and two looks at it a moment apart agree, so
// that it is painted whole.
#include <cstdio>

#include "Launch.h"
#include "Picture.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        fwprintf(stderr, L"usage: quellin_shot EXE OUTPUT.png\n");
        return 2;
    }
    PROCESS_INFORMATION process{};
    std::wstring why;
    if (!Launch(argv[1], process, why)) {
        fwprintf(stderr, L"shot: %ls\n", why.c_str());
        return 1;
    }
    Picture last, now;
    bool still = false;
    for (int look = 0; look < 100 && !still && WaitForSingleObject(process.hProcess, 200) == WAIT_TIMEOUT; ++look) {
        const HWND window = FindWindowW(L"QuellinMainForm", nullptr);
        if (!window || !IsWindowVisible(window)) continue;
        now = CaptureWindow(window);
        still = now == last;
        last = now;
    }
    End(process);
    if (!still) {
        fwprintf(stderr, L"shot: the dialog did not appear\n");
        return 1;
    }
    if (!WritePng(now, argv[2])) {
        fwprintf(stderr, L"shot: cannot write %ls\n", argv[2]);
        return 1;
    }
    wprintf(L"wrote %ls (%ux%u)\n", argv[2], now.width, now.height);
    return 0;
}
