// Randomized registration scripts: mutations of the two shipped scripts and
// token streams built from the language's words, each run in register and
// unregister mode with every root the language names redirected to scratch
// keys. The interpreter must always return, touch nothing outside the scratch
// roots, and never remove a protected key. TRIVELD_LONG_RUN=1 runs a million
// cases (./build.sh fuzz); TRIVELD_SEED and TRIVELD_CASE replay one case.
// Then scripts that follow the grammar must round-trip: what registers
// unregisters, and a structural fault is refused by both modes (300 cases,
// 50,000 in a long run; a failure prints its seed, case and script).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "frame/server_module.h"
#include "registration/registrar.h"
#include "registration/registry_script_parser.h"
#include "tests/support/fuzz_run.h"
#include "tests/support/scratch_registry.h"
#include "tests/support/guarded_text.h"
#include "tests/support/handle_census.h"
#include "tests/support/heap_census.h"
#include "tests/support/redirected_roots.h"
#include "tests/support/registry_snapshot.h"
#include "tests/support/source_file.h"

namespace {

const char* const kProtectedNames[] = {
    "AppID", "CLSID",    "Component Categories", "FileType", "Interface", "Hardware",
    "Mime",  "SAM",      "SECURITY",             "SYSTEM",   "Software",  "TypeLib",
};
// Planted under every protected key: a name no generated script uses, so that
// the non-recursive deletes of unregister mode cannot empty a protected key.
const char kSentinel[] = "TriveldSentinel-Q7";

// Every root name of the language, with the index of its redirected root.
const struct {
    const char* name;
    int root;
} kRootNames[] = {
    {"HKCR", 0}, {"HKCU", 1}, {"HKLM", 2}, {"HKU", 3}, {"HKPD", 4}, {"HKDD", 5}, {"HKCC", 6},
    {"HKEY_CLASSES_ROOT", 0},   {"HKEY_CURRENT_USER", 1}, {"HKEY_LOCAL_MACHINE", 2},
    {"HKEY_USERS", 3},          {"HKEY_PERFORMANCE_DATA", 4}, {"HKEY_DYN_DATA", 5},
    {"HKEY_CURRENT_CONFIG", 6},
};

const char* const kFlags[] = {"NoRemove", "ForceRemove", "Delete", "'NoRemove'", "noremove",
                              "FORCEREMOVE", "delete"};
const char* const kTypes[] = {"s", "S", "m", "d", "D", "b", "B", "x", "sz", "'s'"};
const char* const kKeyNames[] = {
    "FuzzKey", "Other", "'a b'", "'It''s'", "a\\b", "'{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}'",
    "{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}", "''", "Triveld.DLL", "'%APPID%'", "%APPID%",
    "InprocServer32", "val", "{x}", "=", "x=s", "'}'", "CurVer", "Programmable",
    "AppID", "CLSID", "'Component Categories'", "FileType", "Interface", "Hardware", "Mime",
    "SAM", "SECURITY", "SYSTEM", "Software", "TypeLib", "clsid", "'SOFTWARE'",
};
const char* const kValueTexts[] = {
    "'text'", "'0aFF'", "'zz'", "'abc'", "'123'", "'4294967296'", "'-1'", "'0x10'",
    "'a\\0b\\0'", "'a\\0b'", "'\\0'", "''", "'%APPID%'", "'%MODULE%'", "'%Module_Raw%'",
    "'%%'", "'%UNKNOWN%'", "'%NOCLOSE", "'", "'unterminated", "bare", "'It''s'",
};
const char* const kNoise[] = {"{", "}", "=", "'", "%", "%%", "''", "'{'", "{}", "}}", "\\",
                              "val", "HKCR", "Delete", "\x82\xa0", "\x81", "\xff"};
const char* const kBlanks[] = {" ", " ", " ", "\t", "\r\n", "\n", "  ", ""};

// ---- Generated scripts --------------------------------------------------

class ScriptMaker {
public:
    ScriptMaker(FuzzRandom& random, const std::vector<std::string>& shipped)
        : random_(random), shipped_(shipped)
    {
    }

