// Numbers under a locale that writes decimal commas: the reader and writer,
// linked into a program that has set such a locale (as a host may have), and
// the tool run with it in its environment, read and write the same numbers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "minihost/builtin.h"
#include "minihost/obj_read.h"
#include "tool_support.h"

namespace
{

const std::string numbers = "v 0.5 -1.25 3e-1\nv 1.5 2.2250738585072014e-308 1e308\nv 0 1.75 -0\nf 1 2 3\n";

// the meshes read from the test's numbers and from the built-in mesh
std::vector<minihost::mesh> read_meshes()
{
    return {minihost::parse_obj(numbers, "in.obj").model,
            minihost::parse_obj(minihost::builtin_obj(), "(built-in mesh)").model};
}

// Each test makes the locale in a directory of its own from the C library's
// locale sources, so no system locale is needed; LOCPATH points there.
class decimal_comma : public testing::Test
{
  protected:
    void SetUp() override
    {
        in_c_locale = read_meshes();
        std::string made = locales.path("de_DE.UTF-8");
        std::system(("localedef -i de_DE -f UTF-8 " + made).c_str());
        ASSERT_TRUE(std::filesystem::exists(made + "/LC_NUMERIC")) << "localedef (package locales) made no locale";
        ::setenv("LOCPATH", locales.path("").c_str(), 1);
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", 1.5);
        ASSERT_STREQ(text, "1,50") << "the locale is not in force";
    }
    void TearDown() override
    {
        std::setlocale(LC_NUMERIC, "C");
        ::unsetenv("LOCPATH");
    }
    tool_support::scratch locales;
    std::vector<minihost::mesh> in_c_locale;
};

TEST_F(decimal_comma, the_reader_and_writer_keep_every_number)
{
    std::vector<minihost::mesh> meshes = read_meshes();
    EXPECT_EQ(meshes, in_c_locale);
    EXPECT_EQ(*meshes[0].point(1), (minihost::vec3{0.5, -1.25, in_c_locale[0].point(1)->z}));
    minihost::mesh builtin = minihost::builtin_mesh(); // written as text and read back
    for (uint32_t id : builtin.point_ids())
        EXPECT_EQ(*meshes[1].point(id), *builtin.point(id)) << "point " << id;
}

TEST_F(decimal_comma, the_tool_writes_what_it_writes_in_the_c_locale)
{
    tool_support::scratch dir;
    std::string grid = tool_support::example("grid.obj");
    ::unsetenv("LC_ALL");
    ASSERT_EQ(tool_support::minihost({grid, "-o", dir.path("plain.obj")}).code, 0);
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    tool_support::run r = tool_support::minihost({grid, "-o", dir.path("comma.obj")});
    ::unsetenv("LC_ALL");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(tool_support::read_file(dir.path("comma.obj")), tool_support::read_file(dir.path("plain.obj")));
}

} // namespace
