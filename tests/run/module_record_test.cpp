// The shipped plug-in file read through the stand-in host's loader, as the
// host reads it: the record, its server list and tags, start-up and
// shutdown, and loading and unloading many times over.
#include <dlfcn.h>

#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "minihost/loader.h"
#include "minihost/minihost.h"
#include "plugin_file.h"

namespace
{

using testing_support::plugin_path;

// the file an address lies in
std::string file_of(const void *address)
{
    Dl_info info{};
    return dladdr(address, &info) && info.dli_fname ? info.dli_fname : "";
}

//  3 ----- 4
//  | \  B  |
//  |   \   |
//  |  A  \ |
//  1 ----- 2
minihost::mesh square()
{
    minihost::mesh m;
    for (minihost::vec3 p : {minihost::vec3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}})
        m.add_point(p);
    m.add_polygon({1, 2, 3});
    m.add_polygon({2, 4, 3});
    return m;
}

TEST(module_record, holds_the_constants_and_one_server_with_an_empty_tag_list)
{
    minihost::plugin module(plugin_path());
    const module_record &record = module.record();

    // magic, version and machine, little-endian, at offsets 0, 4 and 8
    std::array<unsigned char, 12> constants;
    std::memcpy(constants.data(), &record, constants.size());
    EXPECT_EQ(constants, (std::array<unsigned char, 12>{0x94, 0x19, 0x12, 0x04, 3, 0, 0, 0, 0x00, 0x03, 0, 0}));

    // everything the record leads to lies in the plug-in file itself
    for (const void *address :
         {reinterpret_cast<const void *>(&record), reinterpret_cast<const void *>(record.startup),
          reinterpret_cast<const void *>(record.shutdown), reinterpret_cast<const void *>(record.servers)})
        EXPECT_EQ(file_of(address), plugin_path());

    std::vector<std::pair<std::string, std::string>> servers;
    const server_entry *entry = record.servers;
    for (; entry->class_name || entry->server_name || entry->activate || entry->tags; ++entry)
        servers.emplace_back(entry->class_name, entry->server_name);
    EXPECT_EQ(servers, (std::vector<std::pair<std::string, std::string>>{{"CommandSequence", "Dudi_Daz_Adevi"}}));

    const server_entry &spin = record.servers[0];
    EXPECT_EQ(file_of(reinterpret_cast<const void *>(spin.activate)), plugin_path());
    ASSERT_NE(spin.tags, nullptr);
    EXPECT_EQ(spin.tags[0].words[0], nullptr);
    EXPECT_EQ(spin.tags[0].words[1], nullptr);
    EXPECT_EQ(module.server("CommandSequence", "Dudi_Daz_Adevi"), spin.activate);
}

TEST(module_record, startup_gives_4_every_time_and_shutdown_does_nothing_whenever_called)
{
    minihost::plugin module(plugin_path());
    const module_record &record = module.record();
    void *const four = reinterpret_cast<void *>(4);

    record.shutdown(); // before any start-up
    EXPECT_EQ(record.startup(), four);
    EXPECT_EQ(record.startup(), four);
    record.shutdown();
    record.shutdown();

    // an activation between them changes nothing
    minihost::host host(square());
    EXPECT_EQ(host.run(module.server("CommandSequence", "Dudi_Daz_Adevi")), 0);
    EXPECT_EQ(module.started(), four);
    record.shutdown();
    EXPECT_EQ(record.startup(), four);
    EXPECT_EQ(host.run(module.server("CommandSequence", "Dudi_Daz_Adevi")), 0);
    EXPECT_EQ(host.end_code(), 0);
}

TEST(module_record, a_thousand_load_run_unload_cycles_leave_nothing_behind)
{
    const std::string path = plugin_path();
    if (void *held = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD))
    {
        dlclose(held);
        GTEST_SKIP() << "the plug-in file is held by an earlier test of this process";
    }

    for (int cycle = 0; cycle < 1000; ++cycle)
    {
        minihost::plugin module(path);
        minihost::host host(square());
        ASSERT_EQ(host.run(module.server("CommandSequence", "Dudi_Daz_Adevi")), 0) << "cycle " << cycle;
        ASSERT_EQ(host.end_code(), 0) << "cycle " << cycle;
        ASSERT_TRUE(minihost::check(host.current(), 2).empty()) << "cycle " << cycle;
    }
    EXPECT_EQ(dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

} // namespace
