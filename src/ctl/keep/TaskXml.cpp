#include "ctl/keep/TaskXml.h"

#include <cwchar>
#include <utility>

namespace {

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t ch : text) {
        const wchar_t* entity = ch == L'&'   ? L"&amp;"
                                : ch == L'<' ? L"&lt;"
                                : ch == L'>' ? L"&gt;"
                                : ch == L'"' ? L"&quot;"
                                             : nullptr;
        if (entity)
            out += entity;
        else
            out += ch;
    }
    return out;
}

std::wstring Folder(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring Triggers(const KeptTask& task) {
    return L"  <Triggers>\r\n"
           L"    <BootTrigger>\r\n      <Enabled>true</Enabled>\r\n    </BootTrigger>\r\n"
           L"    <CalendarTrigger>\r\n      <Enabled>true</Enabled>\r\n"
           L"      <StartBoundary>" +
           task.start +
           L"</StartBoundary>\r\n"
           L"      <ScheduleByDay>\r\n        <DaysInterval>1</DaysInterval>\r\n"
           L"      </ScheduleByDay>\r\n    </CalendarTrigger>\r\n"
           L"    <EventTrigger>\r\n      <Enabled>true</Enabled>\r\n"
           L"      <Subscription>" +
           Escaped(kUpdateInstalledQuery) +
           L"</Subscription>\r\n"
           L"    </EventTrigger>\r\n  </Triggers>\r\n";
}

std::wstring Settings() {
    return L"  <Settings>\r\n"
           L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
           L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
           L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
           L"    <StartWhenAvailable>true</StartWhenAvailable>\r\n"
           L"    <ExecutionTimeLimit>PT1H</ExecutionTimeLimit>\r\n"
           L"    <Enabled>true</Enabled>\r\n  </Settings>\r\n";
}

} // namespace

std::wstring TaskXml(const KeptTask& task) {
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           L"<Task version=\"1.2\" "
           L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           L"  <RegistrationInfo>\r\n    <Author>morvanectl</Author>\r\n"
           L"    <Description>Applies " +
           Escaped(task.preset) +
           L" to the machine and every profile again, as morvanectl keep registered "
           L"it.</Description>\r\n"
           L"    <URI>" +
           Escaped(task.name) + L"</URI>\r\n  </RegistrationInfo>\r\n" + Triggers(task) +
           L"  <Principals>\r\n    <Principal id=\"LocalSystem\">\r\n"
           L"      <UserId>S-1-5-18</UserId>\r\n      <RunLevel>HighestAvailable</RunLevel>\r\n"
           L"    </Principal>\r\n  </Principals>\r\n" +
           Settings() +
           L"  <Actions Context=\"LocalSystem\">\r\n    <Exec>\r\n"
           L"      <Command>" +
           Escaped(task.program) +
           L"</Command>\r\n"
           L"      <Arguments>--all-users apply " +
           Escaped(L"\"" + task.preset + L"\"") +
           L"</Arguments>\r\n"
           L"      <WorkingDirectory>" +
           Escaped(Folder(task.program)) +
           L"</WorkingDirectory>\r\n"
           L"    </Exec>\r\n  </Actions>\r\n</Task>\r\n";
}

std::string TriggerWords(const std::wstring& xml) {
    std::string words;
    auto add = [&](const char* text) { words += (words.empty() ? "" : ", ") + std::string(text); };
    if (xml.find(L"<BootTrigger>") != std::wstring::npos)
        add("at start-up");
    if (const size_t at = xml.find(L"<StartBoundary>");
        at != std::wstring::npos && xml.find(L"<ScheduleByDay>") != std::wstring::npos) {
        const std::wstring time = xml.substr(at + 15 + 11, 5);
        add(("daily at " + std::string(time.begin(), time.end())).c_str());
    }
    if (xml.find(L"WindowsUpdateClient") != std::wstring::npos)
        add("after an installed update");
    return words;
}

std::wstring TaskProgram(const std::wstring& xml) {
    const size_t begin = xml.find(L"<Command>"), end = xml.find(L"</Command>");
    if (begin == std::wstring::npos || end == std::wstring::npos || end < begin)
        return {};
    std::wstring program = xml.substr(begin + 9, end - begin - 9);
    for (const auto& [entity, ch] :
         {std::pair{L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&amp;", L'&'}})
        for (size_t at = 0; (at = program.find(entity, at)) != std::wstring::npos; ++at)
            program.replace(at, wcslen(entity), 1, ch);
    return program;
}
