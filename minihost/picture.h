// The picture of a run, as SVG: the mesh before and after, side by side,
// seen along the axis in which the selected triangles are flattest, with
// the spun diagonals, the pairs that went wrong by reason, the triangles
// left unpaired, the seam corners and a legend.
#pragma once

#include <cstddef>
#include <string>

#include "minihost/mesh.h"
#include "minihost/obj_read.h"
#include "minihost/obj_write.h"
#include "minihost/reasons.h"

namespace minihost
{

// The picture has one size whatever the mesh, in pixels.
inline constexpr int picture_width = 1200;
inline constexpr int picture_height = 740;

// Above this many faces only the selection's surroundings are drawn, and
// at most about this many faces a side: it keeps the file small and the
// triangles large enough to see.
inline constexpr size_t picture_faces = 3000;

// `result` and `edits` as for find_reasons.
std::string svg_picture(const obj_file &input, const mesh &result, const edit_trace &edits, const reasons &why);

} // namespace minihost
