// Randomized texts for the two small parsers every registration and every
// NetVersion call runs: placeholder expansion and version texts (also as
// read from a setup key). Inputs sit right before an inaccessible page, so a
// read past their terminator faults; results are compared with plain
// restatements of the rules. TRIVELD_LONG_RUN=1 makes the runs long.
#include <windows.h>

#include <objbase.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registration/placeholder_expansion.h"
#include "registration/replacement_map.h"
#include "service/net_framework_record.h"
#include "service/workstation_info.h"
#include "tests/support/event_recorder.h"
#include "tests/support/fuzz_run.h"
#include "tests/support/guarded_text.h"
#include "tests/support/scratch_registry.h"

namespace {

// ---- Version texts ------------------------------------------------------

struct ParsedVersion {
    HRESULT result = S_OK;
    DWORD numbers[4] = {};

    bool operator==(const ParsedVersion& other) const
    {
        return result == other.result && numbers[0] == other.numbers[0] &&
               numbers[1] == other.numbers[1] && numbers[2] == other.numbers[2] &&
               numbers[3] == other.numbers[3];
    }
};

std::string Describe(const ParsedVersion& parsed)
{
    char text[96];
    std::snprintf(text, sizeof(text), "%08lx %lu.%lu.%lu.%lu",
                  static_cast<unsigned long>(parsed.result),
                  static_cast<unsigned long>(parsed.numbers[0]),
                  static_cast<unsigned long>(parsed.numbers[1]),
                  static_cast<unsigned long>(parsed.numbers[2]),
                  static_cast<unsigned long>(parsed.numbers[3]));
    return text;
}

// Blanks, an optional sign, at least one digit, nothing else; magnitudes past
// 32 bits are held at the largest number, "-" negates modulo 2^32.
bool ReferenceNumber(const std::string& part, DWORD* number)
{
    size_t at = part.find_first_not_of(" \t\n\v\f\r");
    if (at == std::string::npos) {
        return false;
    }
    bool negative = false;
    if (part[at] == '+' || part[at] == '-') {
        negative = part[at] == '-';
        ++at;
    }
    if (at == part.size() || part.find_first_not_of("0123456789", at) != std::string::npos) {
        return false;
    }
    uint64_t magnitude = 0;
    for (; at < part.size(); ++at) {
        magnitude = magnitude * 10 + static_cast<unsigned>(part[at] - '0');
        if (magnitude > 0xFFFFFFFFull) {
            *number = 0xFFFFFFFFu;
            return true;
        }
    }
    *number = negative ? static_cast<DWORD>(0x100000000ull - magnitude) : static_cast<DWORD>(magnitude);
    return true;
}

// Parts between runs of dots; the first four are the numbers, a fifth or a
// bad part ends the text with E_INVALIDARG.
ParsedVersion ReferenceParse(const char* text)
{
    ParsedVersion parsed;
    const std::string whole(text);
    size_t at = 0;
    for (int part = 0;; ++part) {
        at = whole.find_first_not_of('.', at);
        if (at == std::string::npos) {
            return parsed;
        }
        const size_t end = std::min(whole.find('.', at), whole.size());
        DWORD number = 0;
        if (part == 4 || !ReferenceNumber(whole.substr(at, end - at), &number)) {
            parsed.result = E_INVALIDARG;
            return parsed;
        }
        parsed.numbers[part] = number;
        at = end;
    }
}

ParsedVersion Parsed(const NetFrameworkVersion& record, HRESULT result)
{
    ParsedVersion parsed;
    parsed.result = result;
    parsed.numbers[0] = record.major;
    parsed.numbers[1] = record.minor;
    parsed.numbers[2] = record.build;
    parsed.numbers[3] = record.revision;
    return parsed;
}

std::string RandomVersionText(FuzzRandom& random)
{
    static const char* const kPieces[] = {"0",  "1",  "4", "8",  "03761", "528040", ".", ".",
                                          "..", " ",  "\t", "\v", "+",     "-",      "x", "4294967295",
                                          "4294967296", "99999999999999999999", "\r\n", "\x80",
                                          "0x1", "1e3", ",", "\f"};
    std::string text;
    const size_t pieces = random.Below(12);
    for (size_t piece = 0; piece < pieces; ++piece) {
        if (random.Chance(5)) {
            text += static_cast<char>(1 + random.Below(255));
        } else {
            text += random.Pick(kPieces);
        }
    }
    return text;
}

TEST(VersionTextFuzz, ParsesLikeTheRulesSayAndReadsNothingPastTheText)
{
    RunCases("version text fuzz", 20000, 2000000, [](FuzzRandom& random) -> std::string {
        const std::string text = RandomVersionText(random);
        GuardedText guarded(text);
        if (guarded.Get() == nullptr) {
            return "no guarded pages";
        }
        NetFrameworkVersion record;
        record.major = record.minor = record.build = record.revision = 77;
        record.release = 5;
        record.servicePack = 6;
        record.install = 7;
        const ParsedVersion actual = Parsed(record, record.ParseVersionText(guarded.Get()));
        const ParsedVersion expected = ReferenceParse(guarded.Get());
        const bool othersKept = record.release == 5 && record.servicePack == 6 &&
                                record.install == 7 && !record.hasInstall && !record.hasServicePack;
        if (actual == expected && othersKept) {
            return std::string();
        }
        return "\"" + Escaped(text) + "\" parsed as " + Describe(actual) + ", expected " +
               Describe(expected) + (othersKept ? "" : "; other fields changed");
    });
}

// ---- Version values in a setup key --------------------------------------

// One value to store: absent when type is REG_NONE.
struct StoredValue {
    DWORD type = REG_NONE;
    std::string bytes;
};

StoredValue RandomVersionValue(FuzzRandom& random)
{
    StoredValue value;
    static const DWORD kTypes[] = {REG_SZ, REG_SZ, REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY,
                                   REG_MULTI_SZ, REG_NONE};
    value.type = random.Pick(kTypes);
    std::string text = RandomVersionText(random);
    // Registry strings go through a code page conversion; keep to ASCII.
    for (char& c : text) {
        c = static_cast<char>(c & 0x7F);
        if (c == '\0') {
            c = '.';
        }
    }
    if (random.Chance(20)) {
        text.resize(28 + random.Below(8), '1');
    }
    value.bytes = text;
    if (!random.Chance(15)) {
        value.bytes += '\0';
    }
    return value;
}

StoredValue RandomNumberValue(FuzzRandom& random)
{
    StoredValue value;
    const size_t shape = random.Below(8);
    if (shape < 3) {
        return value;
    }
    const DWORD number = static_cast<DWORD>(random.Next() % 3);
    value.bytes.assign(reinterpret_cast<const char*>(&number), sizeof(number));
    value.type = REG_DWORD;
    if (shape == 3) {
        value.type = REG_BINARY;
    } else if (shape == 4) {
        value.bytes.resize(random.Below(4));
    } else if (shape == 5) {
        value.bytes.resize(5 + random.Below(8), '\x01');
    }
    return value;
}

void Store(HKEY key, const char* name, const StoredValue& value)
{
    if (value.type == REG_NONE) {
        RegDeleteValueA(key, name);
        return;
    }
    // A byte other than NUL behind the data: RegSetValueExA counts a NUL
    // that directly follows a string as its terminator.
    const std::string data = value.bytes + "#";
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExA(key, name, 0, value.type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(value.bytes.size())));
}

