// Start-up benchmark: launches each program in turn, round after round, and times each from
// process creation until its window is visible. Prints each median and, for every program but
// the yardstick, the median of its per-round ratios to the yardstick, so that a slow or noisy
// machine affects both sides alike.
//   startup.exe ROUNDS PROGRAM CLASS YARDSTICK CLASS [PROGRAM CLASS]...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

double Seconds() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from creating the process to its window being visible; negative on failure.
double Launch(const std::wstring& program, const wchar_t* windowClass) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program + L"\"";
    const double start = Seconds();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return -1;
    HWND window = nullptr;
    while (!((window = FindWindowW(windowClass, nullptr)) && IsWindowVisible(window)) && Seconds() - start < 30) Sleep(1);
    const double elapsed = (Seconds() - start) * 1000;
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return window ? elapsed : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6 || argc % 2) {
        std::fputs("usage: startup ROUNDS PROGRAM CLASS PROGRAM CLASS [PROGRAM CLASS]...\n", stderr);
        return 2;
    }
    const int rounds = std::max(1, _wtoi(argv[1]));
    const int programs = (argc - 2) / 2;
    std::vector<std::vector<double>> times(programs), ratios(programs);
    for (int round = -2; round < rounds; ++round) {  // two rounds of warm-up, not counted
        std::vector<double> these;
        for (int p = 0; p < programs; ++p) {
            const double ms = Launch(argv[2 + 2 * p], argv[3 + 2 * p]);
            if (ms < 0) {
                std::fwprintf(stderr, L"startup: %ls did not show its window\n", argv[2 + 2 * p]);
                return 1;
            }
            these.push_back(ms);
        }
        if (round < 0) continue;
        for (int p = 0; p < programs; ++p) {
            times[p].push_back(these[p]);
            ratios[p].push_back(these[p] / these[1]);
        }
    }
    for (int p = 0; p < programs; ++p) {
        const wchar_t* name = std::max(std::wcsrchr(argv[2 + 2 * p], L'\\'), std::wcsrchr(argv[2 + 2 * p], L'/'));
        std::wprintf(L"%-22ls median %6.1f ms over %d rounds", name ? name + 1 : argv[2 + 2 * p], Median(times[p]), rounds);
        if (p == 1) std::wprintf(L"  (the yardstick)\n");
        else std::wprintf(L"  ratio to the yardstick, median of the rounds: %.3f\n", Median(ratios[p]));
    }
    return 0;
}
