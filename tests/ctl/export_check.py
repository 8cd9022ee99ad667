#!/usr/bin/env python3
"""The exports that ctl_fleet_tests left, checked by the engines' own tools
and read for what they mean.

  export_check.py EXPORT_DIR GPP_XSD

Every playbook passes ansible-playbook --syntax-check and ansible-lint, and
every task's arguments are those that ansible-doc gives for its module
(names, types, choices). Every Group Policy file is valid against the
schema and holds each item id once (those updated over other preferences
too). Every .reg file merges into a scratch hive through hivexregedit.
The exports over hostile paths hold one play of our tasks as
--list-tasks lists them, come through Ansible's own templating unchanged
with nothing run, and name each path exactly. Then, for all fifty on and all fifty off, the playbook's and the
Group Policy items' documented effects, carried out on the registry as it
stood before apply, must give the registry that apply left, and start the
programs apply started. Group Policy and the .reg file run no program
(each must be named in them): they must give the registry that apply left
when every program failed, naming each value left out. The .reg file is
imported by Wine's reg.exe over the same registry (by ctl_fleet_tests) and
merged by Debian's hivexregedit into a hive that holds it.
"""
import glob
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

import yaml

from hivex_check import merge, parents
from scratch_hive import main as write_scratch_hive

# Text marked as data for Ansible is a string like any other here.
yaml.SafeLoader.add_constructor("!unsafe", lambda loader, node: loader.construct_scalar(node))

REG_SZ, REG_DWORD = 1, 4
failures = []


def fail(message):
    failures.append(message)
    print("FAIL:", message)


