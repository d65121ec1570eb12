// talSceneapi_oo: the object layer through which the conversion writes a scene.
//
// Contract. Constructed on a LightFactory, it asks the factory for its scene
// API; when one comes, it lets the factory begin the scene (the file factory
// writes the header lines) and writes the banner `#print` and `version 8`.
// When none comes, api() answers null and the layer writes nothing. The layer
// never owns the scene API: deleting it leaves the back end to the factory,
// and it must be deleted before the factory. Shaders (beginShader) and ids
// (newId) are numbered 1, 2, 3, ... per layer. Texts are 8-bit UTF-8.
// The text-pointer setParameter overload is deprecated and always raises
// std::invalid_argument("const char * are deprecated"); pass std::string.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tal {

class talScene_api;
class LightFactory;
class LightNode;

// 16 doubles, row-major: x axis, 0, y axis, 0, z axis, 0, offset, 1.
using Matrix16 = std::array<double, 16>;

// A float sequence that holds triples (points, normals, uvw); written with
// the array-of-three-floats code, count = size / 3.
struct FloatTriples {
    const std::vector<float>& values;
};

class talSceneapi_oo {
public:
    explicit talSceneapi_oo(LightFactory* factory);
    virtual ~talSceneapi_oo();                                                               // 0
    virtual void attach(talScene_api* api);                                                  // 1
    virtual int newId();                                                                     // 2
    virtual void add(LightNode& node);                                                       // 3
    virtual void progress(const std::string& text, float fraction);                          // 4
    virtual void beginGroup(const std::string& name);                                        // 5
    virtual void endGroup();                                                                 // 6
    virtual int beginShader(const std::string& type);                                        // 7
    virtual void endShader();                                                                // 8
    virtual bool setParameter(const std::string& name, const char* text);                    // 9
    virtual bool setParameter(const std::string& name, const std::string& text);             // 10
    virtual bool setParameter(const std::string& name, const std::array<float, 3>& v);       // 11
    virtual bool setParameter(const std::string& name, const std::array<double, 3>& v);      // 12
    virtual bool setParameter(const std::string& name, double v);                            // 13
    virtual bool setParameter(const std::string& name, float v);                             // 14
    virtual bool setParameter(const std::string& name, std::int32_t v);                      // 15
    virtual bool setParameter(const std::string& name, bool v);                              // 16
    virtual bool setParameter(const std::string& name, const std::vector<Matrix16>& v);      // 17
    virtual bool setParameter(const std::string& name, const std::vector<std::int32_t>& v);  // 18
    virtual bool setParameter(const std::string& name, const std::vector<float>& v);         // 19
    virtual bool setParameter(const std::string& name, const std::vector<double>& v);        // 20
    virtual bool setParameter(const std::string& name, FloatTriples v);                      // 21
    virtual void transform(const Matrix16& m);                                               // 22
    virtual void transform(const Matrix16& m, bool set);                                     // 23
    virtual void flags(unsigned int flags);                                                  // 24
    virtual talScene_api* api();                                                             // 25

    talSceneapi_oo(const talSceneapi_oo&) = delete;
    talSceneapi_oo& operator=(const talSceneapi_oo&) = delete;

private:
    talScene_api* api_ = nullptr;
    LightFactory* factory_ = nullptr;
    std::int32_t shaderCounter_ = 0;
    std::int32_t idCounter_ = 0;
};

}  // namespace tal
