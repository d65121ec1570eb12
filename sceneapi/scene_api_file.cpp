#include "sceneapi/scene_api_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>

#include "sceneapi/number_text.h"
#include "sceneapi/value_format.h"

namespace tal {

namespace {

std::string_view orEmpty(const char* text) { return text != nullptr ? text : ""; }

std::size_t lengthOf(int length) { return length > 0 ? static_cast<std::size_t>(length) : 0; }

// The text of one number, for the statements that hold a single one.
class NumberText {
public:
    static NumberText ofInt(int value) { return NumberText(writeInt, value); }
    static NumberText ofUnsigned(unsigned value) { return NumberText(writeUnsigned, value); }
    static NumberText ofFixed3(double value) { return NumberText(writeFixed3, value); }
    std::string_view view() const { return {text_, length_}; }

private:
    template <class Write, class T>
    NumberText(Write write, T value)
        : length_(static_cast<std::size_t>(write(text_, value) - text_)) {}

    char text_[kMaxFixed3Text];
    std::size_t length_;
};

}  // namespace

talScene_api_file::talScene_api_file(std::FILE* stream, bool binaryArrays)
    : out_(stream), binaryArrays_(binaryArrays) {
    allShaderTexts_.reserve(32);
}

talScene_api_file::~talScene_api_file() = default;

// ---- nesting helpers --------------------------------------------------------

void talScene_api_file::openNested(bool statementMode) {
    modeStack_.push(statementMode_);
    ++out_.depth;
    statementMode_ = statementMode;
}

void talScene_api_file::closeNested() {
    --out_.depth;
    out_.indented("}\n");
    statementMode_ = modeStack_.pop() != 0;
}

bool talScene_api_file::beginTopLevel(TopBlock block) {
    if (topBlock_ != TopBlock::kNone) return false;
    // A top-level block never goes into a captured shader.
    out_.capturing = false;
    statementMode_ = true;
    topBlock_ = block;
    return true;
}

void talScene_api_file::endTopLevel(TopBlock block) {
    if (topBlock_ == block) {
        --out_.depth;
        out_.indented("}\n");
    }
    statementMode_ = false;
    topBlock_ = TopBlock::kNone;
}

// ---- groups, objects and other blocks --------------------------------------

bool talScene_api_file::beginGroup(const char* name, bool placed) {
    out_.plain("\n");
    if (!placed) out_.indented("#define ");
    out_.indented("group ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    openNested(true);
    return true;
}

void talScene_api_file::endGroup() { closeNested(); }

bool talScene_api_file::beginObject(const char* name, bool placed) {
    out_.indented(placed ? "object " : "#define object ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    openNested(true);
    topBlock_ = TopBlock::kObject;
    return true;
}

void talScene_api_file::endObject() {
    statementMode_ = modeStack_.pop() != 0;
    --out_.depth;
    topBlock_ = TopBlock::kNone;
    out_.indented("}\n");
}

bool talScene_api_file::beginGeometry(const char* name) {
    out_.indented("geometry ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    openNested(false);
    return true;
}

void talScene_api_file::endGeometry() { closeNested(); }

bool talScene_api_file::beginAnimation(const char* name, const char* kind) {
    out_.indented("animation ");
    out_.quotedFlat(name);
    out_.indented(" ");
    out_.quotedFlat(kind);
    out_.plain(" {\n");
    openNested(false);
    return true;
}

void talScene_api_file::endAnimation() { closeNested(); }

bool talScene_api_file::beginLoad(const char* module) {
    out_.indented("load ");
    out_.quotedFlat(module);
    out_.plain(" {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endLoad() {
    --out_.depth;
    out_.indented("}\n");
}

bool talScene_api_file::beginOptions() {
    if (!beginTopLevel(TopBlock::kOptions)) return false;
    out_.indented("\noptions {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endOptions() { endTopLevel(TopBlock::kOptions); }

bool talScene_api_file::beginCamera(const char* name) {
    if (!beginTopLevel(TopBlock::kCamera)) return false;
    if (name == nullptr) {
        out_.indented("\ncamera {\n");
    } else {
        out_.indented("\ncamera ");
        out_.quotedFlat(name);
        out_.plain(" {\n");
    }
    ++out_.depth;
    return true;
}

bool talScene_api_file::modifyCamera(const char* name) {
    out_.indented("#modify ");
    return talScene_api_file::beginCamera(name);
}

void talScene_api_file::endCamera() { endTopLevel(TopBlock::kCamera); }

bool talScene_api_file::beginImage() {
    if (!beginTopLevel(TopBlock::kImage)) return false;
    out_.indented("\nimage {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endImage() { endTopLevel(TopBlock::kImage); }

bool talScene_api_file::beginOutput(const char* a, const char* b, const char* c) {
    out_.indented("output ");
    out_.quotedFlat(a);
    out_.plain(" ");
    out_.quotedFlat(b);
    out_.plain(" ");
    out_.quotedFlat(c);
    out_.plain(" {\n");
    statementMode_ = false;
    ++out_.depth;
    return true;
}

void talScene_api_file::endOutput() {
    --out_.depth;
    out_.indented("}\n");
    statementMode_ = true;
}

bool talScene_api_file::beginLight(const char* name) {
    out_.plain("\n");
    out_.indented("light ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endLight() { endLoad(); }

bool talScene_api_file::beginAccel(const char* name) {
    out_.indented("\naccel ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    openNested(false);
    return true;
}

void talScene_api_file::endAccel() { closeNested(); }

bool talScene_api_file::beginMatrix(const char* name) {
    out_.indented("#define matrix ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endMatrix() { endLoad(); }

bool talScene_api_file::beginMaterial(const char* name, bool placed) {
    if (!placed) out_.indented("\n#define ");
    out_.indented("material ");
    out_.quotedFlat(name);
    out_.plain(" {\n");
    ++out_.depth;
    return true;
}

bool talScene_api_file::useMaterial(const char* name) {
    out_.indented("material ");
    out_.quotedFlat(name);
    out_.plain("\n");
    return true;
}

void talScene_api_file::endMaterial() { endLoad(); }

// ---- transforms ---------------------------------------------------------------

void talScene_api_file::writeMatrix(const char* keyword, const double* m) {
    if (m == nullptr) return;
    char text[kMatrixTextRoom + 1];
    char* end = writeMatrixAsFloats(text, m);
    *end++ = '\n';
    out_.indented({keyword, std::string_view(text, static_cast<std::size_t>(end - text))});
}

void talScene_api_file::transform(const double* m) { writeMatrix("transform ", m); }

void talScene_api_file::setTransform(const double* m) { writeMatrix("set transform ", m); }

void talScene_api_file::writeTriple(std::string_view keyword, const double* x, const double* y,
                                    const double* z) {
    if (x == nullptr || y == nullptr || z == nullptr) return;
    char text[3 * (kMaxGeneralText + 1)];
    char* end = text;
    for (const double* v : {x, y, z}) {
        *end++ = ' ';
        end = writeGeneral(end, *v);
    }
    *end++ = '\n';
    out_.indented({keyword, std::string_view(text, static_cast<std::size_t>(end - text))});
}

void talScene_api_file::scale(const double* x, const double* y, const double* z) {
    writeTriple("scale", x, y, z);
}

void talScene_api_file::rotate(const double* x, const double* y, const double* z) {
    writeTriple("rotate", x, y, z);
}

void talScene_api_file::translate(const double* x, const double* y, const double* z) {
    writeTriple("translate", x, y, z);
}

// ---- shaders ------------------------------------------------------------------

void talScene_api_file::pushShaderState() {
    captureStack_.push(out_.capturing ? 1 : 0);
    shaderTextStack_.push(out_.current);
    modeStack_.push(statementMode_ ? 1 : 0);
    statementMode_ = false;
}

bool talScene_api_file::beginShaderWithId(const char* type, int shaderId) {
    pushShaderState();
    out_.capturing = false;
    char number[16];
    const auto end = std::to_chars(number, number + sizeof number, shaderId).ptr;
    out_.indented({"#define shader ",
                   std::string_view(number, static_cast<std::size_t>(end - number)), " ",
                   orEmpty(type), " {\n"});
    ++out_.depth;
    return true;
}

bool talScene_api_file::beginShader(const char* name, const char* type) {
    pushShaderState();
    if (name != nullptr) {
        out_.capturing = false;
        out_.indented("#define shader ");
        out_.quotedFlat(name);
        out_.plain(" ");
        out_.quotedFlat(type);
        out_.plain(" {\n");
        ++out_.depth;
        return true;
    }
    // Anonymous: captured into a new shader text, from depth 0.
    if (allShaderTexts_.size() == allShaderTexts_.capacity()) {
        allShaderTexts_.reserve(2 * allShaderTexts_.capacity() + 32);
    }
    allShaderTexts_.push_back(std::make_unique<ShaderText>());
    out_.current = allShaderTexts_.back().get();
    out_.capturing = true;
    savedDepths_.push(out_.depth);
    out_.depth = 0;
    out_.quotedFlat(type);
    out_.plain(" {\n");
    ++out_.depth;
    return true;
}

void talScene_api_file::endShader() {
    --out_.depth;
    if (out_.capturing) {
        out_.indented("}");
        out_.depth = savedDepths_.pop();
    } else {
        out_.indented("}\n");
    }
    statementMode_ = modeStack_.pop() != 0;
    shaderTextStack_.pop();  // dropped; a captured text stays current
    out_.capturing = captureStack_.pop() != 0;
}

const ShaderText* talScene_api_file::currentShaderText() { return out_.current; }

void talScene_api_file::pushShaderText() { shaderTextStack_.push(out_.current); }

void talScene_api_file::popShaderText() { out_.current = shaderTextStack_.pop(); }

void talScene_api_file::writeRoleWord(int kind, bool trailingBlank) {
    static constexpr std::string_view kRoles[] = {"surface", "shadow", "volume", "reflection map"};
    if (kind < kSurface || kind > kReflectionMap) {
        out_.indented("// assuming surface shader\n");
        kind = kSurface;
    }
    out_.indented({kRoles[kind], trailingBlank ? " " : ""});
}

void talScene_api_file::useShader(int kind, int shaderId) {
    writeRoleWord(kind, false);
    out_.plain(" ");
    out_.plain(NumberText::ofInt(shaderId).view());
    out_.plain("\n");
}

void talScene_api_file::useShaderText(int kind, const ShaderText* text) {
    if (text == nullptr) return;
    writeRoleWord(kind, true);
    out_.shaderText(text);
    out_.indented("\n");
}

bool talScene_api_file::linkShader(const char* name, int shaderId) {
    out_.quoted(name);
    out_.plain(" ! ");
    out_.plain(NumberText::ofInt(shaderId).view());
    out_.plain(",\n");
    return true;
}

bool talScene_api_file::linkShaderText(const char* name, const ShaderText* text) {
    out_.quoted(name);
    out_.plain(" ! ");
    out_.shaderText(text);
    out_.indented(",\n");
    return true;
}

// ---- parameters and arrays ------------------------------------------------------

void talScene_api_file::parameterName(const char* name) {
    if (statementMode_) {
        out_.indented({orEmpty(name), " "});
    } else {
        out_.quoted(name);
        out_.plain(" ");
    }
}

bool talScene_api_file::setParameter(const char* name, int type, const void* value) {
    parameterName(name);
    writeValue(out_, type, value, binaryArrays_);
    out_.plain(statementMode_ ? "\n" : ",\n");
    return true;
}

bool talScene_api_file::setArrayParameter(const char* name, int type, std::size_t count,
                                          ArraySource& source) {
    // Pieces go straight into the output block where the values need no
    // reordering; elsewhere, and where the block has too little room left for
    // a useful piece, through a piece of their own (a small one that only
    // tops up the block, or a large one when there is no block).
    constexpr std::size_t kPieceBytes = std::size_t{256} << 10;
    constexpr std::size_t kTopUpBytes = std::size_t{16} << 10;
    constexpr bool kFileOrderIsNative = std::endian::native == std::endian::little;
    const BinaryLayout layout = binaryLayout(type);
    // 32-bit values only; counts setParameter could not take (ArrayValue
    // holds 32 bits) are refused.
    if (!binaryArrays_ || layout.kind == 0 || layout.valueSize != 4 ||
        count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return false;
    const std::size_t elementBytes = layout.perElement * layout.valueSize;
    // As for a whole array: a value count beyond the count field is cut.
    const std::size_t values = std::min<std::size_t>(count * layout.perElement, kMaxBinaryValues);
    std::size_t left = values / layout.perElement;

    parameterName(name);
    out_.plain("[ ");
    writeBinaryHeader(out_, layout.kind, static_cast<std::uint32_t>(values));
    bool dry = false;
    while (left > 0) {
        const std::span<char> room = kFileOrderIsNative ? out_.space() : std::span<char>();
        const bool inPlace = room.size() >= kTopUpBytes;
        if (!inPlace && !piece_)
            piece_ = std::make_unique_for_overwrite<unsigned char[]>(kPieceBytes);
        auto* at = inPlace ? reinterpret_cast<unsigned char*>(room.data()) : piece_.get();
        const std::size_t bytes = inPlace ? room.size() : room.empty() ? kPieceBytes : kTopUpBytes;
        const std::size_t want = std::min(left, bytes / elementBytes);
        std::size_t got =
            dry ? 0 : std::min(source.next(ArrayRoom(at, want, layout.perElement)), want);
        if (got == 0) {
            dry = true;
            got = want;
            std::memset(at, 0, got * elementBytes);
        }
        if (inPlace) {
            out_.commit(got * elementBytes);
        } else {
            writeBinaryValues(out_, at, got * layout.perElement, layout.valueSize);
        }
        left -= got;
    }
    out_.plain("] ");
    out_.plain(statementMode_ ? "\n" : ",\n");
    return true;
}

bool talScene_api_file::beginArray(const char* name) {
    array_.begin(out_, name);
    return true;
}

void talScene_api_file::endArray() { array_.end(out_, binaryArrays_); }

void talScene_api_file::addArrayElement(int type, const void* value) {
    array_.add(out_, type, value, binaryArrays_);
}

// ---- everything else --------------------------------------------------------------

void talScene_api_file::attribute(const char* name, const char* value) {
    out_.indented("attribute ");
    out_.quotedFlat(name);
    out_.plain(" ");
    out_.quotedFlat(value);
    out_.plain("\n");
}

void talScene_api_file::rawText(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    out_.vindentedf(format, args);
    va_end(args);
}

void talScene_api_file::setFormatFlags(int flags) {
    out_.formatFlags = flags;
    binaryArrays_ = (flags & 1) != 0;  // the lowest bit mirrors binaryArrays
}

void talScene_api_file::version(int version) {
    out_.indented({"version ", NumberText::ofInt(version == -1 ? 8 : version).view(), "\n\n"});
}

void talScene_api_file::progress(const char* text, float fraction) {
    out_.indented("progress ");
    out_.quotedFlat(text);
    out_.plain(" ");
    out_.plain(NumberText::ofFixed3(static_cast<double>(fraction)).view());
    out_.plain("\n\n");
}

void talScene_api_file::icon(const unsigned char* bytes, int length) {
    out_.indented("icon ");
    out_.hexBlob(bytes, lengthOf(length));
    out_.indented("\n");
}

void talScene_api_file::binaryParameter(const char* keyword, const unsigned char* bytes,
                                        int length) {
    out_.indented({orEmpty(keyword), " "});
    out_.hexBlob(bytes, lengthOf(length));
    out_.indented("\n");
}

void talScene_api_file::id(unsigned int id) {
    out_.indented({"id ", NumberText::ofUnsigned(id).view(), "\n"});
}

void talScene_api_file::flags(unsigned int flags) {
    out_.indented({"flags ", NumberText::ofUnsigned(flags).view(), "\n"});
}

bool talScene_api_file::render() {
    out_.indented("\nrender\n");
    return true;
}

// The text goes out unchanged: neither quoted nor escaped.
void talScene_api_file::print(const char* text) {
    out_.indented("#print \"");
    out_.indented(orEmpty(text));
    out_.plain("\"\n");
}

void talScene_api_file::error(const char* text) {
    out_.indented("#error \"");
    out_.indented(orEmpty(text));
    out_.plain("\"\n");
}

}  // namespace tal
