// The ray tracing acceleration structure: the render model's meshes in an
// Embree 3 scene.
//
// Contract. Built once; intersect and occluded may then be called from any
// number of threads at once. A hit names the mesh (its index in the model),
// the triangle and the barycentric coordinates of the hit within it. Rays
// ignore hits closer than `tnear`. Triangles with a vertex that is not a
// finite number are never hit. The construction throws RenderError when
// Embree cannot make a device or a scene (out of memory).
#pragma once

#include <cstdint>

#include "preview/render_model.h"

typedef struct RTCDeviceTy* RTCDevice;
typedef struct RTCSceneTy* RTCScene;

namespace preview {

struct Hit {
    float t = 0;
    std::uint32_t mesh = 0, triangle = 0;
    float u = 0, v = 0;  // the hit is (1-u-v) * a + u * b + v * c
};

class Bvh {
public:
    // `model` must outlive the Bvh: its vertex and index arrays are shared.
    Bvh(const RenderModel& model, unsigned threads);
    ~Bvh();
    Bvh(const Bvh&) = delete;
    Bvh& operator=(const Bvh&) = delete;

    bool intersect(Vec3 origin, Vec3 direction, float tnear, float tfar, Hit& hit) const;
    bool occluded(Vec3 origin, Vec3 direction, float tnear, float tfar) const;

private:
    void addMesh(const Mesh& mesh, unsigned id);
    void release();

    RTCDevice device_ = nullptr;
    RTCScene scene_ = nullptr;
};

}  // namespace preview
