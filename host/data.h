// Typed values of host parameters: times, description ids, GeData, gradients
// and containers.
//
// A parameter read fills a GeData and answers whether the node has the value;
// an absent parameter is a failed read, which the conversion treats as "the
// host cannot supply it". Numbers keep whether they were written as integers;
// reading a non-integral number as an integer truncates toward zero. The two
// text kinds read as each other: GetString of a file name gives its path and
// GetFilename of a string the file name of that text. Any other read of the
// wrong type gives the empty value (0, a zero vector, null).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/math.h"
#include "host/strings.h"
#include "host/types.h"

namespace host {

class BaseList2D;
class BaseDocument;

// A rational time. Seconds are numerator / denominator, 0 when the
// denominator is 0.
class BaseTime {
public:
    BaseTime() = default;
    explicit BaseTime(Float seconds);  // denominator 1,000,000 (microseconds)
    BaseTime(Int64 numerator, Int64 denominator) : num_(numerator), den_(denominator) {}
    Float Get() const {
        return den_ == 0 ? 0.0 : static_cast<Float>(num_) / static_cast<Float>(den_);
    }
    friend bool operator==(const BaseTime& a, const BaseTime& b) { return a.Get() == b.Get(); }

private:
    Int64 num_ = 0;
    Int64 den_ = 1;
};

// A parameter address of up to three levels: (903, 1000) is position x.
class DescID {
public:
    DescID() = default;
    explicit DescID(Int32 a) : ids_{a} {}
    DescID(Int32 a, Int32 b) : ids_{a, b} {}
    DescID(Int32 a, Int32 b, Int32 c) : ids_{a, b, c} {}
    Int32 GetDepth() const { return static_cast<Int32>(ids_.size()); }
    Int32 operator[](Int32 level) const {
        return level < GetDepth() ? ids_[static_cast<size_t>(level)] : 0;
    }
    friend bool operator==(const DescID&, const DescID&) = default;

private:
    std::vector<Int32> ids_;
};

// Custom data type id of gradients.
constexpr Int32 CUSTOMDATATYPE_GRADIENT = 1000481;

struct GradientKnot {
    Float position = 0;
    Vector color;
    Float brightness = 1.0;
};

class Gradient {
public:
    Int32 GetKnotCount() const { return static_cast<Int32>(knots.size()); }
    // Knot i; null when i is out of range.
    const GradientKnot* GetKnot(Int32 i) const;
    std::vector<GradientKnot> knots;  // knot 0 first, as in the document
};

class GeData {
public:
    enum class Type { None, Number, Vector, String, Filename, Time, Link, Gradient };

    GeData() = default;
    static GeData Integer(Int64 v);
    static GeData Number(Float v);  // a non-integral number
    GeData(const Vector& v);        // NOLINT
    GeData(const String& s);        // NOLINT
    GeData(const Filename& f);      // NOLINT
    GeData(const BaseTime& t);      // NOLINT
    static GeData Link(BaseList2D* target);
    static GeData MakeGradient(std::shared_ptr<const Gradient> g);

    Type GetType() const { return type_; }
    bool IsInteger() const { return type_ == Type::Number && integer_; }
    Int32 GetInt32() const;  // numbers truncate toward zero; other types 0
    Int64 GetInt64() const;
    Float GetFloat() const;  // numbers; other types 0
    Vector GetVector() const;
    String GetString() const;
    Filename GetFilename() const;
    BaseTime GetTime() const;
    // The linked node; `doc` is accepted for the host's signature.
    BaseList2D* GetLink(const BaseDocument* doc = nullptr) const;
    // The custom data of type `typeId`, or null (only CUSTOMDATATYPE_GRADIENT).
    const Gradient* GetCustomDataType(Int32 typeId) const;

private:
    Type type_ = Type::None;
    bool integer_ = false;
    Float number_ = 0;
    Vector vector_;
    std::string text_;  // String and Filename text
    BaseTime time_;
    BaseList2D* link_ = nullptr;
    std::shared_ptr<const Gradient> gradient_;
};

// A node's data container by id (a material's container, for example).
class BaseContainer {
public:
    bool Has(Int32 id) const { return values_.count(id) != 0; }
    const GeData* Find(Int32 id) const;
    void Set(Int32 id, GeData value) { values_[id] = std::move(value); }
    void Remove(Int32 id) { values_.erase(id); }
    Int32 GetInt32(Int32 id, Int32 preset = 0) const;
    Float GetFloat(Int32 id, Float preset = 0) const;
    const std::map<Int32, GeData>& values() const { return values_; }

private:
    std::map<Int32, GeData> values_;
};

}  // namespace host
