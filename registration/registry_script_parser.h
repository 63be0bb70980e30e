#ifndef TRIVELD_REGISTRATION_REGISTRY_SCRIPT_PARSER_H
#define TRIVELD_REGISTRATION_REGISTRY_SCRIPT_PARSER_H

#include <windows.h>

#include <cstddef>

#include "registration/script_vocabulary.h"

class Registrar;
class RegistryKey;

// Bytes of every token field; a token holds at most kTokenSize - 2 bytes.
constexpr size_t kTokenSize = 4096;
// Bytes of the value-name and key-name fields, terminator included.
constexpr size_t kNameFieldSize = 260;
// Block levels one script may open, its root block included. Every level
// costs stack; a deeper script fails with DISP_E_EXCEPTION. No registry
// layout a component registers comes near this depth.
constexpr int kMaxBlockDepth = 64;

// Interprets one registration script: register mode creates the keys and
// writes the values it names, unregister mode removes them again except what
// "NoRemove" keeps. One instance per script run.
class RegistryScriptParser {
public:
    // The registrar supplies the placeholder texts; borrowed, may be null.
    explicit RegistryScriptParser(const Registrar* registrar) : registrar_(registrar) {}

    RegistryScriptParser(const RegistryScriptParser&) = delete;
    RegistryScriptParser& operator=(const RegistryScriptParser&) = delete;

    // Expands the placeholders, then interprets every root block. In register
    // mode a failing root block is run again in unregister mode from its start.
    HRESULT RunScript(const char* script, bool registering);

private:
    HRESULT ReadToken(char* token);
    void SkipBlanks();
    // The type token and the value text after an "=", both into clause_ (the
    // text last); `kind` is None for a type not in the table.
    HRESULT ReadValueClause(ValueKind* kind);
    // Reads past a value clause unexamined when `token` opens one.
    HRESULT SkipValueClause(char* token);
    HRESULT ProcessEntries(char* token, HKEY parent, bool registering, bool recovering);
    HRESULT ProcessEntry(char* token, HKEY parent, bool registering, bool recovering,
                         RegistryKey& current);
    HRESULT ProcessValueEntry(char* token, HKEY parent, bool registering, bool recovering,
                              bool deleteValue);
    HRESULT RegisterKeyEntry(char* token, HKEY parent, RegistryKey& current);
    // Register mode's "Delete" entry, its name in `token`: the entry is read
    // to its end (a block after it is refused) before the key is removed, and
    // `token` is left holding the token after it.
    HRESULT DeleteKeyEntry(char* token, HKEY parent);
    // `deleteKey` is false after "NoRemove". `mayHaveBlock` is false for a
    // "Delete" entry: it names a key to remove, so a block after it is
    // refused, as in register mode.
    HRESULT UnregisterKeyEntry(char* token, HKEY parent, bool recovering, bool deleteKey,
                               bool mayHaveBlock, RegistryKey& current);
    HRESULT EnterBlock(char* token, HKEY key);
    HRESULT WriteValue(HKEY key, const char* valueName, char* token);

    const Registrar* registrar_;
    const char* cursor_ = nullptr;
    int depth_ = 0;
    // The type and text of a value clause, or the rest of a "Delete" entry;
    // never needed by two levels at once.
    char clause_[kTokenSize];
};

#endif
