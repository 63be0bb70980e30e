#include "tests/support/dispatch_call.h"

#include <vector>

DispatchCall::DispatchCall()
{
    VariantInit(&result_);
    exception_ = {};
}

DispatchCall::~DispatchCall()
{
    Clear();
}

void DispatchCall::Clear()
{
    VariantClear(&result_);
    SysFreeString(exception_.bstrSource);
    SysFreeString(exception_.bstrDescription);
    SysFreeString(exception_.bstrHelpFile);
    exception_ = {};
    argumentError_ = static_cast<UINT>(-1);
}

HRESULT DispatchCall::Get(IDispatch* object, DISPID member)
{
    return Invoke(object, member, DISPATCH_PROPERTYGET, {});
}

HRESULT DispatchCall::Method(IDispatch* object, DISPID member,
                             std::initializer_list<VARIANT> arguments)
{
    return Invoke(object, member, DISPATCH_METHOD, arguments);
}

HRESULT DispatchCall::Put(IDispatch* object, DISPID member, VARIANT value)
{
    return Invoke(object, member, DISPATCH_PROPERTYPUT, {value}, true);
}

HRESULT DispatchCall::Invoke(IDispatch* object, DISPID member, WORD flags,
                             std::initializer_list<VARIANT> arguments, bool namedPut)
{
    Clear();
    // IDispatch takes the arguments last to first.
    std::vector<VARIANT> reversed(arguments.begin(), arguments.end());
    std::vector<VARIANT> ordered(reversed.rbegin(), reversed.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {};
    parameters.cArgs = static_cast<UINT>(ordered.size());
    parameters.rgvarg = ordered.empty() ? nullptr : ordered.data();
    if (namedPut) {
        parameters.cNamedArgs = 1;
        parameters.rgdispidNamedArgs = &putId;
    }
    VARIANT* result = (flags & DISPATCH_PROPERTYPUT) != 0 ? nullptr : &result_;
    return object->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                          &exception_, &argumentError_);
}

VARIANT LongArgument(LONG value)
{
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = value;
    return argument;
}

VARIANT BoolArgument(VARIANT_BOOL value)
{
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BOOL;
    V_BOOL(&argument) = value;
    return argument;
}

VARIANT StringArgument(BSTR text)
{
    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_BSTR;
    V_BSTR(&argument) = text;
    return argument;
}
