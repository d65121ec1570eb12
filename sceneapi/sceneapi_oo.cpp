#include "sceneapi/sceneapi_oo.h"

#include <limits>
#include <stdexcept>

#include "sceneapi/light_factory.h"
#include "sceneapi/light_node.h"
#include "sceneapi/scene_api.h"

namespace tal {

namespace {

constexpr const char* kBanner = "Vantrix SceneApi oo 9.0.45  (built Wed Feb 20 10:46:13 2019)";
constexpr int kSceneLanguageVersion = 8;

// Element counts cross the scene API as 32-bit integers.
std::int32_t countOf(std::size_t n) {
    if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw std::length_error("array too long for the scene API");
    }
    return static_cast<std::int32_t>(n);
}

template <class T>
bool setArray(talScene_api* api, const std::string& name, int code, const std::vector<T>& v,
              std::size_t count) {
    if (api == nullptr) return false;
    const ArrayValue array{v.data(), countOf(count)};
    return api->setParameter(name.c_str(), code, &array);
}

}  // namespace

talSceneapi_oo::talSceneapi_oo(LightFactory* factory) : factory_(factory) {
    attach(factory_ != nullptr ? factory_->openApi() : nullptr);
    if (api_ == nullptr) return;
    factory_->beginScene(*this);
    api_->print(kBanner);
    api_->version(kSceneLanguageVersion);
}

talSceneapi_oo::~talSceneapi_oo() = default;

void talSceneapi_oo::attach(talScene_api* api) {
    api_ = api;
    shaderCounter_ = 0;
    idCounter_ = 0;
}

int talSceneapi_oo::newId() {
    ++idCounter_;
    if (api_ != nullptr) api_->id(static_cast<unsigned int>(idCounter_));
    return idCounter_;
}

void talSceneapi_oo::add(LightNode& node) { node.write(*this); }

void talSceneapi_oo::progress(const std::string& text, float fraction) {
    if (api_ != nullptr) api_->progress(text.c_str(), fraction);
}

void talSceneapi_oo::beginGroup(const std::string& name) {
    if (api_ != nullptr) api_->beginGroup(name.c_str(), true);
}

void talSceneapi_oo::endGroup() {
    if (api_ != nullptr) api_->endGroup();
}

int talSceneapi_oo::beginShader(const std::string& type) {
    ++shaderCounter_;
    if (api_ != nullptr) api_->beginShaderWithId(type.c_str(), shaderCounter_);
    return shaderCounter_;
}

void talSceneapi_oo::endShader() {
    if (api_ != nullptr) api_->endShader();
}

bool talSceneapi_oo::setParameter(const std::string& /*name*/, const char* /*text*/) {
    throw std::invalid_argument("const char * are deprecated");
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::string& text) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kString, text.c_str());
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::array<float, 3>& v) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kFloat3, v.data());
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::array<double, 3>& v) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kDouble3, v.data());
}

bool talSceneapi_oo::setParameter(const std::string& name, double v) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kDouble, &v);
}

bool talSceneapi_oo::setParameter(const std::string& name, float v) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kFloat, &v);
}

bool talSceneapi_oo::setParameter(const std::string& name, std::int32_t v) {
    return api_ != nullptr && api_->setParameter(name.c_str(), kInt, &v);
}

bool talSceneapi_oo::setParameter(const std::string& name, bool v) {
    const std::int32_t flag = v ? 1 : 0;
    return api_ != nullptr && api_->setParameter(name.c_str(), kBool, &flag);
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::vector<Matrix16>& v) {
    return setArray(api_, name, kArrayBit | kMatrix, v, v.size());
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::vector<std::int32_t>& v) {
    return setArray(api_, name, kArrayBit | kInt, v, v.size());
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::vector<float>& v) {
    return setArray(api_, name, kArrayBit | kFloat, v, v.size());
}

bool talSceneapi_oo::setParameter(const std::string& name, const std::vector<double>& v) {
    return setArray(api_, name, kArrayBit | kDouble, v, v.size());
}

bool talSceneapi_oo::setParameter(const std::string& name, FloatTriples v) {
    return setArray(api_, name, kArrayBit | kFloat3, v.values, v.values.size() / 3);
}

void talSceneapi_oo::transform(const Matrix16& m) { transform(m, false); }

void talSceneapi_oo::transform(const Matrix16& m, bool set) {
    if (api_ == nullptr) return;
    if (set) {
        api_->setTransform(m.data());
    } else {
        api_->transform(m.data());
    }
}

void talSceneapi_oo::flags(unsigned int flags) {
    if (api_ != nullptr) api_->flags(flags);
}

talScene_api* talSceneapi_oo::api() { return api_; }

}  // namespace tal
