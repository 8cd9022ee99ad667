#include "e2e/Driver.h"

#include <cstdio>

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>

namespace e2e {

const std::vector<int>& PageBoxes(int page) {
    static const std::vector<int> boxes[kPageCount] = {
        {1003, 1006, 1007, 1009, 1010, 1011, 1013, 1015, 1016, 1017, 1020},
        {1003, 1004, 1005, 1007, 1012, 1013, 1016, 1017, 1021},
        {1003, 1005, 1006, 1007, 1008, 1012, 1013, 1016, 1018, 1019, 1020, 1021},
        {1003, 1004, 1006, 1007, 1008, 1011, 1012, 1013},
        {1004, 1006, 1009, 1010, 1011, 1014, 1015, 1012, 1018, 1019},
    };
    return boxes[page];
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (done())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
}

// Under load Wine now and then refuses a start with ERROR_INTERNAL_ERROR
// (1359) and takes the same start a moment later, so a refused start is
// tried again a few times.
Process::Process(const std::string& exe) {
    STARTUPINFOA si{sizeof(si)};
    std::string cmd = "\"" + exe + "\"";
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &si, &m_pi))
            return;
        m_pi = {};
        m_startError = GetLastError();
        if (m_startError != ERROR_INTERNAL_ERROR)
            return;
        Sleep(200);
    }
}

Process::~Process() {
    if (!Started())
        return;
    if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_pi.hProcess, 1);
        WaitForSingleObject(m_pi.hProcess, 5000);
    }
    CloseHandle(m_pi.hThread);
    CloseHandle(m_pi.hProcess);
}

bool Process::Ended(DWORD timeoutMs) const {
    return Started() && WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
    DWORD code;
    if (!Ended(0) || !GetExitCodeProcess(m_pi.hProcess, &code))
        return std::nullopt;
    return code;
}

HWND WaitForMainWindow(DWORD pid, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND h = FindWindowA(nullptr, "Morvane"); h;
                 h = FindWindowExA(nullptr, h, nullptr, "Morvane")) {
                DWORD owner = 0;
                GetWindowThreadProcessId(h, &owner);
                if ((pid == 0 || owner == pid) && IsWindowVisible(h)) {
                    found = h;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

std::optional<LRESULT> Send(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                            DWORD timeoutMs) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hWnd, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result))
        return std::nullopt;
    return static_cast<LRESULT>(result);
}

std::optional<RECT> TabItemRect(HWND hTab, int index) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hTab, &pid);
    HANDLE hProcess =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!hProcess)
        return std::nullopt;
    std::optional<RECT> rect;
    if (void* remote = VirtualAllocEx(hProcess, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE,
                                      PAGE_READWRITE)) {
        RECT rc{};
        SIZE_T read = 0;
        if (Send(hTab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(remote)).value_or(0) &&
            ReadProcessMemory(hProcess, remote, &rc, sizeof(rc), &read) && read == sizeof(rc))
            rect = rc;
        VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    }
    CloseHandle(hProcess);
    return rect;
}

bool ClickTab(HWND hTab, int index) {
    const std::optional<RECT> rc = TabItemRect(hTab, index);
    if (!rc)
        return false;
    const LPARAM at = MAKELPARAM((rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
    return Send(hTab, WM_LBUTTONDOWN, MK_LBUTTON, at) && Send(hTab, WM_LBUTTONUP, 0, at);
}

namespace {

std::vector<int> ChildIds(HWND hParent) {
    std::vector<int> ids;
    for (HWND h = GetWindow(hParent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(h));
    return ids;
}

bool SameIds(std::vector<int> a, std::vector<int> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

} // namespace

std::array<HWND, kPageCount> Pages(HWND hMain) {
    std::array<HWND, kPageCount> pages{};
    // The pages live in a container, a child of the main window.
    for (HWND hContainer = GetWindow(hMain, GW_CHILD); hContainer;
         hContainer = GetWindow(hContainer, GW_HWNDNEXT))
        for (HWND hPage = GetWindow(hContainer, GW_CHILD); hPage;
             hPage = GetWindow(hPage, GW_HWNDNEXT))
            for (int i = 0; i < kPageCount; ++i)
                if (!pages[i] && SameIds(ChildIds(hPage), PageBoxes(i)))
                    pages[i] = hPage;
    return pages;
}

int ThreadCount(DWORD pid) {
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    THREADENTRY32 te{sizeof(te)};
    for (BOOL more = Thread32First(hSnap, &te); more; more = Thread32Next(hSnap, &te))
        if (te.th32OwnerProcessID == pid)
            ++count;
    CloseHandle(hSnap);
    return count;
}

int ProcessCount(const char* exeName) {
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32 pe{sizeof(pe)};
    for (BOOL more = Process32First(hSnap, &pe); more; more = Process32Next(hSnap, &pe))
        if (lstrcmpiA(pe.szExeFile, exeName) == 0)
            ++count;
    CloseHandle(hSnap);
    return count;
}

SIZE WindowSize(HWND hWnd) {
    RECT rc{};
    GetWindowRect(hWnd, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// The recorder runs in place of the system's net.exe and regsvr32.exe: Wine
// starts both from the system folder, and loads the files there only when
// told to prefer them to its own.
bool InstallRecorder(const std::string& recorder) {
    for (const char* name : {"net.exe", "regsvr32.exe"}) {
        const std::string target = std::string("C:\\windows\\system32\\") + name;
        if (!CopyFileA(recorder.c_str(), target.c_str(), FALSE)) {
            fprintf(stderr, "cannot copy %s over %s: %lu\n", recorder.c_str(), target.c_str(),
                    GetLastError());
            return false;
        }
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
            return false;
        RegSetValueExA(hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
        RegCloseKey(hKey);
    }
    DeleteFileA(kRecorderLog);
    return true;
}

} // namespace e2e
