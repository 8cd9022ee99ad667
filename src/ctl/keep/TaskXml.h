// The definition of a kept preset's task, as the Task Scheduler reads it from
// XML: LocalSystem with the highest rights, started at start-up, daily and
// when an update was installed, never twice at once.
#pragma once

#include <string>

struct KeptTask {
    std::wstring name;    // the task's path, e.g. "\Morvane\lab"
    std::wstring program; // morvanectl.exe's full path
    std::wstring preset;  // the kept copy's full path
    std::wstring start;   // the daily trigger's first run, "2026-12-10T03:00:00"
};

// The System log's query for an installed update, as the event trigger holds it.
inline constexpr wchar_t kUpdateInstalledQuery[] =
    L"<QueryList><Query Id=\"0\" Path=\"System\"><Select Path=\"System\">"
    L"*[System[Provider[@Name='Microsoft-Windows-WindowsUpdateClient'] and EventID=19]]"
    L"</Select></Query></QueryList>";

// The whole document, declared UTF-16 as schtasks.exe expects it.
std::wstring TaskXml(const KeptTask& task);

// What a definition's triggers are, in words: "at start-up, daily at 03:00,
// after an installed update"; empty when it has none.
std::string TriggerWords(const std::wstring& xml);

// The program a definition runs, as its <Command> names it; empty when it
// names none.
std::wstring TaskProgram(const std::wstring& xml);
