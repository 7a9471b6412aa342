// Driving one phase of the command alone, inside a mesh edit of the stand-in
// host (minihost::run_in_edit), and reading what the command did.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "minihost/minihost.h"

namespace testing_support
{

// the calls made inside run_in_edit's body
inline std::vector<std::string> edit_calls(const minihost::host &host)
{
    const std::vector<std::string> &log = host.log();
    if (log.size() < 2)
        return {};
    return {log.begin() + 1, log.end() - 1};
}

// the host's progress monitor, as the driver opens it
inline monitor *open_monitor(service_lookup_fn lookup, uint32_t total)
{
    auto *service = static_cast<monitor_service *>(lookup(SERVICE_MONITOR, USE_TRANSIENT));
    monitor *progress = service->create("DaviVere", "ESC to abort");
    progress->init(progress->data, total);
    return progress;
}

inline std::vector<polygon_id> handles(const std::vector<uint32_t> &ids)
{
    std::vector<polygon_id> out;
    for (uint32_t id : ids)
        out.push_back(minihost::host::polygon_handle(id));
    return out;
}

inline std::vector<uint32_t> ids(const polygon_id *first, size_t count)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(minihost::host::id_of(first[i]));
    return out;
}

// The driver's last calls after a user abort, with n triangles collected:
// the frees are sortflag, sortpolys, sharepolys, shareflag, dat.polygons.
inline std::vector<std::string> abort_closing(size_t n)
{
    std::string flags = "free " + std::to_string(n * sizeof(int32_t));
    std::string lists = "free " + std::to_string(n * sizeof(polygon_id));
    return {"info \"DaviVere :\" \"Operation aborted at user request\"",
            "done",
            "destroy",
            flags,
            lists,
            lists,
            flags,
            lists,
            "lookup \"Info Messages\" 2",
            "end_edit 4 2"};
}

inline std::vector<std::string> last(const std::vector<std::string> &log, size_t n)
{
    return {log.end() - std::ptrdiff_t(std::min(n, log.size())), log.end()};
}

// record reads and mesh changes made after the last monitor step
inline std::vector<std::string> mesh_calls_after_last_step(const std::vector<std::string> &log)
{
    std::vector<std::string> after;
    for (const std::string &line : log)
    {
        if (line.starts_with("step "))
            after.clear();
        else if (line.starts_with("polygon_info") || line.starts_with("point_info") ||
                 line.starts_with("remove_polygon") || line.starts_with("add_polygon"))
            after.push_back(line);
    }
    return after;
}

} // namespace testing_support
