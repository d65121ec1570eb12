#include "bench/mesh/grid_document.h"

#include <cmath>

namespace bench {

std::unique_ptr<host::BaseDocument> makeGrid(int side) {
    auto doc = std::make_unique<host::BaseDocument>();
    auto mesh = std::make_unique<host::PolygonObject>();
    mesh->SetName("Grid");
    const int row = side + 1;
    mesh->points().reserve(static_cast<std::size_t>(row) * row);
    for (int z = 0; z < row; ++z)
        for (int x = 0; x < row; ++x)
            mesh->points().push_back(
                {x * 1.0, 0.25 * std::sin(x * 0.05) * std::cos(z * 0.05), z * 1.0});
    auto uvw = std::make_unique<host::UVWTag>();
    const std::size_t quads = static_cast<std::size_t>(side) * side;
    mesh->polygons().reserve(quads);
    uvw->data().reserve(quads);
    const double step = 1.0 / side;
    for (int z = 0; z < side; ++z) {
        for (int x = 0; x < side; ++x) {
            const int a = z * row + x;
            mesh->polygons().push_back({a, a + row, a + row + 1, a + 1});
            const double u = x * step, v = z * step;
            uvw->data().push_back(
                {{u, v, 0}, {u, v + step, 0}, {u + step, v + step, 0}, {u + step, v, 0}});
        }
    }
    auto phong = std::make_unique<host::BaseTag>(host::Tphong);
    phong->SetParameter(host::DescID(1000), host::GeData::Integer(1));
    phong->SetParameter(host::DescID(1001),
                        host::GeData::Number(0.6981317007977318));  // 40 degrees
    mesh->InsertTag(std::move(uvw));
    mesh->InsertTag(std::move(phong));
    doc->InsertObject(std::move(mesh));
    return doc;
}

}  // namespace bench
