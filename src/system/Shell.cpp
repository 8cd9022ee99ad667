#include "system/Shell.h"

#include "framework/OnDemand.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {
HINSTANCE WINAPI ShellExecuteOnDemand(HWND hWnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                                      LPCSTR directory, INT show) {
    static const auto shellExecute = OnDemand<ShellExecuteFn>("shell32.dll", "ShellExecuteA");
    if (!shellExecute)
        return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(SE_ERR_DLLNOTFOUND));
    return shellExecute(hWnd, verb, file, parameters, directory, show);
}

// A kernel handle, closed when it goes out of scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE* Out() { return &m_h; }
    HANDLE Get() const { return m_h; }
    void Close() {
        if (m_h)
            CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

// The program's full path: a bare name from the system folder when it is
// there, else from the usual search order.
std::string ProgramPath(const char* file) {
    if (strpbrk(file, "\\/:"))
        return file;
    char path[MAX_PATH];
    const std::string system = SystemFolder();
    for (const char* folder : {system.empty() ? nullptr : system.c_str(), (const char*)nullptr}) {
        const DWORD length = SearchPathA(folder, file, nullptr, sizeof(path), path, nullptr);
        if (length && length < sizeof(path))
            return path;
    }
    return file;
}

// Takes what the pipe holds now, without waiting for more.
void Drain(HANDLE pipe, std::string* output) {
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available) {
        char buffer[4096];
        DWORD got = 0;
        if (!ReadFile(pipe, buffer, available < sizeof(buffer) ? available : sizeof(buffer), &got,
                      nullptr) ||
            !got)
            return;
        output->append(buffer, got);
    }
}

// How often the pipe is emptied while the program runs: often enough that it
// never fills and stalls the program.
constexpr DWORD kDrainEveryMs = 10;
// ANSI text in the system's code page as UTF-16.
std::wstring Widened(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                           wide.data(), static_cast<int>(wide.size()));
    wide.resize(length > 0 ? length : 0);
    return wide;
}

RunResult RunCommandLine(std::wstring commandLine, int show, DWORD timeoutMs) {
    RunResult result;
    SECURITY_ATTRIBUTES inherited{sizeof(inherited), nullptr, TRUE};
    Handle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Out(), writeEnd.Out(), &inherited, 0) ||
        !SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0)) {
        result.error = GetLastError();
        return result;
    }
    Handle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                               OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    startup.hStdInput = nothing.Get();
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        result.error = GetLastError();
        return result;
    }
    Handle hProcess(process.hProcess), hThread(process.hThread);
    // Only the program holds the write end now: its end is the pipe's end.
    writeEnd.Close();
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD waited = GetTickCount() - started;
        const DWORD wait = waited >= timeoutMs                  ? 0
                           : timeoutMs - waited < kDrainEveryMs ? timeoutMs - waited
                                                                : kDrainEveryMs;
        const DWORD signalled = WaitForSingleObject(hProcess.Get(), wait);
        Drain(readEnd.Get(), &result.output);
        if (signalled == WAIT_OBJECT_0) {
            GetExitCodeProcess(hProcess.Get(), &result.exitCode);
            result.outcome = RunResult::Ended;
            return result;
        }
        if (signalled != WAIT_TIMEOUT || wait == 0) {
            result.outcome = RunResult::StillRunning;
            return result;
        }
    }
}
} // namespace

ShellExecuteFn g_pfnShellExecute = &ShellExecuteOnDemand;
RunAndWaitFn g_pfnRunAndWait = static_cast<RunAndWaitFn>(&RunAndWait);
RunAndWaitWideFn g_pfnRunAndWaitWide = static_cast<RunAndWaitWideFn>(&RunAndWait);

HINSTANCE ShellOpen(const char* file, const char* parameters, int show) {
    return g_pfnShellExecute(nullptr, nullptr, file, parameters, nullptr, show);
}

RunResult RunAndWait(const char* file, const char* parameters, int show, DWORD timeoutMs) {
    std::string commandLine = "\"" + ProgramPath(file) + "\"";
    if (parameters && *parameters)
        commandLine += std::string(" ") + parameters;
    return RunCommandLine(Widened(commandLine), show, timeoutMs);
}

RunResult RunAndWait(const char* file, const std::wstring& parameters, int show, DWORD timeoutMs) {
    std::wstring commandLine = L"\"" + Widened(ProgramPath(file)) + L"\"";
    if (!parameters.empty())
        commandLine += L" " + parameters;
    return RunCommandLine(std::move(commandLine), show, timeoutMs);
}

std::string SystemFolder() {
    static const auto getFolderPath =
        OnDemand<decltype(&SHGetFolderPathA)>("shell32.dll", "SHGetFolderPathA");
    char path[MAX_PATH];
    if (!getFolderPath ||
        FAILED(getFolderPath(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    return path;
}
