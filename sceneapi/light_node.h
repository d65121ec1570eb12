// LightNode: a scene node that writes itself through the object layer
// (talSceneapi_oo::add calls write). LightModule is a node that writes one
// module-load block: `load "<module name>" { <parameters> }`, its parameters
// supplied by the derived class's writeParameters.
#pragma once

#include <string>
#include <utility>

namespace tal {

class talSceneapi_oo;

class LightNode {
public:
    virtual void write(talSceneapi_oo& scene) = 0;
    virtual void reservedNodeHook1() {}
    virtual bool reservedNodeQuery2() { return false; }
    virtual ~LightNode() = default;
};

class LightModule : public LightNode {
public:
    explicit LightModule(std::string moduleName) : moduleName_(std::move(moduleName)) {}
    void write(talSceneapi_oo& scene) override;
    virtual void writeParameters(talSceneapi_oo& scene) = 0;
    const std::string& moduleName() const { return moduleName_; }

private:
    std::string moduleName_;
};

}  // namespace tal
