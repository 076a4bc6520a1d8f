#!/usr/bin/env python3
"""The generated registry scripts 101 and 102, run through the regscript tool in both passes.

The register pass must produce exactly the keys and values listed below (nothing more), the
unregister pass must take them away again and leave the AppID and CLSID keys themselves and
whatever else they hold. The scripts' bytes are checked too: ASCII, tab indentation, CR LF
lines, no NUL.
"""
import argparse
import subprocess
import sys
import tempfile

APPID_ROOT = "HKEY_CLASSES_ROOT\\AppID"
CLSID_ROOT = "HKEY_CLASSES_ROOT\\CLSID"


def expected_appid_tree(appid):
    return {
        APPID_ROOT: {},
        f"{APPID_ROOT}\\{appid}": {"@": "Kindprobe"},
        f"{APPID_ROOT}\\Kindprobe.DLL": {"AppID": appid},
    }


def expected_class_tree(clsid, libid, appid, module):
    cls = f"{CLSID_ROOT}\\{clsid}"
    return {
        "HKEY_CLASSES_ROOT\\Kindprobe.CheckFile.1": {"@": "CheckFile Class"},
        "HKEY_CLASSES_ROOT\\Kindprobe.CheckFile.1\\CLSID": {"@": clsid},
        "HKEY_CLASSES_ROOT\\Kindprobe.CheckFile": {"@": "CheckFile Class"},
        "HKEY_CLASSES_ROOT\\Kindprobe.CheckFile\\CLSID": {"@": clsid},
        "HKEY_CLASSES_ROOT\\Kindprobe.CheckFile\\CurVer": {"@": "Kindprobe.CheckFile.1"},
        CLSID_ROOT: {},
        cls: {"@": "CheckFile Class", "AppID": appid},
        f"{cls}\\ProgID": {"@": "Kindprobe.CheckFile.1"},
        f"{cls}\\VersionIndependentProgID": {"@": "Kindprobe.CheckFile"},
        f"{cls}\\Programmable": {},
        f"{cls}\\InprocServer32": {"@": module, "ThreadingModel": "Apartment"},
        f"{cls}\\TypeLib": {"@": libid},
    }


def unquote(text):
    assert text.startswith('"') and text.endswith('"'), text
    return text[1:-1].replace('\\"', '"').replace("\\\\", "\\")


def parse_reg(text):
    """{key path: {value name ("@" for the default): string data}} from regscript's output."""
    tree, key, result = {}, None, None
    for line in text.splitlines():
        if line.startswith("hr="):
            result = int(line[3:], 16)
        elif line.startswith("[") and line.endswith("]"):
            key = line[1:-1]
            tree[key] = {}
        elif "=" in line and key is not None:
            name, data = line.split("=", 1)
            if not data.startswith('"'):
                raise AssertionError(f"value {line!r} is not a string")
            tree[key]["@" if name == "@" else unquote(name)] = unquote(data)
    return tree, result


def to_reg(tree):
    lines = ["Windows Registry Editor Version 5.00", ""]
    for key, values in tree.items():
        lines.append(f"[{key}]")
        for name, data in values.items():
            shown = "@" if name == "@" else '"' + name.replace("\\", "\\\\") + '"'
            lines.append(shown + '="' + data.replace("\\", "\\\\").replace('"', '\\"') + '"')
        lines.append("")
    return "\n".join(lines)


class Runner:
    def __init__(self, regscript, appid, module_replacement):
        self.regscript = regscript
        self.replacements = ["--replace", f"APPID={appid}", "--replace", f"Module={module_replacement}"]

    def run(self, script, seed=None, unregister=False):
        command = [self.regscript]
        if unregister:
            command.append("--unregister")
        with tempfile.NamedTemporaryFile("w", suffix=".reg", encoding="utf-8") as seed_file:
            if seed is not None:
                seed_file.write(to_reg(seed))
                seed_file.flush()
                command += ["--seed", seed_file.name]
            done = subprocess.run(command + self.replacements + [script], capture_output=True,
                                  text=True, encoding="utf-8", check=False)
        tree, result = parse_reg(done.stdout)
        if result is None:
            raise AssertionError(f"regscript gave no result: {done.stderr}")
        return tree, result


failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def check_tree(actual, expected, what):
    for key in sorted(set(actual) | set(expected), key=str.lower):
        if key not in actual:
            check(False, f"{what}: missing key {key}")
        elif key not in expected:
            check(False, f"{what}: unexpected key {key}")
        else:
            check(actual[key] == expected[key],
                  f"{what}: {key} holds {actual[key]}, expected {expected[key]}")


def check_bytes(path):
    data = open(path, "rb").read()
    check(len(data) > 0 and b"\0" not in data, f"{path}: empty or holds a NUL")
    check(all(byte < 0x80 for byte in data), f"{path}: not ASCII")
    check(data.endswith(b"\r\n"), f"{path}: last line does not end in CR LF")
    lines = data.split(b"\r\n")
    check(all(b"\n" not in line and b"\r" not in line for line in lines),
          f"{path}: a line ends in something other than CR LF")
    for line in lines:
        indent = line[: len(line) - len(line.lstrip(b" \t"))]
        check(b" " not in indent, f"{path}: line {line!r} is indented with spaces")
    check(b"@" not in data, f"{path}: a configure placeholder was left in")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--regscript", required=True)
    parser.add_argument("--appid-script", required=True)
    parser.add_argument("--class-script", required=True)
    parser.add_argument("--appid", required=True)
    parser.add_argument("--clsid", required=True)
    parser.add_argument("--libid", required=True)
    options = parser.parse_args()
    appid, clsid, libid = (f"{{{g}}}" for g in (options.appid, options.clsid, options.libid))

    for script in (options.appid_script, options.class_script):
        check_bytes(script)

    # The module replacement arrives with its quotes doubled and is registered as the exact path.
    module = "C:\\Program Files\\Tessmark's Player\\Kindprobe.dll"
    runner = Runner(options.regscript, appid, module.replace("'", "''"))

    appid_tree = expected_appid_tree(appid)
    tree, result = runner.run(options.appid_script)
    check(result == 0, f"AppID script, register pass: hr={result:#010x}")
    check_tree(tree, appid_tree, "AppID script, register pass")

    class_tree = expected_class_tree(clsid, libid, appid, module)
    tree, result = runner.run(options.class_script)
    check(result == 0, f"class script, register pass: hr={result:#010x}")
    check_tree(tree, class_tree, "class script, register pass")

    # Registering over an earlier registration gives the same tree: ForceRemove drops a stale
    # subkey of the class key, the ProgID keys are rewritten in place.
    stale = dict(class_tree)
    stale[f"{CLSID_ROOT}\\{clsid}\\LocalServer32"] = {"@": "C:\\old.exe"}
    tree, result = runner.run(options.class_script, seed=stale)
    check(result == 0, f"class script over a stale registration: hr={result:#010x}")
    check_tree(tree, class_tree, "class script over a stale registration")

    # The unregister pass leaves AppID and CLSID, and everything the scripts do not name.
    other_appid = f"{APPID_ROOT}\\{{00000000-0000-0000-0000-000000000001}}"
    other_class = f"{CLSID_ROOT}\\{{00000000-0000-0000-0000-000000000002}}"
    neighbours = {other_appid: {"@": "Other"}, other_class: {"@": "Other Class"}}
    for script, registered in ((options.appid_script, appid_tree),
                               (options.class_script, class_tree)):
        left = {APPID_ROOT: {}, CLSID_ROOT: {}, **neighbours}
        seed = {**registered, **left}
        tree, result = runner.run(script, seed=seed, unregister=True)
        check(result == 0, f"{script}, unregister pass: hr={result:#010x}")
        check_tree(tree, left, f"{script}, unregister pass")
        # Nothing left to remove is no failure.
        tree, result = runner.run(script, seed=left, unregister=True)
        check(result == 0, f"{script}, second unregister pass: hr={result:#010x}")
        check_tree(tree, left, f"{script}, second unregister pass")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