def run(args):
    r = subprocess.run(args, capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


# --- the registry as the test saw it ----------------------------------------

class Registry:
    """Keys and values, compared without case as the registry does."""

    def __init__(self):
        self.keys = set()
        self.values = {}

    @staticmethod
    def load(path):
        reg = Registry()
        with open(path, encoding="latin-1") as f:
            for line in f:
                where, kind, data = line.rstrip("\n").split("\t")
                if where.endswith("\\") and kind == "0" and not data:
                    reg.keys.add(where[:-1].lower())
                    continue
                key, _, name = where.partition("\\:")
                reg.values[(key.lower(), name.lower())] = (int(kind), bytes.fromhex(data))
        return reg

    def create(self, key):
        parts = key.lower().split("\\")
        for i in range(1, len(parts) + 1):
            self.keys.add("\\".join(parts[:i]))

    def set(self, key, name, kind, data):
        self.create(key)
        self.values[(key.lower(), name.lower())] = (kind, data)

    def delete_value(self, key, name):
        self.values.pop((key.lower(), name.lower()), None)

    def delete_key(self, key):
        key = key.lower()
        inside = lambda k: k == key or k.startswith(key + "\\")
        self.keys = {k for k in self.keys if not inside(k)}
        self.values = {kv: v for kv, v in self.values.items() if not inside(kv[0])}

    def differences(self, other):
        out = []
        for k in sorted(self.keys ^ other.keys):
            out.append(("only interpreted: " if k in self.keys else "only applied: ") + k)
        for kv in sorted(set(self.values) | set(other.values)):
            if self.values.get(kv) != other.values.get(kv):
                out.append("%s : %s interpreted %r, applied %r"
                           % (kv[0], kv[1], self.values.get(kv), other.values.get(kv)))
        return out


def sz(text):
    return text.encode("latin-1") + b"\0"


def dword(n):
    return struct.pack("<I", n)


START_TYPES = {"auto": 2, "manual": 3, "disabled": 4}
SERVICES = "hklm\\system\\currentcontrolset\\services\\"


# --- Ansible ------------------------------------------------------------------

def module_docs(modules):
    code, out = run(["ansible-doc", "--json"] + sorted(modules))
    if code:
        fail("ansible-doc: " + out)
        return {}
    return {m: d["doc"]["options"] for m, d in json.loads(out).items()}


TYPES = {"str": str, "path": str, "bool": bool, "list": list, "int": int}


def check_arguments(where, module, args, options):
    known = {}
    for name, option in options.items():
        known[name] = option
        for alias in option.get("aliases", []):
            known[alias] = option
    for name, option in options.items():
        if option.get("required") and name not in args:
            fail("%s: %s lacks the required %s" % (where, module, name))
    for name, value in args.items():
        option = known.get(name)
        if option is None:
            fail("%s: %s has no option %s" % (where, module, name))
            continue
        kind = TYPES.get(option.get("type", "str"))
        if kind and not isinstance(value, kind):
            fail("%s: %s %s is %r, not of type %s" % (where, module, name, value, option["type"]))
        if kind is list and option.get("elements") == "str":
            if not all(isinstance(v, str) for v in value):
                fail("%s: %s %s holds something not a string" % (where, module, name))
        if "choices" in option and value not in option["choices"]:
            fail("%s: %s %s = %r is not one of %s"
                 % (where, module, name, value, option["choices"]))


def tasks_of(path):
    with open(path) as f:
        plays = yaml.safe_load(f)
    for play in plays:
        yield play, play.get("tasks", [])


def check_playbooks(folder):
    books = sorted(glob.glob(os.path.join(folder, "**", "*.yml"), recursive=True))
    if len(books) < 4:
        fail("expected the playbooks of ctl_fleet_tests in %s, found %d" % (folder, len(books)))
    for book in books:
        code, out = run(["ansible-playbook", "--syntax-check", "-i", "localhost,", book])
        if code:
            fail("ansible-playbook --syntax-check %s: %s" % (book, out))
    code, out = run(["ansible-lint", "--nocolor", "-p"] + books)
    if code:
        fail("ansible-lint: " + out)
    modules = set()
    for book in books:
        for _, tasks in tasks_of(book):
            for task in tasks:
                modules.update(k for k in task if k.startswith("ansible."))
    docs = module_docs(modules)
    for book in books:
        for _, tasks in tasks_of(book):
            for task in tasks:
                module = [k for k in task if k.startswith("ansible.")]
                if len(module) != 1:
                    fail("%s: task %r names %d modules" % (book, task.get("name"), len(module)))
                    continue
                check_arguments("%s: %s" % (book, task.get("name")), module[0],
                                task[module[0]], docs.get(module[0], {}))
    return len(books)


def ansible_path(path):
    root, _, key = path.partition(":\\")
    return {"HKCU": "hkcu", "HKLM": "hklm", "HKCR": "hkcr"}[root] + "\\" + key


def interpret_playbook(path, reg, system_folder):
    """win_regedit, win_service and win_command as their documentation says."""
    started = []
    for play, tasks in tasks_of(path):
        variables = dict(play.get("vars", {}))
        variables["morvane_system_folder"] = system_folder
        expand = lambda text: text.replace("{{ morvane_system_folder }}", system_folder)
        for task in tasks:
            if "ansible.windows.win_regedit" in task:
                a = task["ansible.windows.win_regedit"]
                key = ansible_path(a["path"])
                name = a.get("name", "")
                if a.get("state", "present") == "absent":
                    if "name" in a:
                        reg.delete_value(key, name)
                    elif a.get("delete_key", True):
                        reg.delete_key(key)
                    continue
                kind = a.get("type", "string")
                data = a.get("data")
                if kind == "dword":
                    reg.set(key, name, REG_DWORD, dword(int(data)))
                elif kind == "string":
                    reg.set(key, name, REG_SZ, sz(str(data)))
                else:
                    fail("%s: win_regedit type %s is not read here" % (path, kind))
            elif "ansible.windows.win_service" in task:
                a = task["ansible.windows.win_service"]
                if "start_mode" in a:
                    reg.set(SERVICES + a["name"], "Start", REG_DWORD,
                            dword(START_TYPES[a["start_mode"]]))
                if a.get("state") in ("started", "stopped"):
                    verb = "START" if a["state"] == "started" else "STOP"
                    started.append("net.exe\t%s \"%s\"" % (verb, a["name"]))
            elif "ansible.windows.win_command" in task:
                argv = [expand(x) for x in task["ansible.windows.win_command"]["argv"]]
                started.append(os.path.basename(argv[0].replace("\\", "/")) + "\t" +
                               " ".join(argv[1:]))
            else:
                fail("%s: task %r is not read here" % (path, task.get("name")))
    return started


# --- Group Policy Preferences ---------------------------------------------------

GPP_FILES = ["Machine/Preferences/Registry/Registry.xml",
             "Machine/Preferences/Services/Services.xml",
             "User/Preferences/Registry/Registry.xml"]
HIVES = {"HKEY_LOCAL_MACHINE": "hklm", "HKEY_CURRENT_USER": "hkcu", "HKEY_CLASSES_ROOT": "hkcr"}


def check_gpp_files(folder, xsd):
    gpos = sorted(set(os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(p))))
                      for p in glob.glob(os.path.join(folder, "**", "Registry.xml"),
                                         recursive=True)))
    if len(gpos) < 4:
        fail("expected the Group Policy folders of ctl_fleet_tests, found %d" % len(gpos))
    for gpo in gpos:
        for relative in GPP_FILES:
            path = os.path.join(gpo, relative)
            if not os.path.exists(path):
                fail("missing " + path)
                continue
            code, out = run(["xmllint", "--noout", "--schema", xsd, path])
            if code:
                fail("xmllint %s: %s" % (path, out))
                continue
            uids = [e.get("uid") for e in ET.parse(path).getroot().iter() if e.get("uid")]
            twice = sorted(set(u for u in uids if uids.count(u) > 1))
            if twice:
                fail("%s holds items more than once: %s" % (path, twice))
    return len(gpos)


