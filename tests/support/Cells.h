// Expectations about a tweak page and the sandboxed registry, with values
// named as RegistrySandbox::Snapshot names them: "ROOT\key\:name" (the
// default value has the empty name), keys as "ROOT\key\".
#pragma once

#include "support/PageHost.h"
#include "support/RegistrySandbox.h"
#include "support/ShellRecorder.h"
#include "support/Ui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using Snapshot = std::map<std::string, RegValue>;
using Changes = std::map<std::string, std::optional<RegValue>>;

inline std::string ValuePath(const std::string& root, const std::string& key,
                             const std::string& name) {
    return root + "\\" + key + "\\:" + name;
}

inline void PrintTo(const RegValue& v, std::ostream* os) {
    if (v.type == REG_SZ) {
        *os << "SZ \"" << v.data.substr(0, v.data.empty() ? 0 : v.data.size() - 1) << "\" ("
            << v.data.size() << " bytes)";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        DWORD n;
        memcpy(&n, v.data.data(), 4);
        *os << "DWORD " << n;
    } else if (v.type == REG_NONE && v.data.empty()) {
        *os << "key";
    } else {
        *os << "type " << v.type << ", " << v.data.size() << " bytes";
    }
}

// Where a path ends its key: a value's key ends before ":name".
inline size_t KeyEnd(const std::string& path) {
    const size_t colon = path.find("\\:");
    return colon == std::string::npos ? path.size() : colon + 1;
}

inline bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

inline std::string Folded(std::string path) {
    for (char& c : path)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path;
}

// A key that exists already keeps its own spelling whatever spelling a write
// goes through; one created by the write takes the write's.
inline std::string SpelledAsIn(const Snapshot& snapshot, std::string path) {
    for (size_t at = path.find('\\'); at != std::string::npos && at < KeyEnd(path);
         at = path.find('\\', at + 1))
        for (const auto& [existing, value] : snapshot)
            if (existing.size() == at + 1 && SameIgnoringCase(existing, path.substr(0, at + 1))) {
                path.replace(0, at + 1, existing);
                break;
            }
    return path;
}

// The entries that differ, for a readable failure.
inline std::string Differences(const Snapshot& expected, const Snapshot& actual) {
    std::ostringstream out;
    auto show = [&](const Snapshot& in, const std::string& path) {
        const auto it = in.find(path);
        return it == in.end() ? std::string("absent") : testing::PrintToString(it->second);
    };
    std::set<std::string> paths;
    for (const auto* snapshot : {&expected, &actual})
        for (const auto& entry : *snapshot)
            paths.insert(entry.first);
    for (const std::string& path : paths)
        if (show(expected, path) != show(actual, path))
            out << "\n  " << path << ": expected " << show(expected, path) << ", got "
                << show(actual, path);
    return out.str();
}

// The registry after a click differs from before by these changes alone: a
// value set (keys created on the way show up as keys), a value removed
// (nullopt), or a key removed with everything under it (a path ending in \).
inline void ExpectOnly(const Snapshot& before, const Snapshot& after, const Changes& changes,
                       int id) {
    Snapshot expected = before;
    for (const auto& [written, value] : changes) {
        const std::string path = SpelledAsIn(before, written);
        if (value) {
            expected[path] = *value;
            for (size_t at = path.find('\\'); at != std::string::npos && at < KeyEnd(path);
                 at = path.find('\\', at + 1))
                expected.emplace(path.substr(0, at + 1), RegValue{REG_NONE, {}});
        } else if (path.back() == '\\') {
            std::erase_if(expected,
                          [&](const auto& entry) { return entry.first.starts_with(path); });
        } else {
            expected.erase(path);
        }
    }
    EXPECT_TRUE(after == expected) << "box " << id << Differences(expected, after);
}

// A box's two cells, as the changes each click makes.
struct CellCase {
    int id;
    Changes onCheck, onUncheck;
};

// Clicks each box on, then off, showing that each click makes exactly its
// cell's changes and leaves the box as the click set it. afterClick can look
// at what else a click did.
inline void ExpectCells(const RegistrySandbox& sandbox, HWND hPage,
                        const std::vector<CellCase>& cases,
                        const std::function<void(int id, bool checked)>& afterClick = {}) {
    for (const CellCase& c : cases)
        for (bool check : {true, false}) {
            const Snapshot before = sandbox.Snapshot();
            Click(hPage, c.id);
            ASSERT_EQ(IsChecked(hPage, c.id), check) << c.id;
            ExpectOnly(before, sandbox.Snapshot(), check ? c.onCheck : c.onUncheck, c.id);
            if (afterClick)
                afterClick(c.id, check);
        }
}

// What is left of the cells without administrator rights: the per-user part.
inline std::vector<CellCase> PerUserOnly(std::vector<CellCase> cases) {
    for (CellCase& c : cases)
        for (Changes* cell : {&c.onCheck, &c.onUncheck})
            std::erase_if(*cell,
                          [](const auto& change) { return !change.first.starts_with("HKCU\\"); });
    return cases;
}

inline HKEY RootOf(const std::string& path) {
    if (path.starts_with("HKLM\\"))
        return HKEY_LOCAL_MACHINE;
    if (path.starts_with("HKCR\\"))
        return HKEY_CLASSES_ROOT;
    return HKEY_CURRENT_USER;
}

