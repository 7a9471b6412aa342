// What a run of the command did to the mesh, read back from the host's call
// log and from the edit result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "minihost/mesh.h"

namespace testing_support
{

struct spun_pair
{
    uint32_t first, second; // A and B, as the pair list holds them
    friend bool operator==(const spun_pair &, const spun_pair &) = default;
};

// The pairs edge spin replaced, in order. Each shows in the log as
// polygon_info A, polygon_info B, remove_polygon B, add, remove_polygon A.
inline std::vector<spun_pair> spun_pairs(const std::vector<std::string> &log)
{
    const std::string read = "polygon_info ", removal = "remove_polygon ";
    std::vector<spun_pair> pairs;
    for (size_t i = 2; i + 2 < log.size(); ++i)
    {
        if (!log[i].starts_with(removal) || !log[i - 2].starts_with(read))
            continue;
        std::string second = log[i].substr(removal.size());
        std::string first = log[i - 2].substr(read.size());
        if (log[i - 1] == read + second && log[i + 2] == removal + first)
            pairs.push_back({uint32_t(std::stoul(first)), uint32_t(std::stoul(second))});
    }
    return pairs;
}

// The polygons of after that before does not hold, in the order they were added.
inline std::vector<minihost::polygon> added_polygons(const minihost::mesh &before, const minihost::mesh &after)
{
    std::vector<minihost::polygon> added;
    after.each_polygon(
        [&](const minihost::polygon &p)
        {
            if (!before.find(p.id))
                added.push_back(p);
        });
    return added;
}

} // namespace testing_support
