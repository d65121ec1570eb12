// Number texts of the scene file: every number the writer writes goes
// through these, and each writes exactly the bytes that the C locale's printf
// writes for its conversion, whatever the process locale.
//
//   writeGeneral      "%g"     (six significant digits, trailing zeros gone)
//   writeFixed16      "%16.16f"
//   writeFixed3       "%.3f"
//   writeInt          "%d"
//   writeUnsigned     "%u"
//
// Each writes at `out` and answers the end of its text (no NUL is written).
// `out` must have room for the largest text of the conversion (the kMax...
// constants below). Infinities and NaNs are spelt as printf spells them:
// "inf", "-inf", "nan", "-nan" (the sign bit decides), padded to the field
// width where the conversion has one.
//
// Cost. writeGeneral decides the six digits with one correctly rounded
// multiplication or division by an exact power of ten and takes the exact
// (slow) conversion only where that cannot decide the rounding: about one
// value in a hundred million near a decimal tie, subnormals, and magnitudes
// outside 1e-17 .. 1e27.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tal {

// "-d.ddddde-ddd".
inline constexpr std::size_t kMaxGeneralText = 13;
// A sign, the 309 integer digits of the largest double, the point and 16 digits.
inline constexpr std::size_t kMaxFixed16Text = 327;
inline constexpr std::size_t kMaxFixed3Text = 314;
inline constexpr std::size_t kMaxIntText = 11;  // "-2147483648"

char* writeGeneral(char* out, double value);
char* writeFixed16(char* out, double value);
char* writeFixed3(char* out, double value);
char* writeInt(char* out, std::int32_t value);
char* writeUnsigned(char* out, std::uint32_t value);

}  // namespace tal
