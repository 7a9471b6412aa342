#include "tool_support.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <tiny_obj_loader.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifndef TOOL_PATH
#error "TOOL_PATH names the minihost tool under test"
#endif

namespace tool_support
{

namespace
{

std::vector<char *> argv_of(std::vector<std::string> &args)
{
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

int exit_code(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string drain(std::FILE *file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, n);
    std::fclose(file);
    return text;
}

} // namespace

run minihost(const std::vector<std::string> &arguments)
{
    std::vector<std::string> args{TOOL_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv = argv_of(args);

    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    pid_t child = ::fork();
    if (child == 0)
    {
        int nothing = ::open("/dev/null", O_RDONLY);
        ::dup2(nothing, STDIN_FILENO);
        ::dup2(::fileno(out), STDOUT_FILENO);
        ::dup2(::fileno(err), STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {exit_code(status), drain(out), drain(err)};
}

terminal_run minihost_on_terminal(const std::vector<std::string> &arguments, std::string_view typed)
{
    std::vector<std::string> args{TOOL_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv = argv_of(args);

    int terminal = -1;
    pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0)
        throw std::runtime_error("forkpty failed");
    if (child == 0)
    {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }

    // the keys wait in the terminal's input until the tool reads them
    if (::write(terminal, typed.data(), typed.size()) != ssize_t(typed.size()))
        throw std::runtime_error("cannot type on the pseudo-terminal");

    terminal_run result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        result.screen.append(buffer, size_t(n));
    int status = 0;
    ::waitpid(child, &status, 0);
    result.code = exit_code(status);

    struct termios mode
    {
    };
    result.restored = ::tcgetattr(terminal, &mode) == 0 && (mode.c_lflag & ICANON) && (mode.c_lflag & ECHO);
    ::close(terminal);
    return result;
}

scratch::scratch()
{
    std::string name = (std::filesystem::temp_directory_path() / "minihost-test-XXXXXX").string();
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("cannot make a scratch directory");
    dir = name;
}

scratch::~scratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::string scratch::write(std::string_view name, std::string_view text) const
{
    std::string file = path(name);
    std::ofstream(file, std::ios::binary) << text;
    return file;
}

std::vector<std::string> scratch::files() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string example(std::string_view name)
{
    return std::string(EXAMPLES_DIR) + "/" + std::string(name);
}

std::vector<face> read_faces(const std::string &path, const std::string &material_dir)
{
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    config.mtl_search_path = material_dir;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(path, config))
        throw std::runtime_error(path + ": " + reader.Error());

    std::vector<face> faces;
    for (const tinyobj::shape_t &shape : reader.GetShapes())
    {
        size_t at = 0;
        for (size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f)
        {
            face read;
            read.group = shape.name;
            int material = shape.mesh.material_ids[f];
            if (material >= 0)
                read.material = reader.GetMaterials()[size_t(material)].name;
            for (size_t k = 0; k < shape.mesh.num_face_vertices[f]; ++k, ++at)
            {
                const tinyobj::index_t &i = shape.mesh.indices[at];
                read.corners.push_back({i.vertex_index, i.texcoord_index, i.normal_index});
            }
            faces.push_back(std::move(read));
        }
    }
    return faces;
}

std::string grid_obj(int cols, int rows)
{
    std::string text;
    for (int r = 0; r <= rows; ++r)
        for (int c = 0; c <= cols; ++c)
            text += "v " + std::to_string(c) + " " + std::to_string(r) + " 0\n";
    auto at = [&](int c, int r) { return std::to_string(r * (cols + 1) + c + 1); };
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
        {
            text += "f " + at(c, r) + " " + at(c + 1, r) + " " + at(c + 1, r + 1) + "\n";
            text += "f " + at(c, r) + " " + at(c + 1, r + 1) + " " + at(c, r + 1) + "\n";
        }
    return text;
}

} // namespace tool_support
