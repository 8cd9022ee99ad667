// Stands in for net.exe and regsvr32.exe in a throwaway prefix: appends its
// command line to a log and ends with the exit code that the variable
// MORVANE_RECORDER_EXIT names (0 without it), so a test can see both what
// was started and how its failure is reported.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {
constexpr char kLog[] = "C:\\morvane-recorder.log";
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string line = std::string(GetCommandLineA()) + "\r\n";
    char code[16] = "0";
    GetEnvironmentVariableA("MORVANE_RECORDER_EXIT", code, sizeof(code));
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE hLog = CreateFileA(kLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hLog != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(hLog);
            return atoi(code);
        }
        Sleep(10);
    }
    return 100;
}
