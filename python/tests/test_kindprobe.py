"""The Python interface over the library just built: answers, arguments, errors and threads."""

import dataclasses
import errno
import os
import pathlib
from concurrent.futures import ThreadPoolExecutor

import pytest

import kindprobe
from kindprobe import TypeId

AVI = b"RIFF\x08\x00\x00\x00AVI LIST"
CUT_AVI = b"RIFF\xf8\x0f\x00\x00AVI LIST"
RULES = b"\xef\xbb\xbf.foo;2;\xe6\xb5\x8b\xe8\xaf\x95\xe6\x96\x87\xe4\xbb\xb6;0,4,,464F4F21\r\n"


@pytest.fixture
def files(tmp_path):
    made = {
        "clip.avi": AVI,
        "clip.txt": AVI,
        "cut.avi": CUT_AVI,
        "empty.mkv": b"",
        "notes": b"just words\n",
        "x.bin": b"FOO!\x01",
        "rules.txt": RULES,
        "utf16.txt": b"\xff\xfe.\x00f\x00",
    }
    for name, data in made.items():
        (tmp_path / name).write_bytes(data)
    return tmp_path


@pytest.mark.parametrize(
    "name, lang, explain, type_id, description, reasons",
    [
        ("clip.avi", "zh", False, TypeId.INVALID_MEDIA, "AVI文件", ()),
        ("clip.avi", "en", True, TypeId.INVALID_MEDIA, "AVI file", ()),
        ("clip.txt", "en", False, TypeId.INVALID_MEDIA, "AVI file", ()),
        ("clip.txt", "en", True, TypeId.INVALID_MEDIA, "AVI file", ("renamed",)),
        ("cut.avi", "zh", True, TypeId.INVALID_MEDIA, "AVI文件", ("truncated",)),
        ("empty.mkv", "zh", True, TypeId.ZERO_BYTE, "零字节文件", ()),
        ("notes", "en", False, TypeId.NON_MEDIA, "text file", ()),
    ],
)
def test_answers(files, name, lang, explain, type_id, description, reasons):
    result = kindprobe.check(str(files / name), explain=explain, lang=lang)
    assert result.type_id is type_id
    assert result.type_name == {0: "Unknown", 2: "NonMedia", 3: "ZeroByte", 4: "InvalidMedia"}[type_id]
    assert result.description == description
    assert result.examined and result.error is None
    assert tuple(reason.code for reason in result.reasons) == reasons
    assert all(reason.detail for reason in result.reasons)


@pytest.mark.parametrize("as_path", [str, os.fsencode, pathlib.Path])
def test_path_types_and_names_that_are_not_utf8(files, as_path):
    odd = files / os.fsdecode(b"\xff\xfe.avi")
    odd.write_bytes(AVI)
    for path in (files / "clip.avi", odd):
        assert kindprobe.check(as_path(path)).type_id is TypeId.INVALID_MEDIA


def test_not_examined_says_why(files):
    for path, number, text in [
        (files / "missing.avi", errno.ENOENT, "cannot open (No such file or directory)"),
        (files, errno.EISDIR, "is a directory (use -r)"),
    ]:
        result = kindprobe.check(path, lang="en")
        assert (result.type_id, result.examined, result.rule) == (TypeId.UNKNOWN, False, -1)
        assert result.error == kindprobe.Failure(number, text)


def test_refused_arguments(files):
    for call in [
        lambda: kindprobe.check(str(files) + "/a\0b"),
        lambda: kindprobe.check(files / "clip.avi", lang="fr"),
        lambda: kindprobe.Checker(lang="de"),
    ]:
        with pytest.raises(ValueError):
            call()
    with pytest.raises(TypeError):
        kindprobe.check(42)
    result = kindprobe.check(files / "clip.avi")
    with pytest.raises(dataclasses.FrozenInstanceError):
        result.description = "changed"


def test_checker_rules_file_and_descriptors(files):
    checker = kindprobe.Checker(rules_file=files / "rules.txt", lang="en", explain=True)
    assert checker.check(files / "x.bin").description == "测试文件"
    assert kindprobe.check(files / "x.bin").description == "未知类型"
    for bad, number in [("missing.txt", errno.ENOENT), ("utf16.txt", errno.EILSEQ)]:
        with pytest.raises(OSError) as raised:
            kindprobe.Checker(rules_file=files / bad)
        assert raised.value.errno == number
    with open(files / "clip.avi", "rb") as file:
        file.seek(3)
        renamed = kindprobe.Checker(explain=True).check_fd(file.fileno(), "clip.txt")
        assert [reason.code for reason in renamed.reasons] == ["renamed"]
        assert file.tell() == 3


def test_one_checker_from_many_threads(files):
    """Threads sharing a Checker (ctypes lets go of the GIL in every call) get right answers."""
    checker = kindprobe.Checker(lang="en")
    paths = [files / "clip.avi", files / "notes", files / "empty.mkv"] * 400
    expected = ["AVI file", "text file", "zero-byte file"] * 400
    with ThreadPoolExecutor(max_workers=8) as pool:
        got = list(pool.map(lambda path: checker.check(path).description, paths))
    assert got == expected
