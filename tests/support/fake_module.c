/*
 * Stand-in plug-in files for the loader's tests. Built once per variant;
 * FAKE_<VARIANT> picks the one thing that is wrong. FAKE_RECORDER is sound
 * and notes each call of its functions in fake_trace.
 */
#include <string.h>

#include "host/host.h"

#define EXPORTED __attribute__((visibility("default")))
/* a variant that leaves a part out of its record still compiles it */
#define SPARE __attribute__((unused))

/* S startup, A activate, X shutdown, in call order */
EXPORTED char fake_trace[32];

static void note(char call)
{
    size_t used = strlen(fake_trace);
    if (used + 1 < sizeof fake_trace)
        fake_trace[used] = call;
}

SPARE static void *fake_startup(void)
{
    note('S');
#ifdef FAKE_FAILING_STARTUP
    return 0;
#else
    return (void *)(uintptr_t)4;
#endif
}

SPARE static void fake_shutdown(void)
{
    note('X');
}

static int32_t fake_activate(int32_t unused, service_lookup_fn service_lookup, command_record *command)
{
    (void)unused;
    (void)service_lookup;
    (void)command;
    note('A');
    return 0;
}

static const server_tag fake_tags[] = {{{0, 0}}};

/* a reader that walks past the all-zero entry finds "Beyond" */
SPARE static const server_entry fake_servers[] = {
    {"CommandSequence", "Spare", fake_activate, fake_tags},
    {"CommandSequence", "Dudi_Daz_Adevi", fake_activate, fake_tags},
    {0, 0, 0, 0},
    {"CommandSequence", "Beyond", fake_activate, fake_tags},
};

#if defined(FAKE_NO_RECORD)
#define RECORD_NAME mod_descrip /* the underscore forgotten */
#else
#define RECORD_NAME _mod_descrip
#endif

EXPORTED const module_record RECORD_NAME = {
#ifdef FAKE_BAD_MAGIC
    .magic = 0x19941204u, /* the bytes the other way round */
#else
    .magic = MODULE_MAGIC,
#endif
#ifdef FAKE_BAD_VERSION
    .version = 2,
#else
    .version = MODULE_VERSION,
#endif
#ifdef FAKE_BAD_MACHINE
    .machine = 0x200,
#else
    .machine = MODULE_MACHINE,
#endif
#ifdef FAKE_NO_STARTUP
    .startup = 0,
#else
    .startup = fake_startup,
#endif
#ifdef FAKE_NO_SHUTDOWN
    .shutdown = 0,
#else
    .shutdown = fake_shutdown,
#endif
#ifdef FAKE_NO_SERVERS
    .servers = 0,
#else
    .servers = fake_servers,
#endif
};
