#include "sceneapi/value_format.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#include "sceneapi/output_paths.h"
#include "sceneapi/scene_api.h"
#include "sceneapi/shader_text.h"

namespace tal {

namespace {

constexpr std::size_t kNumberText = 512;  // "%16.16f" of the largest double needs 327

void writeMatrixAsFloats(OutputPaths& out, const double* m) {
    char text[kNumberText * 2];
    std::size_t used = 0;
    for (int i = 0; i < 16; ++i) {
        const int r = std::snprintf(text + used, sizeof text - used, i == 0 ? "%g" : " %g",
                                    static_cast<double>(static_cast<float>(m[i])));
        if (r > 0) used += static_cast<std::size_t>(r);
    }
    out.plain(std::string_view(text, used));
}

void writeScalar(OutputPaths& out, int code, const void* value) {
    const auto* f = static_cast<const float*>(value);
    const auto* d = static_cast<const double*>(value);
    const auto* i = static_cast<const std::int32_t*>(value);
    switch (code) {
        case kFloat3:
            out.plainf("%g %g %g", double{f[0]}, double{f[1]}, double{f[2]});
            break;
        case kFloat4:
        case kFloat4b:
            out.plainf("%g %g %g %g", double{f[0]}, double{f[1]}, double{f[2]}, double{f[3]});
            break;
        case kFloat:
            out.plainf("%g", substituteOutOfRange(double{f[0]}));
            break;
        case kDouble:
            out.plainf("%16.16f", d[0]);
            break;
        case kDouble3:
            out.plainf("%g %g %g", d[0], d[1], d[2]);
            break;
        case kInt:
        case kInt23:
            out.plainf("%d", i[0]);
            break;
        case kBool:
            out.plain(i[0] != 0 ? "on" : "off");
            break;
        case kMatrix:
            writeMatrixAsFloats(out, d);
            break;
        case kString:
            out.quotedFlat(static_cast<const char*>(value));
            break;
        case kStringRef: {
            const char* text = *static_cast<const char* const*>(value);
            if (text != nullptr) out.quotedFlat(text);
            break;
        }
        case kFloat2:
            out.plainf("%g %g", double{f[0]}, double{f[1]});
            break;
        case kInt2:
            out.plainf("%d %d", i[0], i[1]);
            break;
        case kInt3:
            out.plainf("%d %d %d", i[0], i[1], i[2]);
            break;
        case kInt4:
            out.plainf("%d %d %d %d", i[0], i[1], i[2], i[3]);
            break;
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

// One element of a text-form numeric array.
void writeElement(PlainBatch& text, int base, const void* data, std::size_t k) {
    const auto* f = static_cast<const float*>(data);
    const auto* d = static_cast<const double*>(data);
    const auto* i = static_cast<const std::int32_t*>(data);
    switch (base) {
        case kFloat3:
            text.formatted("%g %g %g", double{f[3 * k]}, double{f[3 * k + 1]},
                           double{f[3 * k + 2]});
            break;
        case kFloat4:
            text.formatted("%g %g %g %g", double{f[4 * k]}, double{f[4 * k + 1]},
                           double{f[4 * k + 2]}, double{f[4 * k + 3]});
            break;
        case kFloat:
            text.formatted("%g", substituteOutOfRange(double{f[k]}));
            break;
        case kDouble:
            // Substituted like floats, then formatted: -1 reads -1.0000000000000000.
            text.formatted("%16.16f", substituteOutOfRange(d[k]));
            break;
        case kDouble3:
            text.formatted("%g %g %g", d[3 * k], d[3 * k + 1], d[3 * k + 2]);
            break;
        case kInt:
        case kInt23:
            text.formatted("%d", i[k]);
            break;
        case kBool:
            text.text(i[k] != 0 ? "1" : "0");
            break;
        default:
            break;
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
        for (std::size_t j = 0; j < 16; ++j) text.formatted("%g ", m[16 * k + j]);
        text.text(k + 1 < count ? ",\n" : "\n");
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
