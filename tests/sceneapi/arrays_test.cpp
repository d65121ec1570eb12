// Arrays: text layouts and line breaks, the binary block (byte layout and
// round trips), and array statements in both forms.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

#include "sceneapi/array_parameters.h"
#include "test_support.h"

namespace tal::test {
namespace {

template <class T>
std::string arrayText(int base, const std::vector<T>& values, std::int32_t count,
                      bool binary = false) {
    MemoryScene scene(binary);
    const ArrayValue array{values.data(), count};
    scene.api.setParameter("a", base | kArrayBit, &array);
    const std::string text = scene.text();
    return text.substr(4, text.size() - 6);  // between "a"  and ,\n
}

template <class T>
std::string arrayText(int base, const std::vector<T>& values, bool binary = false) {
    return arrayText(base, values, static_cast<std::int32_t>(values.size()), binary);
}

std::string block(char kind, std::uint32_t count, const void* values, std::size_t bytes) {
    std::string b = {'\x01', '\x02', '\x03', kind};
    for (int i = 0; i < 4; ++i) b += static_cast<char>((count >> (8 * i)) & 0xFF);
    return b + std::string(static_cast<const char*>(values), bytes);
}

// Reads "[ <block>] " back into values of type T, checking kind and count.
template <class T>
std::vector<T> readBack(const std::string& text, char kind) {
    EXPECT_EQ(text.substr(0, 6), std::string("[ \x01\x02\x03") + kind);
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i)
        count |= std::uint32_t{static_cast<unsigned char>(text[6 + i])} << (8 * i);
    EXPECT_EQ(text.size(), 10 + count * sizeof(T) + 2);
    EXPECT_EQ(text.substr(text.size() - 2), "] ");
    std::vector<T> values(count);
    if (count > 0) std::memcpy(values.data(), text.data() + 10, count * sizeof(T));
    return values;
}

TEST(TextArrays, NineElementsOnTheFirstLineEightOnTheNext) {
    EXPECT_EQ(arrayText(kFloat, std::vector<float>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}),
              "[ 0,1,2,3,4,5,6,7,8,\n9 ] ");
    std::vector<std::int32_t> seventeen(17, 1);
    EXPECT_EQ(arrayText(kInt, seventeen), "[ 1,1,1,1,1,1,1,1,1,\n1,1,1,1,1,1,1,1 \n] ");
    EXPECT_EQ(arrayText(kInt, std::vector<std::int32_t>{}), "[ ] ");
}

TEST(TextArrays, ElementForms) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(arrayText(kFloat, std::vector<float>{0.5f, nan, -FLT_MAX}), "[ 0.5,-1,-1 ] ");
    EXPECT_EQ(arrayText(kDouble, std::vector<double>{0.5, std::nan(""), 1e39}),
              "[ 0.5000000000000000,-1.0000000000000000,-1.0000000000000000 ] ");
    EXPECT_EQ(arrayText(kBool, std::vector<std::int32_t>{3, 0}), "[ 1,0 ] ");
    EXPECT_EQ(arrayText(kFloat3, std::vector<float>{1, 2, 3, 4, 5, 6}, 2), "[ 1 2 3,4 5 6 ] ");
    EXPECT_EQ(arrayText(kFloat4, std::vector<float>{1, 2, 3, 4}, 1), "[ 1 2 3 4 ] ");
    EXPECT_EQ(arrayText(kDouble3, std::vector<double>{1, 2, 3}, 1), "[ 1 2 3 ] ");
}

TEST(TextArrays, MatricesAndTextsStandOnLinesOfTheirOwn) {
    std::vector<double> two(32, 0.0);
    two[0] = 0.1;  // matrices in arrays keep double precision
    two[31] = 1;
    EXPECT_EQ(arrayText(kMatrix, two, 2),
              "[ 0.1 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 ,\n0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 1 \n] ");
    const std::vector<const char*> texts = {"a", "b\n"};
    EXPECT_EQ(arrayText(kString, texts), "[ \"a\",\nxX620a \n] ");
    EXPECT_EQ(arrayText(kStringRef, texts), "[ \"a\",\nxX620a \n] ");
}

