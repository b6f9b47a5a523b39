// Start-up benchmark: launches each program in turn, round after round, and times each from
// process creation until its window is up: visible, painted, and its thread back in its message
// loop. Prints each median and, for every program after the first, the median of the first's
// per-round ratios to it, so that a slow or noisy machine affects both sides alike.
//   startup.exe ROUNDS PROGRAM CLASS YARDSTICK CLASS [YARDSTICK CLASS]...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "Launch.h"

namespace {

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from creating the process to its window being up; negative on failure. A start
// that Wine fails and Launch makes again (a few in ten thousand) counts whole: too rare to move
// a median.
double Up(const std::wstring& program, const wchar_t* windowClass) {
    PROCESS_INFORMATION process{};
    std::wstring why;
    const double start = Seconds();
    if (!Launch(program, process, why)) {
        std::fwprintf(stderr, L"startup: %ls\n", why.c_str());
        return -1;
    }
    HWND window = nullptr;
    while (!((window = FindWindowW(windowClass, nullptr)) && IsWindowVisible(window)) && Seconds() - start < 30) Sleep(1);
    // Visible comes with ShowWindow; a sent message is answered only from the message loop,
    // so once it is, UpdateWindow has painted the window too.
    const bool up = window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, nullptr);
    const double elapsed = (Seconds() - start) * 1000;
    if (!up) {
        std::fwprintf(stderr, L"startup: %ls: %ls after %.0f ms\n", program.c_str(),
                      window ? L"its window did not answer" : L"no visible window", elapsed);
    }
    // Ended, not closed: without a window manager, Wine waits two seconds in vain for one
    // before it takes a closing window off the screen. Waiting for the end keeps one
    // program's exit out of the next one's start.
    End(process);
    return up ? elapsed : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

const wchar_t* BaseName(const wchar_t* path) {
    const wchar_t* slash = std::max(std::wcsrchr(path, L'\\'), std::wcsrchr(path, L'/'));
    return slash ? slash + 1 : path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6 || argc % 2) {
        std::fputs("usage: startup ROUNDS PROGRAM CLASS YARDSTICK CLASS [YARDSTICK CLASS]...\n", stderr);
        return 2;
    }
    const int rounds = std::max(1, _wtoi(argv[1]));
    const int programs = (argc - 2) / 2;
    std::vector<std::vector<double>> times(programs), ratios(programs);
    for (int round = -2; round < rounds; ++round) {  // two rounds of warm-up, not counted
        std::vector<double> these(programs);
        // Each round starts with the next program, so that none always follows the same one.
        for (int i = 0; i < programs; ++i) {
            const int p = (round + 2 + i) % programs;
            these[p] = Up(argv[2 + 2 * p], argv[3 + 2 * p]);
            if (these[p] < 0) return 1;
        }
        if (round < 0) continue;
        for (int p = 0; p < programs; ++p) {
            times[p].push_back(these[p]);
            ratios[p].push_back(these[0] / these[p]);
        }
    }
    for (int p = 0; p < programs; ++p) {
        std::wprintf(L"  %-16ls median %6.1f ms", BaseName(argv[2 + 2 * p]), Median(times[p]));
        if (p == 0) std::wprintf(L" over %d rounds\n", rounds);
        else std::wprintf(L"   %ls / this, median of the rounds: %.3f\n", BaseName(argv[2]), Median(ratios[p]));
    }
    return 0;
}
