#include "scene_values.h"

#include <cstdint>
#include <cstdio>

#include "sceneapi/scene_api.h"

namespace vxtest {

namespace {

std::string number(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

template <class T>
std::string list(const T* values, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += (i ? " " : "") + number(static_cast<double>(values[i]));
    return out;
}

std::string valueText(int type, const void* value) {
    if (!value) return "(null)";
    if (type & tal::kArrayBit) {
        const auto* array = static_cast<const tal::ArrayValue*>(value);
        const auto count = static_cast<std::size_t>(array->count);
        switch (type & ~tal::kArrayBit) {
            case tal::kFloat3:
                return list(static_cast<const float*>(array->data), 3 * count);
            case tal::kFloat:
                return list(static_cast<const float*>(array->data), count);
            case tal::kInt:
                return list(static_cast<const std::int32_t*>(array->data), count);
            default:
                return "(array)";
        }
    }
    switch (type) {
        case tal::kFloat3:
            return list(static_cast<const float*>(value), 3);
        case tal::kFloat:
            return list(static_cast<const float*>(value), 1);
        case tal::kInt:
        case tal::kBool:
            return list(static_cast<const std::int32_t*>(value), 1);
        case tal::kMatrix:
            return list(static_cast<const double*>(value), 16);
        case tal::kString:
            return static_cast<const char*>(value);
        default:
            return "(value)";
    }
}

std::string textOf(const tal::ShaderText* text) { return text ? text->bytes : "(null)"; }

}  // namespace

bool ValueRecordingApi::setParameter(const char* name, int type, const void* value) {
    calls.push_back(std::string("set ") + (name ? name : "(null)") + " " + valueText(type, value));
    return true;
}

bool ValueRecordingApi::beginShader(const char* name, const char* type) {
    RecordingSceneApi::beginShader(name, type);
    texts_.push_back(std::make_unique<tal::ShaderText>());
    texts_.back()->bytes = type ? type : "(null)";
    open_.push_back(texts_.back().get());
    return true;
}

void ValueRecordingApi::endShader() {
    RecordingSceneApi::endShader();
    if (open_.empty()) return;
    current_ = open_.back();
    open_.pop_back();
}

bool ValueRecordingApi::linkShaderText(const char* name, const tal::ShaderText* text) {
    calls.push_back(std::string("linkShaderText ") + (name ? name : "(null)") + " " + textOf(text));
    return true;
}

void ValueRecordingApi::useShaderText(int kind, const tal::ShaderText* text) {
    calls.push_back("useShaderText " + std::to_string(kind) + " " + textOf(text));
}

std::string MeshPart::materialName() const {
    for (const std::string& call : material)
        if (call.rfind("beginMaterial ", 0) == 0) return call.substr(14);
    return "";
}

std::string MeshPart::shaderValue(const std::string& key) const {
    const std::string prefix = "set " + key + " ";
    for (const std::string& call : material)
        if (call.rfind(prefix, 0) == 0) return call.substr(prefix.size());
    return "";
}

std::vector<MeshPart> meshParts(const std::vector<std::string>& calls) {
    std::vector<MeshPart> parts;
    enum { kOutside, kObject, kGeometry, kMaterial } state = kOutside;
    for (const std::string& call : calls) {
        if (call.rfind("beginObject ", 0) == 0) {
            parts.push_back({});
            parts.back().name = call.substr(12);
            state = kObject;
        } else if (state == kObject && call.rfind("beginGeometry", 0) == 0) {
            state = kGeometry;
        } else if (state == kGeometry && call == "endGeometry") {
            state = kMaterial;
        } else if (state == kGeometry && call.rfind("set ", 0) == 0) {
            const std::size_t space = call.find(' ', 4);
            const std::string key = call.substr(4, space - 4);
            parts.back().order.push_back(key);
            parts.back().values[key] = space == std::string::npos ? "" : call.substr(space + 1);
        } else if (state == kMaterial && call == "endObject") {
            state = kOutside;
        } else if (state == kMaterial) {
            parts.back().material.push_back(call);
        }
    }
    return parts;
}

}  // namespace vxtest
