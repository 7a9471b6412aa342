// The oracle run after every command in the robustness tests and fuzzers:
// judges one finished run from the mesh before it and the host after it
// (a host that ran the command once).
//
// It rebuilds what the command must have done from the original mesh and
// the host's faults alone: the triangles collected, their sides (from the
// coordinates), the pairs a greedy pairing forms, and every record read,
// removal and addition of the edge spin with its arrangement. Pairing's own
// reads are the one part left free (an index or the plain scan may read
// differently); everything around them is compared line by line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace testing_support
{

struct run_facts
{
    int32_t result = 0;                 // what the activation returned
    std::optional<int64_t> live_blocks; // linked runs: blocks left allocated
    bool allocations_logged = false;    // the shim's lines are in the log
};

// What is wrong with the run; empty when the run is sound. The host must
// have kept its log. Checks:
// - allocations and frees balance (when counted);
// - the host calls are those the command owes, with pairing's reads and
//   steps left free, and after an abort nothing but the closing sequence;
// - the edit result is the original with exactly the pairs replaced that
//   the edge spin owes (none for any exit before it), each as the two point
//   lists of its arrangement with the types and surfaces it carries;
// - the host kept the edit result for code 0 and the original otherwise.
std::vector<std::string> oracle(const minihost::mesh &original, const minihost::host &host, const run_facts &facts);

// the same for a run of the loaded plug-in file, whose allocations go uncounted
inline std::vector<std::string> oracle_loaded(const minihost::mesh &original, const minihost::host &host,
                                              int32_t result)
{
    return oracle(original, host, {result, std::nullopt, false});
}

} // namespace testing_support
