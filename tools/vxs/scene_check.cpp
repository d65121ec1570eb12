#include "vxs/scene_check.h"

#include <numeric>
#include <optional>

#include "scenefile/scene_index.h"

namespace vxs {

using scenefile::Document;
using scenefile::Node;
using scenefile::NodeKind;
using scenefile::SceneIndex;
using scenefile::Value;

namespace {

class Checker {
public:
    Checker(const scenefile::Document& doc, std::size_t limit) : index_(doc), limit_(limit) {}

    void blocks(const std::vector<Node>& nodes, const std::string& context) {
        for (const Node& n : nodes) {
            if (full()) return;
            node(n, context);
        }
    }
    std::vector<Problem> take() { return std::move(problems_); }

private:
    bool full() const { return limit_ != 0 && problems_.size() >= limit_; }
    void report(const Node& at, const std::string& context, const std::string& what) {
        if (!full()) problems_.push_back({at.pos, context + what});
    }

    void node(const Node& n, const std::string& context) {
        for (const Value& v : n.args) value(n, v, context);
        if (n.kind == NodeKind::UseShader) shaderUse(n, *n.value(), context);
        if (n.kind == NodeKind::UseMaterial && !index_.definedMaterials().count(n.name()))
            report(n, context,
                   "material \"" + std::string(n.name()) + "\" is used but not defined");
        if (n.kind != NodeKind::Block) return;
        std::string inner =
            context + n.word + (n.args.empty() ? "" : " \"" + std::string(n.name()) + "\"") + ": ";
        if (n.word == "geometry" && n.name() == "triangles") triangles(n, inner);
        if (n.word == "geometry" && n.name() == "tal_bezier_curves") curves(n, inner);
        if (n.word == "animation") animation(n, inner);
        blocks(n.children, inner);
    }

    void value(const Node& at, const Value& v, const std::string& context) {
        if (v.linked) shaderUse(at, v, context);
        if (const Node* s = v.shader())
            blocks(s->children, context + "shader \"" + std::string(shaderType(*s)) + "\": ");
        if (const auto* bin = v.binary(); bin && bin->kind == 'c' && bin->count() % 3 != 0)
            report(at, context,
                   "binary float-triple array of " + std::to_string(bin->count()) +
                       " values is not a whole number of triples");
        if (const auto* arr = v.array())
            for (const Value& item : arr->items) value(at, item, context);
    }

    void shaderUse(const Node& at, const Value& v, const std::string& context) {
        const auto* ref = std::get_if<scenefile::ShaderRef>(&v.v);
        if (ref && !index_.numberedShaders().count(ref->id))
            report(at, context, "shader " + std::to_string(ref->id) + " is used but not defined");
    }

    // The integers of `name`, or nullopt after reporting why not.
    std::optional<std::vector<std::int64_t>> indices(const Node& geometry, const char* name,
                                                     const std::string& context) {
        const Node* p = geometry.parameter(name);
        std::vector<std::int64_t> out;
        if (!scenefile::flattenInts(*p->value(), out)) {
            report(*p, context, std::string(name) + " is not an array of integers");
            return std::nullopt;
        }
        return out;
    }

    // Reports the first index of `name` outside [0, limit) and how many there are.
    void inRange(const Node& geometry, const char* name, const std::vector<std::int64_t>& idx,
                 std::size_t limit, const char* of, const std::string& context) {
        std::size_t bad = 0, first = 0;
        for (std::size_t i = 0; i < idx.size(); ++i)
            if (idx[i] < 0 || static_cast<std::uint64_t>(idx[i]) >= limit) {
                if (bad++ == 0) first = i;
            }
        if (bad == 0) return;
        report(*geometry.parameter(name), context,
               std::string(name) + "[" + std::to_string(first) + "] = " +
                   std::to_string(idx[first]) + " is outside the " + std::to_string(limit) + " " +
                   of + (bad > 1 ? " (" + std::to_string(bad) + " such indices)" : ""));
    }

    // Element count of a tuple array: scalars / width, after reporting a partial tuple.
    std::optional<std::size_t> tuples(const Node& geometry, const char* name, std::size_t width,
                                      const std::string& context) {
        const Node* p = geometry.parameter(name);
        std::vector<double> values;
        if (!scenefile::flattenNumbers(*p->value(), values)) {
            report(*p, context, std::string(name) + " is not numeric");
            return std::nullopt;
        }
        if (values.size() % width != 0) {
            report(*p, context,
                   std::string(name) + " holds " + std::to_string(values.size()) +
                       " values, not a whole number of " + std::to_string(width) + "-tuples");
            return std::nullopt;
        }
        return values.size() / width;
    }

