// Readiness report of this workstation for the Velmar viewer, read through
// Triveld.OrvWorkstationInfo.  Run: cscript //nologo readiness_report.js [options]
// Options:
//   /json            one JSON object on standard output instead of the table
//   /minmemory:MIB   NOT READY with less physical memory than MIB MiB
//   /minnet:VERSION  NOT READY below this .NET Framework: 2.0, 3.0, 3.5, 4.5 to 4.8.1
//   /writeback       also writes the DoNotUpgradeTo64 flag back unchanged
// Exit code: 0 READY, 1 NOT READY, 2 the component cannot be created,
// 3 usage error, 4 unexpected error.
// Every error is caught here: some script hosts exit 0 on an uncaught error,
// which a management tool would take for READY.

var usage = "usage: cscript //nologo readiness_report.js [/json] [/minmemory:MIB] " +
            "[/minnet:VERSION] [/writeback]";

// Microsoft's documented minimum "Release" value of each .NET Framework from 4.5
// on: the four-part version cannot tell 4.8.1 (4.8.9032) from 4.8 (4.8.3761).
var netMinimumReleases = {
    "4.5": 378389, "4.5.1": 378675, "4.5.2": 379893, "4.6": 393295, "4.6.1": 394254,
    "4.6.2": 394802, "4.7": 460798, "4.7.1": 461308, "4.7.2": 461808, "4.8": 528040,
    "4.8.1": 533320
};
// Earlier versions have no release number: their major.minor decides.
var netEarlierVersions = { "2.0": [2, 0], "3.0": [3, 0], "3.5": [3, 5] };

function UsageError(message) {
    this.message = message;
}

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

// Calls `read` and returns {value, hresult, ok}; a failed call has a null value.
function ask(read) {
    try {
        return { value: read(), hresult: 0, ok: true };
    } catch (e) {
        return { value: null, hresult: e.number, ok: false };
    }
}

function viewerName(type) {
    if (type == 1) return "Velmar Distributed";
    if (type == 2) return "Velmar Distributed Lite";
    return "none";
}

// --- Options ---

// Any number of digits: leading zeros are allowed.
function parseMebibytes(text) {
    if (!/^[0-9]+$/.test(text) || Number(text) > 2147483647) {
        throw new UsageError("/minmemory needs a whole number of MiB, not '" + text + "'");
    }
    return Number(text);
}

// The requirement for a /minnet version: {text, release} or {text, major, minor}.
function parseNetVersion(text) {
    if (netMinimumReleases.hasOwnProperty(text)) {
        return { text: text, release: netMinimumReleases[text] };
    }
    if (netEarlierVersions.hasOwnProperty(text)) {
        var version = netEarlierVersions[text];
        return { text: text, major: version[0], minor: version[1] };
    }
    throw new UsageError("/minnet knows 2.0, 3.0, 3.5 and 4.5 to 4.8.1, not '" + text + "'");
}

function parseOptions(args) {
    var options = { json: false, writeBack: false, minMemory: null, minNet: null };
    for (var i = 0; i < args.length; ++i) {
        var lower = args[i].toLowerCase();
        if (lower == "/json") {
            options.json = true;
        } else if (lower == "/writeback") {
            options.writeBack = true;
        } else if (lower.indexOf("/minmemory:") == 0) {
            options.minMemory = parseMebibytes(args[i].substring(11));
        } else if (lower.indexOf("/minnet:") == 0) {
            options.minNet = parseNetVersion(args[i].substring(8));
        } else {
            throw new UsageError("unknown option '" + args[i] + "'");
        }
    }
    return options;
}

// --- The answers and the verdict ---

function readAnswers(info, writeBack) {
    var answers = {};
    answers.GetPhysicalMemory = ask(function () { return info.GetPhysicalMemory(); });
    answers.Is64BitOS = ask(function () { return info.Is64BitOS(); });
    answers.DoNotUpgradeTo64 = ask(function () { return info.DoNotUpgradeTo64; });
    // Writing the flag back shows whether this account may change it. It is
    // done only on request: when the flag is absent, writing creates it.
    if (writeBack && answers.DoNotUpgradeTo64.ok) {
        var flag = answers.DoNotUpgradeTo64.value;
        answers.DoNotUpgradeTo64Write =
            ask(function () { info.DoNotUpgradeTo64 = flag; return true; });
    }
    answers.NetVersion = ask(function () { return info.NetVersion; });
    answers.ViewerType = ask(function () { return info.ViewerType; });
    answers.ViewerVersion = ask(function () { return info.ViewerVersion; });
    var type = answers.ViewerType;
    answers.statusType = type.ok && type.value > 0 ? type.value : 1;
    answers.GetLastClientInstallStatus =
        ask(function () { return info.GetLastClientInstallStatus(answers.statusType); });
    return answers;
}

