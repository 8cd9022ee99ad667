// What a cell makes and what a row reads, as every command sees them: which
// effects make one service setting, and which stored value decides a read.
#include "ctl/formats/Choices.h"
#include "ctl/commands/Tweak.h"
#include "support/RegistrySandbox.h"
#include "system/Effects.h"
#include "tweaks/Tweaks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The calls a list walk makes, one word each; a service setting as
// "service NAME start|stop".
class Calls : public EffectVisitor {
public:
    std::vector<std::string> calls;
    void SetValue(const Effect&) override { calls.push_back("set"); }
    void DeleteValue(const Effect&) override { calls.push_back("delete"); }
    void CreateClassKey(const Effect&) override { calls.push_back("create"); }
    void DeleteClassKey(const Effect&) override { calls.push_back("delete key"); }
    void Run(const Effect&) override { calls.push_back("run"); }
    void Service(const Effect& write, const Effect&) override {
        calls.push_back("service " + write.service + (write.start ? " start" : " stop"));
    }
};

std::vector<std::string> CallsOf(const Cell& cell) {
    Calls calls;
    VisitAll(EffectsOf(cell), calls);
    return calls.calls;
}

constexpr Key W32TIME{"System\\CurrentControlSet\\Services\\W32Time"};

struct CellCase {
    const char* what;
    Cell cell;
    std::vector<std::string> calls;
};

// Plain arrays: each cell's list lives as long as the table, as in the
// tweak tables.
const CellCase kCells[] = {
    {"a start-type write, then net.exe starting that service",
     {ServiceStartType(W32TIME, "W32Time", 2, true),
      ServiceCommand("START \"W32Time\"", "W32Time", true)},
     {"service W32Time start"}},
    {"the same, stopping it",
     {ServiceStartType(W32TIME, "W32Time", 3, false),
      ServiceCommand("STOP \"W32Time\"", "W32Time", false)},
     {"service W32Time stop"}},
    {"the same phrases without the table's mark",
     {SetDword(HKLM, W32TIME, "Start", 2), RunHidden("net.exe", "START \"W32Time\"")},
     {"set", "run"}},
    {"marks of two services",
     {ServiceStartType(W32TIME, "W32Time", 2, true),
      ServiceCommand("START \"WerSvc\"", "WerSvc", true)},
     {"set", "run"}},
    {"a marked command without its write",
     {ServiceCommand("START \"W32Time\"", "W32Time", true)},
     {"run"}},
    {"a marked command before its write",
     {ServiceCommand("START \"W32Time\"", "W32Time", true),
      ServiceStartType(W32TIME, "W32Time", 2, true)},
     {"run", "set"}},
    {"a write of Start to another service's key before net.exe",
     {SetDword(HKLM, W32TIME, "Start", 2), RunHidden("net.exe", "START \"WerSvc\"")},
     {"set", "run"}},
    {"a run without a write", {RunHidden("net.exe", "START \"W32Time\"")}, {"run"}},
    {"a write of another value",
     {SetDword(HKLM, W32TIME, "Type", 2), RunHidden("net.exe", "START \"W32Time\"")},
     {"set", "run"}},
    {"a per-user write",
     {SetDword(HKCU, W32TIME, "Start", 2), RunHidden("net.exe", "START \"W32Time\"")},
     {"set", "run"}},
    {"another program",
     {SetDword(HKLM, W32TIME, "Start", 2), RunHidden("sc.exe", "START \"W32Time\"")},
     {"set", "run"}},
    {"a second run after the pair",
     {ServiceStartType(W32TIME, "W32Time", 3, false),
      ServiceCommand("STOP \"W32Time\"", "W32Time", false),
      RunHidden("net.exe", "START \"W32Time\"")},
     {"service W32Time stop", "run"}},
};

// The Services page's rows and the service each one sets.
const std::pair<const char*, const char*> kServiceRows[] = {
    {"services/error-reporting", "WerSvc"},   {"services/automatic-updates", "wuauserv"},
    {"services/security-center", "wscsvc"},   {"services/time-synchronization", "W32Time"},
    {"services/upnp-host", "upnphost"},       {"services/upnp-discovery", "SSDPSRV"},
    {"services/rpc-locator", "RpcLocator"},   {"services/remote-registry", "RemoteRegistry"},
    {"services/image-acquisition", "stisvc"},
};
// Two effects a setting, a setting each way, and none outside those rows.
constexpr size_t kServiceEffectsInTables = 36;

