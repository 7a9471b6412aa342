// The stand-in host itself: what the command's tests rely on.
#include <cmath>
#include <functional>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "meshes.h"
#include "minihost/minihost.h"

using minihost::host;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::square;

namespace
{

// The test's own steps, run as the command inside one mesh edit.
std::function<void(mesh_edit *, service_lookup_fn)> script;

int32_t scripted(int32_t, service_lookup_fn lookup, command_record *command)
{
    mesh_edit *op = command->begin_edit(0, 0, 1);
    script(op, lookup);
    return 0;
}

int32_t run_script(host &h, std::function<void(mesh_edit *, service_lookup_fn)> steps)
{
    script = std::move(steps);
    return h.run(&scripted);
}

void show_error(service_lookup_fn lookup, const char *line)
{
    auto *messages = static_cast<const message_service *>(lookup(SERVICE_MESSAGES, USE_ACQUIRE));
    messages->error(line, "");
}

TEST(stand_in_host, edit_result_is_kept_then_committed_only_for_code_0)
{
    // the edit turns square() into triangle 11 alone plus a PTCH 13 on 102 103 104 in S2
    minihost::mesh edited = square();
    edited.remove_polygon(12);
    edited.add_polygon({102, 103, 104}, POLYTYPE_PTCH, "S2", true, 13);

    const std::optional<int32_t> no_end;
    for (std::optional<int32_t> code : {std::optional<int32_t>(0), std::optional<int32_t>(4), no_end})
    {
        SCOPED_TRACE(code ? std::to_string(*code) : "edit left open");
        host h(square());
        run_script(h,
                   [&](mesh_edit *op, service_lookup_fn)
                   {
                       const polygon_record *twelve = op->polygon_info(op->state, host::polygon_handle(12));
                       const void *surface = twelve->surface;
                       op->remove_polygon(op->state, host::polygon_handle(12));
                       point_id points[3] = {host::point_handle(102), host::point_handle(103), host::point_handle(104)};
                       op->add_polygon(op->state, POLYTYPE_PTCH, nullptr, surface, 3, points);
                       if (code)
                           op->end_edit(op->state, *code, 2);
                   });

        ASSERT_TRUE(h.edit_result());
        EXPECT_EQ(*h.edit_result(), edited);
        EXPECT_EQ(h.end_code(), code);
        EXPECT_EQ(h.current(), code == 0 ? edited : square());
    }
}

TEST(stand_in_host, failing_scan_returns_its_value_after_k_polygons)
{
    struct scan_case
    {
        bool fails;
        size_t after;
        std::vector<uint32_t> visited;
        int32_t result;
    };
    const scan_case cases[] = {
        {false, 0, {1, 2, 3}, 0}, {true, 0, {}, 7},        {true, 2, {1, 2}, -3},
        {true, 3, {1, 2, 3}, 7},  {true, 5, {1, 2, 3}, 7}, // more than the mesh holds: all, then the value
        {true, 1, {1}, 0},                                 // a scan cut short that still answers 0
    };
    for (const scan_case &c : cases)
    {
        SCOPED_TRACE(testing::Message() << "after " << c.after << " result " << c.result);
        host h(testing_support::strip(3));
        h.fault.scan_fails = c.fails;
        h.fault.scan_fail_after = c.after;
        h.fault.scan_result = c.result;

        std::vector<uint32_t> visited;
        int32_t result = 0;
        run_script(h,
                   [&](mesh_edit *op, service_lookup_fn)
                   {
                       auto visit = [](void *context, const polygon_record *p) -> int32_t
                       {
                           static_cast<std::vector<uint32_t> *>(context)->push_back(host::id_of(p->id));
                           return 0;
                       };
                       result = op->scan_polygons(op->state, visit, &visited, 1);
                       op->end_edit(op->state, 0, 2);
                   });
        EXPECT_EQ(visited, c.visited);
        EXPECT_EQ(result, c.result);
    }
}

TEST(stand_in_host, records_are_spoiled_by_the_next_call_of_the_same_operation)
{
    host h(square());
    h.fault.polygon_info_null_at = 3;
    run_script(h,
               [&](mesh_edit *op, service_lookup_fn)
               {
                   const polygon_record *kept = op->polygon_info(op->state, host::polygon_handle(11));
                   const point_id *kept_points = kept->points;
                   const point_record *point = op->point_info(op->state, host::point_handle(102));
                   EXPECT_EQ(point->position[0], 2.0);

                   // the next call overwrites the record and its point list
                   EXPECT_EQ(op->polygon_info(op->state, host::polygon_handle(12)), kept);
                   EXPECT_EQ(host::id_of(kept->id), 12u);
                   EXPECT_EQ(host::id_of(kept_points[1]), 103u);
                   EXPECT_EQ(kept->type, POLYTYPE_PTCH);

                   // a null answer (here the third call) spoils it too
                   EXPECT_EQ(op->polygon_info(op->state, host::polygon_handle(11)), nullptr);
                   EXPECT_EQ(kept->id, nullptr);
                   EXPECT_EQ(kept->point_count, 0);
                   EXPECT_EQ(kept->type, 0u);
                   EXPECT_THAT(std::vector<point_id>(kept_points, kept_points + 3), testing::Each(nullptr));

                   EXPECT_EQ(op->point_info(op->state, host::point_handle(999)), nullptr);
                   EXPECT_TRUE(std::isnan(point->position[0]));

                   // and the scan's record does not outlive the scan
                   const polygon_record *scanned = nullptr;
                   op->scan_polygons(
                       op->state,
                       [](void *context, const polygon_record *p) -> int32_t
                       {
                           *static_cast<const polygon_record **>(context) = p;
                           return 0;
                       },
                       &scanned, 1);
                   ASSERT_NE(scanned, nullptr);
                   EXPECT_EQ(scanned->point_count, 0);
                   op->end_edit(op->state, 0, 2);
               });
}

TEST(stand_in_host, two_hosts_keep_their_state_apart)
{
    host a(square());
    host b(testing_support::strip(3));
    b.fault.no_monitor_service = true;

    // b runs while a's command is still running: a's services must answer for a again afterwards
    run_script(a,
               [&](mesh_edit *op, service_lookup_fn lookup)
               {
                   show_error(lookup, "a1");
                   run_script(b,
                              [&](mesh_edit *inner, service_lookup_fn inner_lookup)
                              {
                                  show_error(inner_lookup, "b");
                                  EXPECT_EQ(inner_lookup(SERVICE_MONITOR, USE_TRANSIENT), nullptr);
                                  inner->remove_polygon(inner->state, host::polygon_handle(1));
                                  inner->end_edit(inner->state, 0, 2);
                              });
                   show_error(lookup, "a2");
                   EXPECT_NE(lookup(SERVICE_MONITOR, USE_TRANSIENT), nullptr);
                   op->end_edit(op->state, 4, 2);
               });

    EXPECT_THAT(a.log(), ElementsAre("begin_edit 0 0 1", "lookup \"Info Messages\" 1", "error \"a1\" \"\"",
                                     "lookup \"Info Messages\" 1", "error \"a2\" \"\"",
                                     "lookup \"QDX: Dynamic Monitor\" 0", "end_edit 4 2"));
    EXPECT_THAT(b.log(), ElementsAre("begin_edit 0 0 1", "lookup \"Info Messages\" 1", "error \"b\" \"\"",
                                     "lookup \"QDX: Dynamic Monitor\" 0", "remove_polygon 1", "end_edit 0 2"));
    EXPECT_EQ(a.current(), square());
    EXPECT_EQ(b.current().polygon_count(), 2u);
}

TEST(stand_in_host, checker_names_missing_points_and_a_wrong_count)
{
    minihost::mesh m = square();
    EXPECT_THAT(minihost::check(m, 2), IsEmpty());

    m.add_polygon({101, 105, 106});
    EXPECT_THAT(minihost::check(m, 2), ElementsAre("polygon count 3, expected 2", "polygon 13 names missing point 105",
                                                   "polygon 13 names missing point 106"));
}

TEST(stand_in_host, meshes_compare_their_points_bit_for_bit)
{
    minihost::mesh m = square();
    m.add_point({std::nan(""), -0.0, 0}, 105);
    EXPECT_EQ(m, minihost::mesh(m)); // a NaN is itself

    minihost::mesh zero = square();
    zero.add_point({0, 0, 0}, 105);
    minihost::mesh negative_zero = square();
    negative_zero.add_point({-0.0, 0, 0}, 105);
    EXPECT_NE(zero, negative_zero);
}

} // namespace
