// Readiness report of this workstation for the Velmar viewer, through the
// virtual table of IOrvWorkstationInfo: the program that management tools
// run where scripts are blocked. It makes readiness_report.js's report, with
// the same options, verdicts, problems, exit codes and JSON.
// Run: readiness_report.exe [/json] [/minmemory:MIB] [/minnet:VERSION] [/writeback]
// Exit code: 0 READY, 1 NOT READY, 2 the component cannot be created,
// 3 usage error, 4 unexpected error.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "json_text.h"
#include "number_text.h"
#include "triveld.h"

namespace {

enum ExitCode {
    kReady = 0,
    kNotReady = 1,
    kNoComponent = 2,
    kUsageError = 3,
    kUnexpectedError = 4
};

const wchar_t kUsage[] = L"usage: readiness_report.exe [/json] [/minmemory:MIB] [/minnet:VERSION] "
                         L"[/writeback]";

// A /minnet version. From 4.5 on Microsoft documents the minimum "Release"
// value of each version: the four-part version cannot tell 4.8.1 (4.8.9032)
// from 4.8 (4.8.3761). Earlier versions (release 0 here) compare major.minor.
struct NetRequirement {
    const wchar_t* text;
    unsigned long release;
    unsigned long major;
    unsigned long minor;
};

const NetRequirement kNetRequirements[] = {
    {L"2.0", 0, 2, 0},          {L"3.0", 0, 3, 0},          {L"3.5", 0, 3, 5},
    {L"4.5", 378389, 4, 5},     {L"4.5.1", 378675, 4, 5},   {L"4.5.2", 379893, 4, 5},
    {L"4.6", 393295, 4, 6},     {L"4.6.1", 394254, 4, 6},   {L"4.6.2", 394802, 4, 6},
    {L"4.7", 460798, 4, 7},     {L"4.7.1", 461308, 4, 7},   {L"4.7.2", 461808, 4, 7},
    {L"4.8", 528040, 4, 8},     {L"4.8.1", 533320, 4, 8},
};

struct Options {
    bool json = false;
    bool writeBack = false;
    bool hasMinMemory = false;
    unsigned long minMemory = 0;
    const NetRequirement* minNet = nullptr;
};

// Reads the decimal digits at `at` into `value`; false when there are none or
// the number exceeds `maximum` (leading zeros count for nothing).
bool ReadDecimal(const std::wstring& text, size_t& at, unsigned long maximum, unsigned long& value)
{
    const size_t start = at;
    unsigned long long number = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        number = number * 10 + static_cast<unsigned>(text[at] - L'0');
        if (number > maximum) {
            return false;
        }
    }
    value = static_cast<unsigned long>(number);
    return at > start;
}

// Splits a NetVersion answer "major.minor.build.revision;release"; false for
// any other form.
bool SplitNetVersion(const std::wstring& text, unsigned long (&fields)[5])
{
    const wchar_t separators[] = L"...;";
    size_t at = 0;
    for (int i = 0; i < 5; ++i) {
        if (!ReadDecimal(text, at, 0xFFFFFFFFul, fields[i])) {
            return false;
        }
        if (i < 4 && (at >= text.size() || text[at++] != separators[i])) {
            return false;
        }
    }
    return at == text.size();
}

bool MeetsNet(const std::wstring& answer, const NetRequirement& required)
{
    unsigned long fields[5];
    if (!SplitNetVersion(answer, fields)) {
        return false;
    }
    if (required.release != 0) {
        return fields[4] >= required.release;
    }
    return fields[0] > required.major ||
           (fields[0] == required.major && fields[1] >= required.minor);
}

std::wstring NetRequirementText(const NetRequirement& required)
{
    std::wstring text = required.text;
    if (required.release != 0) {
        text += L" (release " + DecimalText(required.release) + L")";
    }
    return text;
}

// Text in the console's code page, as the script host's Echo writes it.
std::string ConsoleText(const std::wstring& text)
{
    const UINT codePage = GetConsoleOutputCP() != 0 ? GetConsoleOutputCP() : CP_OEMCP;
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                            &converted[0], size, nullptr, nullptr);
    }
    return converted;
}

// A message that is not the report: one line on standard error.
void Complain(const std::wstring& message)
{
    std::fputs(ConsoleText(message + L"\n").c_str(), stderr);
}

std::wstring Hex(HRESULT result)
{
    return L"0x" + HexText(static_cast<unsigned long>(result), 8);
}

// --- Options ---

bool StartsWithOption(const std::wstring& argument, const wchar_t* option, std::wstring& rest)
{
    const size_t length = wcslen(option);
    if (argument.size() < length || _wcsnicmp(argument.c_str(), option, length) != 0) {
        return false;
    }
    rest = argument.substr(length);
    return true;
}

