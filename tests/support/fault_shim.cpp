#include "fault_shim.h"

#include <mutex>
#include <unordered_map>

extern "C" void *__real_malloc(size_t size);
extern "C" void *__real_calloc(size_t count, size_t size);
extern "C" void *__real_realloc(void *block, size_t size);
extern "C" void __real_free(void *block);

namespace fault_shim
{

namespace
{

struct block_info
{
    size_t size;
    uint64_t number; // which allocation call handed it out
};

// the blocks handed out while armed, to log and balance frees; the map
// allocates through the C++ runtime, which is not wrapped
std::unordered_map<void *, block_info> &blocks()
{
    static std::unordered_map<void *, block_info> known;
    return known;
}

bool should_fail(control &c)
{
    ++c.allocations;
    bool fail = c.fail_at != 0 && (c.allocations == c.fail_at || (c.fail_after && c.allocations > c.fail_at));
    if (fail)
        ++c.failed;
    return fail;
}

void note(control &c, std::string line)
{
    if (c.log)
        c.log(std::move(line));
}

void keep(control &c, void *block, size_t size)
{
    blocks()[block] = {size, c.allocations};
    ++c.live_blocks;
    c.live_bytes += size;
    if (c.live_bytes > c.peak_bytes)
        c.peak_bytes = c.live_bytes;
}

void drop(control &c, void *block)
{
    auto it = blocks().find(block);
    if (it == blocks().end())
        return;
    --c.live_blocks;
    c.live_bytes -= it->second.size;
    blocks().erase(it);
}

} // namespace

control &state()
{
    static control c;
    return c;
}

armed::armed(std::function<void(std::string)> log, uint64_t fail_at, bool fail_after)
{
    control &c = state();
    c = control{};
    c.log = std::move(log);
    c.fail_at = fail_at;
    c.fail_after = fail_after;
    blocks().clear();
    c.armed = true;
}

armed::~armed()
{
    state().armed = false;
    state().log = nullptr;
}

} // namespace fault_shim

using fault_shim::state;

extern "C" void *__wrap_malloc(size_t size)
{
    fault_shim::control &c = state();
    if (!c.armed)
        return __real_malloc(size);
    c.armed = false; // the log itself may allocate
    void *block = fault_shim::should_fail(c) ? nullptr : __real_malloc(size);
    fault_shim::note(c, "malloc " + std::to_string(size) + (block ? "" : " -> null"));
    if (block)
        fault_shim::keep(c, block, size);
    c.armed = true;
    return block;
}

extern "C" void *__wrap_calloc(size_t count, size_t size)
{
    fault_shim::control &c = state();
    if (!c.armed)
        return __real_calloc(count, size);
    c.armed = false;
    void *block = fault_shim::should_fail(c) ? nullptr : __real_calloc(count, size);
    fault_shim::note(c, "calloc " + std::to_string(count) + " " + std::to_string(size) + (block ? "" : " -> null"));
    if (block)
        fault_shim::keep(c, block, count * size);
    c.armed = true;
    return block;
}

extern "C" void *__wrap_realloc(void *old, size_t size)
{
    fault_shim::control &c = state();
    if (!c.armed)
        return __real_realloc(old, size);
    c.armed = false;
    void *block = fault_shim::should_fail(c) ? nullptr : __real_realloc(old, size);
    fault_shim::note(c, "realloc " + std::to_string(size) + (block ? "" : " -> null"));
    if (block)
    {
        if (old)
            fault_shim::drop(c, old);
        fault_shim::keep(c, block, size);
    }
    c.armed = true;
    return block;
}

extern "C" void __wrap_free(void *block)
{
    fault_shim::control &c = state();
    if (!c.armed || !block)
        return __real_free(block);
    c.armed = false;
    auto it = fault_shim::blocks().find(block);
    bool known = it != fault_shim::blocks().end();
    fault_shim::note(c, "free " + (known ? std::to_string(it->second.size) : std::string("?")));
    if (known)
        c.freed.push_back(it->second.number);
    fault_shim::drop(c, block);
    __real_free(block);
    c.armed = true;
}
