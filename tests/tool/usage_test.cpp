// The tool's answers to each way of using it: the exit code, the message,
// and no output file wherever none is due.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tool_support.h"

namespace
{

using testing::HasSubstr;
using testing::StartsWith;
using tool_support::example;
using tool_support::read_file;

bool exists(const std::string &path)
{
    return std::filesystem::exists(path);
}

struct select_case
{
    std::vector<std::string> args;
    int code;
    std::string says; // on stdout for 0, on stderr otherwise
};

TEST(usage, each_selector_selects_its_faces_or_says_why_none)
{
    std::string grid = example("grid.obj");
    const select_case cases[] = {
        {{}, 0, "selected   16 faces: 16 triangles"},
        {{"--select", "all"}, 0, "selected   16 faces"},
        {{"--select", "group:left"}, 0, "selected   8 faces"},
        {{"--select", "material:blue"}, 0, "selected   8 faces"},
        {{"--select", "faces:1,4,7-9"}, 0, "selected   5 faces"},
        {{"-s", "group:left", "-s", "faces:9-10"}, 0, "selected   10 faces"},
        {{"--select", "group:middle"},
         2,
         "--select group:middle matches no face of " + grid + "; the groups are left, right"},
        {{"--select", "material:green"}, 2, "matches no face of " + grid + "; the materials are red, blue"},
        {{"--select", "faces:3,17"}, 2, "--select faces:3,17: face 17 is beyond the last face of " + grid + " (16)"},
        {{"--select", "faces:9-7"}, 2, "\"9-7\" is not a face number or a rising range"},
        {{"--select", "faces:1,,2"}, 2, "\"\" is not a face number or a rising range"},
        {{"--select", "group:"}, 2, "--select group:: expected all, group:NAME, material:NAME or faces:LIST"},
        {{"--select", "everything"}, 2, "--select everything: expected all, group:NAME"},
    };
    for (const select_case &c : cases)
    {
        tool_support::scratch dir;
        std::vector<std::string> args{grid, "-o", dir.path("out.obj")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        tool_support::run r = tool_support::minihost(args);
        std::string said = testing::PrintToString(c.args);
        EXPECT_EQ(r.code, c.code) << said << "\n" << r.err;
        EXPECT_THAT(c.code == 0 ? r.out : r.err, HasSubstr(c.says)) << said;
        EXPECT_EQ(exists(dir.path("out.obj")), c.code == 0) << said;
    }
}

struct bad_file
{
    const char *what;
    std::string text;
    std::string says; // after the file's path
};

TEST(usage, bad_input_names_file_and_line_and_writes_nothing)
{
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    const bad_file cases[] = {
        {"point out of range", triangle + "f 1 2 9\n", ":4: face 1 refers to point 9, but the file has 3"},
        {"point before the first", triangle + "f 1 2 3\nf -4 1 2\n",
         ":5: face 2 refers to a point before the first one"},
        {"texcoord out of range", triangle + "vt 0 0\nf 1/1 2/2 3/1\n",
         ":5: face 1 refers to texture coordinate 2, but the file has 1"},
        {"normal out of range", triangle + "f 1//1 2//1 3//1\n", ":4: face 1 refers to normal 1, but the file has 0"},
        {"index zero", triangle + "f 0 1 2\n", ":4: cannot read this face: an index is 0 or not a number"},
        {"points only", triangle, ": no faces: the mesh is empty"},
        {"empty file", "", ": the file is empty"},
        {"binary", std::string("solid x\n\0\0\x01\x02", 12), ":2: binary data: not an OBJ file"},
        {"other text", "<html><body>a mesh?</body></html>\n", ": no `v` or `f` lines: not an OBJ file"},
    };
    for (const bad_file &c : cases)
    {
        tool_support::scratch dir;
        std::string in = dir.write("in.obj", c.text);
        tool_support::run r = tool_support::minihost({in, "-o", dir.path("out.obj")});
        EXPECT_EQ(r.code, 2) << c.what;
        EXPECT_THAT(r.err, HasSubstr(in + c.says)) << c.what;
        EXPECT_FALSE(exists(dir.path("out.obj"))) << c.what;
    }
}

TEST(usage, missing_or_unreadable_file_is_bad_input)
{
    tool_support::scratch dir;
    std::string missing = dir.path("missing.obj");
    std::string folder = dir.path("folder.obj");
    std::filesystem::create_directory(folder);

    tool_support::run r = tool_support::minihost({missing});
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr(missing + ": no such file"));

    r = tool_support::minihost({folder});
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr(folder + ": is a directory, not an OBJ file"));

