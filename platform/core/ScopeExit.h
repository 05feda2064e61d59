#pragma once
// Runs a callable when the scope ends, however it ends (a try/finally). While another
// exception is already on its way out, an exception of the callable is dropped so that the
// first one arrives; otherwise it propagates. Flags that are set for a scope use
// QScopedValueRollback instead.

#include <exception>
#include <utility>

template <typename F>
class TScopeExit {
public:
    explicit TScopeExit(F fn) : FFn(std::move(fn)), FUnwinding(std::uncaught_exceptions()) {}
    ~TScopeExit() noexcept(false)
    {
        if (std::uncaught_exceptions() <= FUnwinding) {
            FFn();
            return;
        }
        try {
            FFn();
        } catch (...) {
        }
    }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FFn;
    int FUnwinding;
};