inline void Put(const std::string& path, const RegValue& value) {
    const size_t keyEnd = KeyEnd(path);
    const std::string key = path.substr(5, keyEnd - 6);
    const std::string name = keyEnd < path.size() ? path.substr(keyEnd + 1) : std::string();
    PutValue(RootOf(path), key.c_str(), name.c_str(), value.type, value.data.data(),
             static_cast<DWORD>(value.data.size()));
}

// The same path under the other of HKCU and HKLM.
inline std::string UnderOtherRoot(const std::string& path) {
    return (path.starts_with("HKCU\\") ? "HKLM" : "HKCU") + path.substr(4);
}

// The ids of the boxes a page shows checked when created in a fresh sandbox
// holding only `stored`. Makes its own sandbox and recorder, so no other may
// be alive. Also shows that reading the states writes and starts nothing.
template <class Page> std::set<int> CheckedWith(UINT templateId, const Snapshot& stored) {
    RegistrySandbox sandbox;
    ShellRecorder shell;
    for (const auto& [path, value] : stored)
        Put(path, value);
    const Snapshot before = sandbox.Snapshot();
    HostedPage<Page> host(templateId);
    EXPECT_TRUE(host.hWnd);
    std::set<int> checked;
    for (HWND hBox = GetWindow(host.hWnd, GW_CHILD); hBox; hBox = GetWindow(hBox, GW_HWNDNEXT))
        if (SendMessageA(hBox, BM_GETCHECK, 0, 0) == BST_CHECKED)
            checked.insert(GetDlgCtrlID(hBox));
    EXPECT_TRUE(sandbox.Snapshot() == before) << Differences(before, sandbox.Snapshot());
    EXPECT_TRUE(shell.Take().empty());
    return checked;
}

// Data as close as can be to what a condition wants without being it: a
// number off by one bit, a text with its first byte changed.
inline RegValue NearMiss(RegValue value) {
    if (value.type == REG_DWORD) {
        value.data[0] ^= 1;
    } else {
        char& c = value.data[0];
        c = std::isalpha(static_cast<unsigned char>(c)) ? static_cast<char>(c ^ 0x20)
                                                        : static_cast<char>(c + 1);
    }
    return value;
}

// One box's condition at start: the values that together check it. Values
// under HKCU are read there first, then under HKLM; values under HKLM are
// read from HKLM alone.
struct StartCase {
    int id;
    Snapshot values;
};

// Each box is checked by its values alone, and by none of them missing or
// nearly right.
template <class Page> void ExpectConditions(UINT templateId, const std::vector<StartCase>& cases) {
    for (const StartCase& c : cases) {
        EXPECT_EQ(CheckedWith<Page>(templateId, c.values), std::set<int>{c.id});
        Snapshot moved;
        for (const auto& [path, value] : c.values)
            moved[UnderOtherRoot(path)] = value;
        const bool perUser = c.values.begin()->first.starts_with("HKCU\\");
        EXPECT_EQ(CheckedWith<Page>(templateId, moved),
                  perUser ? std::set<int>{c.id} : std::set<int>{})
            << c.id << (perUser ? " read from HKLM too" : " read from HKLM alone");
        for (const auto& [path, value] : c.values) {
            Snapshot stored = c.values;
            stored.erase(path);
            EXPECT_EQ(CheckedWith<Page>(templateId, stored), std::set<int>{})
                << c.id << " without " << path;
            stored[path] = NearMiss(value);
            EXPECT_EQ(CheckedWith<Page>(templateId, stored), std::set<int>{})
                << c.id << " with " << path << " = " << testing::PrintToString(stored[path]);
        }
    }
}

// Every box of a page with its label and tooltip, and the tooltip settings
// all pages share.
inline void
ExpectLabelsAndTips(HWND hPage,
                    const std::vector<std::tuple<int, std::string, std::string>>& rows) {
    HWND hTip = TooltipOf(hPage);
    ASSERT_TRUE(hTip);
    EXPECT_EQ(SendMessageA(hTip, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(rows.size()));
    EXPECT_EQ(SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0), 250);
    EXPECT_EQ(SendMessageA(hTip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 20000);
    std::vector<int> ids;
    for (HWND hBox = GetWindow(hPage, GW_CHILD); hBox; hBox = GetWindow(hBox, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(hBox));
    std::vector<int> expectedIds;
    for (const auto& [id, label, tip] : rows) {
        expectedIds.push_back(id);
        EXPECT_EQ(WindowText(GetDlgItem(hPage, id)), label);
        EXPECT_EQ(TooltipText(hTip, GetDlgItem(hPage, id)), tip) << id;
    }
    EXPECT_EQ(ids, expectedIds) << "the boxes in template order";
}

// The texts a freshly opened page shows, against rows with id, label and tip.
template <class Page, class Rows> void ExpectShownTexts(UINT templateId, const Rows& rows) {
    RegistrySandbox sandbox;
    HostedPage<Page> host(templateId);
    ASSERT_TRUE(host.hWnd);
    std::vector<std::tuple<int, std::string, std::string>> texts;
    for (const auto& row : rows)
        texts.emplace_back(row.id, row.label, row.tip);
    ExpectLabelsAndTips(host.hWnd, texts);
}
