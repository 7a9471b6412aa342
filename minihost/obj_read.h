// Reading a Wavefront OBJ file into the stand-in host's mesh. The reader
// (tinyobjloader, polygons kept whole) gives the meaning; the bytes and the
// line of every face are kept as well, so that a writer can copy the file
// and change only the lines of the faces the command replaced.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "minihost/mesh.h"

namespace minihost
{

// Input the tool cannot use, in words that name the file and, where known,
// the line: "grid.obj:12: face 7 refers to point 40, but the file has 20".
struct input_error : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// One corner of a face: 0-based indices into the file's v, vt and vn lists,
// -1 where the corner has none.
struct corner
{
    int point = -1;
    int texcoord = -1;
    int normal = -1;
    friend bool operator==(const corner &, const corner &) = default;
};

// A line of the file: its text is [begin, end), its line end [end, next).
struct text_line
{
    size_t begin = 0, end = 0, next = 0;
};

// A face as the reader numbers them: face n (from 1) is polygon n of the mesh.
struct obj_face
{
    size_t line = 0;      // index into obj_file::lines
    std::string group;    // the `g` or `o` name in force, "" for none
    std::string material; // the `usemtl` name in force, "" for none
    std::vector<corner> corners;
};

struct obj_file
{
    std::string name; // the path, as the user gave it
    std::string text; // every byte read
    std::vector<text_line> lines;
    std::vector<obj_face> faces;
    size_t texcoords = 0, normals = 0;
    std::vector<std::string> warnings; // the reader's, one a line

    // Point n (from 1) is the n-th `v` line; polygon n is face n, of type
    // FACE, its surface the face's material, none selected yet.
    mesh model;

    std::string_view line_text(size_t line) const
    {
        return std::string_view(text).substr(lines[line].begin, lines[line].end - lines[line].begin);
    }
    std::string_view line_end(size_t line) const
    {
        return std::string_view(text).substr(lines[line].end, lines[line].next - lines[line].end);
    }
};

// Reads and checks a file; materials are looked for beside it. Throws
// input_error for a missing, unreadable, empty or malformed file.
obj_file read_obj(const std::string &path);

// The same for text already in memory, named `name` in messages; material
// files named by `mtllib` are looked for in material_dir.
obj_file parse_obj(std::string text, std::string name, const std::string &material_dir = "");

// The built-in mesh as OBJ text, so that it takes the same road as a file.
std::string builtin_obj();

} // namespace minihost
