// CheckFile from JScript through Windows Script Host, by both ProgIDs.
// Arguments: the folder of the sample files, the module version expected from GetVersion, the
// report file. Writes one line "file|TypeID|description" per file and "checked N, F failed" at
// the end to the report (UTF-16), and exits with the number of failures: an uncaught error would
// write nothing more and exit 0.
// The report is a file rather than the console: 32-bit Wine's cscript corrupts its heap when it
// echoes Chinese text in a Chinese locale.
var report = new ActiveXObject("Scripting.FileSystemObject")
                 .CreateTextFile(WScript.Arguments(2), true, true);
var failures = 0;
var checkedCount = 0;

function expect(ok, what) {
  if (!ok) {
    failures++;
    report.WriteLine("FAIL: " + what);
  }
}

try {
  var folder = WScript.Arguments(0);
  var version = WScript.Arguments(1);
  var checker = new ActiveXObject("Kindprobe.CheckFile");
  var versioned = WScript.CreateObject("Kindprobe.CheckFile.1");
  expect(checker.GetVersion() === version, "GetVersion gave " + checker.GetVersion());

  var check = function (name, typeId, description) {
    checker.CheckFile(folder + "\\" + name);
    var gotType = checker.GetTypeID();
    var gotText = checker.GetErrorInfo();
    report.WriteLine(name + "|" + gotType + "|" + gotText);
    expect(gotType === typeId, name + ": TypeID " + gotType);
    expect(gotText === description, name + ": description");
    // One object serves the process: the other ProgID's reference sees the same result.
    expect(versioned.GetTypeID() === typeId, name + ": TypeID through Kindprobe.CheckFile.1");
    expect(versioned.GetErrorInfo() === description,
           name + ": description through Kindprobe.CheckFile.1");
    checkedCount++;
  };

  check("clip.avi", 4, "AVI\u6587\u4ef6");
  check("empty.avi", 3, "\u96f6\u5b57\u8282\u6587\u4ef6");
  check("notes.txt", 2, "\u6587\u672c\u6587\u4ef6");
  check("unknown.xyz", 0, "\u672a\u77e5\u7c7b\u578b");
} catch (error) {
  expect(false, "script error: " + error.message);
}

report.WriteLine("checked " + checkedCount + ", " + failures + " failed");
report.Close();
WScript.Quit(failures);
