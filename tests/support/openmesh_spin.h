// The same edge spins done by OpenMesh, an independent mesh library: the
// reference that a run of the command is compared with.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>

#include "minihost/mesh.h"
#include "spun.h"

namespace testing_support
{

using triangle = std::array<uint32_t, 3>;

// rotated to start at its least id; the winding stays
inline triangle least_first(triangle t)
{
    std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    return t;
}

// the mesh's triangles as point-id triples up to rotation, sorted
inline std::vector<triangle> triangles_of(const minihost::mesh &m)
{
    std::vector<triangle> out;
    m.each_polygon(
        [&](const minihost::polygon &p)
        {
            if (p.points.size() == 3)
                out.push_back(least_first({p.points[0], p.points[1], p.points[2]}));
        });
    std::sort(out.begin(), out.end());
    return out;
}

// Builds m's triangles as an OpenMesh triangle mesh, flips the edge each
// pair shares, and gives the triangles as triangles_of does. Nothing when
// OpenMesh will not take the mesh or a pair has no flippable shared edge.
inline std::optional<std::vector<triangle>> openmesh_spin(const minihost::mesh &m, const std::vector<spun_pair> &pairs)
{
    using trimesh = OpenMesh::TriMesh_ArrayKernelT<>;
    trimesh om;

    std::unordered_map<uint32_t, trimesh::VertexHandle> vertex;
    std::vector<uint32_t> point_of; // by vertex index
    for (uint32_t id : m.point_ids())
    {
        const minihost::vec3 &p = *m.point(id);
        vertex[id] = om.add_vertex(trimesh::Point(p.x, p.y, p.z));
        point_of.push_back(id);
    }

    std::unordered_map<uint32_t, trimesh::FaceHandle> face;
    bool built = true;
    m.each_polygon(
        [&](const minihost::polygon &p)
        {
            if (p.points.size() != 3)
                return;
            trimesh::FaceHandle f = om.add_face(vertex.at(p.points[0]), vertex.at(p.points[1]), vertex.at(p.points[2]));
            built = built && f.is_valid();
            face[p.id] = f;
        });
    if (!built)
        return std::nullopt;

    for (const spun_pair &pair : pairs)
    {
        trimesh::FaceHandle a = face.at(pair.first), b = face.at(pair.second);
        OpenMesh::EdgeHandle shared;
        for (auto h : om.fh_range(a))
            if (om.opposite_face_handle(h) == b)
                shared = om.edge_handle(h);
        if (!shared.is_valid() || !om.is_flip_ok(shared))
            return std::nullopt;
        om.flip(shared);
    }

    std::vector<triangle> out;
    for (auto f : om.faces())
    {
        triangle t{};
        size_t i = 0;
        for (auto v : om.fv_range(f))
            t[i++] = point_of[size_t(v.idx())];
        out.push_back(least_first(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace testing_support
