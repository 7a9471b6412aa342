#include "minihost/mesh.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace minihost
{

uint32_t mesh::add_point(vec3 position, uint32_t id)
{
    if (id == 0)
        id = next_point;
    if (id >= positions.size())
    {
        positions.resize(size_t(id) + 1);
        point_exists.resize(size_t(id) + 1);
    }
    if (point_exists[id])
        throw std::invalid_argument("point id " + std::to_string(id) + " is taken");
    positions[id] = position;
    point_exists[id] = 1;
    ++live_points;
    next_point = std::max(next_point, id + 1);
    return id;
}

uint32_t mesh::surface(std::string_view name)
{
    auto it = std::find(surface_names.begin(), surface_names.end(), name);
    if (it != surface_names.end())
        return uint32_t(it - surface_names.begin());
    surface_names.emplace_back(name);
    return uint32_t(surface_names.size() - 1);
}

uint32_t mesh::add_polygon(std::span<const uint32_t> points, uint32_t type, std::string_view surface_name,
                           bool selected, uint32_t id)
{
    if (id == 0)
        id = next_polygon;
    if (id >= slot_by_id.size())
        slot_by_id.resize(std::max<size_t>(size_t(id) + 1, slot_by_id.size() * 2));
    if (slot_by_id[id] != 0)
        throw std::invalid_argument("polygon id " + std::to_string(id) + " is taken");

    polygon p;
    p.id = id;
    p.flags = selected ? POLYFLAG_SELECTED : 0;
    p.type = type;
    p.surface = surface(surface_name);
    p.points.assign(points.begin(), points.end());
    polygons.push_back(std::move(p));
    slot_by_id[id] = uint32_t(polygons.size());
    ++live_polygons;
    next_polygon = std::max(next_polygon, id + 1);
    return id;
}

bool mesh::remove_polygon(uint32_t id)
{
    polygon *p = find(id);
    if (!p)
        return false;
    p->id = 0;
    p->points.clear();
    slot_by_id[id] = 0;
    --live_polygons;
    return true;
}

const vec3 *mesh::point(uint32_t id) const
{
    if (id >= positions.size() || !point_exists[id])
        return nullptr;
    return &positions[id];
}

const polygon *mesh::find(uint32_t id) const
{
    if (id >= slot_by_id.size() || slot_by_id[id] == 0)
        return nullptr;
    return &polygons[slot_by_id[id] - 1];
}

polygon *mesh::find(uint32_t id)
{
    return const_cast<polygon *>(std::as_const(*this).find(id));
}

std::vector<polygon> mesh::polygon_list() const
{
    std::vector<polygon> list;
    list.reserve(live_polygons);
    each_polygon([&](const polygon &p) { list.push_back(p); });
    return list;
}

std::vector<uint32_t> mesh::point_ids() const
{
    std::vector<uint32_t> ids;
    for (uint32_t id = 0; id < point_exists.size(); ++id)
        if (point_exists[id])
            ids.push_back(id);
    return ids;
}

void mesh::compact()
{
    if (live_polygons == polygons.size())
        return;
    std::erase_if(polygons, [](const polygon &p) { return p.id == 0; });
    std::fill(slot_by_id.begin(), slot_by_id.end(), 0);
    for (size_t i = 0; i < polygons.size(); ++i)
        slot_by_id[polygons[i].id] = uint32_t(i + 1);
}

bool operator==(const mesh &a, const mesh &b)
{
    if (a.live_points != b.live_points || a.live_polygons != b.live_polygons)
        return false;
    for (uint32_t id : a.point_ids())
    {
        const vec3 *q = b.point(id);
        if (!q || !(*q == *a.point(id)))
            return false;
    }
    std::vector<polygon> pa = a.polygon_list(), pb = b.polygon_list();
    for (size_t i = 0; i < pa.size(); ++i)
    {
        // surfaces compare by name: two meshes may have interned them apart
        if (pa[i].id != pb[i].id || pa[i].flags != pb[i].flags || pa[i].type != pb[i].type ||
            pa[i].points != pb[i].points || a.surface_names[pa[i].surface] != b.surface_names[pb[i].surface])
            return false;
    }
    return true;
}

std::vector<std::string> check(const mesh &m, size_t expected_polygons)
{
    std::vector<std::string> problems;
    if (m.polygon_count() != expected_polygons)
        problems.push_back("polygon count " + std::to_string(m.polygon_count()) + ", expected " +
                           std::to_string(expected_polygons));
    m.each_polygon(
        [&](const polygon &p)
        {
            for (uint32_t point : p.points)
                if (!m.point(point))
                    problems.push_back("polygon " + std::to_string(p.id) + " names missing point " +
                                       std::to_string(point));
        });
    return problems;
}

std::string type_name(uint32_t type)
{
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        char c = char((type >> shift) & 0xFF);
        if (!std::isprint(static_cast<unsigned char>(c)))
        {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", type);
            return hex;
        }
        name += c;
    }
    return name;
}

} // namespace minihost
