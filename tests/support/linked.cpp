#include "spin/spin.h"

namespace testing_support
{

int32_t linked_activate(int32_t unused, service_lookup_fn service_lookup, command_record *command)
{
    return spin_activate(unused, service_lookup, command);
}

} // namespace testing_support
