// What the web toolchain's C++ library (libc++ 13, frozen with Debian's compiler) lacks of
// C++20 and the sources use; included before every source of the web build.
#pragma once

#include <bit>
#include <cstring>
#include <type_traits>

#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> && is_trivially_copyable_v<From>) constexpr To
    bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
