// A stand-in for uxtheme.dll, planted beside the exe by the tests: loaded, it leaves a marker
// file beside itself, as planted code could do anything with the rights of the process.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    std::wstring marker(path, GetModuleFileNameW(self, path, MAX_PATH));
    marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"planted.marker";
    CloseHandle(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