// What reading one DWORD value gives: true to go on.
bool ReferenceDword(const StoredValue& value, HRESULT* failure, DWORD* number, BOOL* present)
{
    if (value.type == REG_NONE) {
        return true;
    }
    if (value.bytes.size() > 4) {
        *failure = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
        return false;
    }
    if (value.type != REG_DWORD || value.bytes.size() != 4) {
        *failure = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        return false;
    }
    std::memcpy(number, value.bytes.data(), 4);
    if (present != nullptr) {
        *present = TRUE;
    }
    return true;
}

struct ReadOutcome {
    HRESULT result = S_OK;
    ParsedVersion version;
    DWORD release = 0;
    DWORD install = 0;
    BOOL hasServicePack = FALSE;
    BOOL hasInstall = FALSE;
    bool warned = false;

    std::string Text() const
    {
        char text[160];
        std::snprintf(text, sizeof(text), "%08lx %s release %lu install %lu sp %d inst %d%s",
                      static_cast<unsigned long>(result), Describe(version).c_str(),
                      static_cast<unsigned long>(release), static_cast<unsigned long>(install),
                      hasServicePack, hasInstall, warned ? " warned" : "");
        return text;
    }
};

// ReadFromKey's rules: "Version" must be a string of at most 32 bytes that
// ends with its terminator; an unparsable one is reported and kept.
// Returns false where the rules leave the answer open.
bool ReferenceRead(const StoredValue values[4], ReadOutcome* expected)
{
    const StoredValue& version = values[0];
    if (version.type != REG_NONE) {
        const bool isString = version.type == REG_SZ || version.type == REG_EXPAND_SZ;
        if (version.bytes.empty() && isString) {
            return false;
        }
        if (version.bytes.size() > 32) {
            if (!isString) {
                return false; // too long and the wrong type: either error will do
            }
            expected->result = HRESULT_FROM_WIN32(ERROR_MORE_DATA);
            return true;
        }
        if (!isString || version.bytes.back() != '\0') {
            expected->result = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            return true;
        }
        const ParsedVersion parsed = ReferenceParse(version.bytes.c_str());
        std::copy(parsed.numbers, parsed.numbers + 4, expected->version.numbers);
        expected->warned = FAILED(parsed.result);
    }
    DWORD unused = 0;
    if (ReferenceDword(values[1], &expected->result, &expected->release, nullptr) &&
        ReferenceDword(values[2], &expected->result, &unused, &expected->hasServicePack)) {
        ReferenceDword(values[3], &expected->result, &expected->install, &expected->hasInstall);
    }
    return true;
}

