// Writing the edited mesh: the input file copied line by line, with only the
// lines of the faces the command replaced written anew.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "minihost/mesh.h"
#include "minihost/obj_read.h"

namespace minihost
{

// A file the tool cannot write, worded for the user.
struct output_error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// What the command did to the mesh, as the host saw it: each polygon it
// removed, in call order, and the polygon it added next, which takes the
// removed one's place. The command replaces a pair's two triangles before it
// touches the next pair, so removals 2k and 2k + 1 are one pair.
struct edit_trace
{
    struct replacement
    {
        uint32_t removed = 0; // a face number of the input
        uint32_t added = 0;   // a polygon of the edit result; 0 while none took its place
        uint32_t partner = 0; // the other face of its pair; 0 for none
    };
    std::vector<replacement> replaced;
    std::vector<uint32_t> unplaced; // added with no removal left to replace

    void removed(uint32_t polygon);
    void added(uint32_t polygon);
    size_t pairs() const { return replaced.size() / 2; }
};

struct rewritten
{
    std::string text;
};

// Each replaced face's line holds the added polygon, its corners taking the
// texture coordinate and normal its point had in the removed face or, for
// the point the removed face lacks, in the partner; where both had the point
// with different attributes (a seam) the removed face's win. A face removed
// with nothing in its place loses its line; a polygon added with no place
// goes at the end.
rewritten rewrite_obj(const obj_file &input, const mesh &result, const edit_trace &edits);

// Writes through a temporary file beside the target, renamed into place, so
// that the target is either untouched or complete. Throws output_error.
void write_file_atomically(const std::string &path, std::string_view text);

} // namespace minihost
