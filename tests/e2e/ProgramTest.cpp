// The real morvane.exe, started as its own process: the window a user meets,
// a click that changes the registry, and "Save && Exit" ending the process.
#include "resource.h"
#include "support/RegistrySandbox.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string g_program;

class Program {
public:
    explicit Program(const std::string& exe) {
        STARTUPINFOA si{sizeof(si)};
        std::string cmd = "\"" + exe + "\"";
        started = CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &si, &pi);
    }
    ~Program() {
        if (started && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(pi.hProcess, 1);
        if (started) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    // The main window once it is shown (FindWindow sees it already inside
    // its initialisation).
    HWND Window() const {
        for (int i = 0; i < 300; ++i) {
            HWND h = FindWindowA(nullptr, "Morvane");
            if (h && IsWindowVisible(h))
                return h;
            Sleep(50);
        }
        return nullptr;
    }
    bool Ended(DWORD ms) const { return WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }

    BOOL started = FALSE;
    PROCESS_INFORMATION pi{};
};

// The General page: the first child of the page container.
HWND GeneralPage(HWND hMain) {
    for (HWND h = GetWindow(hMain, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
        if (HWND hPage = GetWindow(h, GW_CHILD); hPage && GetDlgItem(hPage, 1016))
            return hPage;
    return nullptr;
}

// What the program could touch, without Wine's own bookkeeping.
std::map<std::string, RegValue> Settings() {
    std::map<std::string, RegValue> all;
    SnapshotKey(HKEY_CURRENT_USER, "Software", "HKCU\\Software\\", all);
    SnapshotKey(HKEY_CURRENT_USER, "Control Panel", "HKCU\\Control Panel\\", all);
    SnapshotKey(HKEY_LOCAL_MACHINE, "Software", "HKLM\\Software\\", all);
    SnapshotKey(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Lsa",
                "HKLM\\Lsa\\", all);
    std::erase_if(all, [](const auto& entry) {
        return entry.first.find("\\Wine\\") != std::string::npos ||
               entry.first.starts_with("HKLM\\Software\\Classes\\");
    });
    return all;
}

TEST(ProgramTest, AClickChangesItsSettingAndSaveAndExitEndsTheProgram) {
    const auto before = Settings();
    Program program(g_program);
    ASSERT_TRUE(program.started) << g_program;
    HWND hMain = program.Window();
    ASSERT_TRUE(hMain);
    HWND hPage = GeneralPage(hMain);
    ASSERT_TRUE(hPage);
    EXPECT_TRUE(IsWindowVisible(hPage));
    EXPECT_FALSE(IsDlgButtonChecked(hPage, 1016));

    SendMessageA(GetDlgItem(hPage, 1016), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsDlgButtonChecked(hPage, 1016));
    EXPECT_EQ(GetValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "AutoEndTasks"), Sz("1"));

    PostMessageA(GetDlgItem(hMain, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(program.Ended(10000));
    DWORD code = 1;
    GetExitCodeProcess(program.pi.hProcess, &code);
    EXPECT_EQ(code, 0u);

    // Nothing else changed but the probe value, which stays.
    auto after = Settings();
    EXPECT_EQ(after["HKCU\\Control Panel\\Desktop\\:AutoEndTasks"], Sz("1"));
    EXPECT_EQ(after["HKLM\\Software\\morvane\\:test"], Dword(0));
    auto expected = before;
    expected["HKCU\\Control Panel\\Desktop\\:AutoEndTasks"] = Sz("1");
    expected["HKLM\\Software\\morvane\\"] = RegValue{REG_NONE, {}};
    expected["HKLM\\Software\\morvane\\:test"] = Dword(0);
    EXPECT_EQ(after, expected);
}

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: program_tests PATH-TO-morvane.exe\n");
        return 2;
    }
    g_program = argv[1];
    // A Unix path is reached through Wine's Z: drive.
    if (g_program.front() == '/') {
        for (char& c : g_program)
            if (c == '/')
                c = '\\';
        g_program = "Z:" + g_program;
    }
    return RUN_ALL_TESTS();
}
