// LightFactory: the maker and sole owner of one scene API back end for one
// command (the scene file, or the live link to a renderer).
//
// Contract. openApi() answers the back end or null; the factory keeps owning
// it. beginScene() is called once by a new talSceneapi_oo right after it got a
// scene API. closeApi() releases the back end and whatever belongs to it (the
// file, the link); it may raise std::runtime_error when that release fails
// (the file factory's "could not close file"). The object layer is always
// deleted before its factory.
#pragma once

namespace tal {

class talScene_api;
class talSceneapi_oo;

class LightFactory {
public:
    virtual ~LightFactory() = default;
    virtual talScene_api* openApi() = 0;
    virtual void beginScene(talSceneapi_oo& scene) = 0;
    virtual void closeApi() = 0;

    LightFactory() = default;
    LightFactory(const LightFactory&) = delete;
    LightFactory& operator=(const LightFactory&) = delete;
};

}  // namespace tal
