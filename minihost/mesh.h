// The stand-in host's in-memory mesh: points and polygons with small,
// stable integer ids, as a modelling host keeps them.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace minihost
{

struct vec3
{
    double x = 0, y = 0, z = 0;
    // the same stored values bit for bit, so that a point with a NaN is
    // itself and a -0.0 is not a 0.0
    friend bool operator==(const vec3 &a, const vec3 &b)
    {
        auto bits = [](double d) { return std::bit_cast<uint64_t>(d); };
        return bits(a.x) == bits(b.x) && bits(a.y) == bits(b.y) && bits(a.z) == bits(b.z);
    }
};

struct polygon
{
    uint32_t id = 0;
    int32_t flags = 0;
    uint32_t type = POLYTYPE_FACE;
    uint32_t surface = 0;         // index into mesh::surfaces()
    std::vector<uint32_t> points; // point ids, in the polygon's order
    friend bool operator==(const polygon &, const polygon &) = default;
};

// Points and polygons are found by id in constant time; polygons keep the
// order in which they were added, which is the order a scan visits them.
// Ids are positive and small enough to index a vector.
class mesh
{
  public:
    // adds a point with the next free id (or the given one) and returns it
    uint32_t add_point(vec3 position, uint32_t id = 0);
    // adds a polygon with the next free id (or the given one) and returns it
    uint32_t add_polygon(std::span<const uint32_t> points, uint32_t type = POLYTYPE_FACE,
                         std::string_view surface = "default", bool selected = true, uint32_t id = 0);
    uint32_t add_polygon(std::initializer_list<uint32_t> points, uint32_t type = POLYTYPE_FACE,
                         std::string_view surface = "default", bool selected = true, uint32_t id = 0)
    {
        return add_polygon(std::span<const uint32_t>(points.begin(), points.size()), type, surface, selected, id);
    }
    bool remove_polygon(uint32_t id);

    // the index of a surface name, added when new
    uint32_t surface(std::string_view name);
    const std::vector<std::string> &surfaces() const { return surface_names; }

    const vec3 *point(uint32_t id) const;
    const polygon *find(uint32_t id) const;
    polygon *find(uint32_t id);

    size_t point_count() const { return live_points; }
    size_t polygon_count() const { return live_polygons; }

    // every live polygon in mesh order
    template <typename F> void each_polygon(F &&visit) const
    {
        for (const polygon &p : polygons)
            if (p.id != 0)
                visit(p);
    }
    std::vector<polygon> polygon_list() const;
    std::vector<uint32_t> point_ids() const;

    // drops the holes left by removals, keeping the order
    void compact();

    // the same points and the same polygons, in the same order, with the same ids
    friend bool operator==(const mesh &a, const mesh &b);

  private:
    std::vector<vec3> positions;       // by point id
    std::vector<uint8_t> point_exists; // by point id
    std::vector<polygon> polygons;     // mesh order; id 0 marks a removed one
    std::vector<uint32_t> slot_by_id;  // polygon id -> index in polygons + 1
    std::vector<std::string> surface_names;
    size_t live_points = 0;
    size_t live_polygons = 0;
    uint32_t next_point = 1;
    uint32_t next_polygon = 1;
};

// Structural problems of a mesh: polygons naming missing points, a polygon
// count other than the expected one. Empty when the mesh is sound.
std::vector<std::string> check(const mesh &m, size_t expected_polygons);

// "FACE", "PTCH", or the code in hex when it does not print
std::string type_name(uint32_t type);

} // namespace minihost
