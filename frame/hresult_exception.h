#ifndef TRIVELD_FRAME_HRESULT_EXCEPTION_H
#define TRIVELD_FRAME_HRESULT_EXCEPTION_H

#include <windows.h>

// Carries a failing HRESULT out of a frame constructor to its creator.
class CHResultException {
public:
    explicit CHResultException(HRESULT result) : result_(result) {}
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

[[noreturn]] inline void ThrowHResult(HRESULT result)
{
    throw CHResultException(result);
}

#endif
