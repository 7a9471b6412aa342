// The command's speed in the stand-in host, phase by phase, against a mesh
// library building the same triangle mesh and flipping the same edges.
//
//   spin_bench [--table] [--smoke] [benchmark flags]
//
// --smoke runs every benchmark at one tiny size (the test suite does, so
// that they never rot); --table prints one table of all results at the end.
#include <benchmark/benchmark.h>

#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fault_shim.h"
#include "minihost/builtin.h"
#include "minihost/direct.h"
#include "minihost/loader.h"
#include "minihost/minihost.h"
#include "spin/spin.h"

namespace
{

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start)
{
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// A selection to run the command on, with what the runs learn about it.
struct workload
{
    std::string name;
    int size = 0;
    minihost::mesh mesh;
    std::vector<std::pair<uint32_t, uint32_t>> pairs; // as the command pairs them
    size_t peak_bytes = 0;                            // of the command's own allocations
    bool grid = false;
};

minihost::mesh grid_of(int triangles)
{
    int squares = std::max(triangles / 2, 1);
    int rows = std::max(int(std::sqrt(squares / 2.0)), 1);
    int cols = std::max(squares / rows, 1);
    return minihost::grid_mesh(cols, rows, -cols / 2.0);
}

minihost::mesh make_mesh(const std::string &name, int size)
{
    if (name == "rows")
        return grid_of(size);
    if (name == "shuffled")
        return minihost::shuffled(grid_of(size), 2024);
    if (name == "star")
        return minihost::star_mesh(size);
    if (name == "copies")
        return minihost::copies_mesh(size);
    if (name == "fan")
        return minihost::fan_mesh(size);
    return minihost::sliver_mesh(size);
}

// Collects, orders and pairs the selection as the command does; the phases'
// times go to times when given.
struct phase_times
{
    double collect = 0, order = 0, pair = 0, spin = 0;
};

std::vector<std::pair<uint32_t, uint32_t>> run_phases(minihost::host &host, phase_times *times, bool spin,
                                                      bool plain_scan = false)
{
    std::vector<std::pair<uint32_t, uint32_t>> pairs;
    minihost::run_in_edit(host,
                          [&](mesh_edit &op)
                          {
                              phase_times t;
                              spin_data d{&op, 0, static_cast<polygon_id *>(std::malloc(sizeof(polygon_id))), 0};
                              auto start = clock_type::now();
                              op.scan_polygons(op.state, collect_triangle, &d, 1);
                              t.collect = seconds_since(start);

                              size_t n = size_t(d.count);
                              std::vector<polygon_id> sortpolys(n), sharepolys(n);
                              std::vector<int32_t> sortflag(n), shareflag(n);
                              int32_t positive_count = 0, share_count = 0;
                              if (n >= 2)
                              {
                                  start = clock_type::now();
                                  order_sides(&d, sortpolys.data(), sortflag.data(), &positive_count);
                                  t.order = seconds_since(start);

                                  start = clock_type::now();
                                  (plain_scan ? pair_triangles_scan : pair_triangles)(
                                      &d, sortpolys.data(), sharepolys.data(), shareflag.data(), &share_count, nullptr);
                                  t.pair = seconds_since(start);

                                  for (int32_t e = 0; e < share_count; e += 2)
                                      pairs.emplace_back(minihost::host::id_of(sharepolys[size_t(e)]),
                                                         minihost::host::id_of(sharepolys[size_t(e) + 1]));
                                  if (spin)
                                  {
                                      start = clock_type::now();
                                      spin_edges(&op, sharepolys.data(), share_count, positive_count, nullptr);
                                      t.spin = seconds_since(start);
                                  }
                              }
                              std::free(d.polygons);
                              if (times)
                                  *times = t;
                              return 0;
                          });
    return pairs;
}

workload &workload_for(const std::string &name, int size)
{
    static std::map<std::pair<std::string, int>, std::unique_ptr<workload>> made;
    std::unique_ptr<workload> &w = made[{name, size}];
    if (w)
        return *w;

    w = std::make_unique<workload>();
    w->name = name;
    w->size = size;
    w->mesh = make_mesh(name, size);
    w->grid = name == "rows" || name == "shuffled";

    minihost::host quiet(w->mesh);
    quiet.keep_log = false;
    w->pairs = run_phases(quiet, nullptr, false);

    // the command linked in, its allocations counted by the shim
    minihost::host counted(w->mesh);
    counted.keep_log = false;
    counted.keep_messages = false;
    {
        fault_shim::armed shim;
        counted.run(&spin_activate);
        w->peak_bytes = fault_shim::state().peak_bytes;
    }
    return *w;
}

activate_fn loaded_command()
{
    static minihost::plugin module(PLUGIN_PATH);
    return module.server("CommandSequence", "Dudi_Daz_Adevi");
}

void bench_command(benchmark::State &state, std::string name, int size)
{
    workload &w = workload_for(name, size);
    activate_fn activate = loaded_command();
    for (auto _ : state)
    {
        minihost::host host(w.mesh);
        host.keep_log = false;
        host.keep_messages = false;
        auto start = clock_type::now();
        host.run(activate);
        state.SetIterationTime(seconds_since(start));
    }
    // the driver's arrays: dat.polygons, sortpolys, sharepolys, sortflag, shareflag
    double arrays = double(3 * sizeof(polygon_id) + 2 * sizeof(int32_t));
    state.counters["peak_B_per_tri"] = double(w.peak_bytes) / size;
    state.counters["index_B_per_tri"] = double(w.peak_bytes) / size - arrays;
}

void bench_phases(benchmark::State &state, std::string name, int size, bool plain_scan)
{
    workload &w = workload_for(name, size);
    phase_times sum;
    for (auto _ : state)
    {
        minihost::host host(w.mesh);
        host.keep_log = false;
        phase_times t;
        run_phases(host, &t, !plain_scan, plain_scan);
        sum.collect += t.collect, sum.order += t.order, sum.pair += t.pair, sum.spin += t.spin;
        state.SetIterationTime(plain_scan ? t.pair : t.collect + t.order + t.pair + t.spin);
    }
    auto average = [](double s) { return benchmark::Counter(s, benchmark::Counter::kAvgIterations); };
    state.counters["collect_s"] = average(sum.collect);
    state.counters["order_s"] = average(sum.order);
    state.counters["pair_s"] = average(sum.pair);
    state.counters["spin_s"] = average(sum.spin);
}

// The host's own share: the calls the command makes, made with no command
// between them, from opening the edit to committing it.
void bench_host(benchmark::State &state, std::string name, int size)
{
    workload &w = workload_for(name, size);
    for (auto _ : state)
    {
        minihost::host host(w.mesh);
        host.keep_log = false;
        auto start = clock_type::now();
        minihost::run_in_edit(host,
                              [&](mesh_edit &op)
                              {
                                  std::vector<polygon_id> ids;
                                  op.scan_polygons(
                                      op.state,
                                      [](void *context, const polygon_record *p)
                                      {
                                          static_cast<std::vector<polygon_id> *>(context)->push_back(p->id);
                                          return 0;
                                      },
                                      &ids, 1);
                                  double x = 0;
                                  for (polygon_id id : ids)
                                  {
                                      const polygon_record *p = op.polygon_info(op.state, id);
                                      point_id points[3] = {p->points[0], p->points[1], p->points[2]};
                                      for (point_id point : points)
                                          x += op.point_info(op.state, point)->position[0];
                                  }
                                  for (polygon_id id : ids)
                                      op.polygon_info(op.state, id);
                                  for (auto [a, b] : w.pairs)
                                  {
                                      polygon_id ha = minihost::host::polygon_handle(a),
                                                 hb = minihost::host::polygon_handle(b);
                                      const polygon_record *p = op.polygon_info(op.state, ha);
                                      point_id pa[3] = {p->points[0], p->points[1], p->points[2]};
                                      const void *surface = p->surface;
                                      p = op.polygon_info(op.state, hb);
                                      point_id pb[3] = {p->points[0], p->points[1], p->points[2]};
                                      op.remove_polygon(op.state, hb);
                                      op.add_polygon(op.state, POLYTYPE_FACE, nullptr, surface, 3, pb);
                                      op.remove_polygon(op.state, ha);
                                      op.add_polygon(op.state, POLYTYPE_FACE, nullptr, surface, 3, pa);
                                  }
                                  benchmark::DoNotOptimize(x);
                                  return 0;
                              });
        state.SetIterationTime(seconds_since(start));
    }
}

using om_mesh = OpenMesh::TriMesh_ArrayKernelT<>;

// The library is handed the mesh as arrays, as read from a file, and builds
// its own; then it finds each pair's shared edge and flips it.
void bench_openmesh(benchmark::State &state, std::string name, int size)
{
    workload &w = workload_for(name, size);
    std::vector<uint32_t> point_ids = w.mesh.point_ids();
    std::vector<om_mesh::Point> positions;
    std::vector<uint32_t> point_index(point_ids.empty() ? 1 : point_ids.back() + 1);
    for (uint32_t id : point_ids)
    {
        const minihost::vec3 &p = *w.mesh.point(id);
        point_index[id] = uint32_t(positions.size());
        positions.emplace_back(float(p.x), float(p.y), float(p.z));
    }
    std::vector<std::array<uint32_t, 3>> faces;
    std::vector<size_t> face_index;
    w.mesh.each_polygon(
        [&](const minihost::polygon &p)
        {
            if (face_index.size() <= p.id)
                face_index.resize(p.id + 1);
            face_index[p.id] = faces.size();
            faces.push_back({point_index[p.points[0]], point_index[p.points[1]], point_index[p.points[2]]});
        });
    std::vector<std::pair<size_t, size_t>> pairs;
    for (auto [a, b] : w.pairs)
        pairs.emplace_back(face_index[a], face_index[b]);

    size_t flipped = 0;
    for (auto _ : state)
    {
        auto start = clock_type::now();
        om_mesh om;
        om.reserve(positions.size(), 3 * faces.size() / 2, faces.size());
        std::vector<om_mesh::VertexHandle> vertex;
        vertex.reserve(positions.size());
        for (const om_mesh::Point &p : positions)
            vertex.push_back(om.add_vertex(p));
        for (const auto &f : faces)
            om.add_face(vertex[f[0]], vertex[f[1]], vertex[f[2]]);

        flipped = 0;
        for (auto [a, b] : pairs)
        {
            om_mesh::FaceHandle fa = om.face_handle(int(a)), fb = om.face_handle(int(b));
            for (om_mesh::HalfedgeHandle h : om.fh_range(fa))
                if (om.face_handle(om.opposite_halfedge_handle(h)) == fb)
                {
                    om_mesh::EdgeHandle e = om.edge_handle(h);
                    if (om.is_flip_ok(e))
                        om.flip(e), ++flipped;
                    break;
                }
        }
        state.SetIterationTime(seconds_since(start));
    }
    state.counters["flipped"] = double(flipped);
}

// Prints everything as one table once the runs are over.
class table_reporter : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
        {
            if (run.error_occurred || run.run_type != Run::RT_Iteration)
                continue;
            // kind/case/size[/manual_time]
            std::string name = run.benchmark_name();
            std::vector<std::string> parts;
            for (size_t at = 0, next; at <= name.size(); at = next + 1)
            {
                next = name.find('/', at);
                if (next == std::string::npos)
                    next = name.size();
                parts.push_back(name.substr(at, next - at));
            }
            if (parts.size() < 3)
                continue;
            result &r = results[{parts[1], std::stoi(parts[2])}];
            double seconds = run.GetAdjustedRealTime() * unit_seconds(run.time_unit);
            auto counter = [&](const char *key)
            {
                auto it = run.counters.find(key);
                return it == run.counters.end() ? 0.0 : double(it->second);
            };
            if (parts[0] == "command")
            {
                r.command = seconds;
                r.peak = counter("peak_B_per_tri");
                r.index = counter("index_B_per_tri");
            }
            else if (parts[0] == "phases")
                r.collect = counter("collect_s"), r.order = counter("order_s"), r.pair = counter("pair_s"),
                r.spin = counter("spin_s");
            else if (parts[0] == "host")
                r.host = seconds;
            else if (parts[0] == "openmesh")
                r.openmesh = seconds;
            else if (parts[0] == "scan")
                r.scan = seconds;
        }
    }

    void print_table() const
    {
        auto ms = [](double s)
        {
            char text[32];
            if (s <= 0)
                return std::string("-");
            std::snprintf(text, sizeof text, s < 0.01 ? "%.3f" : s < 1 ? "%.1f" : "%.0f", s * 1000);
            return std::string(text);
        };
        auto times = [](double a, double b)
        {
            char text[32];
            if (a <= 0 || b <= 0)
                return std::string("-");
            std::snprintf(text, sizeof text, "%.2f", a / b);
            return std::string(text);
        };

        std::printf("Times in ms (average of the runs). growth: against the previous size of the same case.\n\n");
        std::printf("| size | case | command | collect | order | pairing | spin | host share | OpenMesh | ratio | "
                    "growth | pairing growth | peak B/tri | index B/tri |\n");
        std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (const char *order : {"rows", "shuffled", "star", "copies", "fan", "slivers"})
        {
            const result *previous = nullptr;
            for (const auto &[key, r] : results)
            {
                if (key.first != order || r.command <= 0)
                    continue;
                std::printf("| %d | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %.1f | %.1f |\n", key.second,
                            order, ms(r.command).c_str(), ms(r.collect).c_str(), ms(r.order).c_str(),
                            ms(r.pair).c_str(), ms(r.spin).c_str(), ms(r.host).c_str(), ms(r.openmesh).c_str(),
                            times(r.command, r.openmesh).c_str(),
                            previous ? times(r.command, previous->command).c_str() : "-",
                            previous ? times(r.pair, previous->pair).c_str() : "-", r.peak, r.index);
                previous = &r;
            }
        }

        std::printf("\nThe plain scan (pairing alone, shuffled grid):\n\n| size | plain scan | indexed |\n"
                    "|---:|---:|---:|\n");
        double last = 0;
        int last_size = 0;
        for (const auto &[key, r] : results)
            if (key.first == "shuffled" && r.scan > 0)
            {
                std::printf("| %d | %s | %s |\n", key.second, ms(r.scan).c_str(), ms(r.pair).c_str());
                last = r.scan, last_size = key.second;
            }
        for (const auto &[key, r] : results)
            if (key.first == "shuffled" && key.second > last_size && last > 0)
            {
                double factor = double(key.second) / last_size;
                std::printf("| %d | %s (extrapolated, n^2) | %s |\n", key.second, ms(last * factor * factor).c_str(),
                            ms(r.pair).c_str());
            }
    }

  private:
    struct result
    {
        double command = 0, collect = 0, order = 0, pair = 0, spin = 0, host = 0, openmesh = 0, scan = 0;
        double peak = 0, index = 0;
    };
    std::map<std::pair<std::string, int>, result> results;

    static double unit_seconds(benchmark::TimeUnit unit)
    {
        switch (unit)
        {
        case benchmark::kNanosecond:
            return 1e-9;
        case benchmark::kMicrosecond:
            return 1e-6;
        case benchmark::kMillisecond:
            return 1e-3;
        default:
            return 1;
        }
    }
};

