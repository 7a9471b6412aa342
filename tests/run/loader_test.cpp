// The stand-in host's loader against small plug-in files built beside this
// test, each with one thing wrong, and one sound file that notes its calls.
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "minihost/loader.h"

namespace
{

std::string fake(const std::string &name)
{
    return std::string(FAKE_MODULE_DIR) + "/" + name + ".p";
}

std::string written(const std::string &name, const std::string &content)
{
    std::string path = testing::TempDir() + name;
    std::ofstream(path) << content;
    return path;
}

// what loading the file and asking for the command's server ends with
std::string outcome(const std::string &path, std::string_view class_name = "CommandSequence",
                    std::string_view server_name = "Dudi_Daz_Adevi")
{
    try
    {
        minihost::plugin module(path);
        return module.server(class_name, server_name) ? "found" : "null";
    }
    catch (const minihost::plugin_error &error)
    {
        return error.what();
    }
}

// The fake's own record of its calls, read through a second reference to the
// loaded file, which keeps it mapped after the loader lets it go.
class trace_of
{
  public:
    explicit trace_of(const std::string &path) : library(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD))
    {
        trace = library ? static_cast<const char *>(dlsym(library, "fake_trace")) : nullptr;
    }
    ~trace_of()
    {
        if (library)
            dlclose(library);
    }
    std::string text() const { return trace ? trace : "(not loaded)"; }

  private:
    void *library;
    const char *trace = nullptr;
};

TEST(loader, refuses_each_bad_file_saying_what_is_wrong)
{
    struct bad_file
    {
        std::string path;
        std::string error;
    };
    const bad_file cases[] = {
        {testing::TempDir() + "no_such_plugin.p", "no such plug-in file"},
        {fake("no_record"), "exports no _mod_descrip module record"},
        {fake("bad_magic"), "module record field magic is 0x19941204, expected 0x04121994"},
        {fake("bad_version"), "module record field version is 0x2, expected 0x3"},
        {fake("bad_machine"), "module record field machine is 0x200, expected 0x300"},
        {fake("no_startup"), "module record has no startup function"},
        {fake("no_shutdown"), "module record has no shutdown function"},
        {fake("no_servers"), "module record has no server list"},
        {fake("failing_startup"), "module startup failed (returned null)"},
    };
    for (const bad_file &c : cases)
        EXPECT_EQ(outcome(c.path), c.path + ": " + c.error);

    for (const std::string &path : {written("text.p", "not a library\n"), written("empty.p", "")})
        EXPECT_THAT(outcome(path), testing::StartsWith(path + ": not a loadable library ("));
}

TEST(loader, finds_a_server_by_class_and_name_up_to_the_all_zero_entry)
{
    const std::string path = fake("recorder");
    EXPECT_EQ(outcome(path), "found");
    EXPECT_EQ(outcome(path, "CommandSequence", "Spare"), "found");
    EXPECT_EQ(outcome(path, "CommandSequence", "Beyond"), path + ": no server \"Beyond\" of class \"CommandSequence\"");
    EXPECT_EQ(outcome(path, "MeshData", "Dudi_Daz_Adevi"),
              path + ": no server \"Dudi_Daz_Adevi\" of class \"MeshData\"");
    EXPECT_EQ(outcome(path, "CommandSequence", "dudi_daz_adevi"),
              path + ": no server \"dudi_daz_adevi\" of class \"CommandSequence\"");
}

TEST(loader, starts_once_before_the_first_activation_and_shuts_down_before_unloading)
{
    const std::string path = fake("recorder");
    std::optional<minihost::plugin> module(std::in_place, path);
    trace_of calls(path);
    EXPECT_EQ(calls.text(), "");

    activate_fn activate = module->server("CommandSequence", "Dudi_Daz_Adevi");
    activate(0, nullptr, nullptr);
    module->server("CommandSequence", "Spare")(0, nullptr, nullptr);
    EXPECT_EQ(module->started(), reinterpret_cast<void *>(4));
    EXPECT_EQ(calls.text(), "SAA");

    module.reset();
    EXPECT_EQ(calls.text(), "SAAX");
}

TEST(loader, shuts_down_only_a_module_that_started)
{
    struct run
    {
        const char *file;
        const char *server;
        const char *trace;
    };
    const run runs[] = {
        {"recorder", "Beyond", ""},                 // no server found, nothing started
        {"failing_startup", "Dudi_Daz_Adevi", "S"}, // started and refused: no shutdown
    };
    for (const run &r : runs)
    {
        const std::string path = fake(r.file);
        std::optional<minihost::plugin> module(std::in_place, path);
        trace_of calls(path);
        EXPECT_THROW(module->server("CommandSequence", r.server), minihost::plugin_error);
        module.reset();
        EXPECT_EQ(calls.text(), r.trace) << r.file;
    }
}

TEST(loader, loads_a_bare_file_name_from_the_working_directory)
{
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(FAKE_MODULE_DIR);
    std::string result = outcome("recorder.p");
    std::filesystem::current_path(before);
    EXPECT_EQ(result, "found");
}

} // namespace
