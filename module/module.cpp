// The module as the host sees it: one exported record, reached by name,
// and everything else through the addresses it holds.
#include "host/host.h"
#include "spin/spin.h"

#if defined(_WIN32)
#define MODULE_EXPORT __declspec(dllexport)
#else
#define MODULE_EXPORT __attribute__((visibility("default")))
#endif

// The host only learns that the module started: no state, no allocation.
static void *spin_startup(void)
{
    return reinterpret_cast<void *>(uintptr_t(4));
}

static void spin_shutdown(void) {}

static const server_tag spin_tags[] = {
    {{nullptr, nullptr}},
};

static const server_entry spin_servers[] = {
    {
        .class_name = "CommandSequence",
        .server_name = "Dudi_Daz_Adevi",
        .activate = spin_activate,
        .tags = spin_tags,
    },
    {
        .class_name = nullptr,
        .server_name = nullptr,
        .activate = nullptr,
        .tags = nullptr,
    },
};

extern "C" MODULE_EXPORT const module_record _mod_descrip = {
    .magic = MODULE_MAGIC,
    .version = MODULE_VERSION,
    .machine = MODULE_MACHINE,
    .startup = spin_startup,
    .shutdown = spin_shutdown,
    .servers = spin_servers,
};