void register_all(bool smoke)
{
    std::vector<int> sizes = smoke ? std::vector<int>{64} : std::vector<int>{1000, 10000, 100000, 1000000};
    std::vector<int> worst_sizes = smoke ? std::vector<int>{64} : std::vector<int>{10000, 100000};
    std::vector<int> scan_sizes = smoke ? std::vector<int>{64} : std::vector<int>{1000, 10000};

    auto add = [](const std::string &kind, const std::string &name, int size, auto &&body)
    {
        benchmark::RegisterBenchmark((kind + "/" + name + "/" + std::to_string(size)).c_str(), body)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    for (const char *order : {"rows", "shuffled"})
        for (int size : sizes)
        {
            add("command", order, size, [=](benchmark::State &s) { bench_command(s, order, size); });
            add("phases", order, size, [=](benchmark::State &s) { bench_phases(s, order, size, false); });
            add("host", order, size, [=](benchmark::State &s) { bench_host(s, order, size); });
            add("openmesh", order, size, [=](benchmark::State &s) { bench_openmesh(s, order, size); });
        }
    for (const char *name : {"star", "copies", "fan", "slivers"})
        for (int size : worst_sizes)
        {
            add("command", name, size, [=](benchmark::State &s) { bench_command(s, name, size); });
            add("phases", name, size, [=](benchmark::State &s) { bench_phases(s, name, size, false); });
        }
    for (int size : scan_sizes)
        add("scan", "shuffled", size, [=](benchmark::State &s) { bench_phases(s, "shuffled", size, true); });
}

} // namespace

int main(int argc, char **argv)
{
    bool smoke = false, table = false;
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--smoke") == 0)
            smoke = true;
        else if (std::strcmp(argv[i], "--table") == 0)
            table = true;
        else
            args.push_back(argv[i]);
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;

    register_all(smoke);
    if (!table)
    {
        benchmark::RunSpecifiedBenchmarks();
        return 0;
    }
    // the runs' own lines go to stderr, the table to stdout
    table_reporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_table();
    return 0;
}
