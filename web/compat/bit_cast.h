// Forced into every C++ file of the browser build. Debian's emscripten ships
// libc++ 13, which lacks C++20's std::bit_cast (libc++ 14 has it); the game
// uses it to read and write float bits exactly. clang's builtin does the same
// thing and is constexpr, so the shim changes no result.
#pragma once

#include <bit>

#if defined(_LIBCPP_VERSION) && _LIBCPP_VERSION < 14000 && !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
  requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>)
constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
