#include "minihost/obj_read.h"

#include <tiny_obj_loader.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "minihost/builtin.h"

namespace minihost
{

namespace
{

// Lines end at \n, \r\n or a lone \r: the reader splits them so, and its
// line numbers must be ours.
std::vector<text_line> split_lines(const std::string &text)
{
    std::vector<text_line> lines;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        size_t next = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? i + 2 : i + 1;
        lines.push_back({begin, i, next});
        begin = next;
        i = next - 1;
    }
    if (begin < text.size())
        lines.push_back({begin, text.size(), text.size()});
    return lines;
}

// The number of corners the reader finds on an `f` line (its tokens after
// the `f`), or -1 for any other line. Only this much is read of a line: the
// reader keeps no line numbers, so faces are matched to lines by count.
long face_corners(std::string_view line)
{
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line[at] != 'f' || at + 1 >= line.size() ||
        (line[at + 1] != ' ' && line[at + 1] != '\t'))
        return -1;
    long count = 0;
    bool in_token = false;
    for (char c : line.substr(at + 2))
    {
        bool blank = c == ' ' || c == '\t';
        if (!blank && !in_token)
            ++count;
        in_token = !blank;
    }
    return count;
}

const char degenerate_note[] = "Degenerated face found\n.";

// the surface of faces with no `usemtl`: a material name has no blanks
const char *const no_material = "(no material)";

std::string line_prefix(const std::string &name, size_t line)
{
    return name + ":" + std::to_string(line + 1) + ": ";
}

// The reader's own error, with the file and the line it names put first.
[[noreturn]] void reader_failed(const std::string &name, const std::string &err)
{
    std::string text = err.substr(0, err.find('\n'));
    std::smatch line;
    if (!std::regex_search(text, line, std::regex("line ([0-9]+)")))
        throw input_error(name + ": cannot read the file: " + text);
    std::string where = name + ":" + line[1].str() + ": ";
    if (text.find("`f' line") != std::string::npos)
        throw input_error(where + "cannot read this face: an index is 0 or not a number");
    throw input_error(where + "cannot read this line: " + text);
}

void check_index(int index, size_t count, const char *what, size_t face, const std::string &where)
{
    if (index >= 0 && size_t(index) < count)
        return;
    if (index < 0)
        throw input_error(where + "face " + std::to_string(face) + " refers to a " + what + " before the first one");
    throw input_error(where + "face " + std::to_string(face) + " refers to " + what + " " + std::to_string(index + 1) +
                      ", but the file has " + std::to_string(count));
}

std::string number(double value)
{
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

// Material files are read only when they are regular files: a file's
// `mtllib ../../dev/zero` must not have the tool read an endless device or
// wait on a pipe.
class regular_material_reader : public tinyobj::MaterialReader
{
  public:
    explicit regular_material_reader(const std::string &material_dir) : dir(material_dir), files(material_dir) {}

    bool operator()(const std::string &name, std::vector<tinyobj::material_t> *materials,
                    std::map<std::string, int> *names, std::string *warn, std::string *err) override
    {
        std::error_code ec;
        std::filesystem::file_status status = std::filesystem::status(dir + name, ec);
        if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        {
            if (warn)
                *warn += "Material file [ " + name + " ] is not a regular file; not read\n";
            return false;
        }
        return files(name, materials, names, warn, err);
    }

  private:
    std::string dir;
    tinyobj::MaterialFileReader files;
};

} // namespace