TEST(VersionKeyFuzz, ReadFromKeyFollowsTheValueRules)
{
    ScratchRegistry registry;
    EventRecorder events;
    const char* const kNames[4] = {"Version", "Release", "SP", "Install"};
    HKEY parent = registry.MachineRoot();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, "v4", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &key, nullptr));
    RunCases("version key fuzz", 600, 100000, [&](FuzzRandom& random) -> std::string {
        StoredValue values[4] = {RandomVersionValue(random), RandomNumberValue(random),
                                 RandomNumberValue(random), RandomNumberValue(random)};
        for (int value = 0; value < 4; ++value) {
            Store(key, kNames[value], values[value]);
        }
        ReadOutcome expected;
        const bool defined = ReferenceRead(values, &expected);

        events.Clear();
        NetFrameworkVersion record;
        ReadOutcome actual;
        actual.result = record.ReadFromKey(parent, "v4");
        actual.version = Parsed(record, S_OK);
        actual.release = record.release;
        actual.install = record.install;
        actual.hasServicePack = record.hasServicePack;
        actual.hasInstall = record.hasInstall;
        actual.warned = !events.Events().empty();
        record.Clear();
        const std::string described = "Version type " + std::to_string(values[0].type) + " \"" +
                                      Escaped(values[0].bytes) + "\" read as " + actual.Text();
        if (!defined) {
            const bool allowed = actual.result == S_OK ||
                                 actual.result == HRESULT_FROM_WIN32(ERROR_MORE_DATA) ||
                                 actual.result == HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            return allowed ? std::string() : described;
        }
        // After a failed read only the result is defined.
        const bool same = FAILED(expected.result) ? actual.result == expected.result
                                                  : actual.Text() == expected.Text();
        return same ? std::string() : described + ", expected " + expected.Text();
    });
    RegCloseKey(key);
}

// ---- Whole setup trees ----------------------------------------------------

// One generated version key: its name, its values, and its version as parsed.
struct ModelKey {
    std::string name;
    int install = -1;     // -1: absent
    bool servicePack = false;
    DWORD release = 0;    // 0: absent
    std::string version;  // empty: absent
    std::vector<ModelKey> children;

    bool Installed() const { return install == 1; }
    std::string Numbers() const
    {
        const ParsedVersion parsed = ReferenceParse(version.c_str());
        char text[64];
        std::snprintf(text, sizeof(text), "%lu.%lu.%lu.%lu;%lu",
                      static_cast<unsigned long>(parsed.numbers[0]),
                      static_cast<unsigned long>(parsed.numbers[1]),
                      static_cast<unsigned long>(parsed.numbers[2]),
                      static_cast<unsigned long>(parsed.numbers[3]),
                      static_cast<unsigned long>(release));
        return text;
    }
    bool ZeroVersion() const { return Numbers().compare(0, 8, "0.0.0.0;") == 0; }
};

std::string RandomKeyName(FuzzRandom& random, bool firstLevel)
{
    static const char* const kNames[] = {"v2.0.50727", "v3.5", "v4", "v4.0", "Client", "Full",
                                         "V4", "x", "v", "1033"};
    if (random.Chance(12)) {
        // Around the 128-character name buffer.
        return (firstLevel ? "v" : "") + std::string(125 + random.Below(6), 'n');
    }
    return std::string(random.Pick(kNames)) + std::to_string(random.Below(3));
}

// Registry names ignore case; a second key of the same name would merge.
void AddUnlessNamed(std::vector<ModelKey>& keys, ModelKey key)
{
    for (const ModelKey& present : keys) {
        if (lstrcmpiA(present.name.c_str(), key.name.c_str()) == 0) {
            return;
        }
    }
    keys.push_back(std::move(key));
}

