#include "registration/registry_script_parser.h"

#include <objbase.h>

#include <cstring>
#include <memory>

#include "registration/placeholder_expansion.h"
#include "registration/registrar.h"
#include "registration/registry_value_writer.h"
#include "registration/script_text.h"
#include "service/platform_calls.h"
#include "service/registry_key.h"

namespace {

struct TaskMemFree {
    void operator()(char* text) const { ActivePlatformCalls().taskFree(text); }
};

// Keeps the nesting count right on every way out of a level.
class DepthScope {
public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

private:
    int& depth_;
};

// A key name is one non-empty path component. An empty name would open (and
// then remove) the parent itself.
bool IsValidKeyName(const char* name)
{
    return name[0] != '\0' && !ContainsBackslash(name);
}

// Nested blocks open with exactly "{": a sibling named like "{GUID}" is a key.
bool IsBlockStart(const char* token)
{
    return std::strcmp(token, "{") == 0;
}

// The words that open an entry. None of them can name the key that
// "ForceRemove" or "Delete" removes: the two modes would read such an entry
// differently (register mode as a key of that name, unregister mode as the
// keyword), so it is a script error in both, before anything is removed.
bool IsEntryKeyword(const char* token)
{
    return EqualsIgnoringCase(token, kNoRemoveKeyword) ||
           EqualsIgnoringCase(token, kForceRemoveKeyword) ||
           EqualsIgnoringCase(token, kDeleteKeyword) || EqualsIgnoringCase(token, kValueKeyword);
}

// A block belongs to the key named by the entry before it. A value entry or a
// "Delete" entry names none, and reading such a block as entries of the level
// around it would remove keys the script does not name there.
HRESULT RefuseBlock(const char* token)
{
    return IsBlockStart(token) ? DISP_E_EXCEPTION : S_OK;
}

// Removes a key with everything beneath it; failures are not reported.
void RemoveKeyTree(HKEY parent, const char* name)
{
    RegistryKey parentView;
    if (parentView.OpenKey(parent, nullptr, KEY_READ | KEY_WRITE) == ERROR_SUCCESS) {
        parentView.DeleteTree(name);
    }
}

} // namespace

HRESULT RegistryScriptParser::RunScript(const char* script, bool registering)
{
    const ReplacementMap* replacements =
        registrar_ != nullptr ? &registrar_->Replacements() : nullptr;
    char* expandedText = nullptr;
    HRESULT result = ExpandReplacements(replacements, script, &expandedText);
    if (FAILED(result)) {
        return result;
    }
    std::unique_ptr<char, TaskMemFree> expanded(expandedText);
    cursor_ = expanded.get();
    depth_ = 0;
    if (*cursor_ == '\0') {
        return S_OK;
    }
    char token[kTokenSize];
    for (;;) {
        result = ReadToken(token);
        if (FAILED(result)) {
            return result;
        }
        HKEY root = LookupRootKey(token);
        if (root == nullptr) {
            return DISP_E_EXCEPTION;
        }
        result = ReadToken(token);
        if (FAILED(result)) {
            return result;
        }
        if (token[0] != '{') {
            return DISP_E_EXCEPTION;
        }
        const char* blockStart = cursor_;
        result = ProcessEntries(token, root, registering, false);
        if (FAILED(result)) {
            if (registering) {
                // Undo what the failing block describes, up to where it failed.
                cursor_ = blockStart;
                ProcessEntries(token, root, false, false);
            }
            return result;
        }
        SkipBlanks();
        if (*cursor_ == '\0') {
            return S_OK;
        }
    }
}

void RegistryScriptParser::SkipBlanks()
{
    while (IsBlank(*cursor_)) {
        ++cursor_;
    }
}

HRESULT RegistryScriptParser::ReadToken(char* token)
{
    constexpr size_t kMaxTokenLength = kTokenSize - 2;
    SkipBlanks();
    if (*cursor_ == '\0') {
        return DISP_E_EXCEPTION;
    }
    size_t length = 0;
    const bool quoted = *cursor_ == '\'';
    if (quoted) {
        ++cursor_;
    }
    for (;;) {
        if (*cursor_ == '\0') {
            if (quoted) {
                return DISP_E_EXCEPTION;
            }
            break;
        }
        if (!quoted && IsBlank(*cursor_)) {
            break;
        }
        const char* next = NextChar(cursor_);
        size_t width = static_cast<size_t>(next - cursor_);
        if (quoted && *cursor_ == '\'') {
            if (cursor_[1] != '\'') {
                ++cursor_;
                break;
            }
            width = 1; // a doubled quote stands for one
            next = cursor_ + 2;
        }
        if (length >= kMaxTokenLength) {
            return DISP_E_EXCEPTION;
        }
        std::memcpy(token + length, cursor_, width);
        length += width;
        cursor_ = next;
    }
    token[length] = '\0';
    return S_OK;
}

