// The skin library: gives every dialog of the program the same background and
// text colours. It changes colours only, never how a control behaves; with a
// missing or unreadable skin the program looks like a plain Windows program,
// and so it does while the user has high contrast on.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>

// Entry 1: initialises the library for this program.
BOOL SkinInitialize(HINSTANCE hInstance, const char* appName, void* reserved1, void* reserved2);
// Entry 4: loads the skin from a resource of the given name and type.
BOOL SkinLoadFromResource(HINSTANCE hInstance, const char* name, const char* type);
// Entry 8: draws every dialog created from now on with the loaded skin;
// "Dialog" is the only skin object there is.
BOOL SkinApplyToDialogs(const char* objectName);

// The skin format: lines "key = RRGGBB"; ';' starts a comment. Both colours
// must be present for the skin to count.
struct SkinColors {
    COLORREF background;
    COLORREF text;
};
std::optional<SkinColors> ParseSkin(const char* data, std::size_t size);
