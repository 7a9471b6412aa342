// Allocation faults for the command's code, from the test side: the test
// executable is linked with --wrap=malloc,calloc,realloc,free, so the
// command's calls land here. The shim counts and fails only while armed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fault_shim
{

struct control
{
    bool armed = false;
    uint64_t fail_at = 0;     // fail the k-th allocation (1-based; 0: never)
    bool fail_after = false;  // ... and every one after it
    uint64_t allocations = 0; // malloc, calloc and realloc calls while armed
    uint64_t failed = 0;
    int64_t live_blocks = 0; // blocks allocated while armed and not yet freed
    size_t live_bytes = 0;
    size_t peak_bytes = 0;
    // for each block freed while armed, in free order, the number of the
    // allocation call that handed it out (its latest realloc)
    std::vector<uint64_t> freed;
    std::function<void(std::string)> log; // each call with its size, when set
};

control &state();

// Arms the shim for one scope; restores the counters' meaning on exit.
class armed
{
  public:
    explicit armed(std::function<void(std::string)> log = {}, uint64_t fail_at = 0, bool fail_after = false);
    ~armed();
    armed(const armed &) = delete;
    armed &operator=(const armed &) = delete;
};

} // namespace fault_shim
