#pragma once
// A 128-bit identifier in the platform's field layout (Data1-Data2-Data3-Data4), so that values
// stored in files and format blocks keep their byte order. Constants are built at compile time
// from the usual "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" text.

#include <QString>
#include <compare>
#include <cstdint>
#include <functional>

namespace vistrel::platform::media {

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};

  constexpr bool isNull() const {
    if (Data1 || Data2 || Data3) return false;
    for (uint8_t b : Data4)
      if (b) return false;
    return true;
  }
  friend constexpr bool operator==(const GUID&, const GUID&) = default;
  friend constexpr auto operator<=>(const GUID&, const GUID&) = default;

  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
  QString toString() const;
  // Accepts the braced or bare form, any case; nullopt-like: returns false on bad text.
  static bool fromString(const QString& text, GUID& out);
};

namespace detail {
constexpr uint32_t hexDigit(char c) {
  return (c >= '0' && c <= '9')   ? uint32_t(c - '0')
         : (c >= 'a' && c <= 'f') ? uint32_t(c - 'a' + 10)
         : (c >= 'A' && c <= 'F') ? uint32_t(c - 'A' + 10)
                                  : throw "bad hex digit in GUID literal";
}
constexpr uint32_t hexRun(const char* s, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v * 16 + hexDigit(s[i]);
  return v;
}
}  // namespace detail

// makeGuid("{73646976-0000-0010-8000-00AA00389B71}"); evaluated at compile time for constants.
template <size_t N>
consteval GUID makeGuid(const char (&t)[N]) {
  static_assert(N == 39, "GUID literal must be {8-4-4-4-12}");
  const char* s = t + 1;
  GUID g{};
  g.Data1 = detail::hexRun(s, 8);
  g.Data2 = static_cast<uint16_t>(detail::hexRun(s + 9, 4));
  g.Data3 = static_cast<uint16_t>(detail::hexRun(s + 14, 4));
  g.Data4[0] = static_cast<uint8_t>(detail::hexRun(s + 19, 2));
  g.Data4[1] = static_cast<uint8_t>(detail::hexRun(s + 21, 2));
  for (int i = 0; i < 6; ++i) g.Data4[2 + i] = static_cast<uint8_t>(detail::hexRun(s + 24 + 2 * i, 2));
  return g;
}

// The "{xxxxxxxx-0000-0010-8000-00AA00389B71}" family: FOURCC and wave-format-tag subtypes.
constexpr GUID fourccGuid(uint32_t fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr uint32_t makeFourcc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
         uint32_t(uint8_t(d)) << 24;
}

constexpr GUID GUID_NULL{};

}  // namespace vistrel::platform::media

template <>
struct std::hash<vistrel::platform::media::GUID> {
  size_t operator()(const vistrel::platform::media::GUID& g) const noexcept {
    uint64_t a = g.Data1 | uint64_t(g.Data2) << 32 | uint64_t(g.Data3) << 48;
    uint64_t b = 0;
    for (int i = 0; i < 8; ++i) b = b << 8 | g.Data4[i];
    return std::hash<uint64_t>()(a ^ (b * 0x9E3779B97F4A7C15ull));
  }
};
