// Expectations about a tweak page and the sandboxed registry, with values
// named as RegistrySandbox::Snapshot names them: "ROOT\key\:name" (the
// default value has the empty name), keys as "ROOT\key\".
#pragma once

#include "expect/Boxes.h"
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
#include <vector>

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

// The registry after these changes: a value set (keys created on the way
// show up as keys), a value removed (nullopt), or a key removed with
// everything under it (a path ending in \).
inline Snapshot Applied(Snapshot snapshot, const Changes& changes) {
    const Snapshot before = snapshot;
    for (const auto& [written, value] : changes) {
        const std::string path = SpelledAsIn(before, written);
        if (value) {
            snapshot[path] = *value;
            for (size_t at = path.find('\\'); at != std::string::npos && at < KeyEnd(path);
                 at = path.find('\\', at + 1))
                snapshot.emplace(path.substr(0, at + 1), RegValue{REG_NONE, {}});
        } else if (path.back() == '\\') {
            std::erase_if(snapshot,
                          [&](const auto& entry) { return entry.first.starts_with(path); });
        } else {
            snapshot.erase(path);
        }
    }
    return snapshot;
}

// The registry after a click differs from before by these changes alone.
inline void ExpectOnly(const Snapshot& before, const Snapshot& after, const Changes& changes,
                       int id) {
    const Snapshot expected = Applied(before, changes);
    EXPECT_TRUE(after == expected) << "box " << id << Differences(expected, after);
}

// The requests the shell recorder must see for these commands.
inline std::vector<ShellRequest> Requests(const std::vector<expect::Command>& commands) {
    std::vector<ShellRequest> requests;
    for (const expect::Command& c : commands)
        requests.push_back(Started(c.file, c.parameters, c.show));
    return requests;
}

// A page's boxes, or those of them with these ids, as the table lists them.
inline std::vector<expect::Box> BoxesOf(int page, std::initializer_list<int> ids) {
    std::vector<expect::Box> boxes;
    for (int id : ids)
        boxes.push_back(expect::BoxAt(page, id));
    return boxes;
}

// Clicks each box twice, showing that each click makes exactly its cell's
// changes, asks the shell for exactly its cell's commands and leaves the box
// as the click set it. afterClick can look at what else a click did.
inline void ExpectCells(const RegistrySandbox& sandbox, ShellRecorder& shell, HWND hPage,
                        const std::vector<expect::Box>& boxes,
                        const std::function<void(int id, bool checked)>& afterClick = {}) {
    for (const expect::Box& box : boxes)
        for (int click = 0; click < 2; ++click) {
            const bool check = !IsChecked(hPage, box.id);
            const Snapshot before = sandbox.Snapshot();
            Click(hPage, box.id);
            ASSERT_EQ(IsChecked(hPage, box.id), check) << box.id;
            ExpectOnly(before, sandbox.Snapshot(), box.Cell(check), box.id);
            EXPECT_EQ(shell.Take(), Requests(box.Starts(check))) << box.id;
            if (afterClick)
                afterClick(box.id, check);
        }
}

// What is left of the cells without administrator rights: the per-user part.
inline std::vector<expect::Box> PerUserOnly(std::vector<expect::Box> boxes) {
    for (expect::Box& box : boxes)
        for (Changes* cell : {&box.onCheck, &box.onUncheck})
            std::erase_if(*cell,
                          [](const auto& change) { return !change.first.starts_with("HKCU\\"); });
    return boxes;
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

// The boxes of a page that read checked in an empty registry.
inline std::set<int> CheckedWhenEmpty(int page) {
    std::set<int> checked;
    for (const expect::Box& box : expect::BoxesOf(page))
        if (box.checkedWhenEmpty)
            checked.insert(box.id);
    return checked;
}

// A page's boxes at start when only one box's values are stored: that box as
// given, every other as in an empty registry.
inline std::set<int> StatesWith(const expect::Box& box, bool checked) {
    std::set<int> states = CheckedWhenEmpty(box.page);
    if (checked)
        states.insert(box.id);
    else
        states.erase(box.id);
    return states;
}

// Each box is checked by its values alone, wherever a per-user read finds
// them, and by none of them missing or nearly right.
template <class Page> void ExpectCheckedBy(UINT templateId, const std::vector<expect::Box>& boxes) {
    for (const expect::Box& box : boxes) {
        if (box.checkedBy.empty())
            continue;
        EXPECT_EQ(CheckedWith<Page>(templateId, box.checkedBy), StatesWith(box, true)) << box.id;
        Snapshot moved;
        for (const auto& [path, value] : box.checkedBy)
            moved[UnderOtherRoot(path)] = value;
        const bool perUser = box.checkedBy.begin()->first.starts_with("HKCU\\");
        EXPECT_EQ(CheckedWith<Page>(templateId, moved), StatesWith(box, perUser))
            << box.id << (perUser ? " read from HKLM too" : " read from HKLM alone");
        for (const auto& [path, value] : box.checkedBy) {
            Snapshot stored = box.checkedBy;
            stored.erase(path);
            EXPECT_EQ(CheckedWith<Page>(templateId, stored), StatesWith(box, false))
                << box.id << " without " << path;
            stored[path] = NearMiss(value);
            EXPECT_EQ(CheckedWith<Page>(templateId, stored), StatesWith(box, false))
                << box.id << " with " << path << " = " << testing::PrintToString(stored[path]);
        }
    }
}

// Each box reads as its table says with each of its further contents.
template <class Page> void ExpectReads(UINT templateId, const std::vector<expect::Box>& boxes) {
    for (const expect::Box& box : boxes)
        for (const expect::Reading& r : box.reads)
            EXPECT_EQ(CheckedWith<Page>(templateId, r.stored), StatesWith(box, r.checked))
                << box.id << " with " << testing::PrintToString(r.stored);
}

// Every box of a page with its label and tooltip, in template order, and the
// tooltip settings all pages share.
inline void ExpectLabelsAndTips(HWND hPage, const std::vector<expect::Box>& boxes) {
    HWND hTip = TooltipOf(hPage);
    ASSERT_TRUE(hTip);
    EXPECT_EQ(SendMessageA(hTip, TTM_GETTOOLCOUNT, 0, 0), static_cast<LRESULT>(boxes.size()));
    EXPECT_EQ(SendMessageA(hTip, TTM_GETMAXTIPWIDTH, 0, 0), 250);
    EXPECT_EQ(SendMessageA(hTip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0), 20000);
    std::vector<int> ids;
    for (HWND hBox = GetWindow(hPage, GW_CHILD); hBox; hBox = GetWindow(hBox, GW_HWNDNEXT))
        ids.push_back(GetDlgCtrlID(hBox));
    std::vector<int> expectedIds;
    for (const expect::Box& box : boxes) {
        expectedIds.push_back(box.id);
        EXPECT_EQ(WindowText(GetDlgItem(hPage, box.id)), box.label);
        EXPECT_EQ(TooltipText(hTip, GetDlgItem(hPage, box.id)), box.tip) << box.id;
    }
    EXPECT_EQ(ids, expectedIds) << "the boxes in template order";
}

// The texts a freshly opened page shows.
template <class Page> void ExpectShownTexts(UINT templateId, int page) {
    RegistrySandbox sandbox;
    HostedPage<Page> host(templateId);
    ASSERT_TRUE(host.hWnd);
    ExpectLabelsAndTips(host.hWnd, expect::BoxesOf(page));
}
