// Why each selected triangle was or was not spun, found by the host alone:
// from the mesh it read, the mesh the command left and the order of the
// command's removals and additions. The command is not asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "minihost/mesh.h"
#include "minihost/obj_read.h"
#include "minihost/obj_write.h"

namespace minihost
{

// A pair whose shared edge was spun. Faces are numbered from 1 in the
// input's order and in the output's; points as the `v` lines.
struct spun_pair
{
    uint32_t faces[2]{};        // the two faces replaced, lower number first
    uint32_t output[2]{};       // the faces in their places in the output, 0 for none
    uint32_t old_diagonal[2]{}; // the points of the shared edge
    uint32_t new_diagonal[2]{}; // the points of the edge that replaced it

    bool duplicate_edge = false;   // another face of the result has the new diagonal too
    bool non_convex = false;       // a new triangle faces against the quadrilateral
    bool opposite_winding = false; // the two faces ran their shared edge the same way
    bool mixed_surfaces = false;   // the two faces had different materials
};

// A selected triangle that the command took but paired with none.
struct unpaired_triangle
{
    uint32_t face = 0, output = 0;
    bool neighbour_taken = false; // a selected triangle sharing an edge with it went to another pair
};

// A corner of a new triangle whose point the old pair gave two texture
// coordinates or normals: it took one of them.
struct seam_corner
{
    uint32_t face = 0, output = 0; // the place of the new triangle
    uint32_t point = 0;
};

struct reasons
{
    std::vector<spun_pair> pairs; // by their lower face number
    std::vector<unpaired_triangle> unpaired;
    std::vector<seam_corner> seams;

    size_t count(bool spun_pair::*flag) const;
    size_t neighbour_taken() const;
};

// What a kind of spun pair means for the mesh, for the text, the JSON and
// the picture alike.
struct pair_reason
{
    const char *key;   // its JSON name
    const char *label; // its short name on a summary line
    bool spun_pair::*flag;
    const char *what; // after the count of pairs: "pairs whose ..."
    const char *hint;
};
extern const pair_reason pair_reasons[4];

// the same for the unpaired triangles next to a taken one, and for seams
struct count_hint
{
    const char *key, *label, *what, *hint;
};
extern const count_hint taken_hint, seam_hint;

// The number of each input face in the output, 0 where a face was dropped,
// as rewrite_obj places them: by index from 0, one past the last face.
std::vector<uint32_t> output_numbers(size_t faces, const mesh &result, const edit_trace &edits);

// Looks at a finished run. `result` is the mesh as the command left it, its
// polygons numbered as the input's faces and its points as the `v` lines.
reasons find_reasons(const obj_file &input, const mesh &result, const edit_trace &edits);

} // namespace minihost
