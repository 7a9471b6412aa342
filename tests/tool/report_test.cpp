// The report: why each triangle was or was not spun, in the text summary,
// as JSON and as an SVG picture rendered by a real renderer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <regex>
#include <sstream>

#include "tool_support.h"

extern char **environ;

namespace
{

using json = nlohmann::ordered_json;
using testing::HasSubstr;
using tool_support::example;
using tool_support::read_file;

// "label count: faces" for each count of the report, in the summary's order
const char *const labels[][2] = {
    {"duplicate", "duplicate_edge"}, {"non-convex", "non_convex"}, {"winding", "opposite_winding"},
    {"surfaces", "mixed_surfaces"},  {"seams", "seams"},           {"unpaired", "unpaired"},
    {"taken", "neighbour_taken"},
};

std::string digest_of_text(const std::string &out)
{
    std::map<std::string, std::string> found;
    std::regex line(R"(^ *(\S+) +(\d+)[^:\n]*(?:: faces (.*))?$)");
    std::istringstream in(out);
    for (std::string text; std::getline(in, text);)
        if (std::smatch m; std::regex_match(text, m, line))
            found[m[1]] = m[2].str() + (m[3].matched ? ": " + m[3].str() : "");
    std::string digest;
    for (const auto &label : labels)
        digest += (digest.empty() ? "" : " | ") + std::string(label[0]) + " " + found[label[0]];
    return digest;
}

std::string face_text(const json &face)
{
    return face.is_array() ? std::to_string(int(face[0])) + "+" + std::to_string(int(face[1]))
                           : std::to_string(int(face));
}

std::string digest_of_json(const json &report)
{
    std::string digest;
    for (const auto &label : labels)
    {
        const json &r = std::string(label[1]) == "unpaired" ? report["unpaired"] : report["reasons"][label[1]];
        std::string faces;
        for (const json &face : r["input"])
            faces += (faces.empty() ? ": " : ", ") + face_text(face);
        digest += (digest.empty() ? "" : " | ") + std::string(label[0]) + " " + std::to_string(int(r["count"])) + faces;
        // nothing moves in these files: each face keeps its number
        EXPECT_EQ(r["output"], r["input"]) << label[1];
    }
    return digest;
}

struct fixture
{
    const char *what;
    std::string obj, mtl;
    std::vector<std::string> select;
    std::string digest;
    std::vector<int> seam_points;
};

// A unit square, its points numbered
//
//   4-----3
//   |     |
//   |     |
//   1-----2
const std::string square = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

const fixture fixtures[] = {
    // faces 1 and 2 spin their diagonal 1-3 to 2-4, an edge that face 3, a
    // flap standing on the square with its tip 5 above the middle, has already
    {"duplicate diagonal",
     square + "v 0.5 0.5 1\nf 1 2 3\nf 1 3 4\nf 2 4 5\n",
     "",
     {"--select", "faces:1-2"},
     "duplicate 1: 1+2 | non-convex 0 | winding 0 | surfaces 0 | seams 0 | unpaired 0 | taken 0",
     {}},

    // point 1 pokes into the square: the quadrilateral 1-2-3-4 is not convex
    // at 1, and the new diagonal 2-4 runs outside it
    //
    //   4-----------3
    //      `.     / |
    //         `1    |
    //           \   |
    //             \ |
    //               2
    {"non-convex quadrilateral",
     "v 1.5 1.5 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\nf 1 2 3\nf 1 3 4\n",
     "",
     {},
     "duplicate 0 | non-convex 1: 1+2 | winding 0 | surfaces 0 | seams 0 | unpaired 0 | taken 0",
     {}},

    // both faces run their shared edge from 3 to 1
    {"opposite winding",
     square + "f 1 2 3\nf 1 4 3\n",
     "",
     {},
     "duplicate 0 | non-convex 0 | winding 1: 1+2 | surfaces 0 | seams 0 | unpaired 0 | taken 0",
     {}},

    {"two materials",
     "mtllib two.mtl\n" + square + "usemtl red\nf 1 2 3\nusemtl blue\nf 1 3 4\n",
     "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n",
     {},
     "duplicate 0 | non-convex 0 | winding 0 | surfaces 1: 1+2 | seams 0 | unpaired 0 | taken 0",
     {}},

    // point 1 has texture coordinate 1 in face 1 and 4 in face 2; the new
    // triangle (4 1 2) takes face 1's place and its value
    {"texture seam",
     square + "vt 0 0\nvt 1 0\nvt 1 1\nvt 0.5 0\nvt 0 1\nf 1/1 2/2 3/3\nf 1/4 3/3 4/5\n",
     "",
     {},
     "duplicate 0 | non-convex 0 | winding 0 | surfaces 0 | seams 1: 1 | unpaired 0 | taken 0",
     {1}},

    // faces 1 and 2 pair; 3 is left beside 2, which was taken; 4 has no
    // neighbour at all
    //
    //   4-----5          8
    //   | \ 2 | \        | `.
    //   | 1 \ | 3 \      | 4 `.
    //   1-----2-----3    6-----7
    {"unpaired",
     "v 0 0 0\nv 1 0 0\nv 2 0 0\nv 0 1 0\nv 1 1 0\nv 3 0 0\nv 4 0 0\nv 3 1 0\n"
     "f 1 2 4\nf 2 5 4\nf 2 3 5\nf 6 7 8\n",
     "",
     {},
     "duplicate 0 | non-convex 0 | winding 0 | surfaces 0 | seams 0 | unpaired 2: 3, 4 | taken 1: 3",
     {}},
};

TEST(report, each_fixture_shows_its_reason_in_text_and_json_alike)
{
    for (const fixture &f : fixtures)
    {
        tool_support::scratch dir;
        std::string in = dir.write("in.obj", f.obj);
        if (!f.mtl.empty())
            dir.write("two.mtl", f.mtl);
        std::vector<std::string> args{in};
        args.insert(args.end(), f.select.begin(), f.select.end());

        tool_support::run text = tool_support::minihost(args);
        ASSERT_EQ(text.code, 0) << f.what << "\n" << text.err;
        EXPECT_EQ(digest_of_text(text.out), f.digest) << f.what << "\n" << text.out;

        args.push_back("--json");
        tool_support::run as_json = tool_support::minihost(args);
        ASSERT_EQ(as_json.code, 0) << f.what << "\n" << as_json.err;
        json report = json::parse(as_json.out);
        EXPECT_EQ(digest_of_json(report), f.digest) << f.what;
        EXPECT_EQ(report["reasons"]["seams"]["points"], json(f.seam_points)) << f.what;
    }
}

// the keys of every object, and of the first element of every array
std::string skeleton(const json &j)
{
    if (j.is_object())
    {
        std::string s = "{";
        for (auto it = j.begin(); it != j.end(); ++it)
            s += (s.size() > 1 ? "," : "") + it.key() + skeleton(it.value());
        return s + "}";
    }
    if (j.is_array() && !j.empty() && j[0].is_object())
        return "[" + skeleton(j[0]) + "]";
    return "";
}

TEST(report, json_has_the_documented_fields_in_order)
{
    tool_support::scratch dir;
    tool_support::run r = tool_support::minihost(
        {example("grid.obj"), "-o", dir.path("out.obj"), "--svg", dir.path("out.svg"), "--json", "--log"});
    ASSERT_EQ(r.code, 0) << r.err;
    json report = json::parse(r.out);

    const std::string reason = "{count,hint,input,output}";
    EXPECT_EQ(skeleton(report), "{input{file,points,faces},selected{faces,triangles,ignored},outcome,"
                                "spun{count,pairs[{input,output,old_edge,new_edge,reasons}]},unpaired" +
                                    reason + ",reasons{neighbour_taken" + reason + ",duplicate_edge" + reason +
                                    ",non_convex" + reason + ",opposite_winding" + reason + ",mixed_surfaces" + reason +
                                    ",seams{count,hint,input,output,points}},output,not_written,picture,"
                                    "time_ms{read,command,write},log}");

    // the grid's two materials meet at a texture seam: the text's numbers
    EXPECT_EQ(report["outcome"], "done");
    EXPECT_EQ(report["spun"]["count"], 6);
    EXPECT_EQ(report["spun"]["pairs"][1],
              json::parse(R"({"input":[3,10],"output":[3,10],"old_edge":[3,8],"new_edge":[2,9],
                              "reasons":["mixed_surfaces"]})"));
    EXPECT_EQ(report["reasons"]["mixed_surfaces"]["input"], json::parse("[[3,10],[7,14]]"));
    EXPECT_EQ(report["reasons"]["seams"]["input"], json::parse("[3,7,10,14]"));
    EXPECT_EQ(report["reasons"]["neighbour_taken"]["input"], json::parse("[4,8,11,15]"));
    EXPECT_EQ(report["output"], dir.path("out.obj"));
    EXPECT_EQ(report["not_written"], nullptr);
    EXPECT_EQ(report["picture"], dir.path("out.svg"));
    EXPECT_EQ(report["log"][0], "begin_edit 0 0 1");
}

// the command refuses a single triangle: nothing to report on, nothing drawn
TEST(report, json_of_a_failed_run_has_no_reasons_and_no_picture)
{
    tool_support::scratch dir;
    std::string in = dir.write("one.obj", square + "f 1 2 3\n");
    tool_support::run r = tool_support::minihost({in, "--json", "--svg", dir.path("out.svg")});
    EXPECT_EQ(r.code, 1);
    json report = json::parse(r.out);
    EXPECT_EQ(report["outcome"], "command_failed");
    EXPECT_EQ(report["reasons"], nullptr);
    EXPECT_EQ(report["unpaired"], nullptr);
    EXPECT_EQ(report["picture"], nullptr);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"one.obj"});
}

