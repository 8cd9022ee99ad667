#include "ctl/MachineLock.h"

#include "system/ErrorText.h"

#include <algorithm>
#include <cstring>

DWORD g_machineLockWaitMs = 30000;

namespace {

// Global names, so that every session shares them; a mapping of that name
// needs a right that an administrator has, else it stays in the session.
constexpr char kMutexName[] = "Global\\Morvane.MachineLock";
const char* const kRecordNames[] = {"Global\\Morvane.MachineLock.Holder",
                                    "Morvane.MachineLock.Holder"};
constexpr DWORD kRecordSize = 1024;

// What the holder wrote, or the empty text when nothing can be read.
std::string ReadRecord() {
    for (const char* name : kRecordNames) {
        const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
        if (!mapping)
            continue;
        std::string text;
        if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kRecordSize)) {
            text.assign(static_cast<const char*>(view),
                        strnlen(static_cast<const char*>(view), kRecordSize - 1));
            UnmapViewOfFile(view);
        }
        CloseHandle(mapping);
        if (!text.empty())
            return text;
    }
    return {};
}

HANDLE WriteRecord(const std::string& text) {
    for (const char* name : kRecordNames) {
        const HANDLE mapping =
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kRecordSize, name);
        if (!mapping)
            continue;
        if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kRecordSize)) {
            memset(view, 0, kRecordSize);
            memcpy(view, text.data(), std::min<size_t>(text.size(), kRecordSize - 1));
            UnmapViewOfFile(view);
        }
        return mapping;
    }
    return nullptr;
}

} // namespace

MachineLock::~MachineLock() {
    Release();
}

bool MachineLock::Acquire(const std::string& what, std::string* holder) {
    if (!m_mutex)
        m_mutex = CreateMutexA(nullptr, FALSE, kMutexName);
    if (!m_mutex) {
        *holder = "the machine-wide lock cannot be made: " + ErrorText(GetLastError());
        return false;
    }
    // An abandoned lock: its holder ended without giving it up.
    const DWORD waited = WaitForSingleObject(m_mutex, g_machineLockWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        const std::string record = ReadRecord();
        *holder = record.empty() ? "another morvanectl" : record;
        return false;
    }
    m_held = true;
    m_record = WriteRecord("process " + std::to_string(GetCurrentProcessId()) + ": " + what);
    return true;
}

void MachineLock::Release() {
    if (m_record) {
        if (void* view = MapViewOfFile(m_record, FILE_MAP_WRITE, 0, 0, kRecordSize)) {
            memset(view, 0, kRecordSize);
            UnmapViewOfFile(view);
        }
        CloseHandle(m_record);
        m_record = nullptr;
    }
    if (m_held)
        ReleaseMutex(m_mutex);
    m_held = false;
    if (m_mutex)
        CloseHandle(m_mutex);
    m_mutex = nullptr;
}