function hasVersion(version) {
    return version.ok && version.value != null && version.value !== "";
}

// Whether a NetVersion answer ("4.8.3761.0;528040") meets the requirement;
// false for an answer that is not of that form.
function meetsNet(answer, required) {
    var parts = /^([0-9]+)\.([0-9]+)\.[0-9]+\.[0-9]+;([0-9]+)$/.exec(answer);
    if (parts == null) return false;
    if (required.release != null) return Number(parts[3]) >= required.release;
    var major = Number(parts[1]), minor = Number(parts[2]);
    return major > required.major || (major == required.major && minor >= required.minor);
}

function netRequirementText(required) {
    return required.release != null ? required.text + " (release " + required.release + ")"
                                     : required.text;
}

function problemsOf(answers, options) {
    var problems = [];
    var type = answers.ViewerType, status = answers.GetLastClientInstallStatus;
    var memory = answers.GetPhysicalMemory, net = answers.NetVersion;
    if (!type.ok || type.value == 0) problems.push("no viewer installed");
    else if (!hasVersion(answers.ViewerVersion)) problems.push("viewer version unreadable");
    if (status.ok && status.value != 0) problems.push("last viewer installation ended with status " + status.value);
    if (!status.ok && type.ok && type.value > 0) problems.push("no viewer installation status");
    var hasNet = net.ok && net.value != "0.0.0.0;0";
    if (!hasNet) problems.push("no .NET Framework found");
    if (options.minMemory != null) {
        if (!memory.ok) {
            problems.push("physical memory unknown (" + hex(memory.hresult) + "), " +
                          options.minMemory + " MiB required");
        } else if (memory.value < options.minMemory) {
            problems.push("physical memory " + memory.value + " MiB is below the required " +
                          options.minMemory + " MiB");
        }
    }
    if (options.minNet != null && hasNet && !meetsNet(net.value, options.minNet)) {
        problems.push(".NET Framework " + net.value + " is below the required " +
                      netRequirementText(options.minNet));
    }
    return problems;
}

// --- The table ---

function printTable(answers, options, problems) {
    var memory = answers.GetPhysicalMemory, is64 = answers.Is64BitOS;
    var flag = answers.DoNotUpgradeTo64, flagWrite = answers.DoNotUpgradeTo64Write;
    var net = answers.NetVersion, type = answers.ViewerType, version = answers.ViewerVersion;
    var status = answers.GetLastClientInstallStatus;
    var writeNote = options.writeBack ? "-" : "not tried (pass /writeback)";
    var rows = [
        ["GetPhysicalMemory", memory, memory.value + " MiB"],
        ["Is64BitOS", is64, is64.value ? "yes" : "no"],
        ["DoNotUpgradeTo64", flag, flag.value ? "set" : "clear"],
        ["DoNotUpgradeTo64 (write back)", flagWrite, "written"],
        ["NetVersion", net, net.value],
        ["ViewerType", type, type.value + " (" + viewerName(type.value) + ")"],
        ["ViewerVersion", version, hasVersion(version) ? version.value : "(none)"],
        ["GetLastClientInstallStatus(" + answers.statusType + ")", status, status.value]
    ];

    WScript.Echo(pad("Answer", 34) + pad("Result", 12) + "Value");
    WScript.Echo(pad("------", 34) + pad("------", 12) + "-----");
    for (var i = 0; i < rows.length; ++i) {
        var answer = rows[i][1];
        var result = answer == null ? "skipped" : answer.ok ? "S_OK" : hex(answer.hresult);
        var value = answer == null ? writeNote : answer.ok ? rows[i][2] : "-";
        WScript.Echo(pad(rows[i][0], 34) + pad(result, 12) + value);
    }

    WScript.Echo("");
    if (problems.length == 0) {
        WScript.Echo("Verdict: READY - " + viewerName(type.value) + " " + version.value +
                     " installed cleanly, .NET " + net.value);
    } else {
        WScript.Echo("Verdict: NOT READY - " + problems.join("; "));
    }
}

// --- JSON (classic JScript has no JSON object) ---

function hex4(code) {
    var text = code.toString(16).toUpperCase();
    while (text.length < 4) text = "0" + text;
    return text;
}

