// Where a key, named as the tweak tables name it, is in this process's
// registry now: the one mapping every read and write of the registry layer
// (Registry.h) and every message's key name go through.
#pragma once

#include "system/RegValue.h"

#include <windows.h>

#include <string>

// What a machine-wide key outside an open image's hives maps to: a write
// there fails with it, a read finds nothing, as the image holds nothing there.
inline constexpr LSTATUS kOutsideImage = ERROR_BAD_PATHNAME;

template <class Text> struct KeyPlace {
    HKEY root = nullptr;
    Text path;
    bool inImage = false; // a key of an offline image's: no link in it is followed
};

// Without an image open, the root's own key and the path as given. While an
// offline image is open (OfflineImage.h):
//   HKLM\SOFTWARE\...                 HKLM\Morvane.Image.<PID>.SOFTWARE\...
//   HKLM\SYSTEM\CurrentControlSet\... HKLM\Morvane.Image.<PID>.SYSTEM\ControlSet00N\...
//   HKCR\...                          HKLM\Morvane.Image.<PID>.SOFTWARE\Classes\...
//   HKCU\...                          as given: HKEY_CURRENT_USER stands for the
//                                     image's Default profile then
// and any other HKLM key is kOutsideImage, never the running system's.
// Names are matched as the registry matches them, whatever their case.
LSTATUS MapKey(RegRoot root, const std::string& path, KeyPlace<std::string>* place);
LSTATUS MapKey(RegRoot root, const std::wstring& path, KeyPlace<std::wstring>* place);