    std::string Make()
    {
        if (random_.Chance(50)) {
            return Mutated();
        }
        return Generated();
    }

private:
    void Blank(std::string& out) { out += random_.Pick(kBlanks); }
    void Word(std::string& out, const char* word)
    {
        out += word;
        Blank(out);
    }

    std::string LongToken()
    {
        static const size_t kLengths[] = {259, 260, 261, 4093, 4094, 4095, 4096, 9000};
        const size_t length = random_.Pick(kLengths);
        std::string token(length, static_cast<char>('a' + random_.Below(26)));
        if (random_.Chance(50)) {
            token = "'" + token + "'";
        }
        return token;
    }

    void ValueClause(std::string& out)
    {
        Word(out, "=");
        Word(out, random_.Pick(kTypes));
        if (random_.Chance(3)) {
            Word(out, LongToken().c_str());
        } else {
            Word(out, random_.Pick(kValueTexts));
        }
    }

    void Entries(std::string& out, int depth)
    {
        const size_t count = random_.Below(5);
        for (size_t entry = 0; entry < count; ++entry) {
            if (random_.Chance(5)) {
                Word(out, random_.Pick(kNoise));
                continue;
            }
            if (random_.Chance(25)) {
                if (random_.Chance(30)) {
                    Word(out, "NoRemove");
                }
                Word(out, "val");
                Word(out, random_.Chance(3) ? LongToken().c_str() : random_.Pick(kKeyNames));
                ValueClause(out);
                continue;
            }
            if (random_.Chance(35)) {
                Word(out, random_.Pick(kFlags));
            }
            Word(out, random_.Chance(2) ? LongToken().c_str() : random_.Pick(kKeyNames));
            if (random_.Chance(30)) {
                ValueClause(out);
            }
            if (depth < 6 && random_.Chance(40)) {
                Block(out, depth + 1);
            }
        }
    }

    void Block(std::string& out, int depth)
    {
        Word(out, "{");
        Entries(out, depth);
        if (!random_.Chance(3)) {
            Word(out, "}");
        }
    }

    // Nested far deeper than any real script.
    std::string DeeplyNested()
    {
        const size_t depth = 50 + random_.Below(150);
        std::string out = "HKCR { ";
        for (size_t level = 0; level < depth; ++level) {
            out += "Deep { ";
        }
        for (size_t level = 0; level < depth; ++level) {
            out += "} ";
        }
        return out + "}";
    }

    std::string Generated()
    {
        if (random_.Chance(2)) {
            return DeeplyNested();
        }
        std::string out;
        if (random_.Chance(30)) {
            Blank(out);
        }
        const size_t blocks = random_.Below(3) + (random_.Chance(90) ? 1 : 0);
        for (size_t block = 0; block < blocks; ++block) {
            Word(out, random_.Chance(3) ? random_.Pick(kKeyNames)
                                        : random_.Pick(kRootNames).name);
            Block(out, 0);
        }
        return out;
    }

    // Start offsets and lengths of the blank-separated tokens.
    static std::vector<std::pair<size_t, size_t>> Tokens(const std::string& text)
    {
        std::vector<std::pair<size_t, size_t>> tokens;
        size_t at = 0;
        while (at < text.size()) {
            while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) {
                ++at;
            }
            const size_t start = at;
            while (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) {
                ++at;
            }
            if (at > start) {
                tokens.emplace_back(start, at - start);
            }
        }
        return tokens;
    }

