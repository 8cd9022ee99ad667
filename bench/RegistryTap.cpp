#include "RegistryTap.h"

#include <shlwapi.h>

#include <cstring>
#include <map>

namespace {

RegistryCounts g_counts;
std::vector<RegistryRead> g_reads;
std::map<HKEY, size_t> g_openReads; // handle -> its entry in g_reads

// The functions the import slots held before the tap.
decltype(&RegOpenKeyExA) g_open;
decltype(&RegQueryValueExA) g_query;
decltype(&RegCloseKey) g_close;
decltype(&RegCreateKeyExA) g_create;
decltype(&RegSetValueExA) g_set;
decltype(&RegDeleteValueA) g_deleteValue;
decltype(&SHDeleteKeyA) g_deleteTree;

LSTATUS WINAPI CountOpen(HKEY root, LPCSTR key, DWORD options, REGSAM sam, PHKEY result) {
    ++g_counts.open;
    const LSTATUS status = g_open(root, key, options, sam, result);
    g_reads.push_back({root, key ? key : "", status == ERROR_SUCCESS, {}});
    if (status == ERROR_SUCCESS)
        g_openReads[*result] = g_reads.size() - 1;
    return status;
}

LSTATUS WINAPI CountQuery(HKEY hKey, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                          LPDWORD size) {
    ++g_counts.query;
    if (auto it = g_openReads.find(hKey); it != g_openReads.end())
        g_reads[it->second].queries.push_back(
            {name ? name : "", data != nullptr, size ? *size : 0});
    return g_query(hKey, name, reserved, type, data, size);
}

LSTATUS WINAPI CountClose(HKEY hKey) {
    ++g_counts.close;
    g_openReads.erase(hKey);
    return g_close(hKey);
}

LSTATUS WINAPI CountCreate(HKEY root, LPCSTR key, DWORD reserved, LPSTR cls, DWORD options,
                           REGSAM sam, LPSECURITY_ATTRIBUTES sa, PHKEY result,
                           LPDWORD disposition) {
    ++g_counts.create;
    return g_create(root, key, reserved, cls, options, sam, sa, result, disposition);
}

LSTATUS WINAPI CountSet(HKEY hKey, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                        DWORD size) {
    ++g_counts.set;
    return g_set(hKey, name, reserved, type, data, size);
}

LSTATUS WINAPI CountDeleteValue(HKEY hKey, LPCSTR name) {
    ++g_counts.deleteValue;
    return g_deleteValue(hKey, name);
}

DWORD WINAPI CountDeleteTree(HKEY hKey, LPCSTR key) {
    ++g_counts.deleteTree;
    return g_deleteTree(hKey, key);
}

// Swaps the import slot of a function by name; returns what it held.
void* SwapImport(const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         imp->Name; ++imp) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
            void* previous = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
            return previous;
        }
    }
    return nullptr;
}

template <class Fn> bool Swap(const char* function, Fn replacement, Fn& original) {
    void* previous = SwapImport(function, reinterpret_cast<void*>(replacement));
    if (previous)
        original = reinterpret_cast<Fn>(previous);
    return previous != nullptr;
}

template <class Fn> void Restore(const char* function, Fn original) {
    if (original)
        SwapImport(function, reinterpret_cast<void*>(original));
}

} // namespace

RegistryTap::RegistryTap() {
    g_counts = {};
    g_reads.clear();
    g_openReads.clear();
    m_installed = Swap("RegOpenKeyExA", &CountOpen, g_open) &&
                  Swap("RegQueryValueExA", &CountQuery, g_query) &&
                  Swap("RegCloseKey", &CountClose, g_close) &&
                  Swap("RegCreateKeyExA", &CountCreate, g_create) &&
                  Swap("RegSetValueExA", &CountSet, g_set) &&
                  Swap("RegDeleteValueA", &CountDeleteValue, g_deleteValue);
    // The key delete comes from a DLL loaded on first use, so it has no import
    // slot to count through.
    Swap("SHDeleteKeyA", &CountDeleteTree, g_deleteTree);
}

RegistryTap::~RegistryTap() {
    Restore("RegOpenKeyExA", g_open);
    Restore("RegQueryValueExA", g_query);
    Restore("RegCloseKey", g_close);
    Restore("RegCreateKeyExA", g_create);
    Restore("RegSetValueExA", g_set);
    Restore("RegDeleteValueA", g_deleteValue);
    Restore("SHDeleteKeyA", g_deleteTree);
}

const RegistryCounts& RegistryTap::Counts() const {
    return g_counts;
}

const std::vector<RegistryRead>& RegistryTap::Reads() const {
    return g_reads;
}

void ReplayReads(const std::vector<RegistryRead>& reads) {
    static BYTE buffer[4096];
    for (const RegistryRead& r : reads) {
        HKEY hKey;
        if (RegOpenKeyExA(r.root, r.key.c_str(), 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
            continue;
        for (const RegistryQuery& q : r.queries) {
            DWORD type = 0, size = q.size < sizeof(buffer) ? q.size : sizeof(buffer);
            RegQueryValueExA(hKey, q.name.c_str(), nullptr, &type, q.withData ? buffer : nullptr,
                             &size);
        }
        RegCloseKey(hKey);
    }
}

std::string Describe(const RegistryCounts& c) {
    std::string text;
    auto add = [&](int n, const char* what) {
        if (!n)
            return;
        if (!text.empty())
            text += ", ";
        text += std::to_string(n) + " " + what;
    };
    add(c.open, "open");
    add(c.query, "query");
    add(c.close, "close");
    add(c.create, "create");
    add(c.set, "set");
    add(c.deleteValue, "delete value");
    add(c.deleteTree, "delete tree");
    return text;
}
