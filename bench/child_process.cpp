#include "bench/child_process.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#include "bench/stopwatch.h"

namespace {

class Handle {
public:
    Handle() = default;
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE* Out() { return &handle_; }
    HANDLE Get() const { return handle_; }
    void Close()
    {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace

ChildRun RunChild(const std::wstring& commandLine)
{
    ChildRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    Handle readEnd;
    Handle writeEnd;
    if (!CreatePipe(readEnd.Out(), writeEnd.Out(), &inherit, 0)) {
        return run;
    }
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION process = {};
    const double start = NowMicroseconds();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return run;
    }
    writeEnd.Close();
    run.started = true;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(readEnd.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        run.output.append(buffer, read);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    run.wallMicroseconds = NowMicroseconds() - start;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

double ValueOf(const std::string& output, const std::string& key)
{
    const std::string marker = key + "=";
    size_t at = 0;
    while ((at = output.find(marker, at)) != std::string::npos) {
        if (at == 0 || output[at - 1] == ' ' || output[at - 1] == '\n') {
            return std::strtod(output.c_str() + at + marker.size(), nullptr);
        }
        at += marker.size();
    }
    return -1;
}

std::wstring QuotedSelf()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return L"\"" + std::wstring(path) + L"\"";
}
