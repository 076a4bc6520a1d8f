#!/usr/bin/env python3
"""The Windows Installer package of one architecture, under Wine, in a prefix made for the run.

In order: install; the files and both COM modules' registry entries are there, in the package's
registry view; script clients (cscript) of both classes and a compiled early-binding client use
them;
installing the same package again, a rebuilt package of the same version and a later version
each leave one product and the same entries; the earlier version is then refused; uninstalling
leaves the registry and Program Files as they were before the install; finally (unless told not
to) regsvr32 with the same modules at the same paths writes exactly the entries the package wrote.
Prints one line per step and exits non-zero on the first failure.
"""
import argparse
import filecmp
import os
import shutil
import subprocess
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
WSH_RUNNER = HERE.parent / "winreg" / "run_wsh_script.py"
VBSCRIPT = HERE.parent / "winreg" / "scripts" / "check_file.vbs"
DIAGNOSIS_RUNNER = HERE.parent / "winreg" / "run_diagnosis_script.py"
DIAGNOSIS_SCRIPTS = [HERE.parent / "winreg" / "scripts" / name for name in ("diagnose.vbs", "diagnose.js")]

INSTALLER_BOOKKEEPING = (
    "software\\classes\\installer\\",
    "software\\microsoft\\windows\\currentversion\\installer\\",
)
# Windows Installer notes where it lives the first time it runs; a Windows that has run any
# package already has this value.
INSTALLER_LOCATION = ("software\\microsoft\\windows\\currentversion\\installer", "installerlocation")
UNINSTALL = "software\\microsoft\\windows\\currentversion\\uninstall\\"
VIEWS = ("software\\", "software\\wow6432node\\")
CLASS_VIEWS = ("software\\classes\\", "software\\classes\\wow6432node\\",
               "software\\wow6432node\\classes\\")


class Failure(Exception):
    pass


def parse_reg(path):
    """{lower-case key path: {lower-case value name: raw data}} of a Wine registry file."""
    tree, key, pending = {}, None, ""
    for raw in Path(path).read_text(encoding="utf-8", errors="surrogateescape").splitlines():
        line = pending + raw.strip() if pending else raw
        if line.endswith("\\") and key is not None and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("["):
            end = line.rindex("]")
            key = line[1:end].replace("\\\\", "\\").lower()
            tree[key] = {}
        elif key is None or not line or line.startswith(("#", ";")):
            continue
        elif line.startswith("@="):
            tree[key]["@"] = line[2:]
        elif line.startswith('"'):
            at, name = 1, []
            while line[at] != '"':
                if line[at] == "\\":
                    at += 1
                name.append(line[at])
                at += 1
            tree[key]["".join(name).lower()] = line[at + 2:]
    return tree


class Prefix:
    def __init__(self, options):
        self.options = options
        self.root = Path(options.prefix)
        self.wine = options.wine
        self.environment = dict(os.environ)
        self.environment.update({
            "WINEPREFIX": str(self.root), "WINEARCH": options.winearch, "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=", "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8"})
        self.environment.pop("DISPLAY", None)
        self.environment.pop("WAYLAND_DISPLAY", None)

    def run(self, *arguments):
        done = subprocess.run([self.wine, *arguments], env=self.environment, capture_output=True,
                              timeout=300, check=False)
        # The registry files are written when the server has nothing more to do.
        subprocess.run([str(Path(self.wine).parent / "wineserver"), "-w"], env=self.environment,
                       check=False)
        return done

    def create(self):
        shutil.rmtree(self.root, ignore_errors=True)
        self.run("wineboot", "--init")
        # Whatever the first programs do to a new prefix (Windows Script Host registers its own
        # type library) happens before the first snapshot.
        self.run("cmd", "/c", "exit")
        warm_up = self.root / "warm-up.vbs"
        warm_up.write_text("WScript.Quit 0\r\n", encoding="ascii")
        self.run(self.options.cscript, "//nologo", windows_path(warm_up))
        if not (self.root / "system.reg").is_file():
            raise Failure(f"wineboot did not create {self.root}")

    def machine(self):
        return parse_reg(self.root / "system.reg")

    def registry(self):
        """The machine's software keys and the user's keys, as one tree."""
        tree = {k: v for k, v in self.machine().items() if k.startswith("software\\")}
        tree.update({"user\\" + k: v for k, v in parse_reg(self.root / "user.reg").items()})
        return tree

    def program_files(self):
        files = set()
        for folder in ("Program Files", "Program Files (x86)"):
            base = self.root / "drive_c" / folder
            for directory, _, names in os.walk(base):
                relative = os.path.relpath(directory, self.root / "drive_c")
                files.add(relative + os.sep)
                files.update(os.path.join(relative, name) for name in names)
        return files

    def host_path(self, windows_path):
        return self.root / "drive_c" / windows_path[3:].replace("\\", "/")


