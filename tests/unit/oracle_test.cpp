// The oracle itself: silent on sound runs, and not fooled by a run that
// differs from what the command owes in any one respect.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "command.h"
#include "meshes.h"

using testing::IsEmpty;
using testing::Not;
using testing_support::oracle;
using testing_support::oracle_linked;
using testing_support::run_linked;

namespace
{

TEST(oracle, accepts_sound_runs)
{
    const minihost::mesh meshes[] = {testing_support::one_of_everything(), testing_support::grid_of(12),
                                     testing_support::grid_of(516)};
    for (const minihost::mesh &original : meshes)
    {
        minihost::host host(original);
        int32_t result = run_linked(host);
        EXPECT_THAT(oracle_linked(original, host, result), IsEmpty()) << original.polygon_count() << " polygons";
    }
}

// Each case runs the command soundly and then changes one thing the oracle
// sees, as a faulty command would have changed it.
struct tampering
{
    const char *name;
    std::function<void(minihost::mesh &original, minihost::host &host, testing_support::run_facts &facts)> change;
};

TEST(oracle, objects_to_any_one_fault)
{
    const tampering cases[] = {
        {"a block left allocated", [](auto &, auto &, auto &facts) { facts.live_blocks = 1; }},
        {"the wrong activation result", [](auto &, auto &, auto &facts) { facts.result = 2; }},
        {"the square on the other side of x = 0: the other arrangement",
         [](auto &original, auto &, auto &)
         {
             original = testing_support::one_of_everything();
             for (uint32_t id : {1u, 2u, 3u, 4u})
                 const_cast<minihost::vec3 *>(original.point(id))->x -= 10;
         }},
        {"a record read the command ignored", [](auto &, auto &host, auto &) { host.fault.polygon_info_null_at = 6; }},
        {"a scan failure the command ignored",
         [](auto &, auto &host, auto &)
         {
             host.fault.scan_fails = true;
             host.fault.scan_result = 7;
         }},
        {"a change the host did not keep", [](auto &, auto &host, auto &) { host.current().remove_polygon(13); }},
        {"a polygon the command did not leave alone",
         [](auto &original, auto &, auto &) { original.find(16)->flags = POLYFLAG_SELECTED; }}};

    for (const tampering &c : cases)
    {
        minihost::mesh original = testing_support::one_of_everything();
        minihost::host host(original);
        testing_support::run_facts facts{run_linked(host), fault_shim::state().live_blocks, true};
        ASSERT_THAT(oracle(original, host, facts), IsEmpty());
        c.change(original, host, facts);
        EXPECT_THAT(oracle(original, host, facts), Not(IsEmpty())) << c.name;
    }
}

} // namespace