    void MutateOnce(std::string& text)
    {
        const size_t at = random_.Below(text.size() + 1);
        const auto tokens = Tokens(text);
        switch (random_.Below(9)) {
        case 0:
            if (!text.empty()) {
                text[random_.Below(text.size())] ^= static_cast<char>(1 << random_.Below(8));
            }
            break;
        case 1:
            if (!text.empty()) {
                text[random_.Below(text.size())] = static_cast<char>(1 + random_.Below(255));
            }
            break;
        case 2:
            text.erase(at, 1 + random_.Below(12));
            break;
        case 3: {
            static const char* const kInserted[] = {"'", "''", "{", "}", "{ ", " }", "%", "=",
                                                    "\\", " ", "\x82"};
            text.insert(at, random_.Pick(kInserted));
            break;
        }
        case 4:
            text.resize(at);
            break;
        case 5:
            if (!tokens.empty()) {
                const auto token = tokens[random_.Below(tokens.size())];
                text.insert(token.first, text.substr(token.first, token.second) + " ");
            }
            break;
        case 6:
            if (tokens.size() >= 2) {
                auto first = tokens[random_.Below(tokens.size())];
                auto second = tokens[random_.Below(tokens.size())];
                if (first.first > second.first) {
                    std::swap(first, second);
                }
                if (first.first != second.first) {
                    const std::string a = text.substr(first.first, first.second);
                    const std::string b = text.substr(second.first, second.second);
                    text.replace(second.first, second.second, a);
                    text.replace(first.first, first.second, b);
                }
            }
            break;
        case 7:
            if (!tokens.empty()) {
                const auto token = tokens[random_.Below(tokens.size())];
                const char* words[] = {random_.Pick(kFlags), random_.Pick(kKeyNames),
                                       random_.Pick(kValueTexts), random_.Pick(kNoise),
                                       random_.Pick(kRootNames).name, random_.Pick(kTypes)};
                text.replace(token.first, token.second, random_.Pick(words));
            }
            break;
        default:
            text.insert(at, std::string(1, static_cast<char>(1 + random_.Below(255))));
            break;
        }
    }

    std::string Mutated()
    {
        std::string text = shipped_[random_.Below(shipped_.size())];
        if (random_.Chance(10)) {
            text += shipped_[random_.Below(shipped_.size())];
        }
        const size_t mutations = 1 + random_.Below(4);
        for (size_t count = 0; count < mutations; ++count) {
            MutateOnce(text);
        }
        return text;
    }

    FuzzRandom& random_;
    const std::vector<std::string>& shipped_;
};

// ---- Scripts that follow the grammar, for round trips --------------------

// A text as a script writes it, and as the registry stores or SnapshotTree
// shows it.
struct Spelling {
    const char* token;
    const char* name;
};

