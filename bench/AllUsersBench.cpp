// `morvanectl --all-users check` over 1, 10 and 50 profiles whose files are
// not loaded, beside `--hive FILE check` of one such file, in the same
// rounds and a rotating order: the cost of each profile against that of one
// profile checked alone, and how the total grows. The profile list is this
// throwaway prefix's own, replaced for each run.
#include "BenchUtil.h"
#include "Benches.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kExitTimeoutMs = 120000;
constexpr char kProfileList[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char kFolder[] = "C:\\morvane-bench-profiles";
constexpr int kSizes[] = {1, 10, 50};

std::string ProfileFile(int i) {
    return std::string(kFolder) + "\\p" + std::to_string(i) + "\\NTUSER.DAT";
}

std::string Sid(int i) {
    return "S-1-5-21-900-900-900-" + std::to_string(1000 + i);
}

// Fifty profile files, copies of one hive saved from an empty key.
bool MakeProfiles() {
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    for (const char* name : {SE_BACKUP_NAME, SE_RESTORE_NAME}) {
        TOKEN_PRIVILEGES p = {1};
        p.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        LookupPrivilegeValueA(nullptr, name, &p.Privileges[0].Luid);
        AdjustTokenPrivileges(token, FALSE, &p, 0, nullptr, nullptr);
    }
    CloseHandle(token);
    CreateDirectoryA(kFolder, nullptr);
    const std::string base = std::string(kFolder) + "\\base.dat";
    HKEY hKey;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\MorvaneBenchProfile", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &hKey, nullptr) != ERROR_SUCCESS)
        return false;
    DeleteFileA(base.c_str());
    const bool saved = RegSaveKeyA(hKey, base.c_str(), nullptr) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\MorvaneBenchProfile");
    for (int i = 1; saved && i <= 50; ++i) {
        CreateDirectoryA((std::string(kFolder) + "\\p" + std::to_string(i)).c_str(), nullptr);
        if (!CopyFileA(base.c_str(), ProfileFile(i).c_str(), FALSE))
            return false;
    }
    return saved;
}

// The profile list holds the first n profiles and nothing else.
void ListProfiles(int n) {
    HKEY hList;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kProfileList, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &hList, nullptr) != ERROR_SUCCESS)
        return;
    char name[256];
    for (DWORD size = sizeof(name);
         RegEnumKeyExA(hList, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         size = sizeof(name))
        RegDeleteTreeA(hList, name);
    RegDeleteValueA(hList, "Default");
    for (int i = 1; i <= n; ++i) {
        HKEY hProfile;
        const std::string folder = std::string(kFolder) + "\\p" + std::to_string(i);
        RegCreateKeyExA(hList, Sid(i).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &hProfile,
                        nullptr);
        RegSetValueExA(hProfile, "ProfileImagePath", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>(folder.size() + 1));
        RegCloseKey(hProfile);
    }
    RegCloseKey(hList);
}

struct Run {
    const char* label;
    int profiles; // 0: --hive of one file, else --all-users over this many
    std::string arguments;
    std::vector<double> ms;
};

// Start to exit, output to NUL; 0 when it did not end as check ends (0 or 1).
double TimeOnce(const std::string& ctl, Run& run, HANDLE nul) {
    if (run.profiles)
        ListProfiles(run.profiles);
    Sleep(100);
    STARTUPINFOA si{sizeof(si)};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + ctl + "\"" + run.arguments;
    const double t0 = NowUs();
    if (!CreateProcessA(ctl.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                        &pi))
        return 0;
    DWORD code = 99;
    if (WaitForSingleObject(pi.hProcess, kExitTimeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    const double t1 = NowUs();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (code > 1)
        fprintf(stderr, "%s: exit code %lu\n", run.label, code);
    return code <= 1 ? (t1 - t0) / 1000.0 : 0;
}

std::string Spread(std::vector<double> v, const char* format) {
    std::erase(v, 0.0);
    const Summary s = Summarize(v);
    char text[96];
    snprintf(text, sizeof(text), format, s.median, s.p25, s.p75);
    return text;
}

// Round by round: the run's time per profile over the single check's.
std::vector<double> PerProfileRatio(const Run& all, const Run& single) {
    std::vector<double> v;
    for (size_t i = 0; i < all.ms.size(); ++i)
        if (all.ms[i] > 0 && single.ms[i] > 0)
            v.push_back(all.ms[i] / all.profiles / single.ms[i]);
    return v;
}

void Report(const std::vector<Run>& runs, const QuietGate& gate, int rounds, int batch) {
    Heading("7. morvanectl --all-users check over profiles whose files are not loaded, beside\n"
            "   --hive FILE check of one such file: CreateProcess to exit; %d rounds in batches\n"
            "   of %d, each round the four once in a rotating order",
            rounds, batch);
    Line("machine quiet before each batch", "%s", gate.Describe().c_str());
    for (const Run& run : runs)
        Line(run.label, "%s", Spread(run.ms, "%.0f [%.0f-%.0f] ms").c_str());
    printf("   per profile / one --hive check, each round's pair, median [p25-p75]:\n");
    bool met = true;
    for (size_t k = 1; k < runs.size(); ++k) {
        const std::vector<double> ratio = PerProfileRatio(runs[k], runs[0]);
        met = met && Summarize(ratio).median <= 1.2;
        char label[64];
        snprintf(label, sizeof(label), "  %d profiles", runs[k].profiles);
        Line(label, "%s", Spread(ratio, "%.2fx [%.2f-%.2f]").c_str());
    }
    Line("cost per profile within 1.2x of one check", "goal: %s", Verdict(met));
    std::vector<double> step;
    for (size_t i = 0; i < runs[3].ms.size(); ++i)
        if (runs[3].ms[i] > 0 && runs[2].ms[i] > 0)
            step.push_back((runs[3].ms[i] - runs[2].ms[i]) / 40);
    Line("growth: each profile from 10 to 50", "%s", Spread(step, "%.1f ms [%.1f-%.1f]").c_str());
}

} // namespace

void AllUsersBench(const BenchOptions& o) {
    if (!MakeProfiles()) {
        Heading("7. morvanectl --all-users check: skipped, the profile files could not be made");
        return;
    }
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    const std::string preset = std::string(folder) + "morvane-bench-all-users.preset";
    const std::string check = " check \"" + preset + "\"";
    std::vector<Run> runs{
        {"--hive FILE check (1 profile)", 0, " --hive \"" + ProfileFile(1) + "\"" + check}};
    for (int n : kSizes)
        runs.push_back({n == 1    ? "--all-users check, 1 profile"
                        : n == 10 ? "--all-users check, 10 profiles"
                                  : "--all-users check, 50 profiles",
                        n, " --all-users" + check});

    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    DeleteFileA(preset.c_str());
    Run save{"save", 0, " save \"" + preset + "\""};
    TimeOnce(o.ctl, save, nul);
    for (Run& run : runs)
        TimeOnce(o.ctl, run, nul); // into the page cache, unrecorded
    QuietGate gate(o.quietShare, o.quietWaitS);
    for (int round = 0; round < o.allUsersRuns; ++round) {
        if (round % o.batchRounds == 0)
            gate.Wait();
        for (size_t k = 0; k < runs.size(); ++k) {
            Run& run = runs[(round + k) % runs.size()];
            run.ms.push_back(TimeOnce(o.ctl, run, nul));
        }
    }
    CloseHandle(nul);
    DeleteFileA(preset.c_str());
    Report(runs, gate, o.allUsersRuns, o.batchRounds);
}