def interpret_gpp(gpo, reg):
    """Registry items (C, R, U, D) and service items as MS-GPPREF has them."""
    started, notes = [], []
    for relative in GPP_FILES[0::2]:
        path = os.path.join(gpo, relative)
        with open(path, encoding="utf-8") as f:
            text = f.read()
        notes += [c.split("-->")[0] for c in text.split("<!--")[1:]]
        for item in ET.fromstring(text).iter("Registry"):
            p = item.find("Properties").attrib
            key = HIVES[p["hive"]] + "\\" + p["key"]
            name = "" if p.get("default") == "1" else p.get("name", "")
            whole_key = not name and p.get("default") != "1"
            if p["action"] == "D":
                if whole_key:
                    reg.delete_key(key)
                else:
                    reg.delete_value(key, name)
                continue
            if p["action"] == "R":
                reg.delete_value(key, name)
            if "type" not in p:
                reg.create(key)
            elif p["type"] == "REG_DWORD":
                reg.set(key, name, REG_DWORD, dword(int(p["value"], 16)))
            elif p["type"] == "REG_SZ":
                reg.set(key, name, REG_SZ, sz(p["value"]))
            else:
                fail("%s: type %s is not read here" % (path, p["type"]))
    services = os.path.join(gpo, GPP_FILES[1])
    for item in ET.parse(services).getroot().iter("NTService"):
        p = item.find("Properties").attrib
        types = {"AUTOMATIC": 2, "MANUAL": 3, "DISABLED": 4}
        if p["startupType"] in types:
            reg.set(SERVICES + p["serviceName"], "Start", REG_DWORD,
                    dword(types[p["startupType"]]))
        if p.get("serviceAction") in ("START", "STOP"):
            started.append("net.exe\t%s \"%s\"" % (p["serviceAction"], p["serviceName"]))
    return started, notes


# --- .reg, through hivexregedit ------------------------------------------------

ROOTS = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKCR": "HKEY_CLASSES_ROOT"}
TEXT_TYPES = (1, 2, 7)


