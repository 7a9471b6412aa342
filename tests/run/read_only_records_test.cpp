// The host's records belong to the host: served from read-only pages, they
// fault on any write, and the command's whole runs never write one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "meshes.h"
#include "oracle.h"
#include "plugin_file.h"

using testing::IsEmpty;

namespace
{

TEST(read_only_records, the_command_writes_none)
{
    struct run_case
    {
        const char *name;
        minihost::mesh mesh;
        minihost::faults fault = {};
    };
    minihost::faults null_read;
    null_read.polygon_info_null_at = 9;
    minihost::faults abort_in_spin;
    abort_in_spin.abort_at_step = 600;
    const run_case cases[] = {
        {"one of everything", testing_support::one_of_everything()},
        {"one of everything, a null read", testing_support::one_of_everything(), null_read},
        {"520 triangles shuffled, aborted", testing_support::shuffled(testing_support::grid_of(520), 4), abort_in_spin},
    };
    for (const run_case &c : cases)
    {
        minihost::host host(c.mesh);
        host.fault = c.fault;
        host.read_only_records = true;
        int32_t result = host.run(testing_support::loaded_command());
        EXPECT_THAT(testing_support::oracle_loaded(c.mesh, host, result), IsEmpty()) << c.name;
    }
}

// Each stand-in command opens an edit, writes into one thing the host
// handed it and ends the edit.
mesh_edit *open_edit(command_record *command)
{
    return command->begin_edit(0, 0, 1);
}

int32_t write_polygon_record(int32_t, service_lookup_fn, command_record *command)
{
    mesh_edit *op = open_edit(command);
    auto *record = const_cast<polygon_record *>(op->polygon_info(op->state, minihost::host::polygon_handle(11)));
    record->flags = 0;
    op->end_edit(op->state, 0, 2);
    return 0;
}

int32_t write_point_list(int32_t, service_lookup_fn, command_record *command)
{
    mesh_edit *op = open_edit(command);
    const polygon_record *record = op->polygon_info(op->state, minihost::host::polygon_handle(11));
    const_cast<point_id *>(record->points)[2] = record->points[0];
    op->end_edit(op->state, 0, 2);
    return 0;
}

int32_t write_point_record(int32_t, service_lookup_fn, command_record *command)
{
    mesh_edit *op = open_edit(command);
    auto *record = const_cast<point_record *>(op->point_info(op->state, minihost::host::point_handle(1)));
    record->position[0] = -record->position[0];
    op->end_edit(op->state, 0, 2);
    return 0;
}

int32_t write_scanned_record(int32_t, service_lookup_fn, command_record *command)
{
    mesh_edit *op = open_edit(command);
    op->scan_polygons(
        op->state,
        [](void *, const polygon_record *record) -> int32_t
        {
            const_cast<polygon_record *>(record)->type = POLYTYPE_FACE;
            return 0;
        },
        nullptr, 1);
    op->end_edit(op->state, 0, 2);
    return 0;
}

TEST(read_only_records, a_write_faults)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::pair<const char *, activate_fn> writers[] = {
        {"polygon record", write_polygon_record},
        {"point list", write_point_list},
        {"point record", write_point_record},
        {"record of the scan", write_scanned_record},
    };
    for (auto [name, writer] : writers)
    {
        minihost::host host(testing_support::one_of_everything());
        EXPECT_EQ(host.run(writer), 0) << "writable " << name;

        host.read_only_records = true;
        EXPECT_DEATH(host.run(writer), "") << "read-only " << name;
    }
}

} // namespace
