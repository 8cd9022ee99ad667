// Counts and records the registry calls the program's code makes, by
// pointing this executable's own import slots for them at counting
// wrappers. Only for counting passes: timed passes run with the slots as the
// loader left them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegistryQuery {
    std::string name;
    bool withData; // false when only type and size were asked for
    DWORD size;    // the buffer size passed in
};

// One key opened for reading, and what was queried under it.
struct RegistryRead {
    HKEY root;
    std::string key;
    bool opened;
    std::vector<RegistryQuery> queries;
};

struct RegistryCounts {
    int open = 0, query = 0, close = 0, create = 0, set = 0, deleteValue = 0, deleteTree = 0;
    int Total() const { return open + query + close + create + set + deleteValue + deleteTree; }
};

class RegistryTap {
public:
    RegistryTap();  // starts counting
    ~RegistryTap(); // puts the import slots back
    RegistryTap(const RegistryTap&) = delete;
    RegistryTap& operator=(const RegistryTap&) = delete;

    bool Installed() const { return m_installed; }
    const RegistryCounts& Counts() const;
    const std::vector<RegistryRead>& Reads() const;

private:
    bool m_installed = false;
};

// Replays recorded reads with bare calls: open, the same queries, close.
void ReplayReads(const std::vector<RegistryRead>& reads);

// Describes the counts, e.g. "40 opens, 30 queries, 40 closes".
std::string Describe(const RegistryCounts& counts);