def snapshot_as_reg(path):
    """The snapshot as .reg text that hivexregedit merges: every key, every
    value as hex(N), text as UTF-16LE the way the registry holds it."""
    sections = {}
    with open(path, encoding="latin-1") as f:
        for line in f:
            where, kind, data = line.rstrip("\n").split("\t")
            key, is_value, name = where.partition("\\:")
            root, _, rest = key.rstrip("\\").partition("\\")
            lines = sections.setdefault(ROOTS[root] + ("\\" + rest if rest else ""), [])
            if not is_value:
                continue
            raw = bytes.fromhex(data)
            if int(kind) in TEXT_TYPES:
                raw = raw.decode("latin-1").encode("utf-16-le")
            quoted = "@" if not name else '"%s"' % name.replace("\\", "\\\\").replace('"', '\\"')
            lines.append("%s=hex(%x):%s" % (quoted, int(kind), ",".join("%02x" % b for b in raw)))
    return "".join("[%s]\n%s\n" % (k, "".join(v + "\n" for v in vs))
                   for k, vs in sections.items())


def parse_hive_export(text):
    reg = Registry()
    short = {v.lower(): k.lower() for k, v in ROOTS.items()}
    key = None
    for line in text.splitlines():
        if line.startswith("[\\") and line.endswith("]"):
            parts = line[2:-1].split("\\")
            key = None
            if parts[0].lower() in short:
                key = "\\".join([short[parts[0].lower()]] + parts[1:])
                reg.create(key)
            continue
        if key is None or "=" not in line:
            continue
        m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(dword:([0-9a-f]{8})|hex\(([0-9a-f]+)\):(.*)|hex:(.*))$',
                     line)
        if not m:
            fail("hivexregedit --export gave a line not read here: %r" % line)
            continue
        name = "" if m.group(1) == "@" else re.sub(r'\\(.)', r"\1", m.group(1)[1:-1])
        if m.group(3):
            reg.set(key, name, REG_DWORD, dword(int(m.group(3), 16)))
            continue
        kind = int(m.group(4), 16) if m.group(4) else 3
        hexes = m.group(5) if m.group(4) else m.group(6)
        raw = bytes(int(h, 16) for h in hexes.split(",") if h)
        if kind in TEXT_TYPES:
            raw = raw.decode("utf-16-le").encode("latin-1")
        reg.set(key, name, kind, raw)
    return reg


def interpret_reg(before_path, reg_path):
    """The registry as it stood before, in a scratch hive, with the .reg file
    merged by hivexregedit: the hive read back."""
    with open(reg_path, "rb") as f:
        raw = f.read()
    if not raw.startswith(b"\xff\xfe") or "\n" in raw.decode("utf-16-le").replace("\r\n", ""):
        fail("%s: not UTF-16LE with its byte-order mark and CR LF" % reg_path)
    text = raw.decode("utf-16").replace("\r\n", "\n")
    before = snapshot_as_reg(before_path)
    with tempfile.TemporaryDirectory() as work:
        hive = os.path.join(work, "scratch.hive")
        write_scratch_hive(hive)
        files = []
        for name, body in (("parents", parents(before + text)),
                           ("before", "Windows Registry Editor Version 5.00\n\n" + before),
                           ("export", text)):
            files.append(os.path.join(work, name + ".reg"))
            with open(files[-1], "w", encoding="utf-8") as f:
                f.write(body)
        code, out = run(["hivexregedit", "--merge", hive] + files)
        if code:
            fail("hivexregedit --merge %s: %s" % (reg_path, out))
        code, out = run(["hivexregedit", "--export", hive, "\\"])
        if code:
            fail("hivexregedit --export: " + out)
    return parse_hive_export(out), [line[1:].strip() for line in text.splitlines()
                                    if line.startswith(";")]


