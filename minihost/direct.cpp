#include "minihost/direct.h"

namespace minihost
{

namespace
{

thread_local const std::function<int32_t(mesh_edit &)> *pending = nullptr;
thread_local bool opened = false;

int32_t activate(int32_t, service_lookup_fn, command_record *command)
{
    mesh_edit *op = command->begin_edit(0, 0, 1);
    opened = op != nullptr;
    if (!op)
        return 0;
    int32_t code = (*pending)(*op);
    op->end_edit(op->state, code, 2);
    return 0;
}

} // namespace

int32_t run_in_edit(host &h, const std::function<int32_t(mesh_edit &)> &body)
{
    const std::function<int32_t(mesh_edit &)> *outer = pending;
    pending = &body;
    int32_t result = h.run(&activate);
    pending = outer;
    return opened ? result : -1;
}

} // namespace minihost
