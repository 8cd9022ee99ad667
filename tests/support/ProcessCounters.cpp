#include "support/ProcessCounters.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <cstdint>
#include <vector>

namespace {

// SystemHandleInformation: a count, then one entry per open handle.
constexpr SYSTEM_INFORMATION_CLASS kSystemHandleInformation = SYSTEM_INFORMATION_CLASS(16);
constexpr NTSTATUS kInfoLengthMismatch = NTSTATUS(0xC0000004L);

struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
struct HandleList {
    ULONG count;
    HandleEntry entries[1];
};

// One entry of the GDI handle table the PEB points to (64-bit layout); a
// free entry has type 0.
struct GdiTableEntry {
    uint64_t object;
    uint16_t processId;
    uint16_t count;
    uint16_t upper;
    uint16_t type;
    uint64_t user;
};
constexpr size_t kPebGdiTableOffset = 0xF8;
constexpr int kGdiTableEntries = 0x10000;

} // namespace

int OpenHandleCount() {
    std::vector<BYTE> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = NtQuerySystemInformation(
            kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != 0)
            return -1;
        break;
    }
    const auto* list = reinterpret_cast<const HandleList*>(buffer.data());
    const DWORD pid = GetCurrentProcessId();
    int n = 0;
    for (ULONG i = 0; i < list->count; ++i)
        n += list->entries[i].ownerPid == pid;
    return n;
}

int GdiObjectCount() {
    PROCESS_BASIC_INFORMATION info{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info),
                                  nullptr) != 0)
        return -1;
    const auto* peb = reinterpret_cast<const uint8_t*>(info.PebBaseAddress);
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(peb + kPebGdiTableOffset);
    if (!table)
        return -1;
    // Wine keeps a table per process and leaves the owner 0; Windows shares
    // one table and names the owner.
    const uint16_t pid = static_cast<uint16_t>(GetCurrentProcessId());
    int n = 0;
    for (int i = 0; i < kGdiTableEntries; ++i)
        n += table[i].type != 0 && (table[i].processId == 0 || table[i].processId == pid);
    return n;
}

int ThreadCount() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te{sizeof(te)};
    int n = 0;
    for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te))
        n += te.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snap);
    return n;
}

ProcessCounts CountProcessObjects() {
    // The thread count first: its snapshot handle is closed again before the
    // handles are counted.
    const int threads = ThreadCount();
    return {OpenHandleCount(), GdiObjectCount(), threads};
}

namespace {
template <class Read, class T> T Settle(Read read, const T& expected) {
    T now = read();
    for (int i = 0; i < 100 && !(now == expected); ++i) {
        Sleep(20);
        now = read();
    }
    return now;
}
} // namespace

ProcessCounts CountsSettlingTo(const ProcessCounts& expected) {
    return Settle(CountProcessObjects, expected);
}

int ThreadCountSettlingTo(int expected) {
    return Settle(ThreadCount, expected);
}
