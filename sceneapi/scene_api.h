// talScene_api: the scene interface through which the whole conversion
// describes a scene to the renderer.
//
// Contract. A flat, stateful, statement-oriented interface: blocks are opened
// and closed in nesting order, and parameters, transforms, arrays and
// attributes belong to the innermost open block. A "begin" that answers false
// opened nothing and must not be closed. The 68 virtual operations keep a fixed
// slot order: the live-link library is built separately and implements the
// same table, so no slot may move, including those nothing here calls.
//
// Arguments. Texts are zero-terminated 8-bit UTF-8 strings, read during the
// call only. A matrix is 16 doubles, row-major: the x, y and z axes (each
// followed by 0), then the offset followed by 1. Array values are passed as a
// pointer to an ArrayValue. Shader texts are owned by the back end that made
// them. Nothing here throws; failures are answers.
#pragma once

#include <cstdint>

namespace tal {

struct ShaderText;

// Value type codes of setParameter (slot 45) and addArrayElement (slot 50).
enum ValueType : int {
    kFloat3 = 1,           // three 32-bit floats (point, vector, colour)
    kFloat4 = 2,           // four 32-bit floats
    kFloat = 3,            // one 32-bit float
    kDouble = 4,           // one 64-bit double
    kDouble3 = 5,          // three 64-bit doubles
    kInt = 6,              // one 32-bit signed integer
    kBool = 7,             // a bool passed as a 32-bit integer, non-zero is true
    kMatrix = 9,           // 16 doubles
    kString = 10,          // the value pointer is the text itself
    kStringRef = 13,       // the value pointer points to a text pointer
    kFloat2 = 14,          // two 32-bit floats
    kFloat4b = 15,         // four 32-bit floats, as kFloat4
    kInt2 = 16,            // two 32-bit integers
    kInt3 = 17,            // three 32-bit integers
    kInt4 = 18,            // four 32-bit integers
    kInt23 = 23,           // one 32-bit integer, as kInt
    kArrayBit = 0x8000,    // added to a base code: an array, passed as ArrayValue
    kShaderText = 0x10000  // the value pointer points to a ShaderText pointer
};

// An array value: the first element and the number of elements (not of the
// scalar values: 2 triples have count 2).
struct ArrayValue {
    const void* data;
    std::int32_t count;
};

// Shader kinds of useShader / useShaderText.
enum ShaderKind : int { kSurface = 0, kShadow = 1, kVolume = 2, kReflectionMap = 3 };

class talScene_api {
public:
    virtual ~talScene_api();                                              // 0
    virtual void reservedHook1();                                         // 1
    virtual bool connect(const char* host, int port, int attemptMode);    // 2
    virtual bool disconnect();                                            // 3
    virtual bool reservedQuery4();                                        // 4
    virtual bool beginGroup(const char* name, bool placed) = 0;           // 5
    virtual void endGroup() = 0;                                          // 6
    virtual bool beginObject(const char* name, bool placed) = 0;          // 7
    virtual void endObject() = 0;                                         // 8
    virtual bool beginGeometry(const char* name) = 0;                     // 9
    virtual void endGeometry() = 0;                                       // 10
    virtual bool beginAnimation(const char* name, const char* kind) = 0;  // 11
    virtual void endAnimation() = 0;                                      // 12
    virtual bool beginLoad(const char* module) = 0;                       // 13
    virtual void endLoad() = 0;                                           // 14
    virtual bool beginOptions() = 0;                                      // 15
    virtual void endOptions() = 0;                                        // 16
    virtual bool beginCamera(const char* name) = 0;                       // 17, name may be null
    virtual void endCamera() = 0;                                         // 18
    virtual bool beginImage() = 0;                                        // 19
    virtual void endImage() = 0;                                          // 20
    virtual bool beginOutput(const char* a, const char* b, const char* c) = 0;      // 21
    virtual void endOutput() = 0;                                                   // 22
    virtual bool beginLight(const char* name) = 0;                                  // 23
    virtual void endLight() = 0;                                                    // 24
    virtual bool beginAccel(const char* name) = 0;                                  // 25
    virtual void endAccel() = 0;                                                    // 26
    virtual void transform(const double* m) = 0;                                    // 27
    virtual void setTransform(const double* m) = 0;                                 // 28
    virtual void scale(const double* x, const double* y, const double* z) = 0;      // 29
    virtual void rotate(const double* x, const double* y, const double* z) = 0;     // 30
    virtual void translate(const double* x, const double* y, const double* z) = 0;  // 31
    virtual bool beginMatrix(const char* name) = 0;                                 // 32
    virtual void endMatrix() = 0;                                                   // 33
    virtual bool beginMaterial(const char* name, bool placed) = 0;                  // 34
    virtual bool useMaterial(const char* name) = 0;                                 // 35
    virtual void endMaterial() = 0;                                                 // 36
    virtual void useShaderText(int kind, const ShaderText* text) = 0;               // 37
    virtual void useShader(int kind, int shaderId) = 0;                             // 38
    virtual bool beginShader(const char* name, const char* type) = 0;    // 39, name may be null
    virtual bool beginShaderWithId(const char* type, int shaderId) = 0;  // 40
    virtual void endShader() = 0;                                        // 41
    virtual const ShaderText* currentShaderText() = 0;                   // 42
    virtual void pushShaderText() = 0;                                   // 43
    virtual void popShaderText() = 0;                                    // 44
    virtual bool setParameter(const char* name, int type, const void* value) = 0;  // 45
    virtual bool linkShader(const char* name, int shaderId) = 0;                   // 46
    virtual bool linkShaderText(const char* name, const ShaderText* text) = 0;     // 47
    virtual bool beginArray(const char* name) = 0;                                 // 48
    virtual void endArray() = 0;                                                   // 49
    virtual void addArrayElement(int type, const void* value) = 0;                 // 50
    virtual int reservedCount51();                                                 // 51
    virtual int reservedCount52();                                                 // 52
    virtual int reservedQuery53();                                                 // 53
    virtual void attribute(const char* name, const char* value) = 0;               // 54
    virtual void rawText(const char* format, ...)                                  // 55
        __attribute__((format(printf, 2, 3))) = 0;
    virtual void setFormatFlags(int flags) = 0;                     // 56
    virtual void version(int version) = 0;                          // 57, -1 means 8
    virtual void reservedHook58();                                  // 58
    virtual void progress(const char* text, float fraction) = 0;    // 59
    virtual void icon(const unsigned char* bytes, int length) = 0;  // 60
    virtual void binaryParameter(const char* keyword, const unsigned char* bytes,
                                 int length) = 0;  // 61
    virtual void id(unsigned int id) = 0;          // 62
    virtual void flags(unsigned int flags) = 0;    // 63
    virtual bool reservedQuery64();                // 64
    virtual bool render() = 0;                     // 65
    virtual void print(const char* text) = 0;      // 66
    virtual void error(const char* text) = 0;      // 67
};

}  // namespace tal
