// Quellin: shows and changes the automatic-logon settings of Windows.
#include <windows.h>

#include "dialog/MainForm.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    return MainForm::Run(instance, show);
}
