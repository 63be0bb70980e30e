// Every registry value the component reads, stored in every malformed shape
// (tests/support/registry_shapes.h). Each case checks the documented result
// and out-value; the narrow reads of RegistryKey also run into buffers that
// end at a page no one may touch.
#include <windows.h>

#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "service/registry_key.h"
#include "service/workstation_info.h"
#include "tests/support/event_recorder.h"
#include "tests/support/guarded_buffer.h"
#include "tests/support/process_kind.h"
#include "tests/support/registry_shapes.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/workstation_object.h"

namespace {

// --- RegistryKey's narrow reads, into buffers that end at a guard page ---

class NarrowReads : public testing::Test {
protected:
    void SetUp() override
    {
        CreateKeyPath(HKEY_LOCAL_MACHINE, "Values");
        ASSERT_EQ(ERROR_SUCCESS, key_.OpenKey(HKEY_LOCAL_MACHINE, "Values", KEY_READ));
    }

    ScratchRegistry registry_;
    RegistryKey key_;
};

TEST_F(NarrowReads, ReadDwordOfEveryShape)
{
    for (const DwordShape& shape : DwordShapes()) {
        SCOPED_TRACE(shape.stored.label);
        Store(HKEY_LOCAL_MACHINE, "Values", "Number", shape.stored);
        GuardedBuffer out(sizeof(DWORD));
        DWORD* value = reinterpret_cast<DWORD*>(out.Data());
        *value = 0x5A5A5A5A;
        EXPECT_EQ(shape.read, key_.ReadDword("Number", value));
        EXPECT_EQ(shape.read == ERROR_SUCCESS ? 1u : 0x5A5A5A5Au, *value);
    }
}

TEST_F(NarrowReads, ReadStringOfEveryShape)
{
    for (const TextShape& shape : TextShapes()) {
        SCOPED_TRACE(shape.stored.label);
        Store(HKEY_LOCAL_MACHINE, "Values", "Text", shape.stored);

        GuardedBuffer buffer(kTextCapacity);
        DWORD size = kTextCapacity;
        EXPECT_EQ(shape.read, key_.ReadString("Text", buffer.Data(), &size));
        EXPECT_EQ(shape.size, size);
        if (shape.read == ERROR_SUCCESS) {
            EXPECT_STREQ(shape.text, buffer.Data());
        }

        if (!shape.stored.present) {
            continue;
        }
        // A buffer of exactly the value's size; for a value of zero bytes it
        // points at the guard page itself.
        const DWORD exact = static_cast<DWORD>(shape.stored.bytes.size());
        GuardedBuffer fitting(exact);
        size = exact;
        EXPECT_EQ(shape.readExactly, key_.ReadString("Text", fitting.Data(), &size));
        EXPECT_EQ(shape.readExactly == ERROR_SUCCESS ? exact : 0u, size);
    }
}

// --- the members over each shape ---

const char kDistributedKey[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteKey[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";

// "0x8007000d" as the reporter writes a code.
std::wstring Hex(HRESULT code)
{
    wchar_t text[16];
    swprintf(text, 16, L"%#x", static_cast<unsigned int>(code));
    return text;
}

struct EntryExpectation {
    WORD type;
    std::wstring text;
    HRESULT code;
};

class MembersOverShapes : public testing::Test {
protected:
    MembersOverShapes() { object_ = NewWorkstationInfo(); }
    ~MembersOverShapes() override { object_->Release(); }

    // The recorded entries are the expected ones: type, text, then the code
    // and the system's message for it when the code is not 0.
    void ExpectEntries(const std::vector<EntryExpectation>& expected)
    {
        const std::vector<RecordedEvent> events = recorder_.Events();
        ASSERT_EQ(expected.size(), events.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(expected[i].type, events[i].type) << i;
            std::wstring beginning = Composed(expected[i].text);
            if (expected[i].code != 0) {
                beginning += L" Error: " + Hex(expected[i].code);
            }
            EXPECT_EQ(beginning, events[i].text.substr(0, beginning.size())) << i;
            if (expected[i].code == 0) {
                EXPECT_EQ(beginning.size(), events[i].text.size()) << i;
            }
        }
    }

    HKEY Machine() const { return registry_.MachineRoot(); }
    HKEY Classes() const { return registry_.ClassesRoot(); }

    ScratchRegistry registry_;
    EventRecorder recorder_;
    CWorkstationInfo* object_ = nullptr;
};

TEST_F(MembersOverShapes, DoNotUpgradeTo64)
{
    for (const DwordShape& shape : DwordShapes()) {
        SCOPED_TRACE(shape.stored.label);
        Store(Machine(), kSettingsKey, "DoNotUpgradeTo64", shape.stored);
        recorder_.Clear();
        VARIANT_BOOL flag = 77;
        const HRESULT result = object_->get_DoNotUpgradeTo64(&flag);
        if (shape.read == ERROR_SUCCESS) {
            EXPECT_EQ(S_OK, result);
            EXPECT_EQ(VARIANT_TRUE, flag);
            ExpectEntries({});
        } else if (shape.read == ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(S_FALSE, result);
            EXPECT_EQ(VARIANT_FALSE, flag);
            ExpectEntries({});
        } else {
            const HRESULT failure = HRESULT_FROM_WIN32(shape.read);
            EXPECT_EQ(failure, result);
            EXPECT_EQ(VARIANT_FALSE, flag);
            ExpectEntries({{EVENTLOG_ERROR_TYPE,
                            L"Call to CWorkstationInfo::GetDoNotUpgradeTo64 failed", failure}});
        }
    }
}

TEST_F(MembersOverShapes, LastInstallStatusOfBothEditions)
{
    struct Edition {
        LONG viewerType;
        const char* key;
    };
    for (const Edition edition : {Edition{1, kDistributedKey}, Edition{2, kLiteKey}}) {
        for (const DwordShape& shape : DwordShapes()) {
            SCOPED_TRACE(std::string(edition.key) + ": " + shape.stored.label);
            Store(Machine(), edition.key, "LastInstallStatus", shape.stored);
            recorder_.Clear();
            LONG status = 77;
            const HRESULT result = object_->GetLastClientInstallStatus(edition.viewerType, &status);
            const std::wstring type = std::to_wstring(edition.viewerType);
            if (shape.read == ERROR_SUCCESS) {
                EXPECT_EQ(S_OK, result);
                EXPECT_EQ(1, status);
                ExpectEntries({{EVENTLOG_INFORMATION_TYPE,
                                L"GetLastClientInstallStatus for viewer type " + type +
                                    L" succeeded with status 1",
                                0}});
            } else {
                const HRESULT failure = HRESULT_FROM_WIN32(shape.read);
                EXPECT_EQ(failure, result);
                EXPECT_EQ(-1, status);
                ExpectEntries({{EVENTLOG_ERROR_TYPE,
                                L"GetLastClientInstallStatus failed for viewer type " + type,
                                failure}});
            }
        }
    }
}

// --- the viewer's LocalServer32 default values ---

const char kFirstServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";
const char kSecondServer[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\\LocalServer32";

class ViewerServerShapes : public MembersOverShapes {
protected:
    void SetUp() override
    {
        wchar_t expanded[MAX_PATH] = {};
        ExpandEnvironmentStringsW(L"%SystemRoot%\\system32\\notepad.exe", expanded, MAX_PATH);
        file_ = expanded;
        ASSERT_TRUE(FileExists(file_));
        longest_ = LongestSpelling(file_);
        ASSERT_EQ(static_cast<size_t>(MAX_PATH - 1), longest_.size());
        ASSERT_TRUE(FileExists(longest_));
    }

    void ExpectViewerType(LONG expected, const std::wstring& path)
    {
        recorder_.Clear();
        LONG type = 77;
        EXPECT_EQ(S_OK, object_->get_ViewerType(&type));
        EXPECT_EQ(expected, type);
        ExpectEntries({{EVENTLOG_INFORMATION_TYPE,
                        L"Call to CWorkstationInfo::get_ViewerType returned '" +
                            std::to_wstring(expected) + L"' for " + path,
                        0}});
    }

    std::wstring file_;
    std::wstring longest_;
};

TEST_F(ViewerServerShapes, FirstClassDecidesWhetherAViewerIsInstalled)
{
    for (const ServerShape& shape : ServerShapes(file_, longest_)) {
        SCOPED_TRACE(shape.stored.label);
        StoreDefault(Classes(), kFirstServer, shape.stored);
        ExpectViewerType(shape.found ? 1 : 0, shape.found ? shape.file : L"");
    }
}

TEST_F(ViewerServerShapes, SecondClassNamingTheSameFileMarksTheLiteEdition)
{
    for (const ServerShape& shape : ServerShapes(file_, longest_)) {
        SCOPED_TRACE(shape.stored.label);
        SetWideString(Classes(), kFirstServer, nullptr, shape.file);
        StoreDefault(Classes(), kSecondServer, shape.stored);
        ExpectViewerType(shape.found ? 2 : 1, shape.file);
    }
}

// --- the .NET setup values, at both levels of the walk ---

const char kSetupRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";
const std::wstring kLoggedRoot = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\";
// A finished older version that wins whenever the key under test is skipped.
const wchar_t kBaseline[] = L"2.0.50727.4927;0";

struct SetupLevel {
    const char* path;
    const wchar_t* logged;
    // The result text for a version text `v` read there: "v;<release>".
    const wchar_t* releaseSuffix;
};

// A finished first-level version, and a second-level candidate under a
// first-level key that holds nothing itself.
const SetupLevel kFirstLevel = {"v3.5", L"v3.5", L";0"};
const SetupLevel kSecondLevel = {"v4\\Full", L"v4\\Full", L";528040"};

class SetupValueShapes : public MembersOverShapes {
protected:
    // The baseline and the key under test with all four values well formed.
    void WriteKeys(const SetupLevel& level)
    {
        RegDeleteTreeA(Machine(), kSetupRoot);
        const std::string root = std::string(kSetupRoot) + "\\";
        const std::string baseline = root + "v2.0.50727";
        SetString(Machine(), baseline, "Version", "2.0.50727.4927");
        SetDword(Machine(), baseline, "Install", 1);
        SetDword(Machine(), baseline, "SP", 2);
        const std::string key = root + level.path;
        if (&level == &kFirstLevel) {
            SetString(Machine(), key, "Version", "3.5.30729.4926");
            SetDword(Machine(), key, "Install", 1);
            SetDword(Machine(), key, "SP", 1);
        } else {
            SetString(Machine(), key, "Version", kVersion);
            SetDword(Machine(), key, "Install", 1);
            SetDword(Machine(), key, "Release", 528040);
        }
    }

    void StoreValue(const SetupLevel& level, const char* name, const Stored& stored)
    {
        WriteKeys(level);
        Store(Machine(), std::string(kSetupRoot) + "\\" + level.path, name, stored);
    }

    // S_OK with `text`; a skipped key is reported with `skipped` first.
    void ExpectAnswer(const std::wstring& text, const SetupLevel& level, HRESULT skipped)
    {
        recorder_.Clear();
        BSTR answer = nullptr;
        EXPECT_EQ(S_OK, object_->get_NetVersion(&answer));
        EXPECT_EQ(text, answer != nullptr ? std::wstring(answer) : L"<null>");
        SysFreeString(answer);
        std::vector<EntryExpectation> entries;
        if (skipped != S_OK) {
            entries.push_back({EVENTLOG_WARNING_TYPE,
                               L"Call to CWorkstationInfo::get_NetVersion failed to open and read '" +
                                   kLoggedRoot + L"\\" + level.logged + L"' key",
                               skipped});
        }
        entries.push_back({EVENTLOG_INFORMATION_TYPE,
                           L"Call to CWorkstationInfo::get_NetVersion returned '" + text + L"'",
                           0});
        ExpectEntries(entries);
    }
};

TEST_F(SetupValueShapes, NumbersAtBothLevels)
{
    struct Case {
        const char* name;
        const SetupLevel* level;
        // The answer when the number reads as 1, and when it is absent.
        const wchar_t* whenRead;
        const wchar_t* whenAbsent;
    };
    const Case cases[] = {
        {"Release", &kFirstLevel, L"3.5.30729.4926;1", L"3.5.30729.4926;0"},
        // Without "SP" or "Install" the first-level key is not finished.
        {"SP", &kFirstLevel, L"3.5.30729.4926;0", kBaseline},
        {"Install", &kFirstLevel, L"3.5.30729.4926;0", kBaseline},
        {"Release", &kSecondLevel, L"4.8.3761.0;1", L"4.8.3761.0;0"},
        // A second-level candidate needs no "SP".
        {"SP", &kSecondLevel, L"4.8.3761.0;528040", L"4.8.3761.0;528040"},
        {"Install", &kSecondLevel, L"4.8.3761.0;528040", kBaseline},
    };
    for (const Case& test : cases) {
        for (const DwordShape& shape : DwordShapes()) {
            SCOPED_TRACE(std::string(test.level->path) + " " + test.name + ": " +
                         shape.stored.label);
            StoreValue(*test.level, test.name, shape.stored);
            if (shape.read == ERROR_SUCCESS) {
                ExpectAnswer(test.whenRead, *test.level, S_OK);
            } else if (shape.read == ERROR_FILE_NOT_FOUND) {
                ExpectAnswer(test.whenAbsent, *test.level, S_OK);
            } else {
                ExpectAnswer(kBaseline, *test.level, HRESULT_FROM_WIN32(shape.read));
            }
        }
    }
}

TEST_F(SetupValueShapes, VersionAtBothLevels)
{
    for (const SetupLevel* level : {&kFirstLevel, &kSecondLevel}) {
        for (const TextShape& shape : TextShapes()) {
            SCOPED_TRACE(std::string(level->path) + ": " + shape.stored.label);
            StoreValue(*level, "Version", shape.stored);
            if (shape.read == ERROR_SUCCESS && shape.version[0] != L'\0') {
                ExpectAnswer(std::wstring(shape.version) + level->releaseSuffix, *level, S_OK);
            } else if (shape.read == ERROR_SUCCESS || shape.read == ERROR_FILE_NOT_FOUND) {
                // Four zero numbers never beat a real version.
                ExpectAnswer(kBaseline, *level, S_OK);
            } else {
                ExpectAnswer(kBaseline, *level, HRESULT_FROM_WIN32(shape.read));
            }
        }
    }
}

} // namespace
