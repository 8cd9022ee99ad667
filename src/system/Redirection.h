// What the registry stands for in this process while another user's profile
// or an offline image is open: the one owner of it, HKEY_CURRENT_USER's
// redirection, the hive files loaded for it, how the per-user root is named,
// whether links below it are followed, and where an image's keys are. Every
// change of it goes through this one object; the Ctrl+C handler reaches it
// from another thread.
#pragma once

#include "system/NonCopyable.h"

#include <windows.h>

#include <string>

// An open image's machine-wide keys: its hives' names below
// HKEY_LOCAL_MACHINE and the control set its SYSTEM starts with.
struct ImageKeys {
    std::string software; // "Morvane.Image.<PID>.SOFTWARE"
    std::string system;   // "Morvane.Image.<PID>.SYSTEM"
    unsigned controlSet = 0;
};

class Redirection : NonCopyable {
public:
    // The process's one redirection.
    static Redirection& Process();

    // Makes `owner` the one that may change the registry's meaning, until it
    // releases it. False, with why, while it is held, by another owner or by
    // the same: one user hive or image at a time, each opened once.
    bool Claim(const void* owner, std::string* error);
    bool Owns(const void* owner) const { return m_owner && m_owner == owner; }
    // Puts everything back as it was before the claim: HKEY_CURRENT_USER, the
    // names, the image's keys, links, privileges; unloads what was loaded.
    // False, with why, when a hive could not be unloaded. Nothing for an
    // owner that holds nothing.
    bool Release(const void* owner, std::string* error);

    // The owner's changes; each does nothing for any other caller.
    // Enables the backup and restore privileges until the release.
    bool EnablePrivileges(const void* owner);
    // Loads a hive file as root\name, to be unloaded at the release or on
    // Ctrl+C. A load that failed leaves nothing loaded.
    LSTATUS Load(const void* owner, HKEY root, const std::string& name, const std::wstring& file);
    // HKEY_CURRENT_USER stands for `target` (handed over) from now on, and no
    // registry link below it is followed.
    LSTATUS RedirectUser(const void* owner, HKEY target);
    // How backups name the per-user root, and the key it really is.
    void NameUser(const void* owner, const std::string& root, const std::string& key);
    void MapImage(const void* owner, const ImageKeys& keys);

    // Unloads what is loaded at once and gives HKEY_CURRENT_USER its meaning
    // back, from the console's handler thread; the owner still releases.
    void Break();

    const std::string& UserRoot() const { return m_userRoot; }
    const std::string& UserKey() const { return m_userKey; }
    bool UserLinksRefused() const { return m_refuseUserLinks; }
    // The open image's keys; null while none is open.
    const ImageKeys* Image() const { return m_image.controlSet ? &m_image : nullptr; }

private:
    Redirection() = default;
    void Unload(std::string* failures);

    struct Mount {
        HKEY root = nullptr;
        char name[64] = ""; // fixed, for the handler thread
    };
    static constexpr int kMaxMounts = 3;

    static constexpr char kCaller[] = "HKEY_CURRENT_USER";
    const void* m_owner = nullptr;
    std::string m_userRoot = kCaller;
    std::string m_userKey = kCaller;
    bool m_refuseUserLinks = false;
    bool m_privileged = false;
    ImageKeys m_image;
    HKEY m_previous = nullptr; // what HKEY_CURRENT_USER meant before
    HKEY m_target = nullptr;
    Mount m_mounts[kMaxMounts];
    int m_mountCount = 0;
    volatile LONG m_loaded = 0; // whoever takes it unloads: the owner or Ctrl+C
};

// Unloads what is loaded at once; what Ctrl+C and a closed console run.
// Returns FALSE so that the process then ends as it would have.
BOOL WINAPI UnloadHiveOnBreak(DWORD event);
