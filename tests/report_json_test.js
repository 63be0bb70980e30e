// Loads samples/readiness_report.js (path: the first argument) without running
// it and drives its own JSON encoder and error guard. Prints, for each awkward
// string, its UTF-16 units and the encoder's text, tab-separated; then an
// object of every kind of value; then the guard's exit code for an error that
// escapes the report; then "end". The
// calling test checks the lines with Python's json module.
var readinessReportAsLibrary = true;
var reportSource = new ActiveXObject("Scripting.FileSystemObject")
                       .OpenTextFile(WScript.Arguments(0), 1).ReadAll();
eval(reportSource);

function units(text) {
    var codes = [];
    for (var i = 0; i < text.length; ++i) codes.push(text.charCodeAt(i));
    return codes.join(",");
}

var allControls = "";
for (var code = 0; code <= 0x1F; ++code) allControls += String.fromCharCode(code);
var awkward = [
    "\"", "\\", "\\\"quoted\\\"", allControls, "a\u0000b",
    "\u2028\u2029", "\u00e9\u00df\u00fc\u0142\u0416\u05d0\u4e2d", "\ud83d\ude00 \ud835\udc00",
    "/ \u007f \u0080 \uffff", ""
];
for (var i = 0; i < awkward.length; ++i) {
    WScript.Echo(units(awkward[i]) + "\t" + jsonText(awkward[i]));
}
// The encoder on a whole report's kinds of value.
var kinds = { n: -1, t: true, f: false, z: null, a: [0, "\u00e9", []], o: {} };
WScript.Echo("object\t" + jsonText(kinds));

// An error that escapes the report must end in exit 4, never in the host's 0.
parseOptions = function () { throw new Error("injected"); };
WScript.Echo("unexpected\t" + runReport(function () { return []; }));
WScript.Echo("end");
