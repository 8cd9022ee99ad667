#!/usr/bin/env python3
"""Fails when a CTest entry starts Windows programs without a prefix of the tests.

    fixtures_check.py CTEST BUILD_DIR EMULATOR RUN_PREFIX TEMPLATE

An entry starts Windows programs when its command runs through EMULATOR
(tools/wine.sh) or through a script that does (tests/e2e/run.sh,
tests/dist/install.sh). Such an entry runs either
  - in the shared prefix RUN_PREFIX: it requires the fixture `wine`, whose
    setup makes that prefix and starts its server before the entry and whose
    cleanup ends the server after it, and its WINEPREFIX names that prefix;
  - or in a throwaway prefix of its own, copied from TEMPLATE by the script
    (the command names TEMPLATE, then that prefix): it requires the fixture
    `wine_template`, whose cleanup checks the template unchanged, and its
    prefix is neither RUN_PREFIX nor another entry's.
An entry that sets up or cleans up one of those fixtures is the fixture itself.
A property set twice keeps only its last value, so a later
set_tests_properties can drop `wine` unseen: this reads what CTest will run.
"""
import json
import os
import subprocess
import sys

FIXTURES = ("wine", "wine_template")


def properties(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def as_list(value):
    if value is None:
        return []
    return value if isinstance(value, list) else str(value).split(";")


def starts_windows_programs(command, emulator):
    """Through the emulator, or a script of the project's that uses it."""
    source = os.path.dirname(os.path.dirname(emulator)) + os.sep
    for arg in command:
        if os.path.normpath(arg) == emulator or "tools/wine.sh" in arg:
            return True
        if arg.startswith(source) and arg.endswith(".sh") and os.path.isfile(arg):
            with open(arg, encoding="utf-8") as f:
                if "wine.sh" in f.read():
                    return True
    return False


def own_prefix(command, template):
    for i, arg in enumerate(command[:-1]):
        if os.path.normpath(arg) == template:
            return os.path.normpath(command[i + 1])
    return None


def problems(tests, emulator, run_prefix, template):
    """What is wrong, and how many entries were checked."""
    found, owners, checked = [], {}, 0
    for test in tests:
        name, command, props = test["name"], test.get("command", []), properties(test)
        fixtures = set(as_list(props.get("FIXTURES_SETUP")) + as_list(props.get("FIXTURES_CLEANUP")))
        if (fixtures & set(FIXTURES) or os.path.abspath(__file__) in command
                or not starts_windows_programs(command, emulator)):
            continue  # the fixtures themselves, and this check, which names the emulator
        checked += 1
        required = as_list(props.get("FIXTURES_REQUIRED"))
        prefix = own_prefix(command, template)
        if prefix is None or prefix == run_prefix:
            env = dict(e.split("=", 1) for e in as_list(props.get("ENVIRONMENT")) if "=" in e)
            if "wine" not in required:
                found.append(f"{name} starts Windows programs in the shared prefix but does not "
                             f"require the fixture wine (FIXTURES_REQUIRED: {';'.join(required)})")
            if os.path.normpath(env.get("WINEPREFIX", "")) != run_prefix:
                found.append(f"{name} starts Windows programs with WINEPREFIX "
                             f"{env.get('WINEPREFIX', '(unset)')}, not {run_prefix}")
            continue
        if "wine_template" not in required:
            found.append(f"{name} makes its prefix from the template but does not require the "
                         f"fixture wine_template (FIXTURES_REQUIRED: {';'.join(required)})")
        if prefix in owners:
            found.append(f"{name} and {owners[prefix]} share the throwaway prefix {prefix}")
        owners[prefix] = name
    return found, checked


def main():
    ctest, build, emulator, run_prefix, template = sys.argv[1:6]
    listing = subprocess.run([ctest, "--show-only=json-v1"], cwd=build, check=True,
                             capture_output=True, text=True).stdout
    tests = json.loads(listing)["tests"]
    found, checked = problems(tests, os.path.normpath(emulator), os.path.normpath(run_prefix),
                              os.path.normpath(template))
    for line in found:
        print(line)
    print(f"{checked} of {len(tests)} entries start Windows programs; {len(found)} problems")
    return 1 if found or not checked else 0


if __name__ == "__main__":
    sys.exit(main())
