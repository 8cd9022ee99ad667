// Functions of DLLs that the program loads on first use instead of at start:
// most runs never start a command, delete a key or load a picture, and each
// of those DLLs costs start-up time.
#pragma once

#include <windows.h>

template <class Fn> Fn OnDemand(const char* dll, const char* name) {
    HMODULE hModule = LoadLibraryA(dll);
    return hModule ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(hModule, name)))
                   : nullptr;
}
