// What a standard user meets: write access to each key a member reads is
// denied to everyone through the key's own access list, so that the
// registry's real access check refuses any open that asks for more than
// reading. Every member must answer exactly as before; the one writer,
// DoNotUpgradeTo64, must be refused and change nothing.
#include <windows.h>

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "service/workstation_info.h"
#include "tests/support/com_ptr.h"
#include "tests/support/denied_key_access.h"
#include "tests/support/event_recorder.h"
#include "tests/support/example_workstation.h"
#include "tests/support/process_kind.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/workstation_object.h"

namespace {

// What a standard user may not do to a key it only reads.
constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

const char kClasses[] = "CLSID";
const char kFirstClass[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}";
const char kFirstServer[] = "CLSID\\{6E2B8D34-5F1C-4A79-B3E8-0D4C7A2F9E51}\\LocalServer32";
const char kSecondClass[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}";
const char kSecondServer[] = "CLSID\\{2F9C4E71-8D3A-4B6E-9C05-7A1E4D8B3F62}\\LocalServer32";
// Under WoW64 the example workstation makes SOFTWARE\Orvane and
// SOFTWARE\Wow6432Node\Orvane one key, so the Distributed status key is the
// settings key there too.
const char kDistributedStatus[] = "SOFTWARE\\Orvane\\Velmar Distributed\\CurrentVersion";
const char kLiteStatus[] = "SOFTWARE\\Orvane\\Velmar Distributed Lite\\CurrentVersion";
const char kSetupRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";

// Every answer of every reading member, with the entries they wrote.
std::wstring Answers(CWorkstationInfo* object, EventRecorder& recorder)
{
    recorder.Clear();
    std::wstring answers;
    auto note = [&answers](const wchar_t* member, HRESULT result, const std::wstring& value) {
        answers += std::wstring(member) + L" " + std::to_wstring(static_cast<unsigned long>(result)) +
                   L" " + value + L"\n";
    };
    VARIANT_BOOL flag = 7;
    HRESULT result = object->get_DoNotUpgradeTo64(&flag);
    note(L"DoNotUpgradeTo64", result, std::to_wstring(flag));
    Bstr text;
    result = object->get_NetVersion(text.Out());
    note(L"NetVersion", result, text.Text());
    LONG number = -7;
    result = object->get_ViewerType(&number);
    note(L"ViewerType", result, std::to_wstring(number));
    result = object->get_ViewerVersion(text.Out());
    note(L"ViewerVersion", result, text.Text());
    for (LONG type : {1, 2}) {
        number = -7;
        result = object->GetLastClientInstallStatus(type, &number);
        note(L"GetLastClientInstallStatus", result,
             std::to_wstring(type) + L"->" + std::to_wstring(number));
    }
    for (const RecordedEvent& event : recorder.Events()) {
        answers += std::to_wstring(event.type) + L" " + event.text + L"\n";
    }
    return answers;
}

class LeastPrivilege : public testing::Test {
protected:
    LeastPrivilege()
    {
        ProvisionExampleWorkstation(registry_, VIEWER_VERSIONED_PATH);
        object_ = NewWorkstationInfo();
    }
    ~LeastPrivilege() override { object_->Release(); }

    ScratchRegistry registry_;
    EventRecorder recorder_;
    CWorkstationInfo* object_ = nullptr;
};

TEST_F(LeastPrivilege, EveryKeyReadAnswersWithoutWriteAccess)
{
    const std::wstring before = Answers(object_, recorder_);
    // Every member answers from the example workstation, not with an error.
    ASSERT_NE(std::wstring::npos, before.find(L"NetVersion 0 4.8.3761.0;528040"));
    ASSERT_NE(std::wstring::npos, before.find(L"ViewerType 0 2"));
    ASSERT_NE(std::wstring::npos, before.find(L"ViewerVersion 0 10.2.0.1537"));
    ASSERT_NE(std::wstring::npos, before.find(L"DoNotUpgradeTo64 0 -1"));
    ASSERT_NE(std::wstring::npos, before.find(L"GetLastClientInstallStatus 0 1->1603"));
    ASSERT_NE(std::wstring::npos, before.find(L"GetLastClientInstallStatus 0 2->0"));

    struct Key {
        HKEY root;
        const char* path;
    };
    const Key keys[] = {
        {HKEY_LOCAL_MACHINE, kSettingsKey},
        {HKEY_CLASSES_ROOT, kClasses},
        {HKEY_CLASSES_ROOT, kFirstClass},
        {HKEY_CLASSES_ROOT, kFirstServer},
        {HKEY_CLASSES_ROOT, kSecondClass},
        {HKEY_CLASSES_ROOT, kSecondServer},
        {HKEY_LOCAL_MACHINE, kDistributedStatus},
        {HKEY_LOCAL_MACHINE, kLiteStatus},
        {HKEY_LOCAL_MACHINE, kSetupRoot},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v3.5"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Client"},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full"},
    };
    for (const Key& key : keys) {
        SCOPED_TRACE(key.path);
        DeniedKeyAccess denied(key.root, key.path, kWriteAccess);
        EXPECT_EQ(before, Answers(object_, recorder_));
    }
}

TEST_F(LeastPrivilege, TheOneWriterIsRefusedAndChangesNothing)
{
    const std::set<std::string> stored = SnapshotTree(registry_.MachineRoot());
    const std::wstring before = Answers(object_, recorder_);
    {
        DeniedKeyAccess denied(HKEY_LOCAL_MACHINE, kSettingsKey, kWriteAccess);
        recorder_.Clear();
        const HRESULT accessDenied = HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
        EXPECT_EQ(accessDenied, object_->put_DoNotUpgradeTo64(VARIANT_FALSE));
        ASSERT_EQ(1u, recorder_.Events().size());
        EXPECT_EQ(Composed(L"Call to CWorkstationInfo::SetDoNotUpgradeTo64 failed") +
                      ErrorSuffix(accessDenied),
                  recorder_.Events()[0].text);
        EXPECT_EQ(before, Answers(object_, recorder_));
    }
    EXPECT_TRUE(stored == SnapshotTree(registry_.MachineRoot()))
        << DescribeDifference(stored, SnapshotTree(registry_.MachineRoot()));
}

} // namespace