bool ParseMinMemory(const std::wstring& text, Options& options)
{
    size_t at = 0;
    if (!ReadDecimal(text, at, 2147483647ul, options.minMemory) || at != text.size()) {
        Complain(L"/minmemory needs a whole number of MiB, not '" + text + L"'");
        return false;
    }
    options.hasMinMemory = true;
    return true;
}

bool ParseMinNet(const std::wstring& text, Options& options)
{
    for (const NetRequirement& requirement : kNetRequirements) {
        if (text == requirement.text) {
            options.minNet = &requirement;
            return true;
        }
    }
    Complain(L"/minnet knows 2.0, 3.0, 3.5 and 4.5 to 4.8.1, not '" + text + L"'");
    return false;
}

// One argument into `options`; false, with the message written, for a usage error.
bool ParseOption(const std::wstring& argument, Options& options)
{
    std::wstring value;
    if (_wcsicmp(argument.c_str(), L"/json") == 0) {
        options.json = true;
        return true;
    }
    if (_wcsicmp(argument.c_str(), L"/writeback") == 0) {
        options.writeBack = true;
        return true;
    }
    if (StartsWithOption(argument, L"/minmemory:", value)) {
        return ParseMinMemory(value, options);
    }
    if (StartsWithOption(argument, L"/minnet:", value)) {
        return ParseMinNet(value, options);
    }
    Complain(L"unknown option '" + argument + L"'");
    return false;
}

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        if (!ParseOption(argv[i], options)) {
            Complain(kUsage);
            return false;
        }
    }
    return true;
}

// --- The answers, as a script client sees them ---

// Frees the BSTR at scope end.
struct OwnedBstr {
    BSTR text = nullptr;
    ~OwnedBstr() { SysFreeString(text); }
};

// A member's answer: its value when the call succeeded, its HRESULT when it
// failed. A script sees every success code as success and cannot tell S_FALSE
// (the DoNotUpgradeTo64 flag absent) from S_OK, so neither does this report.
template <typename Value>
struct Answer {
    HRESULT result = E_UNEXPECTED;
    Value value = Value();

    bool Ok() const { return SUCCEEDED(result); }
    // The HRESULT a script would see: 0 for any success.
    HRESULT Seen() const { return Ok() ? S_OK : result; }
};

struct Answers {
    Answer<long> memory;
    Answer<bool> is64;
    Answer<bool> flag;
    bool flagWriteTried = false;
    Answer<bool> flagWrite; // value: whether the write worked
    Answer<std::wstring> net;
    Answer<long> type;
    Answer<std::wstring> version;
    long statusType = 1;
    Answer<long> status;
};

template <typename Value>
Answer<Value> Answered(HRESULT result, Value value)
{
    Answer<Value> answer;
    answer.result = result;
    answer.value = value;
    return answer;
}

// A null BSTR reads as an empty text, as a script sees it.
Answer<std::wstring> Answered(HRESULT result, const OwnedBstr& text)
{
    return Answered(result, std::wstring(text.text != nullptr ? text.text : L""));
}

// In readiness_report.js's order.
Answers ReadAnswers(IOrvWorkstationInfo* info, bool writeBack)
{
    Answers answers;
    LONG memory = 0;
    HRESULT result = info->GetPhysicalMemory(&memory);
    answers.memory = Answered(result, static_cast<long>(memory));
    VARIANT_BOOL is64 = VARIANT_FALSE;
    result = info->Is64BitOS(&is64);
    answers.is64 = Answered(result, is64 != VARIANT_FALSE);
    VARIANT_BOOL flag = VARIANT_FALSE;
    result = info->get_DoNotUpgradeTo64(&flag);
    answers.flag = Answered(result, flag != VARIANT_FALSE);
    // Writing the flag back shows whether this account may change it. It is
    // done only on request: when the flag is absent, writing creates it.
    if (writeBack && answers.flag.Ok()) {
        answers.flagWriteTried = true;
        result = info->put_DoNotUpgradeTo64(flag);
        answers.flagWrite = Answered(result, SUCCEEDED(result));
    }
    OwnedBstr net;
    result = info->get_NetVersion(&net.text);
    answers.net = Answered(result, net);
    LONG type = 0;
    result = info->get_ViewerType(&type);
    answers.type = Answered(result, static_cast<long>(type));
    OwnedBstr version;
    result = info->get_ViewerVersion(&version.text);
    answers.version = Answered(result, version);
    answers.statusType = answers.type.Ok() && type > 0 ? type : 1;
    LONG status = 0;
    result = info->GetLastClientInstallStatus(answers.statusType, &status);
    answers.status = Answered(result, static_cast<long>(status));
    return answers;
}

// --- The verdict ---

bool HasVersion(const Answer<std::wstring>& version)
{
    return version.Ok() && !version.value.empty();
}