// A JSON string in printable ASCII only: every other character as \uXXXX
// (UTF-16 units, so a surrogate pair stays a pair), so that no console code
// page can change it.
function jsonString(text) {
    var out = ["\""];
    for (var i = 0; i < text.length; ++i) {
        var code = text.charCodeAt(i);
        if (code == 0x22) out.push("\\\"");
        else if (code == 0x5C) out.push("\\\\");
        else if (code >= 0x20 && code < 0x7F) out.push(text.charAt(i));
        else out.push("\\u" + hex4(code));
    }
    out.push("\"");
    return out.join("");
}

// JSON text of null, a boolean, a number, a string, an array or an object's
// own members.
function jsonText(value) {
    if (value == null) return "null";
    if (typeof value == "boolean") return value ? "true" : "false";
    if (typeof value == "number") return isFinite(value) ? String(value) : "null";
    if (typeof value == "string") return jsonString(value);
    var parts = [];
    if (value instanceof Array) {
        for (var i = 0; i < value.length; ++i) parts.push(jsonText(value[i]));
        return "[" + parts.join(",") + "]";
    }
    for (var key in value) {
        if (value.hasOwnProperty(key)) parts.push(jsonString(key) + ":" + jsonText(value[key]));
    }
    return "{" + parts.join(",") + "}";
}

function computerName() {
    try {
        return new ActiveXObject("WScript.Network").ComputerName;
    } catch (e) {
        // Wine's WScript.Network has no ComputerName (E_NOTIMPL).
    }
    try {
        var name = new ActiveXObject("WScript.Shell").ExpandEnvironmentStrings("%COMPUTERNAME%");
        // Wine's answer carries the terminating NUL as a character.
        name = name.replace(/\u0000+$/, "");
        return name == "%COMPUTERNAME%" || name == "" ? null : name;
    } catch (e) {
        return null;
    }
}

function isoTimeUtc(date) {
    function two(number) { return (number < 10 ? "0" : "") + number; }
    return date.getUTCFullYear() + "-" + two(date.getUTCMonth() + 1) + "-" +
           two(date.getUTCDate()) + "T" + two(date.getUTCHours()) + ":" +
           two(date.getUTCMinutes()) + ":" + two(date.getUTCSeconds()) + "Z";
}

var reportedMembers = ["GetPhysicalMemory", "Is64BitOS", "DoNotUpgradeTo64", "NetVersion",
                       "ViewerType", "ViewerVersion", "GetLastClientInstallStatus"];

function jsonAnswer(answer) {
    return { value: answer.ok ? answer.value : null, hresult: hex(answer.hresult) };
}

function printJson(answers, problems) {
    var report = { schema: 1, computer: computerName(), time: isoTimeUtc(new Date()) };
    for (var i = 0; i < reportedMembers.length; ++i) {
        report[reportedMembers[i]] = jsonAnswer(answers[reportedMembers[i]]);
    }
    // The write's value is whether it worked: false, not null, when it failed.
    var write = answers.DoNotUpgradeTo64Write;
    if (write != null) {
        report.DoNotUpgradeTo64Write = { value: write.ok, hresult: hex(write.hresult) };
    }
    report.verdict = problems.length == 0 ? "READY" : "NOT READY";
    report.problems = problems;
    WScript.Echo(jsonText(report));
}

// --- Running the report ---

// Messages that are not the report go to standard error where the host has
// one (Wine's cscript has none).
function complain(message) {
    try {
        WScript.StdErr.WriteLine(message);
    } catch (e) {
        WScript.Echo(message);
    }
}

function report(args) {
    var options = parseOptions(args);
    var info;
    try {
        info = new ActiveXObject("Triveld.OrvWorkstationInfo");
    } catch (e) {
        complain("Triveld.OrvWorkstationInfo cannot be created: " + hex(e.number) +
                 " (is Triveld.dll registered?)");
        return 2;
    }
    var answers = readAnswers(info, options.writeBack);
    var problems = problemsOf(answers, options);
    if (options.json) printJson(answers, problems);
    else printTable(answers, options, problems);
    return problems.length == 0 ? 0 : 1;
}

// The exit code of a report on the arguments that `readArguments` gives.
function runReport(readArguments) {
    try {
        return report(readArguments());
    } catch (e) {
        if (e instanceof UsageError) {
            complain(e.message);
            complain(usage);
            return 3;
        }
        complain("Unexpected error: " + (e.number != null ? hex(e.number) + " " : "") +
                 (e.message || e));
        return 4;
    }
}

function argumentList() {
    var args = [];
    for (var i = 0; i < WScript.Arguments.length; ++i) args.push(WScript.Arguments(i));
    return args;
}

// A script that loads this file's functions (its tests) sets this name first.
if (typeof readinessReportAsLibrary == "undefined") {
    WScript.Quit(runReport(argumentList));
}
