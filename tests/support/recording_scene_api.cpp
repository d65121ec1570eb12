#include "tests/support/recording_scene_api.h"

#include <cstdarg>
#include <cstdio>

namespace vxtest {

namespace {

std::string text(const char* s) { return s ? s : "(null)"; }

std::string formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string matrixText(const char* op, const double* m) {
    std::string line = op;
    for (int i = 0; i < 16; ++i) line += formatted(" %g", m[i]);
    return line;
}

}  // namespace

std::vector<std::string> RecordingSceneApi::filtered(
    const std::vector<std::string>& prefixes) const {
    std::vector<std::string> kept;
    for (const std::string& call : calls) {
        for (const std::string& prefix : prefixes) {
            if (call.rfind(prefix, 0) == 0) {
                kept.push_back(call);
                break;
            }
        }
    }
    return kept;
}

bool RecordingSceneApi::recordBegin(const char* op, const char* name) {
    record(std::string(op) + " " + text(name));
    return true;
}

bool RecordingSceneApi::beginGroup(const char* name, bool /*placed*/) {
    return recordBegin("beginGroup", name);
}
void RecordingSceneApi::endGroup() { record("endGroup"); }
bool RecordingSceneApi::beginObject(const char* name, bool /*placed*/) {
    return recordBegin("beginObject", name);
}
void RecordingSceneApi::endObject() { record("endObject"); }
bool RecordingSceneApi::beginGeometry(const char* name) {
    return recordBegin("beginGeometry", name);
}
void RecordingSceneApi::endGeometry() { record("endGeometry"); }
bool RecordingSceneApi::beginAnimation(const char* name, const char* kind) {
    record("beginAnimation " + text(name) + " " + text(kind));
    return true;
}
void RecordingSceneApi::endAnimation() { record("endAnimation"); }
bool RecordingSceneApi::beginLoad(const char* module) { return recordBegin("beginLoad", module); }
void RecordingSceneApi::endLoad() { record("endLoad"); }
bool RecordingSceneApi::beginOptions() { return recordBegin("beginOptions", ""); }
void RecordingSceneApi::endOptions() { record("endOptions"); }
bool RecordingSceneApi::beginCamera(const char* name) { return recordBegin("beginCamera", name); }
void RecordingSceneApi::endCamera() { record("endCamera"); }
bool RecordingSceneApi::beginImage() { return recordBegin("beginImage", ""); }
void RecordingSceneApi::endImage() { record("endImage"); }
bool RecordingSceneApi::beginOutput(const char* a, const char* b, const char* c) {
    record("beginOutput " + text(a) + " " + text(b) + " " + text(c));
    return true;
}
void RecordingSceneApi::endOutput() { record("endOutput"); }
bool RecordingSceneApi::beginLight(const char* name) { return recordBegin("beginLight", name); }
void RecordingSceneApi::endLight() { record("endLight"); }
bool RecordingSceneApi::beginAccel(const char* name) { return recordBegin("beginAccel", name); }
void RecordingSceneApi::endAccel() { record("endAccel"); }
void RecordingSceneApi::transform(const double* m) { record(matrixText("transform", m)); }
void RecordingSceneApi::setTransform(const double* m) { record(matrixText("setTransform", m)); }
void RecordingSceneApi::scale(const double* x, const double* y, const double* z) {
    record(formatted("scale %g %g %g", *x, *y, *z));
}
void RecordingSceneApi::rotate(const double* x, const double* y, const double* z) {
    record(formatted("rotate %g %g %g", *x, *y, *z));
}
void RecordingSceneApi::translate(const double* x, const double* y, const double* z) {
    record(formatted("translate %g %g %g", *x, *y, *z));
}
bool RecordingSceneApi::beginMatrix(const char* name) { return recordBegin("beginMatrix", name); }
void RecordingSceneApi::endMatrix() { record("endMatrix"); }
bool RecordingSceneApi::beginMaterial(const char* name, bool /*placed*/) {
    return recordBegin("beginMaterial", name);
}
bool RecordingSceneApi::useMaterial(const char* name) { return recordBegin("useMaterial", name); }
void RecordingSceneApi::endMaterial() { record("endMaterial"); }
void RecordingSceneApi::useShaderText(int kind, const tal::ShaderText* /*text*/) {
    record(formatted("useShaderText %d", kind));
}
void RecordingSceneApi::useShader(int kind, int shaderId) {
    record(formatted("useShader %d %d", kind, shaderId));
}
bool RecordingSceneApi::beginShader(const char* name, const char* type) {
    record("beginShader " + text(name) + " " + text(type));
    return true;
}
bool RecordingSceneApi::beginShaderWithId(const char* type, int shaderId) {
    record("beginShaderWithId " + text(type) + formatted(" %d", shaderId));
    return true;
}
void RecordingSceneApi::endShader() { record("endShader"); }
const tal::ShaderText* RecordingSceneApi::currentShaderText() { return nullptr; }
void RecordingSceneApi::pushShaderText() { record("pushShaderText"); }
void RecordingSceneApi::popShaderText() { record("popShaderText"); }
bool RecordingSceneApi::setParameter(const char* name, int type, const void* /*value*/) {
    record("setParameter " + text(name) + formatted(" %d", type));
    return true;
}
bool RecordingSceneApi::linkShader(const char* name, int shaderId) {
    record("linkShader " + text(name) + formatted(" %d", shaderId));
    return true;
}
bool RecordingSceneApi::linkShaderText(const char* name, const tal::ShaderText* /*text*/) {
    return recordBegin("linkShaderText", name);
}
bool RecordingSceneApi::beginArray(const char* name) { return recordBegin("beginArray", name); }
void RecordingSceneApi::endArray() { record("endArray"); }
void RecordingSceneApi::addArrayElement(int type, const void* /*value*/) {
    record(formatted("addArrayElement %d", type));
}
void RecordingSceneApi::attribute(const char* name, const char* value) {
    record("attribute " + text(name) + " " + text(value));
}
void RecordingSceneApi::rawText(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    record(std::string("rawText ") + buffer);
}
void RecordingSceneApi::setFormatFlags(int flags) { record(formatted("setFormatFlags %d", flags)); }
void RecordingSceneApi::version(int version) { record(formatted("version %d", version)); }
void RecordingSceneApi::progress(const char* text_, float fraction) {
    record("progress " + text(text_) + formatted(" %.6f", static_cast<double>(fraction)));
}
void RecordingSceneApi::icon(const unsigned char* /*bytes*/, int length) {
    record(formatted("icon %d", length));
}
void RecordingSceneApi::binaryParameter(const char* keyword, const unsigned char* /*bytes*/,
                                        int length) {
    record("binaryParameter " + text(keyword) + formatted(" %d", length));
}
void RecordingSceneApi::id(unsigned int id) { record(formatted("id %u", id)); }
void RecordingSceneApi::flags(unsigned int flags) { record(formatted("flags %u", flags)); }
bool RecordingSceneApi::render() {
    record("render");
    return true;
}
void RecordingSceneApi::print(const char* text_) { record("print " + text(text_)); }
void RecordingSceneApi::error(const char* text_) { record("error " + text(text_)); }

}  // namespace vxtest
