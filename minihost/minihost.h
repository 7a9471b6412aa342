// The stand-in host: serves the plug-in's command over an in-memory mesh,
// the way the modelling host would, and keeps a log of every call the
// command makes so that tests can compare whole sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/host.h"
#include "minihost/mesh.h"

namespace minihost
{

// A host fault a test can switch on. Counts are 1-based; 0 means never.
struct faults
{
    bool begin_edit_null = false;
    bool no_message_service = false;
    bool no_monitor_service = false;
    bool create_null = false;
    uint64_t abort_at_step = 0;        // the k-th monitor step answers "abort"
    uint64_t polygon_info_null_at = 0; // the k-th polygon_info answers null
    uint64_t point_info_null_at = 0;   // the k-th point_info answers null
    bool scan_fails = false;           // scan_polygons returns scan_result after
    size_t scan_fail_after = 0;        // visiting this many polygons (or all, if fewer)
    int32_t scan_result = 0;
};

struct message
{
    std::string kind; // "info" or "error"
    std::string line1, line2;
    friend bool operator==(const message &, const message &) = default;
};

struct monitor_stats
{
    int created = 0;
    int destroyed = 0;
    int done = 0;
    std::string title, caption; // as the command gave them to create
    uint32_t total = 0;
    std::vector<uint32_t> steps; // the increments, in order
};

class host
{
  public:
    explicit host(mesh m);
    ~host();
    host(const host &) = delete;
    host &operator=(const host &) = delete;

    // Runs one activation the way the host does and returns its result.
    // The edit result and end code are those of this run; the log, the
    // messages, the monitor's record and the fault counters go on across runs.
    int32_t run(activate_fn activate);

    faults fault;
    bool keep_log = true; // off for benchmarks
    bool keep_messages = true;
    // records and point lists handed to the command lie on read-only pages:
    // a write to them faults (SIGSEGV)
    bool read_only_records = false;

    // Called for each message shown, and for each monitor step (return true
    // to abort). The tool shows them on the terminal.
    std::function<void(const message &)> on_message;
    std::function<bool(uint32_t done, uint32_t total)> on_step;
    // Called for each polygon the command removes (added false) or adds, in
    // call order, so that a host can tell which addition took whose place.
    std::function<void(uint32_t polygon, bool added)> on_edit;

    // the mesh as the host holds it: committed after error code 0
    const mesh &current() const { return committed; }
    mesh &current();
    // the mesh as the command left it when it ended the edit
    const std::optional<mesh> &edit_result() const;
    // the error code given to end_edit, if the edit was ended
    std::optional<int32_t> end_code() const { return ended; }

    const std::vector<std::string> &log() const { return calls; }
    void log_call(std::string line);
    const std::vector<message> &messages() const { return shown; }
    const monitor_stats &progress() const { return monitor_seen; }
    uint64_t polygon_info_calls() const { return polygon_reads; }
    uint64_t point_info_calls() const { return point_reads; }

    // the id a handle stands for, and back
    static uint32_t id_of(const void *handle) { return uint32_t(reinterpret_cast<uintptr_t>(handle)); }
    static polygon_id polygon_handle(uint32_t id) { return reinterpret_cast<polygon_id>(uintptr_t(id)); }
    static point_id point_handle(uint32_t id) { return reinterpret_cast<point_id>(uintptr_t(id)); }
    static const void *surface_handle(uint32_t index) { return reinterpret_cast<const void *>(uintptr_t(index) + 1); }

  private:
    struct edit_state;

    static void *lookup(const char *name, int32_t use);
    static mesh_edit *begin_edit(int32_t a, int32_t b, int32_t c);
    static void end_edit(void *state, int32_t error_code, int32_t mode);
    static int32_t scan_polygons(void *state, scan_callback_fn callback, void *context, int32_t mode);
    static const point_record *point_info(void *state, point_id point);
    static const polygon_record *polygon_info(void *state, polygon_id polygon);
    static int32_t remove_polygon(void *state, polygon_id polygon);
    static polygon_id add_polygon(void *state, uint32_t type, const void *zero, const void *surface,
                                  int32_t point_count, const point_id *points);
    static void info(const char *line1, const char *line2);
    static void error(const char *line1, const char *line2);
    static monitor *create(const char *title, const char *caption);
    static void destroy(monitor *progress);
    static void monitor_init(void *data, uint32_t total);
    static int32_t monitor_step(void *data, uint32_t increment);
    static void monitor_done(void *data);

    void show(const char *kind, const char *line1, const char *line2);
    std::string surface_label(const void *surface) const;

    mesh committed;
    mutable std::optional<mesh> result;
    mutable bool result_pending = false; // result is the committed mesh, not yet copied
    std::optional<int32_t> ended;
    std::unique_ptr<edit_state> edit;
    std::vector<std::string> calls;
    std::vector<message> shown;
    monitor_stats monitor_seen;
    uint64_t polygon_reads = 0;
    uint64_t point_reads = 0;
    uint64_t steps_taken = 0;
    uint64_t advanced = 0;
    monitor progress_record{};
    message_service messages_record{};
    monitor_service monitors_record{};
    command_record command{};
};

// a text argument as the log writes it
std::string quoted(const char *text);

} // namespace minihost
