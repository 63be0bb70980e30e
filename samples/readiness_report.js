// Readiness report of this workstation for the Velmar viewer, read through
// Triveld.OrvWorkstationInfo.  Run: cscript //nologo readiness_report.js
// Options: /writeback also writes the DoNotUpgradeTo64 flag back unchanged.
// Exit code: 0 when the report was made, 1 when the component is missing.
// Every call is guarded: some script hosts exit 0 on an uncaught error.

function hex(number) {
    var text = (number >>> 0).toString(16).toUpperCase();
    while (text.length < 8) text = "0" + text;
    return "0x" + text;
}

function pad(text, width) {
    text = String(text);
    while (text.length < width) text += " ";
    return text;
}

// Calls `read` and returns {value, result}; result is "S_OK" on success.
function ask(read) {
    try {
        return { value: read(), result: "S_OK", ok: true };
    } catch (e) {
        return { value: "-", result: hex(e.number), ok: false };
    }
}

function viewerName(type) {
    if (type == 1) return "Velmar Distributed";
    if (type == 2) return "Velmar Distributed Lite";
    return "none";
}

function main() {
    var writeBack = false;
    for (var a = 0; a < WScript.Arguments.length; ++a) {
        if (WScript.Arguments(a).toLowerCase() == "/writeback") writeBack = true;
    }
    var info;
    try {
        info = new ActiveXObject("Triveld.OrvWorkstationInfo");
    } catch (e) {
        WScript.Echo("Triveld.OrvWorkstationInfo cannot be created: " + hex(e.number) +
                     " (is Triveld.dll registered?)");
        return 1;
    }

    var memory = ask(function () { return info.GetPhysicalMemory(); });
    var is64 = ask(function () { return info.Is64BitOS(); });
    var flag = ask(function () { return info.DoNotUpgradeTo64; });
    // Writing the flag back shows whether this account may change it. It is
    // done only on request: when the flag is absent, writing creates it.
    var flagWrite = { value: "-", result: "skipped", ok: false };
    if (writeBack && flag.ok) {
        flagWrite = ask(function () { info.DoNotUpgradeTo64 = flag.value; return flag.value; });
    }
    var net = ask(function () { return info.NetVersion; });
    var type = ask(function () { return info.ViewerType; });
    var version = ask(function () { return info.ViewerVersion; });
    var statusType = type.ok && type.value > 0 ? type.value : 1;
    var status = ask(function () { return info.GetLastClientInstallStatus(statusType); });

    var rows = [
        ["GetPhysicalMemory", memory, memory.ok ? memory.value + " MiB" : "-"],
        ["Is64BitOS", is64, is64.ok ? (is64.value ? "yes" : "no") : "-"],
        ["DoNotUpgradeTo64", flag, flag.ok ? (flag.value ? "set" : "clear") : "-"],
        ["DoNotUpgradeTo64 (write back)", flagWrite,
         flagWrite.ok ? "written" : (writeBack ? "-" : "not tried (pass /writeback)")],
        ["NetVersion", net, net.ok ? net.value : "-"],
        ["ViewerType", type, type.ok ? type.value + " (" + viewerName(type.value) + ")" : "-"],
        ["ViewerVersion", version, version.ok ? (version.value == null ? "(none)" : version.value) : "-"],
        ["GetLastClientInstallStatus(" + statusType + ")", status, status.ok ? status.value : "-"]
    ];

    WScript.Echo(pad("Answer", 34) + pad("Result", 12) + "Value");
    WScript.Echo(pad("------", 34) + pad("------", 12) + "-----");
    for (var i = 0; i < rows.length; ++i) {
        WScript.Echo(pad(rows[i][0], 34) + pad(rows[i][1].result, 12) + rows[i][2]);
    }

    var problems = [];
    if (!type.ok || type.value == 0) problems.push("no viewer installed");
    else if (!version.ok || version.value == null) problems.push("viewer version unreadable");
    if (status.ok && status.value != 0) problems.push("last viewer installation ended with status " + status.value);
    if (!status.ok && type.ok && type.value > 0) problems.push("no viewer installation status");
    if (!net.ok || net.value == "0.0.0.0;0") problems.push("no .NET Framework found");
    WScript.Echo("");
    if (problems.length == 0) {
        WScript.Echo("Verdict: READY - " + viewerName(type.value) + " " + version.value +
                     " installed cleanly, .NET " + net.value);
    } else {
        WScript.Echo("Verdict: NOT READY - " + problems.join("; "));
    }
    return 0;
}

var exitCode;
try {
    exitCode = main();
} catch (e) {
    WScript.Echo("Unexpected error: " + hex(e.number) + " " + e.message);
    exitCode = 2;
}
WScript.Quit(exitCode);
