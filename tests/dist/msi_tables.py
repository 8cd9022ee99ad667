#!/usr/bin/env python3
"""The installer's tables, read by msiinfo, against what they must hold.

    msi_tables.py RELEASE_DIR NEXT_DIR COMMIT_TIME

RELEASE_DIR holds the release of this version, NEXT_DIR the next version's.
"""
import datetime
import glob
import os
import subprocess
import sys

UPGRADE_CODE = "{4EF05766-7B8F-41F3-8A39-773A691B8450}"
HOME_PAGE = "http://www.morvane.example/"
DOWNGRADE = ("A newer version of Morvane is already installed. "
             "Uninstall it first to install this version.")

# Each version's own product code, for as long as that version lives.
PRODUCT_CODES = {
    "1.5": "{C1960BF5-2556-55AC-8656-87A6001CC066}",
    "1.5.1": "{850A3B70-0DA6-5836-9207-0F9721EB2041}",
}

# (table, row key, column, wanted); VERSION stands for the package's version.
CASES = [
    ("Property", "ProductVersion", "Value", "VERSION"),
    ("Property", "UpgradeCode", "Value", UPGRADE_CODE),
    ("Property", "ALLUSERS", "Value", "1"),
    ("Property", "ProductName", "Value", "Morvane"),
    ("Property", "Manufacturer", "Value", "Morvane"),
    ("Property", "ARPHELPLINK", "Value", HOME_PAGE),
    ("Property", "ARPURLINFOABOUT", "Value", HOME_PAGE),
    ("Upgrade", "WIX_UPGRADE_DETECTED", "VersionMax", "VERSION"),
    ("Upgrade", "WIX_UPGRADE_DETECTED", "Attributes", "1"),
    ("Upgrade", "WIX_UPGRADE_DETECTED", "UpgradeCode", UPGRADE_CODE),
    ("Upgrade", "WIX_DOWNGRADE_DETECTED", "VersionMin", "VERSION"),
    ("Upgrade", "WIX_DOWNGRADE_DETECTED", "Attributes", "2"),
    ("LaunchCondition", "NOT WIX_DOWNGRADE_DETECTED", "Description", DOWNGRADE),
    ("Directory", "INSTALLDIR", "Directory_Parent", "ProgramFiles64Folder"),
    ("Directory", "INSTALLDIR", "DefaultDir", "Morvane"),
    ("File", "morvane.exe", "Component_", "Window"),
    ("File", "morvanectl.exe", "Component_", "CommandLine"),
    ("File", "README.txt", "Component_", "Documents"),
    ("File", "tweaks.txt", "Component_", "Documents"),
    ("Component", "Window", "Attributes", "256"),
    ("Component", "CommandLine", "Attributes", "256"),
    ("Component", "Documents", "Attributes", "256"),
    ("Component", "Window", "ComponentId", "{82349197-4A2D-4FCA-A1EE-62E6E9784608}"),
    ("Shortcut", "StartMenuShortcut", "Directory_", "ProgramMenuFolder"),
    ("Shortcut", "StartMenuShortcut", "Name", "Morvane"),
    ("Shortcut", "StartMenuShortcut", "Target", "[#morvane.exe]"),
    ("InstallExecuteSequence", "RemoveExistingProducts", "Sequence", "1401"),
    ("InstallExecuteSequence", "InstallValidate", "Sequence", "1400"),
    # The kept presets' tasks go before their program, as LocalSystem
    # (deferred, no impersonation: 3090), whatever the program says (+64).
    ("CustomAction", "RemoveKeptPresets", "Type", "3154"),
    ("CustomAction", "RemoveKeptPresets", "Source", "morvanectl.exe"),
    ("CustomAction", "RemoveKeptPresets", "Target", "keep --remove-all"),
    ("InstallExecuteSequence", "RemoveKeptPresets", "Sequence", "3400"),
    ("InstallExecuteSequence", "RemoveKeptPresets", "Condition",
     'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE'),
    ("summary", "Template", "", "x64;1033"),
    ("summary", "Subject", "", "Morvane VERSION"),
    ("summary", "Created", "", "COMMIT"),
    ("summary", "Last saved", "", "COMMIT"),
]


def table(msi, name):
    """Rows of a table by their first column (Upgrade: by ActionProperty)."""
    text = subprocess.run(["msiinfo", "export", msi, name], check=True,
                          capture_output=True, text=True).stdout
    lines = text.split("\r\n") if "\r\n" in text else text.split("\n")
    columns = lines[0].split("\t")
    key = columns.index("ActionProperty") if name == "Upgrade" else 0
    rows = {}
    for line in lines[3:]:
        if line:
            cells = line.split("\t")
            rows[cells[key]] = dict(zip(columns, cells))
    return rows


def summary(msi):
    text = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True,
                          text=True, env={**os.environ, "TZ": "UTC"}).stdout
    return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)


def check(folder, commit_time):
    msi = glob.glob(folder + "/morvane-*-x64.msi")[0]
    tables = {"summary": {k: {"": v} for k, v in summary(msi).items()}}
    version = table(msi, "Property")["ProductVersion"]["Value"]
    failures = 0
    wanted_code = PRODUCT_CODES.get(version, f"(no product code written down for {version})")
    got_code = table(msi, "Property")["ProductCode"]["Value"]
    print(f"{msi}: ProductCode {got_code}")
    failures += got_code != wanted_code
    for name, row, column, wanted in CASES:
        wanted = wanted.replace("VERSION", version).replace("COMMIT", commit_time)
        if name not in tables:
            tables[name] = table(msi, name)
        got = tables[name].get(row, {}).get(column, "(missing)")
        if got != wanted:
            print(f"FAILED: {name} {row} {column}: got '{got}', wanted '{wanted}'")
            failures += 1
    return failures, tables["summary"]["Revision number (UUID)"][""]


def main():
    release, following, commit = sys.argv[1:4]
    commit_time = datetime.datetime.fromtimestamp(int(commit), datetime.timezone.utc)
    shown = commit_time.strftime("%a %b %e %H:%M:%S %Y")
    failures, first_package = check(release, shown)
    more, next_package = check(following, shown)
    failures += more
    # Another version is another package.
    if first_package == next_package:
        print(f"FAILED: both versions have the package code {first_package}")
        failures += 1
    print(f"{failures} failures" if failures else "every table as it must be")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