def check_reg_files(folder):
    """Every .reg export merges through hivexregedit; one for another user
    names that user's keys, never the importing user's."""
    files = sorted(glob.glob(os.path.join(folder, "**", "*.reg"), recursive=True))
    if len(files) < 3:
        fail("expected the .reg exports of ctl_fleet_tests in %s, found %d" % (folder, len(files)))
    with tempfile.TemporaryDirectory() as work:
        for path in files:
            merged, why = merge(path, work)
            if not merged:
                fail("hivexregedit --merge %s: %s" % (path, why))
    user = os.path.join(folder, "targets", "user.reg")
    with open(user, "rb") as f:
        text = f.read().decode("utf-16")
    keys = [line for line in text.splitlines() if line.startswith("[")]
    if any("HKEY_CURRENT_USER" in k for k in keys) or not any(
            k.startswith("[HKEY_USERS\\S-1-5-21-3623811015-3361044348-30300820-1013\\")
            for k in keys):
        fail("%s does not name the user's keys: %s" % (user, keys))
    return len(files)


def check_reg(case, base, after, unrun, applied, system_folder):
    imported = Registry.load(os.path.join(base, "imported.txt"))
    for d in imported.differences(unrun):
        fail("all fifty %s, .reg through Wine's reg import: %s" % (case, d))
    merged, notes = interpret_reg(os.path.join(base, "before.txt"),
                                  os.path.join(base, "export.reg"))
    for d in merged.differences(unrun):
        fail("all fifty %s, .reg through hivexregedit: %s" % (case, d))
    check_named("all fifty %s, the .reg file" % case, applied, notes, system_folder)
    check_left_out("all fifty %s, the .reg file" % case, after, unrun, notes)


def check_left_out(what, after, unrun, notes):
    """Each value that apply makes only once a program ran, and so an export
    that runs none leaves out, is named in its notes."""
    for key, name in sorted(set(after.values) | set(unrun.values)):
        if after.values.get((key, name)) != unrun.values.get((key, name)) and not any(
                "left out" in n and name in n.lower() for n in notes):
            fail("%s leaves out %s : %s without naming it" % (what, key, name))


def check_named(what, dropped, notes, system_folder):
    """Each program run that an export cannot make is named in its notes."""
    for s in dropped:
        program, parameters = s.split("\t")
        if not any(program in n and parameters.split(system_folder)[0].strip() in n
                   for n in notes):
            fail("%s drops %s without naming it" % (what, s))


def check_meaning(folder):
    for case in ("on", "off"):
        base = os.path.join(folder, case)
        after = Registry.load(os.path.join(base, "after.txt"))
        with open(os.path.join(base, "started.txt"), encoding="latin-1") as f:
            lines = f.read().splitlines()
        system_folder, applied = lines[0], lines[1:]

        reg = Registry.load(os.path.join(base, "before.txt"))
        started = interpret_playbook(os.path.join(base, "playbook.yml"), reg, system_folder)
        for d in reg.differences(after):
            fail("all fifty %s, playbook: %s" % (case, d))
        if started != applied:
            fail("all fifty %s, playbook starts %s, apply started %s" % (case, started, applied))

        unrun = Registry.load(os.path.join(base, "runs-failed.txt"))
        reg = Registry.load(os.path.join(base, "before.txt"))
        started, notes = interpret_gpp(os.path.join(base, "gpo"), reg)
        for d in reg.differences(unrun):
            fail("all fifty %s, Group Policy: %s" % (case, d))
        check_left_out("all fifty %s, Group Policy" % case, after, unrun, notes)
        missing = [s for s in applied if s not in started]
        if [s for s in started if s not in applied]:
            fail("all fifty %s, Group Policy starts what apply did not: %s" % (case, started))
        check_named("all fifty %s, Group Policy" % case, missing, notes, system_folder)
        check_reg(case, base, after, unrun, applied, system_folder)
        if len(after.values) < 20:
            fail("all fifty %s: apply left only %d values" % (case, len(after.values)))
        print("all fifty %s: %d values, %d programs, the three exports agree with apply"
              % (case, len(after.values), len(applied)))


# --- hostile paths ---------------------------------------------------------------

