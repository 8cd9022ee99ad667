// The tweaks' effects and conditions written out in words, as the console
// program shows them, and the facts about a row that it reports. The words
// it reads (tweak names and states) are in Choices.h.
#pragma once

#include "system/ErrorText.h"
#include "tweaks/Tweaks.h"

#include <string>
#include <string_view>

// "HKCU\Software\Quelt" for the store, "HKLM\key" and so on otherwise.
std::string KeyName(RegRoot root, const char* key);

// The per-user root where a command really reads and writes: "HKCU", or
// "HKU\<SID>" (or a profile file's mount) with --user or --hive.
std::string ShortUserRoot();
// KeyName, with the per-user root named as ShortUserRoot names it.
std::string RealKeyName(RegRoot root, const char* key);

struct Effect;

// Stands for the system folder where a text must not depend on the machine.
inline constexpr char kSystemFolderWords[] = "<system folder>";

// What an effect does, e.g. "set HKCU\...\Advanced : Hidden = DWORD 1" or
// "run net.exe START "W32Time"". systemFolder completes the parameters of a
// program that is given a system file.
std::string EffectWords(const Effect& effect, const std::string& systemFolder = kSystemFolderWords);

// What a condition reads and what it wants, e.g. "HKLM\...\Lsa : nolmhash is
// DWORD 0 (read from HKLM only; missing or not a DWORD reads as 1)".
std::string ConditionWords(const Condition& condition);

// Any machine-wide or class write, or any program started.
bool NeedsAdmin(const TweakRow& row);

// The rights a row needs, as every command and the reference spell them:
// "administrator" or "user".
const char* Rights(const TweakRow& row);

// The page a row is on, by its tab text.
const char* PageOf(const TweakRow& row);

// A JSON string literal of the text.
std::string JsonText(const std::string& text);