// Key names; no two alike without regard to case, and none a keyword.
const Spelling kTripKeys[] = {
    {"Alpha", "Alpha"},
    {"beta", "beta"},
    {"'Gamma Ray'", "Gamma Ray"},
    {"'It''s'", "It's"},
    {"{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}", "{5B1E0C42-7A93-4D61-9E2F-3C8A0D4B7E15}"},
    {"CLSID", "CLSID"},
    {"'Software'", "Software"},
    {"InprocServer32", "InprocServer32"},
    {"'x=y'", "x=y"},
    {"'100%%'", "100%"},
    {"NoRemoveX", "NoRemoveX"},
};
const Spelling kTripValueNames[] = {
    {"V", "V"}, {"'Two Words'", "Two Words"}, {"count", "count"}, {"'x\\y'", "x\\y"}, {"'='", "="},
};
// Value clauses after their "=".
const Spelling kTripValues[] = {
    {"s 'text'", "SZ text"},
    {"S ''", "SZ "},
    {"s 'It''s { } = %%'", "SZ It's { } = %"},
    {"d '0'", "DWORD 0"},
    {"D '4294967295'", "DWORD 4294967295"},
    {"'d' '1603'", "DWORD 1603"},
    {"b '0aFF'", "BINARY 0AFF"},
    {"B ''", "BINARY "},
    {"m 'a\\0b\\0'", "MULTI_SZ 6100620000"},
    {"m 'a\\0b'", "MULTI_SZ 6100620000"},
    {"M ''", "MULTI_SZ 00"},
    {"m 'x\\y'", "MULTI_SZ 785C790000"},
};
const Spelling kTripRoots[] = {
    {"HKCR", "HKCR"}, {"hkcr", "HKCR"}, {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKLM", "HKLM"}, {"HKEY_LOCAL_MACHINE", "HKLM"},
};
// Entries whose structure is wrong: a block after a value or "Delete" entry,
// a keyword where the name of the key to remove belongs, a key name that is
// empty or holds a backslash, a value entry without "=", a block closed early.
const char* const kFaultyEntries[] = {
    "val F = s 'x' { Victim }",
    "NoRemove val F = d '1' { Victim }",
    "Delete F { Victim }",
    "Delete F = s 'x' { Victim }",
    "Delete NoRemove F { Victim }",
    "ForceRemove NoRemove F",
    "ForceRemove val F = s 'x'",
    "Delete Delete F",
    "'delete' 'FORCEREMOVE' F { }",
    "'A\\B'",
    "ForceRemove 'A\\B'",
    "Delete ''",
    "''",
    "val F s 'x'",
    "}",
};

std::string HexCode(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%08lx", static_cast<unsigned long>(result));
    return text;
}

// One generated script and what it must leave behind, every line as
// SnapshotTree writes it behind its root's name: all it describes once
// registered, and once unregistered again only the NoRemove keys with the
// values NoRemove keeps in them. A script with a fault is refused by both modes.
struct TripScript {
    std::string text;
    std::set<std::string> registered;
    std::set<std::string> kept;
    bool faulty = false;
};

class TripMaker {
public:
    explicit TripMaker(FuzzRandom& random) : random_(random) {}

    TripScript Make()
    {
        script_.faulty = random_.Chance(25);
        // A fault is one wrong entry, a wrong block opening, or a text that
        // ends inside its last root block.
        const bool cut = script_.faulty && random_.Chance(15);
        faultPending_ = script_.faulty && !cut;
        const size_t blocks = 1 + random_.Below(3);
        for (size_t block = 0; block < blocks; ++block) {
            const bool last = block + 1 == blocks;
            const auto& root = random_.Pick(kTripRoots);
            Word(root.token);
            const bool badOpening = faultPending_ && random_.Chance(5);
            faultPending_ = faultPending_ && !badOpening;
            Word(badOpening ? "[" : "{");
            const size_t opened = script_.text.size();
            Entries(root.name, true, 0, last);
            const size_t closing = script_.text.size();
            Word("}");
            if (last && cut) {
                script_.text.resize(opened + random_.Below(closing - opened + 1));
            }
        }
        return script_;
    }

private:
    void Word(const char* word)
    {
        static const char* const kSeparators[] = {" ", " ", " ", "\t", "\r\n", "  "};
        script_.text += word;
        script_.text += random_.Pick(kSeparators);
    }

    // A name not used under `parent` yet, or null when all are taken.
    template <size_t N>
    const Spelling* FreshName(const Spelling (&pool)[N], const std::string& parent)
    {
        std::set<std::string>& used = used_[parent];
        const size_t start = random_.Below(N);
        for (size_t step = 0; step < N; ++step) {
            const Spelling& candidate = pool[(start + step) % N];
            if (used.insert(candidate.name).second) {
                return &candidate;
            }
        }
        return nullptr;
    }

    void Note(const std::string& line, bool kept)
    {
        script_.registered.insert(line);
        if (kept) {
            script_.kept.insert(line);
        }
    }

    void ValueEntry(const std::string& parent, bool parentKept)
    {
        const auto* name = FreshName(kTripValueNames, parent + " : ");
        if (name == nullptr) {
            return;
        }
        const bool noRemove = random_.Chance(40);
        if (noRemove) {
            Word("NoRemove");
        }
        const auto& value = random_.Pick(kTripValues);
        Word("val");
        Word(name->token);
        Word("=");
        Word(value.token);
        Note(parent + " : " + name->name + " = " + value.name, parentKept && noRemove);
    }

    // A key below a key that unregistering removes must go too: a kept key
    // there would make the removal of its parent fail.
    void KeyEntry(const std::string& parent, bool parentKept, int depth)
    {
        const auto* name = FreshName(kTripKeys, parent);
        if (name == nullptr) {
            return;
        }
        const std::string path = parent + "\\" + name->name;
        enum Flag { kDelete, kForceRemove, kNone, kNoRemove };
        const size_t flag = random_.Below(parentKept ? kNoRemove + 1 : kNoRemove);
        if (flag == kDelete) {
            Word("Delete");
            Word(name->token);
            if (random_.Chance(30)) {
                Word("=");
                Word(random_.Pick(kTripValues).token);
            }
            return;
        }
        const bool kept = flag == kNoRemove;
        if (flag == kForceRemove) {
            Word("ForceRemove");
        } else if (kept) {
            Word("NoRemove");
        }
        Word(name->token);
        Note(path, kept);
        if (random_.Chance(30)) {
            const auto& value = random_.Pick(kTripValues);
            Word("=");
            Word(value.token);
            Note(path + " : @ = " + value.name, kept);
        }
        if (depth < 4 && random_.Chance(45)) {
            Word("{");
            Entries(path, kept, depth + 1, false);
            Word("}");
        }
    }

    void Fault(int depth)
    {
        faultPending_ = false;
        if (random_.Chance(10)) {
            // Nested one level deeper than any script may go.
            for (int level = depth; level < kMaxBlockDepth; ++level) {
                Word("Deep {");
            }
            for (int level = depth; level < kMaxBlockDepth; ++level) {
                Word("}");
            }
            return;
        }
        Word(random_.Pick(kFaultyEntries));
    }

    void Entries(const std::string& parent, bool parentKept, int depth, bool lastBlock)
    {
        const size_t count = random_.Below(depth == 0 ? 5 : 4);
        for (size_t entry = 0; entry < count; ++entry) {
            if (faultPending_ && random_.Chance(20)) {
                Fault(depth);
            }
            if (depth > 0 && random_.Chance(30)) {
                ValueEntry(parent, parentKept);
            } else {
                KeyEntry(parent, parentKept, depth);
            }
        }
        if (faultPending_ && lastBlock) {
            Fault(depth);
        }
    }

    FuzzRandom& random_;
    TripScript script_;
    bool faultPending_ = false;
    // Names in use per parent path (value names under "path : ").
    std::map<std::string, std::set<std::string>> used_;
};

std::string MakeCase(uint64_t runSeed, size_t index, const std::vector<std::string>& shipped)
{
    FuzzRandom random(CaseSeed(runSeed, index));
    return ScriptMaker(random, shipped).Make();
}

// ---- Checks -------------------------------------------------------------

// Ends the process with the case number when one script run does not return.
class Watchdog {
public:
    static constexpr DWORD kLimitMs = 20000;

    explicit Watchdog(uint64_t seed) : seed_(seed), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watchdog()
    {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Starting(size_t index)
    {
        index_ = index;
        started_ = GetTickCount();
    }

private:
    void Watch()
    {
        while (WaitForSingleObject(stop_, 500) == WAIT_TIMEOUT) {
            const DWORD started = started_;
            if (started != 0 && GetTickCount() - started > kLimitMs) {
                std::fprintf(stderr, "CRASH: script case %zu of seed %llu ran for %lu ms; "
                             "replay with TRIVELD_SEED=%llu TRIVELD_CASE=%zu\n",
                             static_cast<size_t>(index_),
                             static_cast<unsigned long long>(seed_), kLimitMs,
                             static_cast<unsigned long long>(seed_),
                             static_cast<size_t>(index_));
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 4);
            }
        }
    }

    uint64_t seed_;
    HANDLE stop_;
    std::atomic<size_t> index_{0};
    std::atomic<DWORD> started_{0};
    std::thread thread_;
};

// Parts of HKEY_CURRENT_USER that others write meanwhile: the scratch keys of
// other test programs, and the locale settings Wine rewrites when a program
// starts under another locale (the code page 932 runs).
bool ChangedByOthers(const std::string& line)
{
    static const char* const kPrefixes[] = {"Software\\TriveldTests", "Control Panel\\International",
                                            "Keyboard Layout", "Software\\Wine\\Fonts"};
    for (const char* prefix : kPrefixes) {
        if (line.compare(0, std::strlen(prefix), prefix) == 0) {
            return true;
        }
    }
    return false;
}

// What lies outside the scratch roots and can be read cheaply: the whole real
// HKEY_CURRENT_USER except what others change, and the top-level keys of the
// other real roots. Read while nothing is redirected.
std::set<std::string> OutsideView()
{
    std::set<std::string> view;
    for (const std::string& line : SnapshotTree(HKEY_CURRENT_USER)) {
        if (!ChangedByOthers(line)) {
            view.insert("HKCU\\" + line);
        }
    }
    const std::pair<HKEY, const char*> roots[] = {{HKEY_LOCAL_MACHINE, "HKLM"},
                                                  {HKEY_USERS, "HKU"},
                                                  {HKEY_CURRENT_CONFIG, "HKCC"},
                                                  {HKEY_CLASSES_ROOT, "HKCR"}};
    for (const auto& [root, name] : roots) {
        for (DWORD index = 0;; ++index) {
            char subkey[256];
            DWORD size = sizeof(subkey);
            if (RegEnumKeyExA(root, index, subkey, &size, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            view.insert(std::string(name) + "\\" + subkey);
        }
    }
    return view;
}

class ScriptFuzz : public testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* file : {L"resources\\appid.rgs", L"resources\\orv_workstation_info.rgs"}) {
            shipped_.push_back(ReadSourceFile(file));
            ASSERT_FALSE(shipped_.back().empty());
        }
        registerResults_.reserve(64);
        unregisterResults_.reserve(64);
        ServerModule* module = GetServerModule();
        ASSERT_NE(nullptr, module);
        ASSERT_EQ(S_OK, module->AddStandardReplacements(&registrar_));
        ASSERT_EQ(S_OK, registrar_.DefineReplacement(L"Module", L"C:\\Program Files\\O''Brien\\Triveld.dll"));
        ASSERT_EQ(S_OK, registrar_.DefineReplacement(L"Module_Raw", L"C:\\Program Files\\O''Brien\\Triveld.dll"));
    }

    static void Plant(const RedirectedRoots& roots)
    {
        for (int root = 0; root < RedirectedRoots::kCount; ++root) {
            for (const char* name : kProtectedNames) {
                HKEY key = nullptr;
                const std::string path = std::string(name) + "\\" + kSentinel;
                ASSERT_EQ(ERROR_SUCCESS,
                          RegCreateKeyExA(roots.Scratch(root), path.c_str(), 0, nullptr,
                                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                          nullptr));
                RegCloseKey(key);
            }
        }
    }

    static bool Mentions(const std::string& text, const char* word)
    {
        const auto found = std::search(text.begin(), text.end(), word, word + std::strlen(word),
                                       [](char a, char b) {
                                           return std::toupper(static_cast<unsigned char>(a)) ==
                                                  std::toupper(static_cast<unsigned char>(b));
                                       });
        return found != text.end();
    }

    // The protected keys the text could have removed, missing ones listed. A
    // script can only remove a key at a root it names, by a name it contains
    // (the replacement texts contain no key name).
    static std::string MissingProtectedKeys(const RedirectedRoots& roots, const std::string& text)
    {
        bool named[RedirectedRoots::kCount] = {};
        for (const auto& root : kRootNames) {
            named[root.root] = named[root.root] || Mentions(text, root.name);
        }
        std::vector<const char*> names;
        for (const char* name : kProtectedNames) {
            if (Mentions(text, name)) {
                names.push_back(name);
            }
        }
        std::string missing;
        for (int root = 0; root < RedirectedRoots::kCount; ++root) {
            if (!named[root]) {
                continue;
            }
            for (const char* name : names) {
                HKEY key = nullptr;
                if (RegOpenKeyExA(roots.Scratch(root), name, 0, KEY_READ, &key) != ERROR_SUCCESS) {
                    missing += std::string(" ") + RedirectedRoots::Name(root) + "\\" + name;
                    continue;
                }
                RegCloseKey(key);
            }
        }
        return missing;
    }

    HRESULT Run(const char* text, bool registering)
    {
        RegistryScriptParser parser(&registrar_);
        return parser.RunScript(text, registering);
    }

    // Runs one case; returns false (having reported it) when it failed.
    bool RunCase(const RedirectedRoots& roots, uint64_t seed, size_t index)
    {
        const std::string text = MakeCase(seed, index, shipped_);
        GuardedText guarded(text);
        if (guarded.Get() == nullptr) {
            ADD_FAILURE() << "no guarded pages";
            return false;
        }
        const bool registerFirst = index % 4 != 3;
        std::string failure;
        for (bool registering : {registerFirst, !registerFirst}) {
            const HRESULT result = Run(guarded.Get(), registering);
            Count(registering ? registerResults_ : unregisterResults_, result);
            if (result != S_OK && SUCCEEDED(result)) {
                failure += " " + std::string(registering ? "register" : "unregister") +
                           " gave the success code " + std::to_string(result) + ";";
            }
        }
        const std::string missing = MissingProtectedKeys(roots, text);
        if (!missing.empty()) {
            failure += " protected keys removed:" + missing + ";";
            Plant(roots);
        }
        if (failure.empty()) {
            return true;
        }
        ADD_FAILURE() << "seed " << seed << " case " << index << ":" << failure
                      << "\n  replay: TRIVELD_SEED=" << seed << " TRIVELD_CASE=" << index
                      << "\n  script: \"" << Escaped(text) << "\"";
        return false;
    }

    // Cases [first, end) in one set of redirected roots, with the outside of
    // the roots compared before and after.
    void RunChunk(uint64_t seed, size_t first, size_t end, Watchdog& watchdog, long& failures)
    {
        const std::set<std::string> outside = OutsideView();
        {
            RedirectedRoots roots;
            ASSERT_TRUE(roots.WritesStayInside());
            Plant(roots);
            // Counted once the first cases have run, so that what the
            // platform keeps after its first use is not taken for a leak.
            constexpr size_t kSettling = 16;
            long handles = 0;
            long blocks = 0;
            for (size_t index = first; index < end && failures < 10; ++index) {
                if ((index - first) % 64 == 63) {
                    roots.Clear();
                    Plant(roots);
                }
                if (index - first == kSettling) {
                    handles = OpenHandleCount();
                    blocks = BusyHeapBlocks();
                }
                watchdog.Starting(index);
                if (!RunCase(roots, seed, index)) {
                    ++failures;
                }
            }
            watchdog.Starting(0);
            if (end - first > kSettling) {
                EXPECT_EQ(handles, OpenHandleCount())
                    << "seed " << seed << ", cases " << first + kSettling << " to " << end - 1
                    << " left handles open";
                EXPECT_EQ(blocks, BusyHeapBlocks())
                    << "seed " << seed << ", cases " << first + kSettling << " to " << end - 1
                    << " left heap blocks behind";
            }
        }
        const std::set<std::string> after = OutsideView();
        EXPECT_TRUE(outside == after)
            << "seed " << seed << ", cases " << first << " to " << end - 1
            << " changed the registry outside the scratch roots:\n"
            << DescribeDifference(outside, after);
    }

    // How often each result came up, so a run shows how far the cases got.
    // Room is made up front: the heap census must not see the tally grow.
    using Tally = std::vector<std::pair<HRESULT, size_t>>;
    static void Count(Tally& tally, HRESULT result)
    {
        for (auto& [seen, count] : tally) {
            if (seen == result) {
                ++count;
                return;
            }
        }
        if (tally.size() < tally.capacity()) {
            tally.emplace_back(result, 1);
        }
    }

    void PrintResults() const
    {
        for (const auto* results : {&registerResults_, &unregisterResults_}) {
            std::printf("%s:", results == &registerResults_ ? "register" : "unregister");
            for (const auto& [result, count] : *results) {
                std::printf(" %08lx x%zu", static_cast<unsigned long>(result), count);
            }
            std::printf("\n");
        }
    }

    std::vector<std::string> shipped_;
    Registrar registrar_;
    Tally registerResults_;
    Tally unregisterResults_;
};

