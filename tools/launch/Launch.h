// Starting the dialog from another program, as the tests, the picture tool and the start-up
// benchmark do.
#pragma once

#include <windows.h>

#include <string>

// Starts the program. False when it cannot, with `why` saying what failed and what would help.
bool Launch(const std::wstring& path, PROCESS_INFORMATION& process, std::wstring& why);

// Ends a program that Launch started, whatever it is doing, and waits until it has.
void End(PROCESS_INFORMATION& process);
