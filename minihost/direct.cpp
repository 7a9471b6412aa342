#include "minihost/direct.h"

namespace minihost
{

namespace
{

using edit_body = std::function<int32_t(mesh_edit &, service_lookup_fn)>;

thread_local const edit_body *pending = nullptr;
thread_local bool opened = false;

int32_t activate(int32_t, service_lookup_fn lookup, command_record *command)
{
    mesh_edit *op = command->begin_edit(0, 0, 1);
    opened = op != nullptr;
    if (!op)
        return 0;
    int32_t code = (*pending)(*op, lookup);
    op->end_edit(op->state, code, 2);
    return 0;
}

} // namespace

int32_t run_in_edit(host &h, const std::function<int32_t(mesh_edit &)> &body)
{
    return run_in_edit(h, [&body](mesh_edit &op, service_lookup_fn) { return body(op); });
}

int32_t run_in_edit(host &h, const edit_body &body)
{
    const edit_body *outer = pending;
    pending = &body;
    int32_t result = h.run(&activate);
    pending = outer;
    return opened ? result : -1;
}

} // namespace minihost
