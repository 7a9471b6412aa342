// Running the command in tests: linked from the command's static library
// (with the allocation shim in the call log), or loaded from the plug-in file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fault_shim.h"
#include "minihost/loader.h"
#include "minihost/minihost.h"
#include "oracle.h"

namespace testing_support
{

// Runs the linked command once with the shim armed: allocations, frees and
// their sizes go into the host's call log between the host's own calls.
inline int32_t run_linked(minihost::host &host, uint64_t fail_at = 0, bool fail_after = false)
{
    extern int32_t linked_activate(int32_t, service_lookup_fn, command_record *);
    fault_shim::armed shim([&host](std::string line) { host.log_call(std::move(line)); }, fail_at, fail_after);
    return host.run(&linked_activate);
}

// the log without the shim's lines, for tests about host calls alone
inline std::vector<std::string> host_calls(const minihost::host &host)
{
    std::vector<std::string> calls;
    for (const std::string &line : host.log())
        if (line.rfind("malloc", 0) != 0 && line.rfind("calloc", 0) != 0 && line.rfind("realloc", 0) != 0 &&
            line.rfind("free", 0) != 0)
            calls.push_back(line);
    return calls;
}

using lines = std::vector<std::string>;

// the calls of every run that gets past the service lookups, then rest
inline lines opened(std::initializer_list<std::string> rest)
{
    lines all = {"begin_edit 0 0 1", "lookup \"Info Messages\" 1", "lookup \"QDX: Dynamic Monitor\" 0"};
    all.insert(all.end(), rest);
    return all;
}

inline const std::string release_messages = "lookup \"Info Messages\" 2";

// A test of linked runs: every block the command allocated is freed again.
struct leak_checked : testing::Test
{
    void TearDown() override { EXPECT_EQ(fault_shim::state().live_blocks, 0) << "blocks of the command left"; }
};

// the oracle's verdict on a run of run_linked
inline std::vector<std::string> oracle_linked(const minihost::mesh &original, const minihost::host &host,
                                              int32_t result)
{
    return oracle(original, host, {result, fault_shim::state().live_blocks, true});
}

} // namespace testing_support
