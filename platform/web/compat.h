// Included ahead of every source of the web build (and only there): the three C++20 library
// pieces the show uses that emscripten's libc++ does not have yet, written on what it does have,
// so the shared sources compile unchanged.
#pragma once
#ifdef __cplusplus
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

namespace std {

#if !defined(__cpp_lib_bit_cast)
template <class To, class From>
    requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
#endif

#if !defined(__cpp_lib_smart_ptr_for_overwrite)
template <class T>
    requires is_unbounded_array_v<T>
unique_ptr<T> make_unique_for_overwrite(size_t count) {
    return unique_ptr<T>(new remove_extent_t<T>[count]);
}
#endif

// Fixed notation with a precision, the one floating-point form the show prints. snprintf in this
// C library always writes a decimal point.
inline to_chars_result to_chars(char* first, char* last, double value, chars_format format, int precision) {
    char text[400];
    const char* pattern = format == chars_format::fixed ? "%.*f" : "%.*g";
    int length = std::snprintf(text, sizeof text, pattern, precision, value);
    if (length < 0 || length > last - first) return {last, errc::value_too_large};
    std::memcpy(first, text, size_t(length));
    return {first + length, errc()};
}

} // namespace std
#endif
