// Typed parameter values: times, gradients, GeData and containers.
#include "host/data.h"

#include <cmath>
#include <limits>

namespace host {

namespace {

// Truncation toward zero that never overflows: out-of-range values clamp,
// NaN reads 0.
template <class I>
I truncate(Float v) {
    if (std::isnan(v)) return 0;
    const Float lo = static_cast<Float>(std::numeric_limits<I>::min());
    const Float hi = static_cast<Float>(std::numeric_limits<I>::max());
    if (v <= lo) return std::numeric_limits<I>::min();
    if (v >= hi) return std::numeric_limits<I>::max();
    return static_cast<I>(v);
}

}  // namespace

BaseTime::BaseTime(Float seconds)
    : num_(std::isfinite(seconds) ? truncate<Int64>(std::round(seconds * 1e6)) : 0),
      den_(1000000) {}

const GradientKnot* Gradient::GetKnot(Int32 i) const {
    if (i < 0 || i >= GetKnotCount()) return nullptr;
    return &knots[static_cast<std::size_t>(i)];
}

GeData GeData::Integer(Int64 v) {
    GeData d;
    d.type_ = Type::Number;
    d.integer_ = true;
    d.number_ = static_cast<Float>(v);
    return d;
}

GeData GeData::Number(Float v) {
    GeData d;
    d.type_ = Type::Number;
    d.number_ = v;
    return d;
}

GeData::GeData(const Vector& v) : type_(Type::Vector), vector_(v) {}
GeData::GeData(const String& s) : type_(Type::String), text_(s.utf8()) {}
GeData::GeData(const Filename& f) : type_(Type::Filename), text_(f.GetString().utf8()) {}
GeData::GeData(const BaseTime& t) : type_(Type::Time), time_(t) {}

GeData GeData::Link(BaseList2D* target) {
    GeData d;
    d.type_ = Type::Link;
    d.link_ = target;
    return d;
}

GeData GeData::MakeGradient(std::shared_ptr<const Gradient> g) {
    GeData d;
    d.type_ = Type::Gradient;
    d.gradient_ = std::move(g);
    return d;
}

Int32 GeData::GetInt32() const { return type_ == Type::Number ? truncate<Int32>(number_) : 0; }
Int64 GeData::GetInt64() const { return type_ == Type::Number ? truncate<Int64>(number_) : 0; }
Float GeData::GetFloat() const { return type_ == Type::Number ? number_ : 0.0; }
Vector GeData::GetVector() const { return type_ == Type::Vector ? vector_ : Vector{}; }

String GeData::GetString() const {
    return type_ == Type::String || type_ == Type::Filename ? String(text_) : String();
}

Filename GeData::GetFilename() const {
    return type_ == Type::String || type_ == Type::Filename ? Filename(String(text_)) : Filename();
}

BaseTime GeData::GetTime() const { return type_ == Type::Time ? time_ : BaseTime(); }

BaseList2D* GeData::GetLink(const BaseDocument*) const {
    return type_ == Type::Link ? link_ : nullptr;
}

const Gradient* GeData::GetCustomDataType(Int32 typeId) const {
    if (type_ != Type::Gradient || typeId != CUSTOMDATATYPE_GRADIENT) return nullptr;
    return gradient_.get();
}

const GeData* BaseContainer::Find(Int32 id) const {
    const auto it = values_.find(id);
    return it == values_.end() ? nullptr : &it->second;
}

Int32 BaseContainer::GetInt32(Int32 id, Int32 preset) const {
    const GeData* d = Find(id);
    return d && d->GetType() == GeData::Type::Number ? d->GetInt32() : preset;
}

Float BaseContainer::GetFloat(Int32 id, Float preset) const {
    const GeData* d = Find(id);
    return d && d->GetType() == GeData::Type::Number ? d->GetFloat() : preset;
}

}  // namespace host
