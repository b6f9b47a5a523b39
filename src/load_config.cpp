// The exe's load configuration. Its one setting of note: Windows takes the libraries the exe
// imports from System32 only, never from the exe's own folder, before any of our code runs.
// Microsoft's linker sets it with /DEPENDENTLOADFLAG and supplies this structure itself.
#include <windows.h>

#include <cstddef>

// Kept alone in a section of its own, where the build finds it after linking: GNU ld does not
// point the exe's load-configuration directory at it, as lld does (cmake/set-load-config.sh).
// The size stops short of the SafeSEH fields: this exe has no handler table to declare.
constexpr IMAGE_LOAD_CONFIG_DIRECTORY LoadConfig() {
    IMAGE_LOAD_CONFIG_DIRECTORY config{};
    config.Size = offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, SEHandlerTable);
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;  // DependentLoadFlags in newer headers
    return config;
}

// Where the loader reads the flags (DependentLoadFlags; the older headers call it Reserved1).
#ifdef _WIN64
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, Reserved1) == 0x4E);
#else
static_assert(offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, Reserved1) == 0x36);
#endif

extern "C" __attribute__((section(".lcfg"), used)) const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = LoadConfig();
