#include "call_script.h"

#include <cmath>
#include <limits>

#include "canonical.h"

namespace vxtest {

namespace {

std::string t(const std::string& s) { return "t(" + hexOf(s) + ")"; }
std::string n(double v) { return canonicalNumber(v); }

template <typename T>
std::string numbers(const T* values, std::size_t count, const char* open = "n(") {
    std::string out = open;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += n(static_cast<double>(values[i]));
    }
    return out + ")";
}

const char* roleWord(int kind) {
    switch (kind) {
        case 1:
            return "shadow";
        case 2:
            return "volume";
        case 3:
            return "reflection map";
        default:
            return "surface";
    }
}

}  // namespace

std::vector<std::string> CallScript::run(tal::talScene_api& api, int statements) {
    api_ = &api;
    std::vector<std::string> lines;
    targets_ = {{&lines, false}};
    shaders_.clear();
    int budget = statements;
    while (budget > 0) body(0, budget);
    return lines;
}

// Texts of every kind the writer distinguishes: empty, plain, with blanks and
// punctuation (quoted), and with a quote, line feed, CR or UTF-8 (hex form).
std::string CallScript::text() {
    static const std::vector<std::string> pool = {"",
                                                  "a",
                                                  "Cube",
                                                  "model.final",
                                                  "source file",
                                                  "tab\there",
                                                  "a,b{c}[d]!",
                                                  "C:\\tex\\wood.png",
                                                  "say \"hi\"",
                                                  "two\nlines",
                                                  "cr\rhere",
                                                  "caf\xc3\xa9",
                                                  "\xe6\x97\xa5\xe6\x9c\xac",
                                                  "on",
                                                  "off",
                                                  "1.5",
                                                  "xX00",
                                                  "bX",
                                                  "//not a comment",
                                                  "#print",
                                                  "}"};
    return pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
}

std::string CallScript::word() {
    static const std::vector<std::string> pool = {"tal_diffuse", "tal_advanced",  "texture2_rgb",
                                                  "tal_envmap",  "fbx_animation", "x"};
    return pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
}

std::string CallScript::paramName() {
    static const std::vector<std::string> pool = {"diffuse",
                                                  "power",
                                                  "color",
                                                  "roughness",
                                                  "uv_flags",
                                                  "import_mode",
                                                  "visible to the eye",
                                                  "default_color",
                                                  "scale_u",
                                                  "p",
                                                  "nvertices",
                                                  "texture",
                                                  "fov",
                                                  "look_at",
                                                  "caf\xc3\xa9"};
    return pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
}

// Values exact in "%g" (six significant digits), "%16.16f" and binary form.
float CallScript::floatValue() { return static_cast<float>(pick(80001) - 40000) / 4.0f; }
double CallScript::doubleValue() { return static_cast<double>(pick(80001) - 40000) / 4.0; }
std::int32_t CallScript::intValue() {
    return static_cast<std::int32_t>(
        std::uniform_int_distribution<std::int64_t>(INT32_MIN, INT32_MAX)(rng_));
}

bool CallScript::capturing() const {
    for (const Target& target : targets_)
        if (target.capture) return true;
    return false;
}

void CallScript::body(int depth, int& budget) {
    int count = 1 + pick(6);
    for (int i = 0; i < count && budget > 0; ++i) {
        --budget;
        int r = pick(100);
        if (r < 25 && depth < 6)
            block(depth, budget);
        else if (r < 33 && depth < 6)
            anonymousShader(depth, budget);
        else
            leaf();
    }
}