ModelKey RandomModelKey(FuzzRandom& random, bool firstLevel)
{
    ModelKey key;
    key.name = RandomKeyName(random, firstLevel);
    key.install = static_cast<int>(random.Below(3)) - 1;
    key.servicePack = random.Chance(firstLevel ? 50 : 20);
    static const DWORD kReleases[] = {0, 0, 378389, 528040, 528049};
    key.release = random.Pick(kReleases);
    if (!random.Chance(20)) {
        static const char* const kVersions[] = {"2.0.50727.4927", "3.5.30729.4926", "4.8.03761",
                                                "4.8.04084", "4.x", "1.2.3.4.5", "4.7.2", "0"};
        key.version = random.Pick(kVersions);
    }
    if (firstLevel) {
        const size_t children = random.Below(4);
        for (size_t child = 0; child < children; ++child) {
            AddUnlessNamed(key.children, RandomModelKey(random, false));
        }
    }
    return key;
}

void StoreModelKey(HKEY parent, const ModelKey& model)
{
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(parent, model.name.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    if (model.install >= 0) {
        const DWORD install = static_cast<DWORD>(model.install);
        RegSetValueExA(key, "Install", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&install), 4);
    }
    if (model.servicePack) {
        const DWORD servicePack = 1;
        RegSetValueExA(key, "SP", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&servicePack), 4);
    }
    if (model.release != 0) {
        RegSetValueExA(key, "Release", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&model.release),
                       4);
    }
    if (!model.version.empty()) {
        RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(model.version.c_str()),
                       static_cast<DWORD>(model.version.size() + 1));
    }
    for (const ModelKey& child : model.children) {
        StoreModelKey(key, child);
    }
    RegCloseKey(key);
}

// Which of the stored keys may be the answer, and whether the walk must fail
// on a subkey name too long for its 128-character buffer.
void ReferenceCandidates(const std::vector<ModelKey>& keys, std::set<std::string>* candidates,
                         bool* tooLong)
{
    candidates->insert("0.0.0.0;0");
    for (const ModelKey& key : keys) {
        if (key.name.size() >= 128) {
            *tooLong = true;
        }
        if (key.name[0] != 'v') {
            continue;
        }
        if (key.Installed() && key.servicePack) {
            if (!key.ZeroVersion()) {
                candidates->insert(key.Numbers());
            }
            continue;
        }
        for (const ModelKey& child : key.children) {
            *tooLong = *tooLong || child.name.size() >= 128;
            if (child.Installed()) {
                candidates->insert(child.Numbers());
            }
        }
    }
}

TEST(SetupTreeFuzz, NetVersionAnswersWithACandidateOrTheNameFailure)
{
    ScratchRegistry registry;
    EventRecorder events;
    const char kRoot[] = "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";
    CWorkstationInfo* object = new CWorkstationInfo();
    object->AddRef();
    RunCases("setup tree fuzz", 200, 30000, [&](FuzzRandom& random) -> std::string {
        std::vector<ModelKey> keys;
        const size_t first = random.Below(5);
        for (size_t key = 0; key < first; ++key) {
            AddUnlessNamed(keys, RandomModelKey(random, true));
        }
        RegDeleteTreeA(registry.MachineRoot(), kRoot);
        CreateKeyPath(registry.MachineRoot(), kRoot);
        HKEY root = nullptr;
        if (RegOpenKeyExA(registry.MachineRoot(), kRoot, 0, KEY_ALL_ACCESS, &root) != ERROR_SUCCESS) {
            return "the setup root cannot be made";
        }
        for (const ModelKey& key : keys) {
            StoreModelKey(root, key);
        }
        RegCloseKey(root);
        std::set<std::string> candidates;
        bool tooLong = false;
        ReferenceCandidates(keys, &candidates, &tooLong);

        events.Clear();
        BSTR answer = reinterpret_cast<BSTR>(1);
        const HRESULT result = object->get_NetVersion(&answer);
        const std::string text = answer != nullptr ? std::string(answer, answer + SysStringLen(answer)) : "<null>";
        SysFreeString(answer);
        const bool expected = tooLong ? result == HRESULT_FROM_WIN32(ERROR_MORE_DATA) && text == "<null>"
                                      : result == S_OK && candidates.count(text) == 1;
        if (expected) {
            return std::string();
        }
        return "result " + std::to_string(result) + " '" + text + "'" +
               (tooLong ? ", expected the long-name failure" : ", not a candidate");
    });
    object->Release();
}

// ---- Placeholder expansion ----------------------------------------------

struct Definition {
    const char* name;
    std::string text;
};

