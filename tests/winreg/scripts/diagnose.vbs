' Diagnosis from VBScript through Windows Script Host, by both ProgIDs.
' Arguments: the folder of the files to diagnose, the report file. Writes "name|language|report"
' per file and language, the error number a language it does not know gives, and "done" to the
' report (UTF-16): an uncaught error would write nothing more.
' The report is a file rather than the console: 32-bit Wine's cscript corrupts its heap when it
' echoes Chinese text in a Chinese locale.
Option Explicit

Dim fileSystem, report, folder, diagnosis, name
Set fileSystem = CreateObject("Scripting.FileSystemObject")
Set report = fileSystem.CreateTextFile(WScript.Arguments(1), True, True)
folder = WScript.Arguments(0)

Set diagnosis = CreateObject("Kindprobe.Diagnosis")
For Each name In Array("cut.avi", "clip.txt", "empty.flv")
  report.WriteLine name & "|en|" & diagnosis.Diagnose(folder & "\" & name, "en")
  ' An empty language is Chinese; every object is the client's own.
  report.WriteLine name & "|zh|" & CreateObject("Kindprobe.Diagnosis.1").Diagnose(folder & "\" & name, "")
Next

On Error Resume Next
diagnosis.Diagnose folder & "\cut.avi", "fr"
report.WriteLine "fr|" & Hex(Err.Number)
On Error GoTo 0

report.WriteLine "done"
report.Close