    // permissions do not stop root
    if (::geteuid() != 0)
    {
        std::string locked = dir.write("locked.obj", tool_support::grid_obj(1, 1));
        ::chmod(locked.c_str(), 0);
        r = tool_support::minihost({locked});
        EXPECT_EQ(r.code, 2);
        EXPECT_THAT(r.err, HasSubstr(locked + ": cannot read: Permission denied"));
    }
}

TEST(usage, unwritable_output_is_bad_input)
{
    tool_support::scratch dir;
    std::string out = dir.path("no/such/dir/out.obj");
    tool_support::run r = tool_support::minihost({example("strip.obj"), "-o", out});
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr(out + ": cannot write: No such file or directory"));
    EXPECT_TRUE(dir.files().empty());
}

TEST(usage, bad_plugin_file_is_bad_input)
{
    tool_support::scratch dir;
    std::string text = dir.write("text.p", "not a library\n");
    for (const auto &[plugin, says] :
         {std::pair{dir.path("none.p"), ": no such plug-in file"}, std::pair{text, ": not a loadable library"}})
    {
        tool_support::run r = tool_support::minihost({example("strip.obj"), "--plugin", plugin});
        EXPECT_EQ(r.code, 2);
        EXPECT_THAT(r.err, HasSubstr(plugin + says));
    }
}