std::vector<Definition> Definitions()
{
    return {
        {"APPID", "{C7E3A915-4B2D-4E8F-A06C-9D1F3B5E2A48}"},
        {"Module", "C:\\Program Files\\O''Brien\\Triveld.dll"},
        {"Module_Raw", "C:\\Program Files\\O'Brien\\Triveld.dll"},
        {"Percent", "%APPID% and %%"},
        {"Empty", ""},
        {"Long", std::string(5000, 'L') + "'end"},
        {"Twice", "first"},
        {"twice", "second"},
        {"N234567890123456789012345678901", "thirty-one"},
    };
}

// The map is searched from its first pair with lstrcmpiA, as the map does.
const Definition* ReferenceFind(const std::vector<Definition>& definitions, const std::string& name)
{
    for (const Definition& definition : definitions) {
        if (lstrcmpiA(definition.name, name.c_str()) == 0) {
            return &definition;
        }
    }
    return nullptr;
}

size_t CharacterWidth(const char* at)
{
    return IsDBCSLeadByte(static_cast<BYTE>(at[0])) && at[1] != '\0' ? 2 : 1;
}

HRESULT ReferenceExpand(const std::vector<Definition>& definitions, const char* script,
                        std::string* expanded)
{
    expanded->clear();
    const char* at = script;
    while (*at != '\0') {
        if (*at != '%') {
            const size_t width = CharacterWidth(at);
            expanded->append(at, width);
            at += width;
            continue;
        }
        if (at[1] == '%') {
            *expanded += '%';
            at += 2;
            continue;
        }
        const char* name = at + 1;
        const char* closing = name;
        while (*closing != '\0' && *closing != '%') {
            closing += CharacterWidth(closing);
        }
        if (*closing == '\0') {
            return DISP_E_EXCEPTION;
        }
        if (closing - name > 31) {
            return E_FAIL;
        }
        const Definition* found = ReferenceFind(definitions, std::string(name, closing));
        if (found == nullptr) {
            return DISP_E_EXCEPTION;
        }
        *expanded += found->text;
        at = closing + 1;
    }
    return S_OK;
}

std::string RandomScriptText(FuzzRandom& random)
{
    static const char* const kPieces[] = {
        "%", "%%", "%%%", "%APPID%", "%appid%", "%Module%", "%MODULE_RAW%", "%Percent%",
        "%Empty%", "%Long%", "%Twice%", "%TWICE%", "%Unknown%", "%N234567890123456789012345678901%",
        "%N2345678901234567890123456789012%", "% %", "%APPID", "APPID%", "'", "{ ", " }", "\r\n",
        "HKCR", "text", "\x82%", "\x81\x25", "\xe0", "\xff%",
    };
    std::string text;
    const size_t pieces = random.Below(16);
    for (size_t piece = 0; piece < pieces; ++piece) {
        if (random.Chance(3)) {
            text += "%" + std::string(30 + random.Below(100), 'n') + "%";
        } else if (random.Chance(10)) {
            text += static_cast<char>(1 + random.Below(255));
        } else {
            text += random.Pick(kPieces);
        }
    }
    if (random.Chance(2)) {
        text += std::string(random.Below(3000), 'x');
    }
    return text;
}

TEST(ExpansionFuzz, ExpandsLikeTheRulesSayAndReadsNothingPastTheText)
{
    const std::vector<Definition> definitions = Definitions();
    ReplacementMap map;
    for (const Definition& definition : definitions) {
        const std::wstring wide(definition.text.begin(), definition.text.end());
        ASSERT_EQ(S_OK, map.Add(definition.name, wide.c_str()));
    }
    RunCases("expansion fuzz", 20000, 2000000, [&](FuzzRandom& random) -> std::string {
        const std::string text = RandomScriptText(random);
        GuardedText guarded(text);
        if (guarded.Get() == nullptr) {
            return "no guarded pages";
        }
        std::string expected;
        const HRESULT expectedResult = ReferenceExpand(definitions, guarded.Get(), &expected);
        char* expanded = reinterpret_cast<char*>(1);
        const HRESULT result = ExpandReplacements(&map, guarded.Get(), &expanded);
        const bool same = result == expectedResult &&
                          (FAILED(result) ? expanded == nullptr
                                          : expanded != nullptr && expected == expanded);
        if (SUCCEEDED(result)) {
            CoTaskMemFree(expanded);
        }
        if (same) {
            return std::string();
        }
        return "\"" + Escaped(text) + "\" gave " + std::to_string(result) + ", expected " +
               std::to_string(expectedResult);
    });
}

} // namespace