bool HasNet(const Answer<std::wstring>& net)
{
    return net.Ok() && net.value != L"0.0.0.0;0";
}

std::vector<std::wstring> ProblemsOf(const Answers& answers, const Options& options)
{
    std::vector<std::wstring> problems;
    const Answer<long>& type = answers.type;
    const Answer<long>& status = answers.status;
    const Answer<long>& memory = answers.memory;
    if (!type.Ok() || type.value == 0) {
        problems.push_back(L"no viewer installed");
    } else if (!HasVersion(answers.version)) {
        problems.push_back(L"viewer version unreadable");
    }
    if (status.Ok() && status.value != 0) {
        problems.push_back(L"last viewer installation ended with status " +
                           DecimalText(status.value));
    }
    if (!status.Ok() && type.Ok() && type.value > 0) {
        problems.push_back(L"no viewer installation status");
    }
    if (!HasNet(answers.net)) {
        problems.push_back(L"no .NET Framework found");
    }
    if (options.hasMinMemory) {
        const std::wstring required = DecimalText(options.minMemory);
        if (!memory.Ok()) {
            problems.push_back(L"physical memory unknown (" + Hex(memory.result) + L"), " +
                               required + L" MiB required");
        } else if (memory.value < static_cast<long long>(options.minMemory)) {
            problems.push_back(L"physical memory " + DecimalText(memory.value) +
                               L" MiB is below the required " + required + L" MiB");
        }
    }
    if (options.minNet != nullptr && HasNet(answers.net) &&
        !MeetsNet(answers.net.value, *options.minNet)) {
        problems.push_back(L".NET Framework " + answers.net.value + L" is below the required " +
                           NetRequirementText(*options.minNet));
    }
    return problems;
}

const wchar_t* ViewerName(long type)
{
    switch (type) {
    case 1:
        return L"Velmar Distributed";
    case 2:
        return L"Velmar Distributed Lite";
    default:
        return L"none";
    }
}

// --- The table ---

std::wstring Padded(std::wstring text, size_t width)
{
    if (text.size() < width) {
        text.append(width - text.size(), L' ');
    }
    return text;
}

std::wstring TableLine(const std::wstring& answer, const std::wstring& result,
                       const std::wstring& value)
{
    return Padded(answer, 34) + Padded(result, 12) + value + L"\n";
}

template <typename Value>
std::wstring Row(const std::wstring& name, const Answer<Value>& answer, const std::wstring& value)
{
    return answer.Ok() ? TableLine(name, L"S_OK", value) : TableLine(name, Hex(answer.result), L"-");
}

std::wstring Table(const Answers& answers, const Options& options,
                   const std::vector<std::wstring>& problems)
{
    std::wstring table = TableLine(L"Answer", L"Result", L"Value") +
                         TableLine(L"------", L"------", L"-----");
    table += Row(L"GetPhysicalMemory", answers.memory,
                 DecimalText(answers.memory.value) + L" MiB");
    table += Row(L"Is64BitOS", answers.is64, answers.is64.value ? L"yes" : L"no");
    table += Row(L"DoNotUpgradeTo64", answers.flag, answers.flag.value ? L"set" : L"clear");
    const wchar_t writeName[] = L"DoNotUpgradeTo64 (write back)";
    if (answers.flagWriteTried) {
        table += Row(writeName, answers.flagWrite, L"written");
    } else {
        table += TableLine(writeName, L"skipped",
                           options.writeBack ? L"-" : L"not tried (pass /writeback)");
    }
    table += Row(L"NetVersion", answers.net, answers.net.value);
    table += Row(L"ViewerType", answers.type,
                 DecimalText(answers.type.value) + L" (" + ViewerName(answers.type.value) +
                     L")");
    table += Row(L"ViewerVersion", answers.version,
                 HasVersion(answers.version) ? answers.version.value : L"(none)");
    table += Row(L"GetLastClientInstallStatus(" + DecimalText(answers.statusType) + L")",
                 answers.status, DecimalText(answers.status.value));
    table += L"\n";
    if (problems.empty()) {
        return table + L"Verdict: READY - " + ViewerName(answers.type.value) + L" " +
               answers.version.value + L" installed cleanly, .NET " + answers.net.value + L"\n";
    }
    std::wstring joined;
    for (const std::wstring& problem : problems) {
        joined += (joined.empty() ? L"" : L"; ") + problem;
    }
    return table + L"Verdict: NOT READY - " + joined + L"\n";
}

// --- JSON ---

void PutValue(JsonObject& object, long value)
{
    object.Number(L"value", value);
}

void PutValue(JsonObject& object, bool value)
{
    object.Boolean(L"value", value);
}

void PutValue(JsonObject& object, const std::wstring& value)
{
    object.Text(L"value", value);
}