TEST(usage, command_error_exits_1_and_writes_nothing)
{
    tool_support::scratch dir;
    tool_support::run r =
        tool_support::minihost({example("strip.obj"), "--select", "faces:1", "-o", dir.path("out.obj")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "error: Select 2 or more adjacent Triangles to spin their shared edges\n");
    EXPECT_THAT(r.out, HasSubstr("written    nothing: the command failed"));
    EXPECT_FALSE(exists(dir.path("out.obj")));
}

TEST(usage, dry_run_reports_and_writes_nothing)
{
    tool_support::scratch dir;
    tool_support::run r = tool_support::minihost({example("grid.obj"), "-o", dir.path("out.obj"), "--dry-run"});
    EXPECT_EQ(r.code, 0);
    EXPECT_THAT(r.out, HasSubstr("spun       6 pairs"));
    EXPECT_THAT(r.out, HasSubstr("written    nothing: --dry-run"));
    EXPECT_TRUE(dir.files().empty());
}

TEST(usage, log_prints_the_host_calls_before_the_summary)
{
    tool_support::run r = tool_support::minihost({example("strip.obj"), "--log"});
    EXPECT_EQ(r.code, 0);
    EXPECT_THAT(r.out, StartsWith("begin_edit 0 0 1\nlookup \"Info Messages\" 1\n"));
    EXPECT_THAT(r.out, HasSubstr("remove_polygon 6\nadd_polygon FACE 0 (no material) 3 3 4 9\nremove_polygon 5\n"));
    EXPECT_THAT(r.out, HasSubstr("end_edit 0 2\n\ninput      "));
}

TEST(usage, help_gives_an_example_for_each_option_and_the_exit_codes)
{
    tool_support::run r = tool_support::minihost({"--help"});
    EXPECT_EQ(r.code, 0);
    for (const char *option :
         {"input INPUT.obj", "-o,--output OUT.obj", "-s,--select WHICH", "-n,--dry-run", "--log", "--plugin PATH"})
    {
        size_t at = r.out.find(option);
        ASSERT_NE(at, std::string::npos) << option;
        EXPECT_NE(r.out.find("e.g.", at), std::string::npos) << option;
    }
    for (const char *code : {"0  done", "1  the command", "2  bad usage", "3  aborted"})
        EXPECT_THAT(r.out, HasSubstr(code));

    r = tool_support::minihost({"--no-such-option"});
    EXPECT_EQ(r.code, 2);
    EXPECT_THAT(r.err, HasSubstr("Run with --help"));
}

// Above 512 triangles the command opens its monitor: the bar shows, and ESC
// (typed before the run even began) aborts at the first step. The terminal
// leaves raw mode whatever the outcome.
TEST(usage, esc_on_the_terminal_aborts_and_writes_nothing)
{
    struct typed_case
    {
        const char *keys;
        int code;
    };
    for (const typed_case &c : {typed_case{"", 0}, typed_case{"x", 0}, typed_case{"\x1b", 3}})
    {
        tool_support::scratch dir;
        std::string in = dir.write("big.obj", tool_support::grid_obj(17, 16));
        std::string out = dir.path("out.obj");
        tool_support::terminal_run r = tool_support::minihost_on_terminal({in, "-o", out}, c.keys);
        std::string said = testing::PrintToString(std::string(c.keys));
        EXPECT_EQ(r.code, c.code) << said << "\n" << r.screen;
        EXPECT_THAT(r.screen, HasSubstr("DaviVere [")) << said;
        EXPECT_THAT(r.screen, HasSubstr("ESC to abort")) << said;
        EXPECT_TRUE(r.restored) << said;
        EXPECT_EQ(exists(out), c.code == 0) << said;
        if (c.code == 3)
        {
            EXPECT_THAT(r.screen, HasSubstr("DaviVere : Operation aborted at user request"));
            EXPECT_THAT(r.screen, HasSubstr("written    nothing: aborted, the edit discarded"));
        }
    }
}

// A unit square split along 1-3, its halves in two groups, with a texture
// seam on the shared edge; CRLF line ends, trailing blanks, no final line
// end. Spun to 2-4 (both triangles right of x = 0: the front arrangement),
// each new corner on the seam keeps its own face's texture coordinate.
//
//   4-----3          4-----3
//   |   / |          | \   |
//   | /   |    ->    |   \ |
//   1-----2          1-----2
TEST(usage, written_file_keeps_line_ends_and_takes_the_own_face_on_a_seam)
{
    const std::string head = "# a square\r\n\r\nv 1 0 0\r\nv 2 0 0\r\nv 2 1 0\r\nv 1 1 0\r\n"
                             "vt 0 0\r\nvt 1 0\r\nvt 1 1\r\nvt 0.1 0.1\r\nvt 1.1 1.1\r\nvt 0.1 1.1\r\n";
    const std::string input = head + "g lower\r\nf 1/1 2/2 3/3  \r\ng upper\rf 1/4 3/5 4/6";
    const std::string expected = head + "g lower\r\nf 4/6 1/1 2/2\r\ng upper\rf 2/2 3/5 4/6";

    tool_support::scratch dir;
    std::string in = dir.write("square.obj", input);
    tool_support::run r = tool_support::minihost({in, "-o", dir.path("out.obj")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(read_file(dir.path("out.obj")), expected);
    EXPECT_THAT(r.out, HasSubstr("seams      2 new corners"));
}

// -o may name the input itself: it is replaced whole, never half written.
TEST(usage, output_may_replace_the_input)
{
    tool_support::scratch dir;
    std::string in = dir.write("strip.obj", read_file(example("strip.obj")));
    tool_support::run r = tool_support::minihost({in, "-o", in});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(read_file(in), HasSubstr("f 7 1 2\n"));
    EXPECT_EQ(dir.files(), std::vector<std::string>{"strip.obj"});
}

} // namespace
