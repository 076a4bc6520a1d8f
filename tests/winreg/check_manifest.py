#!/usr/bin/env python3
"""The side-by-side manifest of Kindprobe.dll: well-formed, and naming the class, its ProgIDs,
the type library and the proxy/stub with the GUIDs the IDL defines."""
import argparse
import sys
import xml.etree.ElementTree as ET

NS = "{urn:schemas-microsoft-com:asm.v1}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("manifest")
    parser.add_argument("--clsid", required=True)
    parser.add_argument("--iid", required=True)
    parser.add_argument("--libid", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--arch", required=True)
    options = parser.parse_args()
    clsid, iid, libid = (f"{{{g}}}" for g in (options.clsid, options.iid, options.libid))

    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    root = ET.parse(options.manifest).getroot()
    check(root.tag == f"{NS}assembly" and root.get("manifestVersion") == "1.0",
          "root is not an asm.v1 assembly of manifest version 1.0")

    identity = root.findall(f"{NS}assemblyIdentity")
    check(len(identity) == 1, "one assemblyIdentity expected")
    if identity:
        attributes = identity[0].attrib
        check(attributes == {"type": "win32", "name": "Kindprobe", "version": options.version,
                             "processorArchitecture": options.arch},
              f"assemblyIdentity is {attributes}")
        # Windows wants four dotted numbers of at most 65535.
        parts = attributes.get("version", "").split(".")
        check(len(parts) == 4 and all(p.isdigit() and int(p) <= 65535 for p in parts),
              "version is not four numbers")

    files = root.findall(f"{NS}file")
    check(len(files) == 1 and files[0].get("name") == "Kindprobe.dll",
          "one file element naming Kindprobe.dll expected")
    if files:
        file = files[0]
        classes = file.findall(f"{NS}comClass")
        check(len(classes) == 1, "one comClass expected")
        if classes:
            cls = classes[0]
            check(cls.get("clsid") == clsid, f"comClass clsid {cls.get('clsid')}")
            check(cls.get("threadingModel") == "Apartment", "threadingModel is not Apartment")
            check(cls.get("progid") == "Kindprobe.CheckFile.1", "ProgID is not Kindprobe.CheckFile.1")
            check(cls.get("tlbid") == libid, "comClass does not name the type library")
            extra = [p.text for p in cls.findall(f"{NS}progid")]
            check(extra == ["Kindprobe.CheckFile"], f"further ProgIDs {extra}")
        libraries = file.findall(f"{NS}typelib")
        check(len(libraries) == 1 and libraries[0].get("tlbid") == libid
              and libraries[0].get("version") == "1.0", "typelib element")
        stubs = file.findall(f"{NS}comInterfaceProxyStub")
        check(len(stubs) == 1, "one comInterfaceProxyStub expected")
        if stubs:
            stub = stubs[0]
            check(stub.get("iid") == iid and stub.get("proxyStubClsid32") == iid,
                  "the proxy/stub is not the module's own (its class id is the IID)")
            check(stub.get("name") == "ICheckFile" and stub.get("tlbid") == libid,
                  "comInterfaceProxyStub name or tlbid")

    raw = open(options.manifest, "rb").read()
    check(b"@" not in raw, "a configure placeholder was left in")
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