// Renders with rsvg-convert and gives the PNG's width and height.
std::pair<int, int> rendered_size(const std::string &svg, const std::string &png)
{
    std::vector<std::string> args{"rsvg-convert", svg, "-o", png};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    int status = 0;
    if (::posix_spawnp(&child, "rsvg-convert", nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    {
        ADD_FAILURE() << "rsvg-convert failed on " << svg << " (make test installs it with librsvg2-bin)";
        return {0, 0};
    }
    std::string bytes = read_file(png);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto be32 = [&](size_t at)
    {
        return int(uint8_t(bytes[at])) << 24 | int(uint8_t(bytes[at + 1])) << 16 | int(uint8_t(bytes[at + 2])) << 8 |
               int(uint8_t(bytes[at + 3]));
    };
    return {be32(16), be32(20)};
}

const std::pair<int, int> picture_size{1200, 740};

TEST(report, picture_of_an_example_renders)
{
    tool_support::scratch dir;
    std::string svg = dir.path("grid.svg");
    tool_support::run r = tool_support::minihost({example("grid.obj"), "--svg", svg});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("picture    " + svg));
    EXPECT_EQ(rendered_size(svg, dir.path("grid.png")), picture_size);
    std::string text = read_file(svg);
    EXPECT_THAT(text, HasSubstr("grid.obj: 16 faces, seen along z<"));
    EXPECT_THAT(text, HasSubstr(">two materials (2)<"));
    EXPECT_THAT(text, HasSubstr(">unpaired, neighbour taken (4)<"));
    EXPECT_THAT(text, HasSubstr(">seam corner (4)<"));

    // a square standing in the x-z plane is seen along y
    std::string upright = dir.write("upright.obj", "v 0 0 0\nv 1 0 0\nv 1 0 1\nv 0 0 1\nf 1 2 3\nf 1 3 4\n");
    r = tool_support::minihost({upright, "--svg", svg, "--dry-run"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(read_file(svg), HasSubstr("2 faces, seen along y<"));
    EXPECT_EQ(rendered_size(svg, dir.path("upright.png")), picture_size);
}

// Past a few thousand faces only the selection's surroundings are drawn, so
// the file stays small whatever the mesh.
TEST(report, picture_of_a_large_mesh_draws_the_surroundings_only)
{
    tool_support::scratch dir;
    std::string in = dir.write("large.obj", tool_support::grid_obj(120, 120));
    std::string svg = dir.path("large.svg");
    tool_support::run r = tool_support::minihost({in, "--svg", svg});
    ASSERT_EQ(r.code, 0) << r.err;

    std::string text = read_file(svg);
    std::smatch drawn;
    ASSERT_TRUE(std::regex_search(text, drawn, std::regex("28800 faces, seen along z; ([0-9]+) of them drawn")));
    EXPECT_LT(std::stoi(drawn[1]), 4000);
    EXPECT_LT(text.size(), 400'000u);
    EXPECT_EQ(rendered_size(svg, dir.path("large.png")), picture_size);
}

} // namespace
