#include "Launch.h"

bool Launch(const std::wstring& path, PROCESS_INFORMATION& process, std::wstring& why) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + path + L"\"";
    // Now and then (a few starts in ten thousand) Wine cannot map a new process's shared user
    // data page, error 1359: the start is made again, as nothing of the program ran.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return true;
    }
    const DWORD error = GetLastError();
    wchar_t text[512] = L"";
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
    why = L"cannot start " + path + L": error " + std::to_wstring(error) + L", " + text;
    while (!why.empty() && (why.back() == L'\n' || why.back() == L'\r')) why.pop_back();
    DWORD kind = 0;
    if (GetBinaryTypeW(path.c_str(), &kind) && kind == SCS_32BIT_BINARY) {
        why += L" (a 32-bit exe needs Wine's 32-bit loader, wine32, and a kernel that runs 32-bit x86 code)";
    }
    return false;
}

void End(PROCESS_INFORMATION& process) {
    if (!process.hProcess) return;
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
}
