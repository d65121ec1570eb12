// Internal to the document writer (not a public header): prints the
// writer's tree in the document file's layout, and the big arrays straight
// from the document.
//
// Layout: nested objects are indented by two spaces a level; an array
// without objects and with at most 16 numbers in all, and an object of at
// most four plain values, stay on one line. Values are printed as nlohmann
// dumps them.
//
// Big arrays (points, polygons, uvs, normals) are not in the tree: defer()
// gives a placeholder for one, and print() prints its entries in the
// placeholder's place, each entry being a list of at most 16 numbers. The
// text goes to an Output, which keeps it whole or hands it on in pieces of
// about 1 MiB, so that a big document is written without ever being held.
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "host/math.h"

namespace host::writer {

using Json = nlohmann::ordered_json;

class Output {
public:
    Output() = default;  // keeps the whole text
    explicit Output(std::function<void(std::string_view)> sink) : sink_(std::move(sink)) {}

    void put(std::string_view text);
    void put(char c) { put(std::string_view(&c, 1)); }
    void number(double v);  // as nlohmann dumps a double ("1.0", "null" for NaN)
    void number(Int64 v);
    void vector(const Vector& v);  // [x, y, z]

    // Hands on what is left; answers the whole text when it was kept.
    std::string finish();

private:
    std::function<void(std::string_view)> sink_;
    std::string text_;
};

struct BulkArray {
    std::size_t count = 0;
    std::function<std::size_t(std::size_t)> numbers;  // how many numbers entry i holds
    std::function<void(Output&, std::size_t)> entry;  // prints entry i on one line
};

class Printer {
public:
    Json defer(BulkArray array);
    void print(Output& out, const Json& j, int indent) const;

private:
    void printBulk(Output& out, const BulkArray& array, int indent) const;

    std::vector<BulkArray> bulk_;
};

}  // namespace host::writer
