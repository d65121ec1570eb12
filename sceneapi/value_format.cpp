#include "sceneapi/value_format.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "sceneapi/number_text.h"
#include "sceneapi/output_paths.h"
#include "sceneapi/scene_api.h"
#include "sceneapi/shader_text.h"

namespace tal {

namespace {

// Room for the text of any scalar or array element: "%16.16f" of the
// largest double needs 327 bytes, a matrix 16 "%g" texts and blanks.
constexpr std::size_t kNumberText = 512;
static_assert(kNumberText >= kMaxFixed16Text && kNumberText >= kMatrixTextRoom);

// `count` values as "%g" texts separated by blanks.
template <class T>
char* generals(char* out, const T* values, int count) {
    for (int k = 0; k < count; ++k) {
        if (k > 0) *out++ = ' ';
        out = writeGeneral(out, static_cast<double>(values[k]));
    }
    return out;
}

// `count` values as "%d" texts separated by blanks.
char* ints(char* out, const std::int32_t* values, int count) {
    for (int k = 0; k < count; ++k) {
        if (k > 0) *out++ = ' ';
        out = writeInt(out, values[k]);
    }
    return out;
}

// The text of a numeric scalar of type `code`; null for other codes.
char* scalarNumbers(char* out, int code, const void* value) {
    const auto* f = static_cast<const float*>(value);
    const auto* d = static_cast<const double*>(value);
    const auto* i = static_cast<const std::int32_t*>(value);
    switch (code) {
        case kFloat2:
            return generals(out, f, 2);
        case kFloat3:
            return generals(out, f, 3);
        case kFloat4:
        case kFloat4b:
            return generals(out, f, 4);
        case kFloat:
            return writeGeneral(out, substituteOutOfRange(double{f[0]}));
        case kDouble:
            return writeFixed16(out, d[0]);
        case kDouble3:
            return generals(out, d, 3);
        case kInt:
        case kInt23:
            return ints(out, i, 1);
        case kInt2:
            return ints(out, i, 2);
        case kInt3:
            return ints(out, i, 3);
        case kInt4:
            return ints(out, i, 4);
        case kMatrix:
            return writeMatrixAsFloats(out, d);
        default:
            return nullptr;
    }
}

void writeScalar(OutputPaths& out, int code, const void* value) {
    char number[kNumberText];
    if (const char* end = scalarNumbers(number, code, value)) {
        out.plain(std::string_view(number, static_cast<std::size_t>(end - number)));
        return;
    }
    switch (code) {
        case kBool:
            out.plain(*static_cast<const std::int32_t*>(value) != 0 ? "on" : "off");
            break;
        case kString:
            out.quotedFlat(static_cast<const char*>(value));
            break;
        case kStringRef: {
            const char* text = *static_cast<const char* const*>(value);
            if (text != nullptr) out.quotedFlat(text);
            break;
        }
        case kShaderText: {
            // Written at depth 2, whatever the block depth.
            const int saved = out.depth;
            out.depth = 2;
            out.shaderText(*static_cast<const ShaderText* const*>(value));
            out.depth = saved;
            break;
        }
        default:
            break;
    }
}

// The text of element `k` of a text-form numeric array; null for other codes.
char* elementNumbers(char* out, int base, const void* data, std::size_t k) {
    const auto* f = static_cast<const float*>(data);
    const auto* d = static_cast<const double*>(data);
    const auto* i = static_cast<const std::int32_t*>(data);
    switch (base) {
        case kFloat3:
            return generals(out, f + 3 * k, 3);
        case kFloat4:
            return generals(out, f + 4 * k, 4);
        case kFloat:
            return writeGeneral(out, substituteOutOfRange(double{f[k]}));
        case kDouble:
            // Substituted like floats, then formatted: -1 reads -1.0000000000000000.
            return writeFixed16(out, substituteOutOfRange(d[k]));
        case kDouble3:
            return generals(out, d + 3 * k, 3);
        case kInt:
        case kInt23:
            return writeInt(out, i[k]);
        case kBool:
            *out = i[k] != 0 ? '1' : '0';
            return out + 1;
        default:
            return nullptr;
    }
}

// One element of a text-form numeric array.
void writeElement(PlainBatch& text, int base, const void* data, std::size_t k) {
    char number[kNumberText];
    if (const char* end = elementNumbers(number, base, data, k)) {
        text.text(std::string_view(number, static_cast<std::size_t>(end - number)));
    }
}

// Nine elements on the first line, eight on every further one.
void writeNumericArray(OutputPaths& out, int base, const void* data, std::size_t count) {
    PlainBatch text(out);
    text.text("[ ");
    for (std::size_t k = 0; k < count; ++k) {
        writeElement(text, base, data, k);
        text.text(k + 1 < count ? "," : " ");
        if (k >= 1 && k % 8 == 0) {
            text.text("\n");
            text.indentOnly();
        }
    }
    text.text("] ");
}

// One matrix per line, its doubles written as they are.
void writeMatrixArray(OutputPaths& out, const double* m, std::size_t count) {
    PlainBatch text(out);
    text.text("[ ");
    for (std::size_t k = 0; k < count; ++k) {
        text.indentOnly();
        char line[16 * (kMaxGeneralText + 1) + 2];
        char* end = line;
        for (std::size_t j = 0; j < 16; ++j) {
            end = writeGeneral(end, m[16 * k + j]);
            *end++ = ' ';
        }
        if (k + 1 < count) *end++ = ',';
        *end++ = '\n';
        text.text(std::string_view(line, static_cast<std::size_t>(end - line)));
    }
    text.text("] ");
}

// One text per line.
void writeTextArray(OutputPaths& out, const char* const* texts, std::size_t count) {
    out.plain("[ ");
    for (std::size_t k = 0; k < count; ++k) {
        out.quotedFlat(texts[k]);
        out.plain(k + 1 < count ? "," : " ");
        if (k >= 1 && k % 8 == 0) out.indentOnly();
        out.plain("\n");
    }
    out.plain("] ");
}

void writeArray(OutputPaths& out, int base, const ArrayValue& array, bool binaryArrays) {
    const std::size_t count =
        (array.data == nullptr || array.count < 0) ? 0 : static_cast<std::size_t>(array.count);
    if (binaryArrays) {
        const BinaryLayout layout = binaryLayout(base);
        if (layout.kind != 0) {
            // The count field holds values, not elements; an array whose value
            // count would not fit it is cut to what does.
            const std::size_t values =
                std::min<std::size_t>(count * layout.perElement, kMaxBinaryValues);
            out.plain("[ ");
            writeBinaryArray(out, layout.kind, array.data, static_cast<std::uint32_t>(values),
                             layout.valueSize);
            out.plain("] ");
            return;
        }
    }
    switch (base) {
        case kFloat3:
        case kFloat4:
        case kFloat:
        case kDouble:
        case kDouble3:
        case kInt:
        case kInt23:
        case kBool:
            writeNumericArray(out, base, array.data, count);
            break;
        case kMatrix:
            writeMatrixArray(out, static_cast<const double*>(array.data), count);
            break;
        case kString:
        case kStringRef:
            writeTextArray(out, static_cast<const char* const*>(array.data), count);
            break;
        default:
            break;  // no array form: nothing at all
    }
}

}  // namespace

char* writeMatrixAsFloats(char* out, const double* m) {
    for (int i = 0; i < 16; ++i) {
        if (i > 0) *out++ = ' ';
        out = writeGeneral(out, static_cast<double>(static_cast<float>(m[i])));
    }
    return out;
}

void writeValue(OutputPaths& out, int code, const void* value, bool binaryArrays) {
    if (value == nullptr) return;
    if ((code & ~0x7FFF) == kArrayBit) {
        writeArray(out, code & 0x7FFF, *static_cast<const ArrayValue*>(value), binaryArrays);
    } else {
        writeScalar(out, code, value);
    }
}

BinaryLayout binaryLayout(int base) {
    switch (base) {
        case kFloat3:
            return {'c', 3, 4};
        case kFloat:
            return {'f', 1, 4};
        case kDouble:
            return {'r', 1, 8};
        case kInt:
        case kInt23:
            return {'i', 1, 4};
        default:
            return {};
    }
}

void writeBinaryHeader(OutputPaths& out, char kind, std::uint32_t count) {
    const unsigned char head[8] = {0x01,
                                   0x02,
                                   0x03,
                                   static_cast<unsigned char>(kind),
                                   static_cast<unsigned char>(count),
                                   static_cast<unsigned char>(count >> 8),
                                   static_cast<unsigned char>(count >> 16),
                                   static_cast<unsigned char>(count >> 24)};
    out.raw(head, sizeof head);
}

void writeBinaryValues(OutputPaths& out, const void* values, std::size_t count,
                       std::size_t valueSize) {
    if (values == nullptr || count == 0) return;
    const auto* bytes = static_cast<const unsigned char*>(values);
    const std::size_t total = count * valueSize;
    if constexpr (std::endian::native == std::endian::little) {
        out.raw(bytes, total);
    } else {
        // Values reversed into little-endian order, a piece at a time.
        unsigned char piece[4096];
        for (std::size_t start = 0; start < total; start += sizeof piece) {
            const std::size_t n = std::min(sizeof piece, total - start);
            for (std::size_t v = 0; v < n; v += valueSize) {
                for (std::size_t b = 0; b < valueSize; ++b) {
                    piece[v + b] = bytes[start + v + valueSize - 1 - b];
                }
            }
            out.raw(piece, n);
        }
    }
}

void writeBinaryArray(OutputPaths& out, char kind, const void* values, std::uint32_t count,
                      std::size_t valueSize) {
    writeBinaryHeader(out, kind, count);
    writeBinaryValues(out, values, count, valueSize);
}

}  // namespace tal
