// Diagnosis from JScript through Windows Script Host, by both ProgIDs.
// Arguments: the folder of the files to diagnose, the report file. Writes what diagnose.vbs
// writes, in the same form, so that one check reads both.
var fileSystem = new ActiveXObject("Scripting.FileSystemObject");
var report = fileSystem.CreateTextFile(WScript.Arguments(1), true, true);
var folder = WScript.Arguments(0);

var diagnosis = new ActiveXObject("Kindprobe.Diagnosis");
var names = ["cut.avi", "clip.txt", "empty.flv"];
for (var i = 0; i < names.length; ++i) {
  var path = folder + "\\" + names[i];
  report.WriteLine(names[i] + "|en|" + diagnosis.Diagnose(path, "en"));
  // An empty language is Chinese; every object is the client's own.
  report.WriteLine(names[i] + "|zh|" + new ActiveXObject("Kindprobe.Diagnosis.1").Diagnose(path, ""));
}

try {
  diagnosis.Diagnose(folder + "\\cut.avi", "fr");
  report.WriteLine("fr|0");
} catch (error) {
  // The HRESULT as an unsigned number, in the form VBScript's Hex gives.
  report.WriteLine("fr|" + (error.number < 0 ? error.number + 0x100000000 : error.number).toString(16).toUpperCase());
}

report.WriteLine("done");
report.Close();
