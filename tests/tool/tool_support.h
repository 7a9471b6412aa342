// Running the built minihost tool as a user does, and reading back what it
// wrote with the OBJ reader alone.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tool_support
{

struct run
{
    int code = -1; // the exit code, or 128 + the signal that ended it
    std::string out, err;
};

// Runs the tool with these arguments, stdin empty, stdout and stderr caught.
run minihost(const std::vector<std::string> &args);

struct terminal_run
{
    int code = -1;
    std::string screen;    // stdout and stderr, as the terminal showed them
    bool restored = false; // the terminal back in line mode with echo
};

// Runs the tool on a pseudo-terminal, `typed` waiting in its input.
terminal_run minihost_on_terminal(const std::vector<std::string> &args, std::string_view typed);

// A fresh directory for one test, removed with everything in it.
class scratch
{
  public:
    scratch();
    ~scratch();
    scratch(const scratch &) = delete;
    scratch &operator=(const scratch &) = delete;

    std::string path(std::string_view name) const { return (dir / name).string(); }
    std::string write(std::string_view name, std::string_view text) const;
    // the names of the files in it
    std::vector<std::string> files() const;

  private:
    std::filesystem::path dir;
};

std::string read_file(const std::string &path);
std::string example(std::string_view name);

// A face as the reader gives it: (point, texcoord, normal) from 0, -1 for
// none, and the group and material names in force.
struct face
{
    std::vector<std::array<int, 3>> corners;
    std::string group, material;
};

// Faces in file order; materials are looked for in material_dir.
std::vector<face> read_faces(const std::string &path, const std::string &material_dir);

// A grid of cols x rows squares, two triangles each, as OBJ text.
std::string grid_obj(int cols, int rows);

} // namespace tool_support