void CallScript::block(int depth, int& budget) {
    tal::talScene_api& a = *api_;
    int kind = pick(capturing() || depth > 0 ? 13 : 16);
    std::string name = text();
    bool placed = chance(70);
    void (tal::talScene_api::*end)() = nullptr;
    switch (kind) {
        case 0:
            a.beginGroup(name.c_str(), placed);
            emit("begin group " + t(name) + (placed ? "" : " def"));
            end = &tal::talScene_api::endGroup;
            break;
        case 1:
            a.beginObject(name.c_str(), placed);
            emit("begin object " + t(name) + (placed ? "" : " def"));
            end = &tal::talScene_api::endObject;
            break;
        case 2:
            a.beginGeometry(name.c_str());
            emit("begin geometry " + t(name));
            end = &tal::talScene_api::endGeometry;
            break;
        case 3: {
            std::string kindText = text();
            a.beginAnimation(name.c_str(), kindText.c_str());
            emit("begin animation " + t(name) + " " + t(kindText));
            end = &tal::talScene_api::endAnimation;
            break;
        }
        case 4:
            a.beginLoad(name.c_str());
            emit("begin load " + t(name));
            end = &tal::talScene_api::endLoad;
            break;
        case 5: {
            std::string b = text(), c = text();
            a.beginOutput(name.c_str(), b.c_str(), c.c_str());
            emit("begin output " + t(name) + " " + t(b) + " " + t(c));
            end = &tal::talScene_api::endOutput;
            break;
        }
        case 6:
            a.beginLight(name.c_str());
            emit("begin light " + t(name));
            end = &tal::talScene_api::endLight;
            break;
        case 7:
            a.beginAccel(name.c_str());
            emit("begin accel " + t(name));
            end = &tal::talScene_api::endAccel;
            break;
        case 8:
            a.beginMatrix(name.c_str());
            emit("begin matrix " + t(name) + " def");
            end = &tal::talScene_api::endMatrix;
            break;
        case 9:
            a.beginMaterial(name.c_str(), placed);
            emit("begin material " + t(name) + (placed ? "" : " def"));
            end = &tal::talScene_api::endMaterial;
            break;
        case 10:
        case 11:
        case 12: {
            // Shader definitions stop a capture: they go to the file where it stands.
            std::size_t file = targets_.size() - 1;
            while (targets_[file].capture) --file;
            targets_.push_back(targets_[file]);
            if (kind == 10) {
                std::string type = text();
                a.beginShader(name.c_str(), type.c_str());
                emit("begin shader " + t(name) + " " + t(type) + " def");
            } else {
                std::string type = word();
                int id = pick(1000);
                a.beginShaderWithId(type.c_str(), id);
                emit("begin shader n(" + std::to_string(id) + ") " + t(type) + " def");
            }
            body(depth + 1, budget);
            a.endShader();
            emit("end");
            targets_.pop_back();
            return;
        }
        // Top-level blocks: only outside every other block and capture.
        case 13:
            a.beginOptions();
            emit("begin options");
            end = &tal::talScene_api::endOptions;
            break;
        case 14:
            if (chance(30)) {
                a.beginCamera(nullptr);
                emit("begin camera");
            } else {
                a.beginCamera(name.c_str());
                emit("begin camera " + t(name));
            }
            end = &tal::talScene_api::endCamera;
            break;
        default:
            a.beginImage();
            emit("begin image");
            end = &tal::talScene_api::endImage;
            break;
    }
    // Top-level blocks hold no further blocks: the writer refuses a camera in options.
    if (kind >= 13) {
        for (int i = pick(4); i > 0; --i) leaf();
    } else {
        body(depth + 1, budget);
    }
    (a.*end)();
    emit("end");
}

void CallScript::anonymousShader(int depth, int& budget) {
    std::string type = text();
    std::vector<std::string> captured;
    // Inside a capture, the enclosing shader text is saved and made current
    // again afterwards: a closed capture stays the current text otherwise.
    bool nested = capturing();
    if (nested) api_->pushShaderText();
    api_->beginShader(nullptr, type.c_str());
    targets_.push_back({&captured, true});
    body(depth + 1, budget);
    targets_.pop_back();
    api_->endShader();
    std::string canonical = "shader(" + t(type) + "){";
    for (std::size_t i = 0; i < captured.size(); ++i) canonical += (i ? ";" : "") + captured[i];
    shaders_.push_back({api_->currentShaderText(), canonical + "}"});
    if (nested) api_->popShaderText();
    useShaderText();
}

void CallScript::useShaderText() {
    if (shaders_.empty()) return;
    const Shader& s = shaders_[static_cast<std::size_t>(pick(static_cast<int>(shaders_.size())))];
    std::string name = paramName();
    switch (pick(3)) {
        case 0: {
            int kind = pick(5);
            if (kind == 4) emit("comment " + hexOf(" assuming surface shader"));
            api_->useShaderText(kind, s.text);
            emit(std::string("use ") + roleWord(kind) + " " + s.canonical);
            break;
        }
        case 1:
            api_->linkShaderText(name.c_str(), s.text);
            emit("param " + hexOf(name) + " !" + s.canonical);
            break;
        default:
            api_->setParameter(name.c_str(), tal::kShaderText, &s.text);
            emit("param " + hexOf(name) + " " + s.canonical);
            break;
    }
}

