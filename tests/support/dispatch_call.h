#ifndef TRIVELD_TESTS_DISPATCH_CALL_H
#define TRIVELD_TESTS_DISPATCH_CALL_H

#include <windows.h>

#include <oleauto.h>

#include <initializer_list>
#include <string>

// One IDispatch::Invoke as a script engine makes it: arguments given in
// call order, a property put passed as the named argument DISPID_PROPERTYPUT.
class DispatchCall {
public:
    DispatchCall();
    ~DispatchCall();

    DispatchCall(const DispatchCall&) = delete;
    DispatchCall& operator=(const DispatchCall&) = delete;

    HRESULT Get(IDispatch* object, DISPID member);
    HRESULT Method(IDispatch* object, DISPID member, std::initializer_list<VARIANT> arguments = {});
    HRESULT Put(IDispatch* object, DISPID member, VARIANT value);
    HRESULT Invoke(IDispatch* object, DISPID member, WORD flags,
                   std::initializer_list<VARIANT> arguments, bool namedPut = false);

    const VARIANT& Result() const { return result_; }
    const EXCEPINFO& Exception() const { return exception_; }
    UINT ArgumentError() const { return argumentError_; }

private:
    void Clear();

    VARIANT result_;
    EXCEPINFO exception_;
    UINT argumentError_ = 0;
};

VARIANT LongArgument(LONG value);
VARIANT BoolArgument(VARIANT_BOOL value);
// The caller's variant owns no string: the text must outlive the call.
VARIANT StringArgument(BSTR text);

#endif
