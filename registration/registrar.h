#ifndef TRIVELD_REGISTRATION_REGISTRAR_H
#define TRIVELD_REGISTRATION_REGISTRAR_H

#include <windows.h>

#include "registration/replacement_map.h"

// Holds the replacements one script run receives. Lives in the scope of the
// operation that makes it; it is not reference counted.
class Registrar {
public:
    Registrar() = default;

    Registrar(const Registrar&) = delete;
    Registrar& operator=(const Registrar&) = delete;

    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object);
    virtual ULONG STDMETHODCALLTYPE AddRef();
    virtual ULONG STDMETHODCALLTYPE Release();
    virtual HRESULT STDMETHODCALLTYPE DefineReplacement(const wchar_t* name, const wchar_t* text);
    virtual HRESULT STDMETHODCALLTYPE RemoveAllReplacements();
    virtual ~Registrar();

    const ReplacementMap& Replacements() const { return map_; }

private:
    ReplacementMap map_;
};

#endif