void CallScript::leaf() {
    tal::talScene_api& a = *api_;
    switch (pick(20)) {
        case 0:
        case 1: {
            double m[16];
            for (double& x : m) x = doubleValue();
            bool set = chance(30);
            set ? a.setTransform(m) : a.transform(m);
            emit(std::string(set ? "set transform " : "transform ") + numbers(m, 16));
            break;
        }
        case 2: {
            double x = doubleValue(), y = doubleValue(), z = doubleValue();
            int which = pick(3);
            double v[3] = {x, y, z};
            if (which == 0) a.scale(&x, &y, &z);
            if (which == 1) a.rotate(&x, &y, &z);
            if (which == 2) a.translate(&x, &y, &z);
            emit(std::string(which == 0   ? "scale "
                             : which == 1 ? "rotate "
                                          : "translate ") +
                 numbers(v, 3));
            break;
        }
        case 3: {
            std::string k = text(), v = text();
            a.attribute(k.c_str(), v.c_str());
            emit("attribute " + t(k) + " " + t(v));
            break;
        }
        case 4: {
            std::string s = text();
            float f = static_cast<float>(pick(81)) / 8.0f;
            a.progress(s.c_str(), f);
            emit("progress " + t(s) + " n(" + n(f) + ")");
            break;
        }
        case 5: {
            std::string bytes;
            for (int i = pick(9); i > 0; --i) bytes += static_cast<char>(pick(256));
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
            if (chance(50)) {
                a.icon(b, static_cast<int>(bytes.size()));
                emit("icon blob(" + hexOf(bytes) + ")");
            } else {
                std::string k = paramName();
                a.binaryParameter(k.c_str(), b, static_cast<int>(bytes.size()));
                emit("param " + hexOf(k) + " blob(" + hexOf(bytes) + ")");
            }
            break;
        }
        case 6: {
            auto v = static_cast<unsigned>(intValue());
            bool isId = chance(50);
            isId ? a.id(v) : a.flags(v);
            emit(std::string(isId ? "id n(" : "flags n(") + std::to_string(v) + ")");
            break;
        }
        case 7:
            a.render();
            emit("render");
            break;
        case 8: {
            // Message texts go out unescaped: no line feeds here.
            static const std::vector<std::string> pool = {
                "",       "Vantrix SceneApi oo 9.0.45", "say \"hi\"", "\"",
                "a\"b\"", "caf\xc3\xa9 %d %s"};
            std::string s = pool[static_cast<std::size_t>(pick(static_cast<int>(pool.size())))];
            bool isError = chance(30);
            isError ? a.error(s.c_str()) : a.print(s.c_str());
            emit(std::string(isError ? "error " : "print ") + hexOf(s));
            break;
        }
        case 9: {
            int v = pick(11) - 1;
            a.version(v);
            emit("version n(" + std::to_string(v == -1 ? 8 : v) + ")");
            break;
        }
        case 10: {
            std::string s = text();
            a.useMaterial(s.c_str());
            emit("material " + t(s));
            break;
        }
        case 11: {
            int kind = pick(5), id = pick(100);
            if (kind == 4) emit("comment " + hexOf(" assuming surface shader"));
            a.useShader(kind, id);
            emit(std::string("use ") + roleWord(kind) + " ref(" + std::to_string(id) + ")");
            break;
        }
        case 12: {
            std::string name = paramName();
            int id = pick(100);
            a.linkShader(name.c_str(), id);
            emit("param " + hexOf(name) + " !ref(" + std::to_string(id) + ")");
            break;
        }
        case 13:
            arrayStatement(paramName());
            break;
        case 14: {
            std::string w = chance(50) ? "---talvik:dal:7---" : " This is a comment";
            a.rawText("//%s\n", w.c_str());
            emit(w.size() > 6 && w.substr(0, 3) == "---"
                     ? "header " + hexOf(w.substr(3, w.size() - 6))
                     : "comment " + hexOf(w));
            break;
        }
        case 15:
            useShaderText();
            break;
        default:
            parameter(paramName());
            break;
    }
}

void CallScript::parameter(const std::string& name) {
    tal::talScene_api& a = *api_;
    const char* nm = name.c_str();
    std::string head = "param " + hexOf(name) + " ";
    static const int codes[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 13, 14, 15, 16, 17, 18, 23, 8, 11};
    int code = codes[pick(static_cast<int>(std::size(codes)))];
    if (chance(35)) {
        static const int arrays[] = {1, 2, 3, 4, 5, 6, 7, 9, 10, 13, 23, 14};
        arrayParameter(name, arrays[pick(static_cast<int>(std::size(arrays)))] | tal::kArrayBit);
        return;
    }
    float f[4] = {floatValue(), floatValue(), floatValue(), floatValue()};
    double d[16];
    for (double& x : d) x = doubleValue();
    std::int32_t i[4] = {intValue(), intValue(), intValue(), intValue()};
    switch (code) {
        case 1:
            a.setParameter(nm, code, f);
            emit(head + numbers(f, 3));
            break;
        case 2:
        case 15:
            a.setParameter(nm, code, f);
            emit(head + numbers(f, 4));
            break;
        case 3: {
            // Not finite or at the float limit: written as -1.
            static const float odd[] = {std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::max(),
                                        -std::numeric_limits<float>::infinity()};
            bool special = chance(20);
            float v = special ? odd[pick(3)] : f[0];
            a.setParameter(nm, code, &v);
            emit(head + "n(" + n(special ? -1.0 : v) + ")");
            break;
        }
        case 4:
            a.setParameter(nm, code, d);
            emit(head + numbers(d, 1));
            break;
        case 5:
            a.setParameter(nm, code, d);
            emit(head + numbers(d, 3));
            break;
        case 6:
        case 23:
            a.setParameter(nm, code, i);
            emit(head + numbers(i, 1));
            break;
        case 7: {
            std::int32_t b = pick(3);
            a.setParameter(nm, code, &b);
            emit(head + (b ? "on" : "off"));
            break;
        }
        case 9:
            a.setParameter(nm, code, d);
            emit(head + numbers(d, 16));
            break;
        case 10:
        case 13: {
            std::string s = text();
            const char* p = s.c_str();
            a.setParameter(nm, code,
                           code == 10 ? static_cast<const void*>(p) : static_cast<const void*>(&p));
            emit(head + t(s));
            break;
        }
        case 14:
            a.setParameter(nm, code, f);
            emit(head + numbers(f, 2));
            break;
        case 16:
            a.setParameter(nm, code, i);
            emit(head + numbers(i, 2));
            break;
        case 17:
            a.setParameter(nm, code, i);
            emit(head + numbers(i, 3));
            break;
        case 18:
            a.setParameter(nm, code, i);
            emit(head + numbers(i, 4));
            break;
        default:
            a.setParameter(nm, code, i);
            emit(head + "none");
            break;
    }
}