HRESULT RegistryScriptParser::ReadValueClause(ValueKind* kind)
{
    HRESULT result = ReadToken(clause_);
    if (FAILED(result)) {
        return result;
    }
    *kind = LookupValueType(clause_);
    SkipBlanks();
    return ReadToken(clause_);
}

HRESULT RegistryScriptParser::SkipValueClause(char* token)
{
    if (token[0] != '=') {
        return S_OK;
    }
    ValueKind unused = ValueKind::None;
    const HRESULT result = ReadValueClause(&unused);
    if (FAILED(result)) {
        return result;
    }
    return ReadToken(token);
}

HRESULT RegistryScriptParser::ProcessEntries(char* token, HKEY parent, bool registering,
                                             bool recovering)
{
    if (depth_ >= kMaxBlockDepth) {
        return DISP_E_EXCEPTION;
    }
    DepthScope level(depth_);
    RegistryKey current;
    HRESULT result = ReadToken(token);
    while (SUCCEEDED(result) && token[0] != '}') {
        result = ProcessEntry(token, parent, registering, recovering, current);
    }
    return FAILED(result) ? result : S_OK;
}

HRESULT RegistryScriptParser::ProcessEntry(char* token, HKEY parent, bool registering,
                                           bool recovering, RegistryKey& current)
{
    bool deleteFlag = true;
    HRESULT result = S_OK;
    const bool forceRemove = EqualsIgnoringCase(token, kForceRemoveKeyword);
    const bool deleteEntry = EqualsIgnoringCase(token, kDeleteKeyword);
    if (forceRemove || deleteEntry) {
        result = ReadToken(token);
        if (FAILED(result)) {
            return result;
        }
        if (IsEntryKeyword(token)) {
            return DISP_E_EXCEPTION;
        }
        if (registering) {
            if (!IsValidKeyName(token)) {
                return DISP_E_EXCEPTION;
            }
            if (deleteEntry) {
                return DeleteKeyEntry(token, parent);
            }
            if (!IsProtectedKeyName(token)) {
                RemoveKeyTree(parent, token);
            }
        }
    }
    if (EqualsIgnoringCase(token, kNoRemoveKeyword)) {
        deleteFlag = false;
        result = ReadToken(token);
        if (FAILED(result)) {
            return result;
        }
    }
    if (EqualsIgnoringCase(token, kValueKeyword)) {
        result = ProcessValueEntry(token, parent, registering, recovering, deleteFlag);
        return SUCCEEDED(result) ? RefuseBlock(token) : result;
    }
    if (!IsValidKeyName(token)) {
        return DISP_E_EXCEPTION;
    }
    if (!registering) {
        return UnregisterKeyEntry(token, parent, recovering, deleteFlag, !deleteEntry, current);
    }
    result = RegisterKeyEntry(token, parent, current);
    return SUCCEEDED(result) ? EnterBlock(token, current.Handle()) : result;
}

HRESULT RegistryScriptParser::DeleteKeyEntry(char* token, HKEY parent)
{
    // The rest of the entry goes into clause_, so that the name stays in
    // `token`; SkipValueClause reads a clause into that same field, which
    // holds nothing else meanwhile.
    char* const next = clause_;
    HRESULT result = ReadToken(next);
    if (SUCCEEDED(result)) {
        result = SkipValueClause(next);
    }
    if (SUCCEEDED(result)) {
        result = RefuseBlock(next);
    }
    if (FAILED(result)) {
        return result;
    }
    if (!IsProtectedKeyName(token)) {
        RemoveKeyTree(parent, token);
    }
    std::memcpy(token, next, std::strlen(next) + 1);
    return S_OK;
}

HRESULT RegistryScriptParser::EnterBlock(char* token, HKEY key)
{
    if (!IsBlockStart(token)) {
        return S_OK;
    }
    HRESULT result = ProcessEntries(token, key, true, false);
    if (FAILED(result)) {
        return result;
    }
    return ReadToken(token);
}

