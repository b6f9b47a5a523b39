// Pictures of windows as the screen shows them, read from and written to PNG files: for the
// guide's picture (quellin_shot.exe) and for the tests that hold the dialog to approved pictures.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Picture {
    UINT width = 0, height = 0;
    std::vector<BYTE> bgra;  // rows top down, four bytes a pixel
    bool operator==(const Picture&) const = default;
};

// A rectangle of what a device context shows.
Picture Capture(HDC source, const RECT& r);

// The window's rectangle of the screen, frame and caption included. On a display with no
// window manager Wine draws the frame itself, and nothing else covers the window.
Picture CaptureWindow(HWND window);

// An empty picture when the file cannot be read.
Picture ReadPng(const std::wstring& path);
bool WritePng(const Picture& picture, const std::wstring& path);