def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def package_property(package, wanted):
    table = subprocess.run(["msiinfo", "export", str(package), "Property"], capture_output=True,
                           text=True, check=True).stdout
    for line in table.splitlines():
        name, _, value = line.partition("\t")
        if name == wanted:
            return value
    raise Failure(f"{package}: no {wanted}")


def product_code(package):
    return package_property(package, "ProductCode").upper()


class Check:
    def __init__(self, options):
        self.options = options
        self.prefix = Prefix(options)
        self.install_dir = options.install_dir.rstrip("\\")
        self.module = self.install_dir + "\\Kindprobe.dll"
        self.diagnosis_module = self.install_dir + "\\KindprobeDiagnosis.dll"
        ids = {"appid": options.appid, "clsid": options.clsid, "iid": options.iid,
               "libid": options.libid}
        diagnosis = {"clsid": options.diagnosis_clsid, "iid": options.diagnosis_iid,
                     "libid": options.diagnosis_libid}
        self.roots = [r.lower() for r in (
            f"AppID\\{{{ids['appid']}}}", "AppID\\Kindprobe.DLL", f"CLSID\\{{{ids['clsid']}}}",
            f"CLSID\\{{{ids['iid']}}}", f"Interface\\{{{ids['iid']}}}",
            f"TypeLib\\{{{ids['libid']}}}", "Kindprobe.CheckFile", "Kindprobe.CheckFile.1",
            f"CLSID\\{{{diagnosis['clsid']}}}", f"CLSID\\{{{diagnosis['iid']}}}",
            f"Interface\\{{{diagnosis['iid']}}}", f"TypeLib\\{{{diagnosis['libid']}}}",
            "Kindprobe.Diagnosis", "Kindprobe.Diagnosis.1")]

    def step(self, text):
        print(f"-- {text}", flush=True)

    def expect(self, condition, message):
        if not condition:
            raise Failure(message)

    def component_keys(self):
        """The component's keys in every class view of the machine."""
        tree = self.prefix.machine()
        found = {}
        for key, values in tree.items():
            for view in CLASS_VIEWS:
                if not key.startswith(view):
                    continue
                rest = key[len(view):]
                if any(rest == root or rest.startswith(root + "\\") for root in self.roots):
                    found[key] = values
        return found

    def products(self):
        """{product code: DisplayVersion} of every installed Kindprobe, in both views."""
        found = {}
        for key, values in self.prefix.machine().items():
            for view in VIEWS:
                base = view + UNINSTALL[len("software\\"):]
                if key.startswith(base) and values.get("displayname", "").startswith('"Kindprobe'):
                    found[key[len(base):].upper()] = values.get("displayversion", "").strip('"')
        return found

    def msiexec(self, *arguments, expect_success=True):
        done = self.prefix.run("msiexec", *arguments, "/qn")
        if expect_success:
            self.expect(done.returncode == 0, f"msiexec {' '.join(arguments)}: exit {done.returncode}")
        return done.returncode

    def expect_installed(self, package, version, entries):
        products = self.products()
        self.expect(products == {product_code(package): version},
                    f"installed products {products}, expected only {version} of {package.name}")
        for name, built in (("Kindprobe.dll", self.options.dll), ("kindprobe.exe", self.options.exe),
                            ("kindprobe-1.dll", self.options.library),
                            ("KindprobeDiagnosis.dll", self.options.diagnosis_dll)):
            installed = self.prefix.host_path(self.install_dir + "\\" + name)
            self.expect(installed.is_file() and filecmp.cmp(installed, built, shallow=False),
                        f"{installed} is not the built {name}")
        if entries is not None:
            self.expect_same_entries(entries, self.component_keys(), "installed", "now")

    def expect_same_entries(self, expected, got, expected_name, got_name):
        differences = []
        for key in sorted(set(expected) | set(got)):
            if expected.get(key) != got.get(key):
                differences.append(f"  {key}\n    {expected_name}: {expected.get(key)}"
                                   f"\n    {got_name}: {got.get(key)}")
        self.expect(not differences, "registry entries differ:\n" + "\n".join(differences))

    def run(self):
        options = self.options
        package, rebuilt, later = (Path(p) for p in (options.msi, options.rebuilt_msi,
                                                     options.later_msi))
        self.step(f"fresh {options.winearch} prefix {self.prefix.root}")
        self.prefix.create()
        registry_before = self.prefix.registry()
        files_before = self.prefix.program_files()

        self.step(f"msiexec /i {package.name}")
        self.msiexec("/i", windows_path(package))
        installed = self.component_keys()
        view = options.classes_view.lower() + "\\"
        for clsid, module in ((options.clsid, self.module),
                              (options.diagnosis_clsid, self.diagnosis_module)):
            clsid_key = f"{view}clsid\\{{{clsid.lower()}}}\\inprocserver32"
            self.expect(installed.get(clsid_key, {}).get("@") == '"' + module.replace("\\", "\\\\") + '"',
                        f"{clsid_key} does not name {module}: {installed.get(clsid_key)}")
            # The class belongs to the package's own view only: a 64-bit client must not find a
            # 32-bit server, nor the other way round.
            class_key = f"clsid\\{{{clsid.lower()}}}"
            stray = [key for key in installed for other in CLASS_VIEWS
                     if other != view and key.startswith(other + class_key)]
            self.expect(not stray, f"the class outside {options.classes_view}: {stray}")
        self.expect_installed(package, options.version, None)

        self.step("script client: cscript check_file.vbs")
        done = subprocess.run([sys.executable, str(WSH_RUNNER), "--wine", options.wine,
                               "--prefix", str(self.prefix.root), "--samples", options.samples,
                               "--version", options.version, "--cscript", options.cscript,
                               str(VBSCRIPT)],
                              capture_output=True, text=True, timeout=300, check=False)
        self.expect(done.returncode == 0, f"cscript client failed:\n{done.stdout}{done.stderr}")
        for script in DIAGNOSIS_SCRIPTS:
            self.step(f"script client: cscript {script.name}")
            done = subprocess.run([sys.executable, str(DIAGNOSIS_RUNNER), "--wine", options.wine,
                                   "--prefix", str(self.prefix.root), "--kindprobe", options.exe,
                                   "--cscript", options.cscript, str(script)],
                                  capture_output=True, text=True, timeout=600, check=False)
            self.expect(done.returncode == 0,
                        f"{script.name} client failed:\n{done.stdout}{done.stderr}")

        for apartment in ("sta", "mta"):
            self.step(f"early-binding client, {apartment}")
            done = self.prefix.run(windows_path(options.client), apartment,
                                   windows_path(Path(options.samples) / "clip.avi"))
            output = done.stdout.decode("utf-8", errors="replace").split()
            self.expect(done.returncode == 0 and output == ["4|AVI文件", options.version],
                        f"client ({apartment}) exit {done.returncode}: {output} "
                        f"{done.stderr.decode(errors='replace')}")

        self.step("msiexec /i the same package again")
        self.msiexec("/i", windows_path(package))
        self.expect_installed(package, options.version, installed)

        self.step(f"msiexec /i {rebuilt.name} rebuilt (same version, new product code)")
        self.expect(product_code(rebuilt) != product_code(package),
                    "the rebuilt package has the same product code")
        self.msiexec("/i", windows_path(rebuilt))
        self.expect_installed(rebuilt, options.version, installed)

        self.step(f"msiexec /i {later.name} (major upgrade)")
        later_version = package_property(later, "ProductVersion")
        self.msiexec("/i", windows_path(later))
        self.expect_installed(later, later_version, installed)

        self.step(f"msiexec /i {package.name} over the later version is refused")
        self.expect(self.msiexec("/i", windows_path(package), expect_success=False) != 0,
                    "the earlier version installed over the later one")
        self.expect_installed(later, later_version, installed)

        self.step(f"msiexec /x {later.name}")
        self.msiexec("/x", windows_path(later))
        self.expect(self.prefix.program_files() == files_before,
                    "Program Files differs: "
                    f"{sorted(self.prefix.program_files() ^ files_before)}")
        self.expect_registry_restored(registry_before, self.prefix.registry())

        if not options.compare_regsvr32:
            self.step("passed")
            return
        self.step("regsvr32 of the same modules at the same paths")
        modules = ((self.module, options.dll), (self.diagnosis_module, options.diagnosis_dll))
        self.prefix.host_path(self.module).parent.mkdir(parents=True)
        for module, built in modules:
            shutil.copyfile(built, self.prefix.host_path(module))
            done = self.prefix.run(options.regsvr32, "/s", module)
            self.expect(done.returncode == 0, f"regsvr32 {module}: exit {done.returncode}")
        self.expect_same_entries(installed, self.component_keys(), "msiexec", "regsvr32")
        for module, _ in modules:
            self.prefix.run(options.regsvr32, "/u", "/s", module)
        shutil.rmtree(self.prefix.host_path(self.module).parent)
        self.step("passed")

    def expect_registry_restored(self, before, after):
        differences = []
        for key in sorted(set(before) | set(after)):
            old, new = before.get(key), after.get(key)
            if old == new:
                continue
            if old is None and not new and key.startswith(INSTALLER_BOOKKEEPING):
                continue  # the installer's own empty containers
            if old is not None and new is not None and key == INSTALLER_LOCATION[0]:
                rest = {k: v for k, v in new.items() if k != INSTALLER_LOCATION[1]}
                if rest == old:
                    continue
            differences.append(f"  {key}\n    before: {old}\n    after:  {new}")
        self.expect(not differences, "uninstall left the registry changed:\n" + "\n".join(differences))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--wine", required=True, help="the Wine loader")
    parser.add_argument("--winearch", required=True, choices=("win32", "win64"))
    parser.add_argument("--prefix", required=True, help="made afresh for the run")
    parser.add_argument("--msi", required=True)
    parser.add_argument("--rebuilt-msi", required=True, help="the same version, built again")
    parser.add_argument("--later-msi", required=True, help="kindprobe-VERSION-ARCH.msi, later")
    parser.add_argument("--dll", required=True, help="the Kindprobe.dll the packages hold")
    parser.add_argument("--exe", required=True, help="the kindprobe.exe the packages hold")
    parser.add_argument("--library", required=True, help="the kindprobe-1.dll the packages hold")
    parser.add_argument("--diagnosis-dll", required=True,
                        help="the KindprobeDiagnosis.dll the packages hold")
    parser.add_argument("--client", required=True, help="early_binding_client.exe")
    parser.add_argument("--install-dir", required=True, help=r"C:\Program Files\Kindprobe")
    parser.add_argument("--classes-view", required=True,
                        help=r"where the entries belong in system.reg: Software\Classes, or "
                             r"Software\Classes\Wow6432Node for a 32-bit package on 64-bit")
    # A 32-bit package in a 64-bit prefix is registered and scripted by the 32-bit tools.
    parser.add_argument("--regsvr32", default="regsvr32.exe")
    parser.add_argument("--cscript", default="cscript.exe")
    # Not for a 32-bit package on 64-bit Windows: there the 32-bit registration also files the
    # interface in the 64-bit view, which a 32-bit package cannot write.
    parser.add_argument("--compare-regsvr32", action=argparse.BooleanOptionalAction, default=True)
    parser.add_argument("--samples", required=True)
    parser.add_argument("--version", required=True)
    for name in ("appid", "clsid", "iid", "libid", "diagnosis-clsid", "diagnosis-iid",
                 "diagnosis-libid"):
        parser.add_argument(f"--{name}", required=True)
    options = parser.parse_args()
    try:
        Check(options).run()
    except (Failure, subprocess.TimeoutExpired) as failure:
        print(f"FAIL: {failure}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
