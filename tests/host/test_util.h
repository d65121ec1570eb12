// Helpers shared by the host tests: approximate comparison of host values.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>

#include "host/document_loader.h"
#include "host/math.h"

namespace hosttest {

// The loader's message for `json`, or "(loaded)" when it loads.
inline std::string loadError(const std::string& json) {
    try {
        host::LoadDocumentText(json, "/docs");
    } catch (const host::DocumentError& e) {
        return e.what();
    }
    return "(loaded)";
}

inline ::testing::AssertionResult near(const host::Vector& a, const host::Vector& b,
                                       double eps = 1e-9) {
    if (std::fabs(a.x - b.x) <= eps && std::fabs(a.y - b.y) <= eps && std::fabs(a.z - b.z) <= eps)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") != ("
                                         << b.x << ", " << b.y << ", " << b.z << ")";
}

inline ::testing::AssertionResult near(const host::Matrix& a, const host::Matrix& b,
                                       double eps = 1e-9) {
    for (auto [x, y, what] : {std::tuple{a.off, b.off, "off"}, std::tuple{a.v1, b.v1, "v1"},
                              std::tuple{a.v2, b.v2, "v2"}, std::tuple{a.v3, b.v3, "v3"}}) {
        if (auto r = near(x, y, eps); !r) return r << " in " << what;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace hosttest