// {"value":...,"hresult":"0x..."}; the value null when the call failed.
template <typename Value>
JsonObject AnswerJson(const Answer<Value>& answer)
{
    JsonObject object;
    if (answer.Ok()) {
        PutValue(object, answer.value);
    } else {
        object.Null(L"value");
    }
    return object.Text(L"hresult", Hex(answer.Seen()));
}

// The name readiness_report.js reports: WScript.Network's ComputerName (the
// NetBIOS name), else %COMPUTERNAME%, which is where the script finds it under
// Wine; false when there is neither.
bool ComputerName(std::wstring& name)
{
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (GetComputerNameW(buffer, &size) && size > 0) {
        name.assign(buffer, size);
        return true;
    }
    wchar_t variable[256] = {};
    const DWORD length = GetEnvironmentVariableW(L"COMPUTERNAME", variable, 256);
    if (length == 0 || length >= 256) {
        return false;
    }
    name.assign(variable, length);
    return true;
}

std::wstring IsoTimeUtc()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    auto two = [](WORD number) { return (number < 10 ? L"0" : L"") + DecimalText(number); };
    return DecimalText(now.wYear) + L"-" + two(now.wMonth) + L"-" + two(now.wDay) + L"T" +
           two(now.wHour) + L":" + two(now.wMinute) + L":" + two(now.wSecond) + L"Z";
}

std::wstring Json(const Answers& answers, const std::vector<std::wstring>& problems)
{
    JsonObject report;
    report.Number(L"schema", 1);
    std::wstring computer;
    if (ComputerName(computer)) {
        report.Text(L"computer", computer);
    } else {
        report.Null(L"computer");
    }
    report.Text(L"time", IsoTimeUtc())
        .Object(L"GetPhysicalMemory", AnswerJson(answers.memory))
        .Object(L"Is64BitOS", AnswerJson(answers.is64))
        .Object(L"DoNotUpgradeTo64", AnswerJson(answers.flag))
        .Object(L"NetVersion", AnswerJson(answers.net))
        .Object(L"ViewerType", AnswerJson(answers.type))
        .Object(L"ViewerVersion", AnswerJson(answers.version))
        .Object(L"GetLastClientInstallStatus", AnswerJson(answers.status));
    // The write's value is whether it worked: false, not null, when it failed.
    if (answers.flagWriteTried) {
        report.Object(L"DoNotUpgradeTo64Write",
                      JsonObject()
                          .Boolean(L"value", answers.flagWrite.Ok())
                          .Text(L"hresult", Hex(answers.flagWrite.Seen())));
    }
    report.Text(L"verdict", problems.empty() ? L"READY" : L"NOT READY").Texts(L"problems", problems);
    return report.Encoded() + L"\n";
}

// --- Running the report ---

// Writes the report; false when standard output does not take all of it,
// which a management tool must not read as a verdict.
bool WriteReport(const std::string& text)
{
    return std::fputs(text.c_str(), stdout) >= 0 && std::fflush(stdout) == 0 &&
           !std::ferror(stdout);
}

int Report(IOrvWorkstationInfo* info, const Options& options)
{
    const Answers answers = ReadAnswers(info, options.writeBack);
    const std::vector<std::wstring> problems = ProblemsOf(answers, options);
    const std::string text =
        ConsoleText(options.json ? Json(answers, problems) : Table(answers, options, problems));
    if (!WriteReport(text)) {
        Complain(L"Unexpected error: the report could not be written to standard output");
        return kUnexpectedError;
    }
    return problems.empty() ? kReady : kNotReady;
}

// COM for the report's span.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// Releases the object at scope end.
struct OwnedInfo {
    IOrvWorkstationInfo* info = nullptr;
    ~OwnedInfo()
    {
        if (info != nullptr) {
            info->Release();
        }
    }
};

int ReportOnce(const Options& options)
{
    const ComApartment apartment;
    if (FAILED(apartment.Result())) {
        Complain(L"Unexpected error: " + Hex(apartment.Result()) + L" COM cannot be initialised");
        return kUnexpectedError;
    }
    CLSID classId = {};
    OwnedInfo object;
    HRESULT result = CLSIDFromProgID(L"Triveld.OrvWorkstationInfo", &classId);
    if (SUCCEEDED(result)) {
        result = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOrvWorkstationInfo,
                                  reinterpret_cast<void**>(&object.info));
    }
    if (FAILED(result)) {
        Complain(L"Triveld.OrvWorkstationInfo cannot be created: " + Hex(result) +
                 L" (is Triveld.dll registered?)");
        return kNoComponent;
    }
    return Report(object.info, options);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        Options options;
        if (!ParseOptions(argc, argv, options)) {
            return kUsageError;
        }
        return ReportOnce(options);
    } catch (const std::bad_alloc&) {
        Complain(L"Unexpected error: out of memory");
    } catch (...) {
        Complain(L"Unexpected error");
    }
    return kUnexpectedError;
}
