#pragma once
// The boundary at the entry of every thread the program starts: nothing thrown
// below it may end the process (an exception leaving a thread's routine calls
// std::terminate). What is caught is traced with the place it reached, and the
// caller's fallback answer stands in for the routine's own.
#include <exception>
#include <type_traits>
#include <utility>

namespace veltrane {

// Traces "<where>: stopped by an exception: <what>".
void TraceThrownAtThreadEntry(const wchar_t* where, const char* what) noexcept;

template <class Body, class Fallback>
auto CatchAtThreadEntry(const wchar_t* where, Body&& body, Fallback&& fallback) noexcept
    -> std::invoke_result_t<Body> {
    try {
        return std::forward<Body>(body)();
    } catch (const std::exception& thrown) {
        TraceThrownAtThreadEntry(where, thrown.what());
    } catch (...) {
        TraceThrownAtThreadEntry(where, "not a standard exception");
    }
    return std::forward<Fallback>(fallback)();
}

}  // namespace veltrane