TEST(EffectsTest, OnlyAStartTypeWriteAndNetExeForTheSameServiceMakeAServiceSetting) {
    for (const CellCase& c : kCells)
        EXPECT_EQ(CallsOf(c.cell), c.calls) << c.what;

    for (const auto& [name, service] : kServiceRows) {
        const TweakRow* row = ReadTweakName(name, nullptr);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(CallsOf(row->onCheck),
                  std::vector<std::string>{std::string("service ") + service + " start"});
        EXPECT_EQ(CallsOf(row->onUncheck),
                  std::vector<std::string>{std::string("service ") + service + " stop"});
    }
    size_t marked = 0;
    for (const TweakTable& table : TweakTables())
        for (const TweakRow& row : table.rows)
            for (const Cell* cell : {&row.onCheck, &row.onUncheck})
                for (const Effect& e : EffectsOf(*cell))
                    marked += !e.service.empty();
    EXPECT_EQ(marked, kServiceEffectsInTables);
}

const char ADVANCED[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
const char MAIN[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char TIME[] = "System\\CurrentControlSet\\Services\\W32Time";

struct Stored {
    HKEY root;
    const char* key;
    const char* name;
    DWORD type;
    std::string bytes;
};

struct ReadCase {
    const char* what;
    const char* row;
    std::vector<Stored> values;
    bool on;
    std::string decides;
};

std::string Bytes(DWORD n) {
    return std::string(reinterpret_cast<const char*>(&n), sizeof(n));
}

// The reader and check's explanation follow one description of each read.
TEST(ReadTest, TheValueThatDecidesIsTheOneTheReaderTakes) {
    const std::string eightBytes("\1\0\0\0\0\0\0\0", 8);
    const std::vector<ReadCase> cases = {
        {"a DWORD read passes over more than 4 bytes under HKCU",
         "usability/show-hidden-files",
         {{HKEY_CURRENT_USER, ADVANCED, "Hidden", REG_QWORD, eightBytes},
          {HKEY_LOCAL_MACHINE, ADVANCED, "Hidden", REG_DWORD, Bytes(1)}},
         true,
         "HKLM\\" + std::string(ADVANCED) + " : Hidden = DWORD 1 decides"},
        {"a DWORD read takes a short value of another type under HKCU",
         "usability/show-hidden-files",
         {{HKEY_CURRENT_USER, ADVANCED, "Hidden", REG_SZ, std::string("1", 2)},
          {HKEY_LOCAL_MACHINE, ADVANCED, "Hidden", REG_DWORD, Bytes(1)}},
         false,
         "HKCU\\" + std::string(ADVANCED) + " : Hidden = SZ \"1\" decides"},
        {"nothing taken under either root",
         "usability/show-hidden-files",
         {{HKEY_CURRENT_USER, ADVANCED, "Hidden", REG_QWORD, eightBytes}},
         false,
         "HKCU\\" + std::string(ADVANCED) +
             " : Hidden is missing under HKCU and HKLM, which never matches"},
        {"an HKLM-only read never looks under HKCU",
         "services/time-synchronization",
         {{HKEY_CURRENT_USER, TIME, "Start", REG_DWORD, Bytes(2)},
          {HKEY_LOCAL_MACHINE, TIME, "Start", REG_DWORD, Bytes(3)}},
         false,
         "HKLM\\" + std::string(TIME) + " : Start = DWORD 3 decides"},
        {"a string read takes any value under HKCU",
         "iexplorer/blank-home-page",
         {{HKEY_CURRENT_USER, MAIN, "Start Page", REG_BINARY, eightBytes + eightBytes},
          {HKEY_LOCAL_MACHINE, MAIN, "Start Page", REG_SZ, std::string("about:blank", 12)}},
         false,
         "HKCU\\" + std::string(MAIN) + " : Start Page = type 3, 16 bytes decides"},
    };
    for (const ReadCase& c : cases) {
        RegistrySandbox sandbox;
        for (const Stored& v : c.values)
            PutValue(v.root, v.key, v.name, v.type, v.bytes.data(),
                     static_cast<DWORD>(v.bytes.size()));
        const TweakRow* row = ReadTweakName(c.row, nullptr);
        ASSERT_NE(row, nullptr) << c.row;
        EXPECT_EQ(ReadsOn(*row), c.on) << c.what;
        EXPECT_EQ(WhatDecides(*row), c.decides) << c.what;
    }
}

} // namespace
