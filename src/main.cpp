// Quellin: shows and changes the automatic-logon settings of Windows.
#include <windows.h>

#include "dialog/MainForm.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    // Before anything else, so that no library is loaded by name first.
    MainForm::TakeLibrariesFromSystem32();
    return MainForm::Run(instance, show);
}
