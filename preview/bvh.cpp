#include "preview/bvh.h"

#include <embree3/rtcore.h>

#include <cmath>
#include <cstring>
#include <string>

#include "preview/preview.h"

namespace preview {

namespace {

[[noreturn]] void fail(RTCDevice device, const std::string& what) {
    const RTCError code = device ? rtcGetDeviceError(device) : RTC_ERROR_UNKNOWN;
    throw RenderError("the ray tracer cannot " + what + " (Embree error " +
                      std::to_string(static_cast<int>(code)) + ")");
}

}  // namespace

Bvh::Bvh(const RenderModel& model, unsigned threads) {
    const std::string config = "threads=" + std::to_string(threads);
    device_ = rtcNewDevice(config.c_str());
    if (!device_) fail(nullptr, "start");
    try {
        scene_ = rtcNewScene(device_);
        if (!scene_) fail(device_, "make a scene");
        rtcSetSceneBuildQuality(scene_, RTC_BUILD_QUALITY_LOW);  // a fast build for one picture
        for (std::size_t i = 0; i < model.meshes.size(); ++i)
            addMesh(model.meshes[i], static_cast<unsigned>(i));
        rtcCommitScene(scene_);
        if (rtcGetDeviceError(device_) != RTC_ERROR_NONE)
            throw RenderError("the ray tracer cannot hold the scene (out of memory)");
    } catch (...) {
        release();
        throw;
    }
}

void Bvh::addMesh(const Mesh& mesh, unsigned id) {
    RTCGeometry g = rtcNewGeometry(device_, RTC_GEOMETRY_TYPE_TRIANGLE);
    if (!g) fail(device_, "make a mesh");
    rtcSetSharedGeometryBuffer(g, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                               mesh.positions.data(), 0, 3 * sizeof(float), mesh.vertexCount);
    // Embree reads 16 bytes at a time: the positions carry their own padding, the
    // indices are copied into a buffer Embree pads.
    const std::size_t triangles = mesh.triangles.size() / 3;
    void* indices = rtcSetNewGeometryBuffer(g, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                            3 * sizeof(std::uint32_t), triangles);
    if (!indices) {
        rtcReleaseGeometry(g);
        fail(device_, "hold a mesh");
    }
    std::memcpy(indices, mesh.triangles.data(), triangles * 3 * sizeof(std::uint32_t));
    rtcCommitGeometry(g);
    rtcAttachGeometryByID(scene_, g, id);
    rtcReleaseGeometry(g);
}

void Bvh::release() {
    if (scene_) rtcReleaseScene(scene_);
    if (device_) rtcReleaseDevice(device_);
    scene_ = nullptr;
    device_ = nullptr;
}

Bvh::~Bvh() { release(); }

bool Bvh::intersect(Vec3 origin, Vec3 direction, float tnear, float tfar, Hit& hit) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh{};
    rh.ray.org_x = origin.x, rh.ray.org_y = origin.y, rh.ray.org_z = origin.z;
    rh.ray.dir_x = direction.x, rh.ray.dir_y = direction.y, rh.ray.dir_z = direction.z;
    rh.ray.tnear = tnear;
    rh.ray.tfar = tfar;
    rh.ray.mask = 0xffffffffu;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene_, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;
    hit.t = rh.ray.tfar;
    hit.mesh = rh.hit.geomID;
    hit.triangle = rh.hit.primID;
    hit.u = rh.hit.u;
    hit.v = rh.hit.v;
    return true;
}

bool Bvh::occluded(Vec3 origin, Vec3 direction, float tnear, float tfar) const {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay ray{};
    ray.org_x = origin.x, ray.org_y = origin.y, ray.org_z = origin.z;
    ray.dir_x = direction.x, ray.dir_y = direction.y, ray.dir_z = direction.z;
    ray.tnear = tnear;
    ray.tfar = tfar;
    ray.mask = 0xffffffffu;
    rtcOccluded1(scene_, &context, &ray);
    return ray.tfar == -INFINITY;
}

}  // namespace preview
