// The module record of this build's plug-in file as the 32-bit host reads
// it: bytes at fixed offsets, addresses that lead into the loaded file.
#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "check.h"
#include "host/host.h"

static_assert(sizeof(void *) == 4, "the 32-bit program");

namespace
{

struct loaded_file
{
    void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ~loaded_file()
    {
        if (library)
            dlclose(library);
    }
    const unsigned char *record() const
    {
        return library ? static_cast<const unsigned char *>(dlsym(library, "_mod_descrip")) : nullptr;
    }
};

// a little-endian 32-bit word, as the host reads a slot
uint32_t word(const unsigned char *at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

const unsigned char *address(const unsigned char *at)
{
    return reinterpret_cast<const unsigned char *>(uintptr_t(word(at)));
}

// the file an address lies in, so that "inside the loaded library" is checked
const void *file_of(const void *at)
{
    Dl_info info{};
    return at && dladdr(at, &info) ? info.dli_fbase : nullptr;
}

bool all_zero(const unsigned char *at, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i)
        if (at[i] != 0)
            return false;
    return true;
}

} // namespace

M32_CASE(record_is_24_bytes_of_three_constants_and_three_addresses)
{
    loaded_file file;
    const unsigned char *record = file.record();
    if (!CHECK(record != nullptr))
        return;

    // the size the file itself gives the record
    Dl_info info{};
    void *entry = nullptr;
    if (CHECK(dladdr1(record, &info, &entry, RTLD_DL_SYMENT) != 0 && entry))
        CHECK_EQ(static_cast<const ElfW(Sym) *>(entry)->st_size, 24u);

    CHECK_EQ(word(record + 0), 0x04121994u);
    CHECK_EQ(word(record + 4), 3u);
    CHECK_EQ(word(record + 8), 0x300u);
    const void *library = file_of(record);
    for (size_t offset : {12u, 16u, 20u})
        CHECK(address(record + offset) != nullptr && file_of(address(record + offset)) == library);

    auto startup = reinterpret_cast<startup_fn>(address(record + 12));
    auto shutdown = reinterpret_cast<shutdown_fn>(address(record + 16));
    CHECK_EQ(reinterpret_cast<uintptr_t>(startup()), 4u);
    CHECK_EQ(reinterpret_cast<uintptr_t>(startup()), 4u);
    shutdown();
}

M32_CASE(server_list_is_one_16_byte_entry_then_16_zero_bytes)
{
    loaded_file file;
    const unsigned char *record = file.record();
    if (!CHECK(record != nullptr))
        return;
    const unsigned char *servers = address(record + 20);
    const void *library = file_of(record);

    CHECK(std::strcmp(reinterpret_cast<const char *>(address(servers + 0)), "CommandSequence") == 0);
    CHECK(std::strcmp(reinterpret_cast<const char *>(address(servers + 4)), "Dudi_Daz_Adevi") == 0);
    CHECK(file_of(address(servers + 8)) == library);
    CHECK(file_of(address(servers + 12)) == library);
    CHECK(all_zero(servers + 16, 16));
}

M32_CASE(tag_list_is_8_zero_bytes)
{
    loaded_file file;
    const unsigned char *record = file.record();
    if (!CHECK(record != nullptr))
        return;
    const unsigned char *tags = address(address(record + 20) + 12);
    CHECK(tags != nullptr && all_zero(tags, 8));
}
