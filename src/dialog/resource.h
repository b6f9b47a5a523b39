#pragma once

// The application icon; the lowest id, so the shell shows it for the exe.
#define IDI_QUELLIN 1
