// The tweaks' phrases and conditions written out in words, as the console
// program shows them, and the facts about a row that it reports.
#pragma once

#include "tweaks/Tweaks.h"

#include <string>

// "HKCU\Software\Quelt" for the store, "HKLM\key" and so on otherwise.
std::string KeyName(RegRoot root, const char* key);

// What a phrase does, e.g. "set HKCU\...\Advanced : Hidden = DWORD 1" or
// "run net.exe START "W32Time"". systemFolder completes the parameters of a
// program that is given a system file.
std::string PhraseWords(const Phrase& phrase, const std::string& systemFolder);

// What a condition reads and what it wants, e.g. "HKLM\...\Lsa : nolmhash is
// DWORD 0 (read from HKLM only; missing or not a DWORD reads as 1)".
std::string ConditionWords(const Condition& condition);

// Any machine-wide or class write, or any program started.
bool NeedsAdmin(const TweakRow& row);

// The page a row is on, by its tab text.
const char* PageOf(const TweakRow& row);

// The system's text for an error code, with the number: "Access is denied. (5)".
std::string ErrorText(DWORD code);

// Stands for the system folder where a text must not depend on the machine.
inline constexpr char kSystemFolderWords[] = "<system folder>";
