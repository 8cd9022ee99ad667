#!/usr/bin/env python3
"""Every backup the morvanectl tests kept, merged by hivexregedit into a
scratch hive of its own: an independent reader of the format.

  hivex_check.py FOLDER MIN_GOOD MIN_DAMAGED

NAME.reg must merge cleanly, NAME.damaged.reg must be refused. The files are
UTF-16LE with a byte-order mark and CR LF; hivexregedit reads UTF-8 with LF.
It creates a key only below one that exists, so each file's parent keys are
merged first.
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def parents(text):
    seen, keys = set(), []
    for line in text.splitlines():
        line = line.strip()
        if line.startswith("[") and not line.startswith("[-") and line.endswith("]"):
            parts = line[1:-1].split("\\")
            for n in range(1, len(parts)):
                key = "\\".join(parts[:n])
                if key.lower() not in seen:
                    seen.add(key.lower())
                    keys.append(key)
    return "Windows Registry Editor Version 5.00\n\n" + "".join(f"[{k}]\n\n" for k in keys)


def merge(path, work):
    with open(path, "rb") as f:
        raw = f.read()
    if not raw.startswith(b"\xff\xfe"):
        return False, "no UTF-16LE byte-order mark"
    text = raw.decode("utf-16", errors="replace").replace("\r\n", "\n")
    hive = os.path.join(work, "scratch.hive")
    prelude = os.path.join(work, "parents.reg")
    body = os.path.join(work, "body.reg")
    subprocess.run([sys.executable, os.path.join(HERE, "scratch_hive.py"), hive], check=True)
    with open(prelude, "w", encoding="utf-8") as f:
        f.write(parents(text))
    with open(body, "w", encoding="utf-8") as f:
        f.write(text)
    ran = subprocess.run(["hivexregedit", "--merge", hive, prelude, body],
                         capture_output=True, text=True)
    return ran.returncode == 0, ran.stderr.strip()


def main(folder, min_good, min_damaged):
    good = damaged = failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name in sorted(os.listdir(folder) if os.path.isdir(folder) else []):
            if not name.endswith(".reg"):
                continue
            merged, why = merge(os.path.join(folder, name), work)
            if name.endswith(".damaged.reg"):
                damaged += 1
                if merged:
                    failures += 1
                    print(f"FAILED {name}: damaged, yet hivexregedit merged it")
                else:
                    print(f"refused {name}: {why.splitlines()[0] if why else ''}")
            else:
                good += 1
                if merged:
                    print(f"merged {name}")
                else:
                    failures += 1
                    print(f"FAILED {name}: {why}")
    print(f"{good} backups and {damaged} damaged ones checked, {failures} failures")
    if good < min_good or damaged < min_damaged:
        print(f"expected at least {min_good} backups and {min_damaged} damaged ones: "
              "run this after ctl_tests and ctl_program_tests")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], int(sys.argv[2]), int(sys.argv[3])))
