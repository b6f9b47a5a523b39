// Quellin: shows and changes the automatic-logon settings of Windows.
#include <windows.h>

#include "dialog/MainForm.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // It runs elevated, often from a downloads folder that any program of the user's can write
    // to: a library loaded by name (uxtheme.dll, say) must come from System32, never from
    // beside the exe. Before anything else, so that no such load comes first.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return MainForm::Run(instance, show);
}
