// The registry keys the fifty boxes read and write, spelled as the boxes
// spell them, for every test that names them.
#pragma once

#include <string>

namespace expect::keys {

inline const std::string STORE = "Software\\Quelt";
// General
inline const std::string LSA = "SYSTEM\\CurrentControlSet\\Control\\Lsa";
inline const std::string WSH = "SOFTWARE\\Microsoft\\Windows Script Host\\Settings";
inline const std::string EXPLORER = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer";
inline const std::string ADVANCED =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
inline const std::string TCPIP = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters";
inline const std::string MEMORY =
    "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
inline const std::string PREFETCH = MEMORY + "\\PrefetchParameters";
inline const std::string DESKTOP = "Control Panel\\Desktop";
inline const std::string POLICYSYSTEM =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
// Internet Explorer
inline const std::string MAIN = "Software\\Microsoft\\Internet Explorer\\Main";
inline const std::string INET = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline const std::string CACHE = INET + "\\Cache";
inline const std::string ZONE3 = INET + "\\Zones\\3";
inline const std::string P3P = INET + "\\P3P";
inline const std::string TABS = "Software\\Microsoft\\Internet Explorer\\TabbedBrowsing";
inline const std::string PHISH = "Software\\Microsoft\\Internet Explorer\\PhishingFilter";
inline const std::string INFOBAR = "Software\\Microsoft\\Internet Explorer\\InformationBar";
// Media Player: the same key, spelled two ways by different rows.
inline const std::string PREFS = "Software\\Microsoft\\MediaPlayer\\Preferences";
inline const std::string PREFS_CAPS = "SOFTWARE\\Microsoft\\MediaPlayer\\Preferences";
inline const std::string WMPPOLICY = "SOFTWARE\\Policies\\Microsoft\\WindowsMediaPlayer";
inline const std::string POLICYPREFS = "SOFTWARE\\Policies\\Microsoft\\Preferences";
// Usability
inline const std::string POLEXPLORER =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline const std::string CLEANUPWIZ =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Desktop\\CleanupWiz";
inline const std::string WINLOGON = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline const std::string CABINET =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\CabinetState";
} // namespace expect::keys