TEST(TextArrays, LongArrayReadsBackWhole) {
    std::vector<std::int32_t> values(400000);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int32_t>(i * 7919 % 1000003) - 500000;
    std::string text = arrayText(kInt, values);
    std::size_t lines = 0;
    for (char& c : text) {
        if (c == '\n') ++lines;
        if (c == ',' || c == '[' || c == ']') c = ' ';
    }
    EXPECT_EQ(lines, (values.size() - 1) / 8);
    std::istringstream in(text);
    std::vector<std::int32_t> back;
    for (std::int32_t v; in >> v;) back.push_back(v);
    EXPECT_EQ(back, values);
}

TEST(BinaryArrays, TwoTriplesAreMarkerCountAndTwentyFourBytes) {
    const std::vector<float> p = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(arrayText(kFloat3, p, 2, true), "[ " + block('c', 6, p.data(), 24) + "] ");
}

TEST(BinaryArrays, RoundTrip) {
    const std::vector<float> f = {0.5f, -1e30f, std::numeric_limits<float>::quiet_NaN()};
    const auto fb = readBack<float>(arrayText(kFloat, f, true), 'f');
    ASSERT_EQ(fb.size(), 3u);
    EXPECT_EQ(fb[0], 0.5f);
    EXPECT_EQ(fb[1], -1e30f);  // binary values are written as they are
    EXPECT_TRUE(std::isnan(fb[2]));
    const std::vector<double> d = {1e300, -0.25};
    EXPECT_EQ(readBack<double>(arrayText(kDouble, d, true), 'r'), d);
    const std::vector<std::int32_t> i = {-1, 2147483647, 0};
    EXPECT_EQ(readBack<std::int32_t>(arrayText(kInt, i, true), 'i'), i);
    EXPECT_EQ(readBack<std::int32_t>(arrayText(kInt23, i, true), 'i'), i);
    EXPECT_EQ(readBack<std::int32_t>(arrayText(kInt, std::vector<std::int32_t>{}, true), 'i'),
              std::vector<std::int32_t>{});
    // Other kinds keep the text form.
    EXPECT_EQ(arrayText(kBool, std::vector<std::int32_t>{1, 0}, true), "[ 1,0 ] ");
}

TEST(ArrayStatements, TextFormSixValuesOrTwoTriplesPerLine) {
    MemoryScene scene;
    auto& api = scene.api;
    api.beginArray("idx");
    for (std::int32_t i = 1; i <= 7; ++i) api.addArrayElement(kInt, &i);
    api.endArray();
    const float t[3] = {1, 2, 3};
    api.beginArray("P");
    for (int i = 0; i < 3; ++i) api.addArrayElement(kFloat3, t);
    api.endArray();
    EXPECT_EQ(scene.text(),
              "\"idx\" [\n1, 2, 3, 4, 5, 6,\n7 ],\n"
              "\"P\" [\n1 2 3, 1 2 3,\n1 2 3 ],\n");
}

TEST(ArrayStatements, BinaryFormCollectsUntilTheEnd) {
    MemoryScene scene(true);
    auto& api = scene.api;
    const float t[6] = {1, 2, 3, 4, 5, 6};
    api.beginArray("P");
    api.addArrayElement(kFloat3, t);
    api.addArrayElement(kFloat3, t + 3);
    api.endArray();
    api.beginArray("mixed");
    const double half = 0.5;
    api.addArrayElement(kDouble, &half);  // doubles are not collected
    api.addArrayElement(kFloat, t);
    api.endArray();
    api.beginArray("empty");
    api.endArray();
    EXPECT_EQ(scene.text(), "\"P\" [\n" + block('c', 6, t, 24) + " ],\n" +
                                "\"mixed\" [\n0.5000000000000000" + block('f', 1, t, 4) +
                                " ],\n\"empty\" [\n ],\n");
}

