// Every fault tried once: each allocation of the command failing (once, and
// from there on), each record read answering null, each progress step
// answering "abort". After each run the oracle must hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "command.h"
#include "meshes.h"

using testing::IsEmpty;
using testing::IsSupersetOf;
using testing_support::oracle_linked;
using testing_support::run_linked;

namespace
{

struct sweep_mesh
{
    const char *name;
    minihost::mesh mesh;
    minihost::faults fault = {};
};

// a clean run: the counts a sweep walks through
struct clean_counts
{
    uint64_t allocations, polygon_reads, point_reads, steps;
};

clean_counts count_clean(const sweep_mesh &m)
{
    minihost::host host(m.mesh);
    host.fault = m.fault;
    int32_t result = run_linked(host);
    EXPECT_THAT(oracle_linked(m.mesh, host, result), IsEmpty()) << m.name;
    return {fault_shim::state().allocations, host.polygon_info_calls(), host.point_info_calls(),
            host.progress().steps.size()};
}

// 1..count, thinned out in the middle of long runs of like cases: every k
// up to 64, else the first 16, the last 32 and every 16th between
std::vector<uint64_t> every_or_sampled(uint64_t count)
{
    std::vector<uint64_t> ks;
    for (uint64_t k = 1; k <= count; ++k)
        if (count <= 64 || k <= 16 || k + 32 > count || k % 16 == 0)
            ks.push_back(k);
    return ks;
}

// one run with the fault set by `arm`; the oracle's objections, if any
template <typename F> std::vector<std::string> run_with(const sweep_mesh &m, F &&arm, std::set<std::string> *shown)
{
    minihost::host host(m.mesh);
    host.fault = m.fault;
    uint64_t fail_at = 0;
    bool fail_after = false;
    arm(host.fault, fail_at, fail_after);
    int32_t result = run_linked(host, fail_at, fail_after);
    if (shown)
        for (const minihost::message &message : host.messages())
            shown->insert(message.line1);
    return oracle_linked(m.mesh, host, result);
}

std::vector<sweep_mesh> allocation_meshes()
{
    minihost::faults no_monitor;
    no_monitor.create_null = true;
    minihost::faults silent;
    silent.no_message_service = true;
    return {{"one of everything", testing_support::one_of_everything()},
            {"12-triangle grid", testing_support::grid_of(12)},
            {"60-triangle grid, shuffled", testing_support::shuffled(testing_support::grid_of(60), 1)},
            {"60-triangle grid, no message service", testing_support::grid_of(60), silent},
            {"520-triangle grid with a monitor", testing_support::grid_of(520)},
            {"520-triangle grid, monitor refused", testing_support::grid_of(520), no_monitor}};
}

TEST(fault_sweep, every_allocation_fails_once_and_from_there_on)
{
    std::set<std::string> shown;
    uint64_t runs = 0, failed = 0;
    for (const sweep_mesh &m : allocation_meshes())
    {
        // on the large grids most allocations are the selection's growth,
        // one triangle at a time: those are sampled
        for (uint64_t k : every_or_sampled(count_clean(m).allocations))
            for (bool persistent : {false, true})
            {
                auto arm = [&](minihost::faults &, uint64_t &fail_at, bool &fail_after)
                {
                    fail_at = k;
                    fail_after = persistent;
                };
                ++runs;
                ASSERT_THAT(run_with(m, arm, &shown), IsEmpty())
                    << m.name << ", allocation " << k << (persistent ? " on" : " once");
                failed += fault_shim::state().failed;
            }
    }
    EXPECT_THAT(
        shown,
        IsSupersetOf({"Out of memory (malloc failed for dat.polygons)", "Out of memory (malloc failed for sortpolys)",
                      "Out of memory (malloc failed for sortflag)", "Out of memory (malloc failed for sharepolys)",
                      "Out of memory (malloc failed for shareflag)"}));
    std::printf("allocation faults: %llu runs, %llu allocations failed\n", static_cast<unsigned long long>(runs),
                static_cast<unsigned long long>(failed));
}

TEST(fault_sweep, every_record_read_answers_null_once)
{
    const sweep_mesh meshes[] = {
        {"one of everything", testing_support::one_of_everything()},
        {"28-triangle grid", testing_support::grid_of(28)},
        {"28-triangle grid, shuffled", testing_support::shuffled(testing_support::grid_of(28), 2)},
        {"28-triangle grid, shuffled again", testing_support::shuffled(testing_support::grid_of(28), 3)},
    };
    uint64_t runs = 0;
    for (const sweep_mesh &m : meshes)
    {
        clean_counts clean = count_clean(m);
        for (uint64_t k = 1; k <= clean.polygon_reads; ++k)
        {
            ++runs;
            ASSERT_THAT(run_with(
                            m, [&](minihost::faults &f, auto &, auto &) { f.polygon_info_null_at = k; }, nullptr),
                        IsEmpty())
                << m.name << ", polygon_info " << k;
        }
        for (uint64_t k = 1; k <= clean.point_reads; ++k)
        {
            ++runs;
            ASSERT_THAT(run_with(
                            m, [&](minihost::faults &f, auto &, auto &) { f.point_info_null_at = k; }, nullptr),
                        IsEmpty())
                << m.name << ", point_info " << k;
        }
    }
    std::printf("record reads answered null: %llu runs\n", static_cast<unsigned long long>(runs));
}

TEST(fault_sweep, abort_at_every_progress_step)
{
    sweep_mesh m{"520-triangle grid", testing_support::grid_of(520)};
    uint64_t steps = count_clean(m).steps;
    ASSERT_EQ(steps, 519u + 260u); // a step per position but the last, and one per pair
    // every step of the edge spin; of pairing's steps, which all leave the
    // mesh as it was, the first two, the last and every 8th
    std::set<std::string> shown;
    uint64_t runs = 0;
    for (uint64_t k = 1; k <= steps; ++k)
    {
        if (k > 2 && k < 519 && k % 8 != 0)
            continue;
        ++runs;
        auto arm = [&](minihost::faults &f, auto &, auto &) { f.abort_at_step = k; };
        ASSERT_THAT(run_with(m, arm, &shown), IsEmpty()) << "abort at step " << k;
    }
    EXPECT_THAT(shown, testing::ElementsAre("DaviVere :"));
    std::printf("abort points: %llu runs\n", static_cast<unsigned long long>(runs));
}

} // namespace
