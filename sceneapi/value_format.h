// Typed values of the scene file: the text of each value type code of the
// scene API, numeric arrays in text form, and the binary array block.
//
// Values go out through the plain path (quoted texts through q() with depth
// 0), so they never indent except where a layout asks for an
// indentation-only write. Numbers are printf's texts in the "C" locale
// (sceneapi/number_text.h), whatever the thread's locale. A null value pointer, or an
// unknown type code, writes no value at all.
//
// Binary array block: the marker 0x01 0x02 0x03 and a kind letter ('c' float
// triples, 'f' floats, 'r' doubles, 'i' 32-bit integers), the count of values
// (not of elements) as 32-bit little-endian, then the values little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sceneapi/number_text.h"

namespace tal {

class OutputPaths;

// Largest float magnitude written as it is; a NaN or a value not strictly
// inside (-kFloatLimit, kFloatLimit) is written as -1 where substitution
// applies (float values, and the elements of double arrays).
inline constexpr double kFloatLimit = 3.4028234663852886e38;

inline double substituteOutOfRange(double v) {
    return (v > -kFloatLimit && v < kFloatLimit) ? v : -1.0;
}

// The 16 values of a matrix narrowed to float, as "%g" texts separated by
// blanks, at `out`; answers the end. At most kMatrixTextRoom bytes.
inline constexpr std::size_t kMatrixTextRoom = 16 * (kMaxGeneralText + 1);
char* writeMatrixAsFloats(char* out, const double* m);

// Writes the value of type `code` (a ValueType, with kArrayBit for arrays
// passed as ArrayValue) at `value`. With `binaryArrays`, arrays of codes 1,
// 3, 4, 6 and 23 are written as "[ ", the binary block and "] ".
void writeValue(OutputPaths& out, int code, const void* value, bool binaryArrays);

// The binary form of an array of base type code `base`: its kind letter (0
// when the type has no binary form), values per element and bytes per value.
struct BinaryLayout {
    char kind = 0;
    std::size_t perElement = 1;
    std::size_t valueSize = 4;
};
BinaryLayout binaryLayout(int base);

// The count field holds at most this many values.
inline constexpr std::size_t kMaxBinaryValues = 0xFFFFFFFFu;

// A binary array block in parts: the marker, kind and value count; then
// values (`count` of `valueSize` bytes), in as many calls as it takes.
void writeBinaryHeader(OutputPaths& out, char kind, std::uint32_t count);
void writeBinaryValues(OutputPaths& out, const void* values, std::size_t count,
                       std::size_t valueSize);

// Writes one binary array block of `count` values of `valueSize` bytes (4 or
// 8) through the raw path, in one block write on little-endian machines.
void writeBinaryArray(OutputPaths& out, char kind, const void* values, std::uint32_t count,
                      std::size_t valueSize);

}  // namespace tal
