// Malformed OBJ files as users meet them, one of each kind: the tool refuses
// each file it cannot use with exit code 2 and one message that names the
// file (and the line, where there is one), and runs on each file that is
// sound enough, writing a file that reads back with as many faces.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "minihost/obj_read.h"
#include "tool_support.h"

namespace
{

using testing::HasSubstr;
using testing::StartsWith;

struct bad_obj
{
    std::string file;
    int code;
    std::string says; // after "minihost: PATH" for 2; a warning for 0 ("" for none)
};

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1)
    {
        end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

// one run of the tool on `in`, judged as the case says
void expect_handled(const bad_obj &c, const std::string &in, const tool_support::scratch &dir)
{
    std::string out = dir.path("out.obj");
    tool_support::run r = tool_support::minihost({in, "-o", out});
    ASSERT_EQ(r.code, c.code) << c.file << "\n" << r.err;
    if (c.code != 0)
    {
        EXPECT_EQ(r.err, "minihost: " + in + c.says + "\n") << c.file;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.file;
        return;
    }
    for (const std::string &line : lines_of(r.err))
        EXPECT_THAT(line, StartsWith("minihost: " + in + ": warning: ")) << c.file;
    if (!c.says.empty())
    {
        EXPECT_THAT(r.err, HasSubstr(c.says)) << c.file;
    }
    EXPECT_EQ(minihost::read_obj(out).faces.size(), minihost::read_obj(in).faces.size()) << c.file;
}

TEST(bad_obj, each_file_is_refused_with_one_message_or_run)
{
    const bad_obj cases[] = {
        {"index-zero.obj", 2, ":6: cannot read this face: an index is 0 or not a number"},
        {"index-beyond-points.obj", 2, ":6: face 2 refers to point 9, but the file has 4"},
        {"negative-index-before-start.obj", 2, ":6: face 2 refers to a point before the first one"},
        {"texcoord-beyond.obj", 2, ":8: face 2 refers to texture coordinate 3, but the file has 2"},
        {"normal-beyond.obj", 2, ":7: face 2 refers to normal 2, but the file has 1"},
        {"empty.obj", 2, ": the file is empty"},
        {"random-bytes.obj", 2, ":1: binary data: not an OBJ file"},
        {"nul-bytes.obj", 2, ":6: binary data: not an OBJ file"},
        {"binary-stl.obj", 2, ":1: binary data: not an OBJ file"},
        {"ply-text.obj", 2, ": no `v` or `f` lines: not an OBJ file"},
        {"face-of-one-point.obj", 0, "line 7: a face of 1 point is no polygon: copied as it is"},
        {"face-of-two-points.obj", 0, "line 7: a face of 2 points is no polygon: copied as it is"},
        {"truncated-last-line.obj", 0, "line 7: a face of 2 points is no polygon: copied as it is"},
        {"nan-inf-huge-coordinates.obj", 0, ""},
        {"crlf-line-ends.obj", 0, ""},
        {"missing-mtl.obj", 0, "Material file [ missing.mtl ] not found"},
        {"mtl-is-a-device.obj", 0, "Material file [ ../../../../../../../../../../dev/zero ] is not a regular file"},
    };
    for (const bad_obj &c : cases)
    {
        tool_support::scratch dir;
        std::string in = dir.write(c.file, tool_support::read_file(std::string(BAD_OBJ_DIR) + "/" + c.file));
        expect_handled(c, in, dir);
    }
}

// too large to keep in the repository: a face of 100,000 points, and lines
// of a mebibyte as a comment and as a face
TEST(bad_obj, huge_faces_and_lines_are_run)
{
    std::string points;
    for (int i = 0; i < 100000; ++i)
        points += "v " + std::to_string(i % 317) + " " + std::to_string(i / 317) + " 0\n";
    std::string huge_face = "f";
    for (int i = 1; i <= 100000; ++i)
        huge_face += " " + std::to_string(i);
    const std::string square = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";

    const std::pair<bad_obj, std::string> cases[] = {
        {{"face-of-100000-points.obj", 0, ""}, points + "f 1 2 3\nf 2 318 3\n" + huge_face + "\n"},
        {{"comment-of-1-mib.obj", 0, ""}, square + "# " + std::string(1 << 20, 'x') + "\nf 1 2 3\nf 2 4 3\n"},
        {{"face-line-of-1-mib.obj", 0, ""}, square + "f 1 2 3" + std::string(1 << 20, ' ') + "\nf 2 4 3\n"},
    };
    for (const auto &[c, text] : cases)
    {
        tool_support::scratch dir;
        expect_handled(c, dir.write(c.file, text), dir);
    }
}

TEST(bad_obj, crlf_line_ends_are_kept)
{
    tool_support::scratch dir;
    std::string in = dir.write("in.obj", tool_support::read_file(std::string(BAD_OBJ_DIR) + "/crlf-line-ends.obj"));
    ASSERT_EQ(tool_support::minihost({in, "-o", dir.path("out.obj")}).code, 0);
    std::string out = tool_support::read_file(dir.path("out.obj"));
    EXPECT_NE(out, tool_support::read_file(in)); // a pair was spun
    for (const std::string &line : lines_of(out))
        if (!line.empty())
        {
            EXPECT_THAT(line, testing::EndsWith("\r"));
        }
}

} // namespace
