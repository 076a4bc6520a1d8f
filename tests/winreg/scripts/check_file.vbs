' CheckFile from VBScript through Windows Script Host, by both ProgIDs.
' Arguments: the folder of the sample files, the module version expected from GetVersion, the
' report file. Writes one line "file|TypeID|description" per file and "checked N, F failed" at
' the end to the report (UTF-16), and exits with the number of failures: an uncaught error would
' write nothing more and exit 0.
' The report is a file rather than the console: 32-bit Wine's cscript corrupts its heap when it
' echoes Chinese text in a Chinese locale.
Option Explicit

Dim fileSystem, report
Set fileSystem = CreateObject("Scripting.FileSystemObject")
Set report = fileSystem.CreateTextFile(WScript.Arguments(2), True, True)

Dim failures, checkedCount
failures = 0
checkedCount = 0

Sub Expect(ok, what)
  If Not ok Then
    failures = failures + 1
    report.WriteLine "FAIL: " & what
  End If
End Sub

' Chinese text from its GBK codes: the script runs in a Chinese locale (ANSI code page 936),
' where Chr takes a double-byte code. (ChrW would be the locale-free way, but Wine's VBScript
' does not implement it.)
Function Chinese(codes)
  Dim text, code
  text = ""
  For Each code In codes
    text = text & Chr(code)
  Next
  Chinese = text
End Function

Dim folder, version
folder = WScript.Arguments(0)
version = WScript.Arguments(1)

Dim checker, versioned
Set checker = CreateObject("Kindprobe.CheckFile")
Set versioned = CreateObject("Kindprobe.CheckFile.1")
Expect checker.GetVersion() = version, "GetVersion gave " & checker.GetVersion()

Sub Check(name, typeId, description)
  checker.CheckFile folder & "\" & name
  Dim gotType, gotText
  gotType = checker.GetTypeID()
  gotText = checker.GetErrorInfo()
  report.WriteLine name & "|" & gotType & "|" & gotText
  Expect gotType = typeId, name & ": TypeID " & gotType
  Expect gotText = description, name & ": description"
  ' One object serves the process: the other ProgID's reference sees the same result.
  Expect versioned.GetTypeID() = typeId, name & ": TypeID through Kindprobe.CheckFile.1"
  Expect versioned.GetErrorInfo() = description, name & ": description through Kindprobe.CheckFile.1"
  checkedCount = checkedCount + 1
End Sub

Dim fileText
fileText = Chinese(Array(&HCEC4, &HBCFE))
Check "clip.avi", 4, "AVI" & fileText
Check "empty.avi", 3, Chinese(Array(&HC1E3, &HD7D6, &HBDDA)) & fileText
Check "notes.txt", 2, Chinese(Array(&HCEC4, &HB1BE)) & fileText
Check "unknown.xyz", 0, Chinese(Array(&HCEB4, &HD6AA, &HC0E0, &HD0CD))

report.WriteLine "checked " & checkedCount & ", " & failures & " failed"
report.Close
WScript.Quit failures