// Gives `values` (32-bit each, `per` to an element) at most `limit`
// elements per call, or stops after `stopAfter` elements.
class VectorSource final : public ArraySource {
public:
    VectorSource(const std::vector<std::uint32_t>& values, std::size_t per, std::size_t limit,
                 std::size_t stopAfter = SIZE_MAX)
        : values_(values), per_(per), limit_(limit), stopAfter_(stopAfter) {}
    std::size_t next(const ArrayRoom& room) override {
        const std::size_t left = std::min(values_.size() / per_, stopAfter_) - done_;
        const std::size_t n = std::min({room.elements(), limit_, left});
        ValueCursor<std::int32_t> out = room.ints();
        for (std::size_t i = 0; i < n * per_; ++i)
            out.put(static_cast<std::int32_t>(values_[done_ * per_ + i]));
        done_ += n;
        return n;
    }

private:
    const std::vector<std::uint32_t>& values_;
    std::size_t per_, limit_, stopAfter_;
    std::size_t done_ = 0;
};

TEST(ArrayPieces, WriteTheBytesOfTheWholeArrayWhateverThePieceSize) {
    std::vector<std::uint32_t> values(3 * 100'000);  // more than one 256 KiB piece
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::uint32_t>(i * 2654435761u);
    for (const int type : {kFloat3, kFloat, kInt}) {
        const std::size_t per = type == kFloat3 ? 3 : 1;
        const std::size_t count = values.size() / per;
        for (const bool statements : {false, true}) {
            MemoryScene whole(true);
            if (statements) whole.api.beginGeometry("triangles");
            const ArrayValue array{values.data(), static_cast<std::int32_t>(count)};
            whole.api.setParameter("vertices", type | kArrayBit, &array);
            for (const std::size_t limit : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
                MemoryScene pieces(true);
                if (statements) pieces.api.beginGeometry("triangles");
                VectorSource source(values, per, limit);
                ASSERT_TRUE(pieces.api.setArrayParameter("vertices", type, count, source));
                EXPECT_EQ(pieces.text(), whole.text()) << type << " " << statements << " " << limit;
            }
        }
    }
}

TEST(ArrayPieces, RefusedInTextFormAndForOtherTypes) {
    const std::vector<std::uint32_t> values = {1, 2, 3};
    MemoryScene text(false);
    VectorSource source(values, 1, SIZE_MAX);
    EXPECT_FALSE(text.api.setArrayParameter("a", kInt, 3, source));
    MemoryScene binary(true);
    EXPECT_FALSE(binary.api.setArrayParameter("a", kBool, 3, source));
    EXPECT_FALSE(binary.api.setArrayParameter("a", kDouble, 1, source));
    EXPECT_EQ(text.text() + binary.text(), "");  // nothing written
}

TEST(ArrayPieces, ASourceThatRunsDryLeavesZerosNotAShortArray) {
    const std::vector<std::uint32_t> values = {7, 8, 9, 10};
    MemoryScene scene(true);
    VectorSource source(values, 1, SIZE_MAX, 2);
    EXPECT_TRUE(scene.api.setArrayParameter("a", kInt, 4, source));
    const std::string text = scene.text();
    const std::vector<std::int32_t> expected = {7, 8, 0, 0};
    EXPECT_EQ(readBack<std::int32_t>(text.substr(4, text.size() - 6), 'i'), expected);
}

// The file writer as a back end that takes whole arrays only.
class WholeArraysScene : public talScene_api_file {
public:
    using talScene_api_file::talScene_api_file;
    bool setArrayParameter(const char*, int, std::size_t, ArraySource&) override { return false; }
};

TEST(ArrayParameters, WriteTheBytesOfSetParameterWhetherPulledOrGathered) {
    std::vector<std::uint32_t> values(3 * 1000);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::uint32_t>(i * 2654435761u);
    for (const int type : {kFloat3, kFloat, kInt}) {
        const std::size_t per = type == kFloat3 ? 3 : 1;
        const std::size_t count = values.size() / per;
        const ArrayValue array{values.data(), static_cast<std::int32_t>(count)};
        for (const bool binary : {false, true}) {
            MemoryScene whole(binary);
            whole.api.setParameter("a", type | kArrayBit, &array);
            std::vector<std::uint32_t> gather;

            MemoryScene pulled(binary);  // pieces in binary form, gathered in text form
            VectorSource pulledSource(values, per, 7);
            ArrayParameters(pulled.api, gather).put("a", type, count, pulledSource);
            EXPECT_EQ(pulled.text(), whole.text()) << type << " " << binary;

            MemoryStream memory;
            WholeArraysScene refusing(memory.stream(), binary);
            VectorSource gatheredSource(values, per, 7);
            ArrayParameters(refusing, gather).put("a", type, count, gatheredSource);
            refusing.flushOutput();
            EXPECT_EQ(memory.text(), whole.text()) << type << " " << binary;
        }
    }
}

TEST(ArrayParameters, GatherADrySourceAsZerosInTheCallersBuffer) {
    const std::vector<std::uint32_t> values = {7, 8, 9, 10};
    std::vector<std::uint32_t> gather;
    MemoryScene scene(false);  // text form: always gathered
    ArrayParameters arrays(scene.api, gather);
    VectorSource dry(values, 1, SIZE_MAX, 2);
    arrays.put("a", kInt, 4, dry);
    EXPECT_EQ(gather, (std::vector<std::uint32_t>{7, 8, 0, 0}));
    VectorSource small(values, 1, SIZE_MAX);
    arrays.put("b", kInt, 1, small);
    EXPECT_EQ(gather.size(), 1u);
    EXPECT_GE(gather.capacity(), 4u);  // storage reused from array to array
    EXPECT_EQ(scene.text(), "\"a\" [ 7,8,0,0 ] ,\n\"b\" [ 7 ] ,\n");
}

// An unbuffered stream that records the size of every write it is given.
class WriteSizes {
public:
    WriteSizes() {
        const cookie_io_functions_t functions{nullptr, &WriteSizes::write, nullptr, nullptr};
        stream_ = fopencookie(this, "w", functions);
        std::setvbuf(stream_, nullptr, _IONBF, 0);
    }
    ~WriteSizes() { std::fclose(stream_); }
    WriteSizes(const WriteSizes&) = delete;
    WriteSizes& operator=(const WriteSizes&) = delete;
    std::FILE* stream() { return stream_; }
    std::string bytes;
    std::vector<std::size_t> sizes;

private:
    static ssize_t write(void* cookie, const char* data, std::size_t size) {
        auto* self = static_cast<WriteSizes*>(cookie);
        self->bytes.append(data, size);
        self->sizes.push_back(size);
        return static_cast<ssize_t>(size);
    }
    std::FILE* stream_;
};

TEST(ArrayPieces, ReachTheStreamInWholeBlocksWhateverTheTextAround) {
    // Texts of odd lengths put the arrays at every offset in the block, and
    // arrays larger than a block cross block ends; the stream still sees
    // whole 256 KiB blocks until the writer hands over the rest.
    std::vector<std::uint32_t> values(3 * 70'001);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::uint32_t>(i * 40503u);
    MemoryScene whole(true);
    WriteSizes sink;
    {
        talScene_api_file pieces(sink.stream(), true);
        for (const char* name : {"a", "bb", "ccc", "vertices"}) {
            for (const int type : {kFloat3, kInt}) {
                const std::size_t count = values.size() / (type == kFloat3 ? 3 : 1);
                const ArrayValue array{values.data(), static_cast<std::int32_t>(count)};
                whole.api.setParameter(name, type | kArrayBit, &array);
                VectorSource source(values, type == kFloat3 ? 3 : 1, 5'000);
                ASSERT_TRUE(pieces.setArrayParameter(name, type, count, source));
            }
        }
        pieces.flushOutput();
        EXPECT_EQ(pieces.writeError(), 0);
    }
    EXPECT_EQ(sink.bytes, whole.text());
    ASSERT_GE(sink.sizes.size(), 2u);
    for (std::size_t i = 0; i + 1 < sink.sizes.size(); ++i)
        EXPECT_EQ(sink.sizes[i], kBlockSize) << "write " << i;
}

}  // namespace
}  // namespace tal::test