TEST_F(ScriptFuzz, EveryScriptReturnsAndStaysInsideTheScratchRoots)
{
    const uint64_t seed = RunSeed();
    const size_t count = RunCount(2000, 1000000);
    AnnounceRun("script fuzz", count);
    Watchdog watchdog(seed);
    long failures = 0;
    if (const char* replay = std::getenv("TRIVELD_CASE")) {
        const size_t index = std::strtoull(replay, nullptr, 0);
        std::printf("script: \"%s\"\n", Escaped(MakeCase(seed, index, shipped_)).c_str());
        RunChunk(seed, index, index + 1, watchdog, failures);
        return;
    }
    constexpr size_t kChunk = 50000;
    for (size_t first = 0; first < count && failures < 10; first += kChunk) {
        RunChunk(seed, first, std::min(count, first + kChunk), watchdog, failures);
        if (LongRun()) {
            std::printf("%zu cases done\n", std::min(count, first + kChunk));
            std::fflush(stdout);
        }
    }
    PrintResults();
    EXPECT_EQ(0, failures);
}

// Scripts that follow the grammar, each from empty scratch roots: what
// registers must unregister, leaving exactly the NoRemove keys with the
// values NoRemove keeps; a script with a structural fault is refused by both
// modes alike.
TEST_F(ScriptFuzz, WhatRegistersUnregistersToItsNoRemoveKeys)
{
    RunCases("round trips", 300, 50000, [this](FuzzRandom& random) {
        const TripScript script = TripMaker(random).Make();
        ScratchRegistry scratch;
        const auto tree = [&scratch] {
            std::set<std::string> lines;
            for (const auto& [root, name] : {std::make_pair(scratch.ClassesRoot(), "HKCR\\"),
                                             std::make_pair(scratch.MachineRoot(), "HKLM\\")}) {
                for (const std::string& line : SnapshotTree(root)) {
                    lines.insert(name + line);
                }
            }
            return lines;
        };
        HRESULT registered = S_OK;
        HRESULT unregistered = S_OK;
        std::set<std::string> afterRegistering;
        if (script.faulty) {
            // Unregistering first removes nothing, so that both modes meet the
            // fault from empty roots: a registry failure cannot come first.
            unregistered = Run(script.text.c_str(), false);
            registered = Run(script.text.c_str(), true);
        } else {
            registered = Run(script.text.c_str(), true);
            afterRegistering = tree();
            unregistered = Run(script.text.c_str(), false);
        }
        const std::set<std::string> afterUnregistering = tree();

        const std::string results = "registering gave " + HexCode(registered) +
                                    ", unregistering " + HexCode(unregistered);
        std::string failure;
        if (script.faulty) {
            if (registered != DISP_E_EXCEPTION || unregistered != DISP_E_EXCEPTION) {
                failure = "a script with a structural fault: " + results;
            }
        } else if (registered != S_OK || unregistered != S_OK) {
            failure = results;
        } else if (afterRegistering != script.registered) {
            failure = "registered:\n" + DescribeDifference(script.registered, afterRegistering);
        } else if (afterUnregistering != script.kept) {
            failure = "left after unregistering:\n" +
                      DescribeDifference(script.kept, afterUnregistering);
        }
        return failure.empty() ? failure
                               : failure + "\n  script: \"" + Escaped(script.text) + "\"";
    });
}

} // namespace