    void triangles(const Node& g, const std::string& context) {
        if (!g.parameter("vertices") || !g.parameter("triangles")) {
            report(g, context, !g.parameter("vertices") ? "no vertices" : "no triangles");
            return;
        }
        auto vertices = tuples(g, "vertices", 3, context);
        auto tris = indices(g, "triangles", context);
        if (!tris) return;
        if (tris->size() % 3 != 0)
            report(*g.parameter("triangles"), context,
                   "triangles holds " + std::to_string(tris->size()) +
                       " indices, not whole triangles");
        if (vertices) inRange(g, "triangles", *tris, *vertices, "vertices", context);
        corners(g, "normals", 3, "triangles_norm", "normals", tris->size(), vertices, context);
        corners(g, "uv_tex", 2, "triangles_uv", "uvs", tris->size(), vertices, context);
    }

    // A per-corner attribute and its index array: as many indices as
    // triangle corners, each within the attribute. Without an index array the
    // attribute is per vertex (the light meshes' normals), one per vertex.
    void corners(const Node& g, const char* values, std::size_t width, const char* indexName,
                 const char* of, std::size_t cornerCount, std::optional<std::size_t> vertexCount,
                 const std::string& context) {
        bool hasValues = g.parameter(values) != nullptr,
             hasIndices = g.parameter(indexName) != nullptr;
        if (!hasValues) {
            if (hasIndices) report(g, context, std::string(indexName) + " without " + values);
            return;
        }
        auto count = tuples(g, values, width, context);
        if (!hasIndices) {
            if (count && vertexCount && *count != *vertexCount)
                report(*g.parameter(values), context,
                       std::string(values) + " without " + indexName + " holds " +
                           std::to_string(*count) + " " + of + " for " +
                           std::to_string(*vertexCount) + " vertices");
            return;
        }
        auto idx = indices(g, indexName, context);
        if (!idx) return;
        if (idx->size() != cornerCount)
            report(*g.parameter(indexName), context,
                   std::string(indexName) + " holds " + std::to_string(idx->size()) +
                       " indices for " + std::to_string(cornerCount) + " triangle corners");
        if (count) inRange(g, indexName, *idx, *count, of, context);
    }

    void curves(const Node& g, const std::string& context) {
        if (!g.parameter("p") || !g.parameter("nvertices")) {
            report(g, context, !g.parameter("p") ? "no points (p)" : "no nvertices");
            return;
        }
        auto points = tuples(g, "p", 3, context);
        auto counts = indices(g, "nvertices", context);
        if (!points || !counts) return;
        std::int64_t sum = std::accumulate(counts->begin(), counts->end(), std::int64_t{0});
        if (sum != static_cast<std::int64_t>(*points))
            report(*g.parameter("nvertices"), context,
                   "nvertices add up to " + std::to_string(sum) + " points, p holds " +
                       std::to_string(*points));
        if (g.parameter("pr"))
            if (auto radii = tuples(g, "pr", 1, context); radii && *radii != *points)
                report(*g.parameter("pr"), context,
                       "pr holds " + std::to_string(*radii) + " radii for " +
                           std::to_string(*points) + " points");
        if (g.parameter("curve_uv"))
            if (auto uvs = tuples(g, "curve_uv", 2, context); uvs && *uvs != counts->size())
                report(*g.parameter("curve_uv"), context,
                       "curve_uv holds " + std::to_string(*uvs) + " uvs for " +
                           std::to_string(counts->size()) + " curves");
    }

    void animation(const Node& a, const std::string& context) {
        if (!a.parameter("matrices") || !a.parameter("timestamps")) return;
        auto matrices = tuples(a, "matrices", 16, context);
        auto stamps = indices(a, "timestamps", context);
        if (matrices && stamps && *matrices != stamps->size())
            report(*a.parameter("timestamps"), context,
                   std::to_string(stamps->size()) + " timestamps for " + std::to_string(*matrices) +
                       " matrices");
    }

    SceneIndex index_;
    std::size_t limit_;
    std::vector<Problem> problems_;
};

}  // namespace

std::vector<Problem> checkScene(const scenefile::Document& doc, std::size_t limit) {
    Checker checker(doc, limit);
    checker.blocks(doc.statements, "");
    return checker.take();
}

std::string formatProblem(const Problem& p) {
    return "line " + std::to_string(p.pos.line) + ", byte " + std::to_string(p.pos.offset) + ": " +
           p.what;
}

}  // namespace vxs