obj_file parse_obj(std::string text, std::string name, const std::string &material_dir)
{
    obj_file file;
    file.name = std::move(name);
    file.text = std::move(text);
    if (file.text.empty())
        throw input_error(file.name + ": the file is empty");
    file.lines = split_lines(file.text);
    for (size_t i = 0; i < file.lines.size(); ++i)
        if (file.line_text(i).find('\0') != std::string_view::npos)
            throw input_error(line_prefix(file.name, i) + "binary data: not an OBJ file");

    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    std::istringstream stream(file.text);
    regular_material_reader material_reader(material_dir);
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &stream, &material_reader,
                          /*triangulate=*/false, /*default_vcols_fallback=*/false))
        reader_failed(file.name, err);
    // the reader's note on a face of fewer than 3 points names no line: each
    // such face is named below instead
    for (size_t at; (at = warn.find(degenerate_note)) != std::string::npos;)
        warn.erase(at, sizeof degenerate_note - 1);
    for (const std::string *messages : {&warn, &err})
    {
        std::istringstream lines(*messages);
        for (std::string line; std::getline(lines, line);)
            if (line.size() > 1)
                file.warnings.push_back(line);
    }

    size_t points = attrib.vertices.size() / 3;
    file.texcoords = attrib.texcoords.size() / 2;
    file.normals = attrib.normals.size() / 3;

    // the reader's faces in file order, matched to the `f` lines of 3 or more
    // corners; it drops shorter ones, and counts corners in a byte
    size_t shape = 0, face_in_shape = 0, offset = 0;
    for (size_t line = 0; line < file.lines.size(); ++line)
    {
        long count = face_corners(file.line_text(line));
        if (count >= 0 && count < 3)
            file.warnings.push_back("line " + std::to_string(line + 1) + ": a face of " + std::to_string(count) +
                                    (count == 1 ? " point" : " points") + " is no polygon: copied as it is");
        if (count < 3)
            continue;
        while (shape < shapes.size() && face_in_shape == shapes[shape].mesh.num_face_vertices.size())
            ++shape, face_in_shape = 0, offset = 0;
        const tinyobj::mesh_t *m = shape < shapes.size() ? &shapes[shape].mesh : nullptr;
        if (!m || m->num_face_vertices[face_in_shape] != static_cast<unsigned char>(count) ||
            offset + size_t(count) > m->indices.size())
            throw input_error(line_prefix(file.name, line) + "cannot match this face with the reader's faces");

        obj_face face;
        face.line = line;
        face.group = shapes[shape].name;
        int material = m->material_ids[face_in_shape];
        if (material >= 0 && size_t(material) < materials.size())
            face.material = materials[size_t(material)].name;
        std::string where = line_prefix(file.name, line);
        size_t number = file.faces.size() + 1;
        for (long k = 0; k < count; ++k)
        {
            const tinyobj::index_t &index = m->indices[offset + size_t(k)];
            corner c{index.vertex_index, index.texcoord_index, index.normal_index};
            check_index(c.point, points, "point", number, where);
            if (c.texcoord != -1)
                check_index(c.texcoord, file.texcoords, "texture coordinate", number, where);
            if (c.normal != -1)
                check_index(c.normal, file.normals, "normal", number, where);
            face.corners.push_back(c);
        }
        file.faces.push_back(std::move(face));
        offset += size_t(count);
        ++face_in_shape;
    }
    for (; shape < shapes.size(); ++shape, face_in_shape = 0)
        if (face_in_shape != shapes[shape].mesh.num_face_vertices.size())
            throw input_error(file.name + ": cannot match the reader's faces with the file's lines");

    if (points == 0 && file.faces.empty())
        throw input_error(file.name + ": no `v` or `f` lines: not an OBJ file");
    if (file.faces.empty())
        throw input_error(file.name + ": no faces: the mesh is empty");

    for (size_t i = 0; i < points; ++i)
        file.model.add_point({attrib.vertices[3 * i], attrib.vertices[3 * i + 1], attrib.vertices[3 * i + 2]});
    std::vector<uint32_t> ids;
    for (const obj_face &face : file.faces)
    {
        ids.clear();
        for (const corner &c : face.corners)
            ids.push_back(uint32_t(c.point) + 1);
        file.model.add_polygon(ids, POLYTYPE_FACE, face.material.empty() ? no_material : face.material, false);
    }
    return file;
}

obj_file read_obj(const std::string &path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status))
        throw input_error(path + ": no such file");
    if (fs::is_directory(status))
        throw input_error(path + ": is a directory, not an OBJ file");

    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw input_error(path + ": cannot read: " + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        text.append(buffer, size_t(in.gcount()));
    if (in.bad())
        throw input_error(path + ": cannot read: " + std::strerror(errno));

    std::string dir = fs::path(path).parent_path().string();
    return parse_obj(std::move(text), path, dir.empty() ? dir : dir + "/");
}

std::string builtin_obj()
{
    mesh m = builtin_mesh();
    std::string text = "# the built-in mesh: a 3 x 2 grid of squares across x = 0, two triangles each\n";
    // its point ids run from 1 in order, so they serve as the file's indices
    for (uint32_t id : m.point_ids())
    {
        const vec3 &p = *m.point(id);
        text += "v " + number(p.x) + " " + number(p.y) + " " + number(p.z) + "\n";
    }
    m.each_polygon(
        [&](const polygon &p)
        {
            text += "f";
            for (uint32_t id : p.points)
                text += " " + std::to_string(id);
            text += "\n";
        });
    return text;
}

} // namespace minihost