HRESULT RegistryScriptParser::ProcessValueEntry(char* token, HKEY parent, bool registering,
                                                bool recovering, bool deleteValue)
{
    HRESULT result = ReadToken(token);
    if (FAILED(result)) {
        return result;
    }
    const size_t nameLength = std::strlen(token);
    if (nameLength >= kNameFieldSize) {
        return DISP_E_EXCEPTION;
    }
    char valueName[kNameFieldSize];
    std::memcpy(valueName, token, nameLength + 1);
    result = ReadToken(token);
    if (FAILED(result)) {
        return result;
    }
    if (token[0] != '=') {
        return DISP_E_EXCEPTION;
    }
    if (registering) {
        return WriteValue(parent, valueName, token);
    }
    if (!recovering && deleteValue) {
        RegistryKey writable;
        LONG code = writable.OpenKey(parent, nullptr, KEY_WRITE);
        if (code != ERROR_SUCCESS) {
            return Win32ToHresult(code);
        }
        code = RegDeleteValueA(writable.Handle(), valueName);
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND) {
            return Win32ToHresult(code);
        }
    }
    return SkipValueClause(token);
}

HRESULT RegistryScriptParser::RegisterKeyEntry(char* token, HKEY parent, RegistryKey& current)
{
    LONG code = current.OpenKey(parent, token, KEY_READ | KEY_WRITE);
    if (code != ERROR_SUCCESS) {
        code = current.OpenKey(parent, token, KEY_READ);
    }
    if (code != ERROR_SUCCESS) {
        code = current.CreateKey(parent, token, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_READ | KEY_WRITE, nullptr);
    }
    if (code != ERROR_SUCCESS) {
        return Win32ToHresult(code);
    }
    HRESULT result = ReadToken(token);
    if (FAILED(result) || token[0] != '=') {
        return result;
    }
    return WriteValue(current.Handle(), nullptr, token);
}

HRESULT RegistryScriptParser::UnregisterKeyEntry(char* token, HKEY parent, bool recovering,
                                                 bool deleteKey, bool mayHaveBlock,
                                                 RegistryKey& current)
{
    const LONG opened =
        recovering ? ERROR_FILE_NOT_FOUND : current.OpenKey(parent, token, KEY_READ);
    const bool blockRecovering = recovering || opened != ERROR_SUCCESS;

    // The delete goes by this copy. A name cut to fit it could name a
    // different key than the one opened, so such a name is refused instead.
    size_t nameLength = std::strlen(token);
    if (nameLength >= kNameFieldSize) {
        if (opened == ERROR_SUCCESS && deleteKey) {
            return DISP_E_EXCEPTION;
        }
        nameLength = kNameFieldSize - 1;
    }
    char keyName[kNameFieldSize];
    std::memcpy(keyName, token, nameLength);
    keyName[nameLength] = '\0';

    HRESULT result = ReadToken(token);
    if (SUCCEEDED(result)) {
        result = SkipValueClause(token);
    }
    if (FAILED(result)) {
        return result;
    }
    if (!mayHaveBlock) {
        result = RefuseBlock(token);
        if (FAILED(result)) {
            return result;
        }
    }
    if (IsBlockStart(token)) {
        // A failure inside the block of a missing key is a script error too:
        // reading on from the middle of that block would misplace its entries.
        result = ProcessEntries(token, current.Handle(), false, blockRecovering);
        if (SUCCEEDED(result)) {
            result = ReadToken(token);
        }
        if (FAILED(result)) {
            return result;
        }
    }
    if (opened == ERROR_FILE_NOT_FOUND) {
        return S_OK;
    }
    if (opened != ERROR_SUCCESS) {
        return Win32ToHresult(opened);
    }
    const LONG closed = current.CloseKey();
    if (closed != ERROR_SUCCESS) {
        return Win32ToHresult(closed);
    }
    if (!deleteKey) {
        return S_OK;
    }
    return Win32ToHresult(RegDeleteKeyA(parent, keyName));
}

HRESULT RegistryScriptParser::WriteValue(HKEY key, const char* valueName, char* token)
{
    ValueKind kind = ValueKind::None;
    HRESULT result = ReadValueClause(&kind);
    if (FAILED(result)) {
        return result;
    }
    if (kind == ValueKind::None) {
        return DISP_E_EXCEPTION;
    }
    result = WriteRegistryValue(key, valueName, kind, clause_);
    if (FAILED(result)) {
        return result;
    }
    return ReadToken(token);
}
