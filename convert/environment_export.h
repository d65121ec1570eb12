// Environment export: the scene's lighting environment, a fixed
// high-dynamic-range map that ships with the renderer ("startup.hdr", found
// in the renderer's own resources). Nothing of the host document (sky,
// background, environment objects) is read, so every export carries the
// same environment.
//
// Contract. writeEnvironment writes one anonymous "tal_envmap" shader on the
// layer's scene API and answers its captured text, which the back end owns;
// the caller binds it where it belongs (each camera's "reflection map").
// Null when the layer has no scene API or the back end captures nothing.
#pragma once

namespace tal {
class talSceneapi_oo;
struct ShaderText;
}  // namespace tal

namespace convert {

const tal::ShaderText* writeEnvironment(tal::talSceneapi_oo& scene);

}  // namespace convert
