// Stands in for net.exe and regsvr32.exe in a throwaway prefix: appends the
// command line it was started with to one log, so a test sees exactly what
// the program ran, and runs nothing.
#include <windows.h>

#include <string>

namespace {
constexpr char kLog[] = "C:\\morvane-recorder.log";
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* commandLine = GetCommandLineA();
    // One write per line with append access: lines from processes running at
    // the same time stay whole.
    const std::string line = std::string(commandLine) + "\r\n";
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE hLog = CreateFileA(kLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hLog != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(hLog, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(hLog);
            return 0;
        }
        Sleep(10);
    }
    return 1;
}