void CallScript::arrayParameter(const std::string& name, int code) {
    int count = chance(15) ? 20 + pick(30) : pick(6);
    int base = code & ~tal::kArrayBit;
    std::size_t width = base == 1 || base == 5 ? 3 : base == 2 ? 4 : base == 9 ? 16 : 1;
    std::vector<float> f(width * static_cast<std::size_t>(count));
    std::vector<double> d(f.size());
    std::vector<std::int32_t> i(f.size());
    std::vector<std::string> texts(f.size());
    std::vector<const char*> pointers(f.size());
    for (std::size_t k = 0; k < f.size(); ++k) {
        f[k] = floatValue();
        d[k] = doubleValue();
        i[k] = base == 7 ? pick(2) : intValue();
        texts[k] = text();
        pointers[k] = texts[k].c_str();
    }
    tal::ArrayValue value{nullptr, count};
    std::string expected;
    switch (base) {
        case 1:
        case 2:
        case 3:
            value.data = f.data();
            expected = numbers(f.data(), f.size(), "arr(");
            break;
        case 4:
        case 5:
        case 9:
            value.data = d.data();
            expected = numbers(d.data(), d.size(), "arr(");
            break;
        case 6:
        case 7:
        case 23:
            value.data = i.data();
            expected = numbers(i.data(), i.size(), "arr(");
            break;
        case 10:
        case 13: {
            value.data = pointers.data();
            expected = "arr(";
            for (std::size_t k = 0; k < texts.size(); ++k) expected += (k ? " " : "") + t(texts[k]);
            expected += ")";
            break;
        }
        default:
            value.data = f.data();
            expected = "none";
            break;  // no array form: nothing written
    }
    api_->setParameter(name.c_str(), code, &value);
    emit("param " + hexOf(name) + " " + expected);
}

void CallScript::arrayStatement(const std::string& name) {
    static const int codes[] = {1, 3, 6, 4, 7, 10, 9, 23};
    int code = codes[pick(static_cast<int>(std::size(codes)))];
    api_->beginArray(name.c_str());
    std::string expected = "arr(";
    auto add = [&](const std::string& piece) {
        if (expected.back() != '(') expected += ' ';
        expected += piece;
    };
    for (int k = chance(15) ? 10 + pick(10) : pick(5); k > 0; --k) {
        float f[3] = {floatValue(), floatValue(), floatValue()};
        double d[16];
        for (double& x : d) x = doubleValue();
        std::int32_t i = intValue();
        std::string s = text();
        switch (code) {
            case 1:
                api_->addArrayElement(code, f);
                for (float x : f) add(n(x));
                break;
            case 3:
                api_->addArrayElement(code, f);
                add(n(f[0]));
                break;
            case 4:
                api_->addArrayElement(code, d);
                add(n(d[0]));
                break;
            case 7:
                i = pick(2);
                api_->addArrayElement(code, &i);
                add(i ? "on" : "off");
                break;
            case 10:
                api_->addArrayElement(code, s.c_str());
                add(t(s));
                break;
            case 9:
                api_->addArrayElement(code, d);
                for (double x : d) add(n(static_cast<float>(x)));
                break;
            default:
                api_->addArrayElement(code, &i);
                add(n(i));
                break;
        }
    }
    api_->endArray();
    emit("param " + hexOf(name) + " " + expected + ")");
}

}  // namespace vxtest
