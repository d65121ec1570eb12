// talScene_api_file: the scene API back end that writes the renderer's "dal"
// text scene format to an output stream.
//
// Contract. Every call appends its statement to the output in call order:
// no second pass, no trailer, nothing read back. The output reaches the
// stream in whole blocks of 256 KiB (see OutputPaths); flushOutput() hands
// over the rest, and so does destruction. The stream is not owned; the
// writer never flushes or closes it (its owner does, after the writer is
// destroyed). While the writer exists, its thread formats numbers
// in the neutral "C" numeric locale, so the decimal separator is always a
// point. Shader texts captured from anonymous shaders belong to the writer
// and live until it is destroyed.
//
// Blocks. Options, camera and image are top-level blocks: a begin of one is
// refused (answers false, writes nothing) while one of them or an object is
// open. Every other begin answers true. Ends trust the caller's balance; an
// unbalanced end restores the outermost saved state.
//
// Failures. A write the stream does not take completely is not reported and
// the writer goes on; writeError() keeps the first reason (errno) for the
// stream's owner. Null text arguments count as empty texts (beginCamera and
// beginShader take null as "no name"); null value pointers write no value.
//
// Cost. One formatting pass into preallocated 1 MiB buffers per statement;
// numeric arrays in binary form are copied into the output block at most
// once (whole blocks of them go out from the caller's memory), or produced
// there in place (setArrayParameter).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "sceneapi/array_pieces.h"
#include "sceneapi/array_statement.h"
#include "sceneapi/numeric_locale.h"
#include "sceneapi/output_paths.h"
#include "sceneapi/scene_api.h"
#include "sceneapi/shader_text.h"
#include "sceneapi/state_stack.h"

namespace tal {

class talScene_api_file : public talScene_api, public ArrayPieceWriter {
public:
    // `binaryArrays`: numeric arrays in binary form (the file factory's choice).
    talScene_api_file(std::FILE* stream, bool binaryArrays);
    ~talScene_api_file() override;

    talScene_api_file(const talScene_api_file&) = delete;
    talScene_api_file& operator=(const talScene_api_file&) = delete;

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
    void useShaderText(int kind, const ShaderText* text) override;
    void useShader(int kind, int shaderId) override;
    bool beginShader(const char* name, const char* type) override;
    bool beginShaderWithId(const char* type, int shaderId) override;
    void endShader() override;
    const ShaderText* currentShaderText() override;
    void pushShaderText() override;
    void popShaderText() override;
    bool setParameter(const char* name, int type, const void* value) override;
    bool linkShader(const char* name, int shaderId) override;
    bool linkShaderText(const char* name, const ShaderText* text) override;
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

    // This back end only, after the last scene API slot: "#modify " and then
    // exactly what beginCamera(name) does.
    virtual bool modifyCamera(const char* name);

    // Binary arrays only; pieces of up to 256 KiB.
    bool setArrayParameter(const char* name, int type, std::size_t count,
                           ArraySource& source) override;

    // Hands the output gathered so far to the stream (the stream itself is
    // not flushed). Its owner calls this before it reads writeError() or
    // flushes the stream while the writer lives.
    void flushOutput() { out_.flush(); }

    // The first errno of a write the stream did not take completely; 0: none.
    int writeError() const { return out_.writeError(); }

private:
    enum class TopBlock { kNone = 0, kOptions = 1, kCamera = 2, kImage = 3, kObject = 4 };

    // Opens a block whose parameters use `statementMode`, saving the mode.
    void openNested(bool statementMode);
    void closeNested();
    bool beginTopLevel(TopBlock block);
    void endTopLevel(TopBlock block);
    void pushShaderState();
    void writeRoleWord(int kind, bool trailingBlank);
    void writeMatrix(const char* keyword, const double* m);
    void writeTriple(std::string_view keyword, const double* x, const double* y, const double* z);
    void parameterName(const char* name);

    NeutralNumericLocale locale_;  // first in, last out: restored after all output
    StateStack<std::int32_t> savedDepths_;
    std::vector<std::unique_ptr<ShaderText>> allShaderTexts_;
    StateStack<ShaderText*> shaderTextStack_;
    StateStack<std::uint8_t> captureStack_;
    StateStack<std::uint8_t> modeStack_;
    OutputPaths out_;  // stream, depth, capturing, current shader text, format flags, buffers
    ArrayStatement array_;
    std::unique_ptr<unsigned char[]> piece_;  // setArrayParameter's buffer, made on first use
    bool statementMode_ = false;
    TopBlock topBlock_ = TopBlock::kNone;
    bool binaryArrays_;
};

}  // namespace tal
