// Just enough of a test framework for the 32-bit build, which has no gtest:
// each case registers itself under the name of its file, which is the group
// that ctest runs; a failed check prints where and what, and the case goes on.
#pragma once

#include <cstdint>
#include <iostream>
#include <source_location>
#include <string_view>

namespace m32
{

using case_function = void (*)();

// Files register their cases through M32_CASE; returns nothing of use.
bool add_case(std::string_view file, std::string_view name, case_function run);

// Counts a failure of the case now running.
void failed(const std::source_location &where);

template <typename A, typename B>
bool check_eq(const A &actual, const B &wanted, std::string_view what,
              const std::source_location &where = std::source_location::current())
{
    if (actual == wanted)
        return true;
    failed(where);
    std::cout << "    " << what << " is " << actual << ", expected " << wanted << "\n";
    return false;
}

inline bool check(bool ok, std::string_view what, const std::source_location &where = std::source_location::current())
{
    if (!ok)
    {
        failed(where);
        std::cout << "    " << what << " does not hold\n";
    }
    return ok;
}

} // namespace m32

#define M32_CASE(name)                                                                                                 \
    static void name();                                                                                                \
    [[maybe_unused]] static const bool name##_added = m32::add_case(__FILE__, #name, name);                            \
    static void name()

#define CHECK(condition) m32::check((condition), #condition)
#define CHECK_EQ(actual, wanted) m32::check_eq((actual), (wanted), #actual)
