// RecordingSceneApi: a scene API that records every call as one line of text
// ("beginGroup A", "progress A 0.500000", "endGroup", ...), for tests that check
// which statements a conversion makes and in what order, independent of how
// the file writer spells them. Begins answer true; nothing is captured.
#pragma once

#include <string>
#include <vector>

#include "sceneapi/scene_api.h"

namespace vxtest {

class RecordingSceneApi : public tal::talScene_api {
public:
    std::vector<std::string> calls;

    // The recorded calls whose text starts with one of `prefixes`.
    std::vector<std::string> filtered(const std::vector<std::string>& prefixes) const;

    bool beginGroup(const char* name, bool placed) override;
    void endGroup() override;
    bool beginObject(const char* name, bool placed) override;
    void endObject() override;
    bool beginGeometry(const char* name) override;
    void endGeometry() override;
    bool beginAnimation(const char* name, const char* kind) override;
    void endAnimation() override;
    bool beginLoad(const char* module) override;
    void endLoad() override;
    bool beginOptions() override;
    void endOptions() override;
    bool beginCamera(const char* name) override;
    void endCamera() override;
    bool beginImage() override;
    void endImage() override;
    bool beginOutput(const char* a, const char* b, const char* c) override;
    void endOutput() override;
    bool beginLight(const char* name) override;
    void endLight() override;
    bool beginAccel(const char* name) override;
    void endAccel() override;
    void transform(const double* m) override;
    void setTransform(const double* m) override;
    void scale(const double* x, const double* y, const double* z) override;
    void rotate(const double* x, const double* y, const double* z) override;
    void translate(const double* x, const double* y, const double* z) override;
    bool beginMatrix(const char* name) override;
    void endMatrix() override;
    bool beginMaterial(const char* name, bool placed) override;
    bool useMaterial(const char* name) override;
    void endMaterial() override;
    void useShaderText(int kind, const tal::ShaderText* text) override;
    void useShader(int kind, int shaderId) override;
    bool beginShader(const char* name, const char* type) override;
    bool beginShaderWithId(const char* type, int shaderId) override;
    void endShader() override;
    const tal::ShaderText* currentShaderText() override;
    void pushShaderText() override;
    void popShaderText() override;
    bool setParameter(const char* name, int type, const void* value) override;
    bool linkShader(const char* name, int shaderId) override;
    bool linkShaderText(const char* name, const tal::ShaderText* text) override;
    bool beginArray(const char* name) override;
    void endArray() override;
    void addArrayElement(int type, const void* value) override;
    void attribute(const char* name, const char* value) override;
    void rawText(const char* format, ...) override __attribute__((format(printf, 2, 3)));
    void setFormatFlags(int flags) override;
    void version(int version) override;
    void progress(const char* text, float fraction) override;
    void icon(const unsigned char* bytes, int length) override;
    void binaryParameter(const char* keyword, const unsigned char* bytes, int length) override;
    void id(unsigned int id) override;
    void flags(unsigned int flags) override;
    bool render() override;
    void print(const char* text) override;
    void error(const char* text) override;

private:
    void record(std::string call) { calls.push_back(std::move(call)); }
    bool recordBegin(const char* op, const char* name);
};

}  // namespace vxtest
