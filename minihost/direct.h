// Runs code inside one open mesh edit of a host, as a command would, without
// a plug-in: tests and benchmarks of single phases use it.
#pragma once

#include <cstdint>
#include <functional>

#include "minihost/minihost.h"

namespace minihost
{

// Opens an edit, hands it to body and ends it with the code body returns;
// the host's run() result, or -1 when the host opened no edit.
int32_t run_in_edit(host &h, const std::function<int32_t(mesh_edit &)> &body);

// The same, with the host's service lookup for a body that needs a service.
int32_t run_in_edit(host &h, const std::function<int32_t(mesh_edit &, service_lookup_fn)> &body);

} // namespace minihost
