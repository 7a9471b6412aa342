// The command under any mesh and any host fault: the input bytes describe a
// small mesh, the faults of the host and of the allocator, and whether a
// strip of more than 512 selected triangles follows (so that the monitor,
// its abort and its refusal are reached). The oracle judges every run; an
// objection aborts, which libFuzzer reports as a finding.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "fault_shim.h"
#include "meshes.h"
#include "minihost/minihost.h"
#include "oracle.h"

namespace testing_support
{
int32_t linked_activate(int32_t, service_lookup_fn, command_record *);
}

namespace
{

// mostly small steps across x = 0, and every value that breaks arithmetic
double coordinate(uint8_t code)
{
    return code >= 240 ? testing_support::odd_coordinates[code - 240] : (int(code) - 120) / 8.0;
}

uint32_t polygon_type(uint8_t code)
{
    return testing_support::drawn_types[code % 8];
}

// Up to 100 points and 200 polygons; a point id is either any id (two past
// the last point, naming none) or one of the previous polygon's, so that
// shared edges, repeated ids and duplicate triangles are common.
minihost::mesh read_mesh(FuzzedDataProvider &in)
{
    minihost::mesh m;
    uint32_t points = in.ConsumeIntegralInRange<uint32_t>(0, 100);
    for (uint32_t k = 0; k < points; ++k)
        m.add_point({coordinate(in.ConsumeIntegral<uint8_t>()), double(k % 4), 0});

    const size_t sizes[] = {3, 3, 3, 3, 3, 1, 2, 4};
    std::vector<uint32_t> last;
    uint32_t polygons = in.ConsumeIntegralInRange<uint32_t>(0, 200);
    for (uint32_t k = 0; k < polygons && in.remaining_bytes() > 0; ++k)
    {
        uint8_t shape = in.ConsumeIntegral<uint8_t>();
        std::vector<uint32_t> ids(sizes[shape % 8]);
        for (uint32_t &id : ids)
        {
            uint8_t code = in.ConsumeIntegral<uint8_t>();
            id = (code & 0x80) && !last.empty() ? last[code % last.size()] : 1 + code % (points + 2);
        }
        m.add_polygon(ids, polygon_type(shape >> 3), shape & 0x40 ? "A" : "B", !(shape & 0x80) || (shape & 0x38));
        last = ids;
    }
    return m;
}

// a strip of selected triangles beside the mesh, each sharing an edge with
// the next, starting at x0
void append_strip(minihost::mesh &m, int triangles, double x0, uint32_t type)
{
    std::vector<uint32_t> ids;
    for (int j = 0; j < triangles + 2; ++j)
        ids.push_back(m.add_point({x0 + j / 2, double(j % 2), 0}));
    for (int i = 0; i < triangles; ++i)
        m.add_polygon({ids[size_t(i)], ids[size_t(i) + 1], ids[size_t(i) + 2]}, type, "strip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);

    minihost::faults fault;
    uint64_t fail_at = 0;
    uint16_t on = in.ConsumeIntegral<uint16_t>();
    fault.begin_edit_null = (on & 0x0003) == 0x0003;
    fault.no_monitor_service = (on & 0x000c) == 0x000c;
    fault.no_message_service = on & 0x0010;
    fault.create_null = on & 0x0020;
    if (on & 0x0040)
        fault.abort_at_step = in.ConsumeIntegralInRange<uint64_t>(1, 1200);
    if (on & 0x0080)
        fault.polygon_info_null_at = in.ConsumeIntegralInRange<uint64_t>(1, 3000);
    if (on & 0x0100)
        fault.point_info_null_at = in.ConsumeIntegralInRange<uint64_t>(1, 3000);
    if (on & 0x0200)
    {
        fault.scan_fails = true;
        fault.scan_fail_after = in.ConsumeIntegralInRange<size_t>(0, 800);
        fault.scan_result = in.ConsumeIntegral<int32_t>();
    }
    if (on & 0x0400)
        fail_at = in.ConsumeIntegralInRange<uint64_t>(1, 1200);
    bool fail_after = on & 0x0800;
    bool strip = (on & 0x9000) == 0x9000;     // costly: a run of more than 512 triangles
    bool read_only = (on & 0xe000) == 0xe000; // costly: two system calls per record
    int strip_triangles = 513 + in.ConsumeIntegralInRange<int>(0, 7);
    double strip_x = in.ConsumeIntegralInRange<int>(-300, 40);
    uint32_t strip_type = polygon_type(in.ConsumeIntegral<uint8_t>() & 1 ? 4 : 0);

    minihost::mesh original = read_mesh(in);
    if (strip)
        append_strip(original, strip_triangles, strip_x, strip_type);

    minihost::host host(original);
    host.fault = fault;
    host.read_only_records = read_only;
    int32_t result;
    {
        fault_shim::armed shim([&host](std::string line) { host.log_call(std::move(line)); }, fail_at, fail_after);
        result = host.run(&testing_support::linked_activate);
    }

    std::vector<std::string> problems =
        testing_support::oracle(original, host, {result, fault_shim::state().live_blocks, true});
    if (!problems.empty())
    {
        for (const std::string &problem : problems)
            std::fprintf(stderr, "oracle: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
