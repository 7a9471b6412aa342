// Which faces of an OBJ file the user selects, from --select arguments.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "minihost/obj_read.h"

namespace minihost
{

// Bad command-line use, worded for the user.
struct usage_error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// One --select argument: all, group:NAME, material:NAME or faces:LIST.
struct selector
{
    enum class kind
    {
        all,
        group,
        material,
        faces,
    };
    kind what = kind::all;
    std::string name;                              // of the group or material
    std::vector<std::pair<size_t, size_t>> ranges; // face numbers from 1, both ends included
    std::string text;                              // as written, for messages
};

// Throws usage_error for anything but the four forms.
selector parse_selector(std::string_view text);

// Selects every face that some selector matches (all faces when there is no
// selector) and returns how many. Throws usage_error naming a selector that
// matches no face.
size_t apply_selection(obj_file &file, const std::vector<selector> &selectors);

} // namespace minihost