HOSTILE_TASKS = ["Tweak usability/show-hidden-files on: set Hidden",
                 "Tweak general/compressed-folders on: run regsvr32.exe",
                 "Tweak general/compressed-folders on: set Compressed Folder"]

# Run with the interpreter of ansible-playbook: every argument of every task
# through Ansible's own templating, as a run would put it, printed as JSON.
TEMPLATE_TASKS = """
import json, sys
from ansible.parsing.dataloader import DataLoader
from ansible.template import Templar
loader = DataLoader()
templar = Templar(loader=loader, variables={"morvane_system_folder": "C:\\\\Windows\\\\System32"})
out = {}
for book in sys.argv[1:]:
    out[book] = []
    for play in loader.load_from_file(book):
        for task in play["tasks"]:
            for key, value in task.items():
                if key.startswith("ansible."):
                    out[book].append({k: str(templar.template(v)) for k, v in value.items()})
print(json.dumps(out))
"""


def ansible_python():
    with open(shutil.which("ansible-playbook")) as f:
        return f.readline()[2:].strip().split()[-1]


def check_hostile(folder):
    manifest = os.path.join(folder, "hostile", "cases.txt")
    if not os.path.exists(manifest):
        fail("expected the hostile exports of ctl_fleet_tests in " + manifest)
        return 0
    with open(manifest) as f:
        cases = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    books = [os.path.abspath(os.path.join(folder, "hostile", c[0] + ".yml")) for c in cases]
    # Each tool once over all of them: --list-tasks, then the templating.
    code, out = run(["ansible-playbook", "--list-tasks", "-i", "localhost,"] + books)
    listed = {os.path.abspath(part.split("\n")[0].strip()): part
              for part in ("\n" + out).split("\nplaybook: ")[1:]}
    with tempfile.TemporaryDirectory() as cwd:
        r = subprocess.run([ansible_python(), "-c", TEMPLATE_TASKS] + books, cwd=cwd,
                           capture_output=True, text=True)
        if os.listdir(cwd):
            fail("templating the hostile playbooks ran a command: %s" % os.listdir(cwd))
    if code or r.returncode:
        fail("hostile playbooks: ansible-playbook --list-tasks or templating failed: %s%s"
             % (out, r.stderr))
        return len(cases)
    templated = json.loads(r.stdout)
    for (number, hive_hex, preset_hex), book in zip(cases, books):
        hive = bytes.fromhex(hive_hex).decode("utf-8")
        preset = bytes.fromhex(preset_hex).decode("utf-8")
        part = listed.get(book, "")
        plays = re.findall(r"^  play #\d+ \((.*)\): (.*?)\tTAGS", part, re.M)
        tasks = re.findall(r"^      (.*?)\tTAGS", part, re.M)
        if plays != [("all", "Apply the Morvane preset")] or tasks != HOSTILE_TASKS:
            fail("%s: --list-tasks lists other plays or tasks: %s" % (book, part))
        hives = [a["hive"] for a in templated[book] if "hive" in a]
        if hives != [hive, hive]:
            fail("%s: hive %r, templated %r" % (book, hive, hives))
        with open(book, encoding="utf-8") as f:
            lines = f.read().split("\n")
        if lines[1] != "# morvanectl export ansible " + preset:
            fail("%s: the preset's path is not its comment line: %r" % (book, lines[1]))
        if os.path.exists(os.path.join(folder, "hostile", number + "-gpo")):
            fail("%s-gpo: export gpp wrote for a profile file" % number)
    return len(cases)


def main():
    folder, xsd = sys.argv[1], sys.argv[2]
    books = check_playbooks(folder)
    gpos = check_gpp_files(folder, xsd)
    regs = check_reg_files(folder)
    check_meaning(folder)
    hostile = check_hostile(folder)
    if hostile < 7:
        fail("expected 7 hostile exports, found %d" % hostile)
    print("%d playbooks, %d Group Policy folders, %d .reg files checked; %d failures"
          % (books, gpos, regs, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
