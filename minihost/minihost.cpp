#include "minihost/minihost.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <new>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace minihost
{

namespace
{

// The host's services take no handle of their own, as in the real host: the
// host whose activation is running answers them.
thread_local host *active = nullptr;

std::string id_text(const void *handle)
{
    return std::to_string(host::id_of(handle));
}

// Pages the command can read and not write: writable only while the host
// copies a record into them.
class sealed_pages
{
  public:
    sealed_pages() = default;
    sealed_pages(const sealed_pages &) = delete;
    sealed_pages &operator=(const sealed_pages &) = delete;
    ~sealed_pages()
    {
        if (base != MAP_FAILED)
            ::munmap(base, size);
    }

    // room for need bytes, zeroed, writable until seal()
    void *open(size_t need)
    {
        if (need > size)
        {
            if (base != MAP_FAILED)
                ::munmap(base, size);
            size_t page = size_t(::sysconf(_SC_PAGESIZE));
            size = (need + page - 1) / page * page;
            base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (base == MAP_FAILED)
                throw std::bad_alloc();
        }
        else
        {
            ::mprotect(base, size, PROT_READ | PROT_WRITE);
            std::memset(base, 0, size);
        }
        return base;
    }
    void seal() { ::mprotect(base, size, PROT_READ); }

  private:
    void *base = MAP_FAILED;
    size_t size = 0;
};

} // namespace

std::string quoted(const char *text)
{
    if (!text)
        return "(null)";
    return '"' + std::string(text) + '"';
}

// One open mesh edit: the record the command sees, the working mesh it
// changes, and one record buffer per operation, overwritten by each call.
struct host::edit_state
{
    mesh_edit record{};
    host *owner = nullptr;
    mesh working;

    polygon_record polygon_buffer{};
    std::vector<point_id> polygon_points;
    point_record point_buffer{};
    polygon_record scan_buffer{};
    std::vector<point_id> scan_points;

    static edit_state &of(void *state) { return *static_cast<edit_state *>(state); }

    // Every call first spoils what the previous one handed out, also when
    // it answers null, so that a record kept too long reads as garbage:
    // no id, no type, no points, point ids that name no point.
    static void spoil(polygon_record &out, std::vector<point_id> &points)
    {
        std::fill(points.begin(), points.end(), nullptr);
        out = polygon_record{};
        out.points = points.data();
    }
    static void spoil(point_record &out)
    {
        out = point_record{};
        std::fill(std::begin(out.position), std::end(out.position), std::numeric_limits<double>::quiet_NaN());
    }

    const polygon_record *fill(polygon_record &out, std::vector<point_id> &points, const polygon &p)
    {
        points.resize(p.points.size());
        for (size_t i = 0; i < p.points.size(); ++i)
            points[i] = point_handle(p.points[i]);
        out = polygon_record{};
        out.id = polygon_handle(p.id);
        out.flags = p.flags;
        out.point_count = int32_t(p.points.size());
        out.points = points.data();
        out.surface = surface_handle(p.surface);
        out.type = p.type;
        return &out;
    }

    // The read-only mode: the three operations that hand out records answer
    // through these, with copies on sealed pages. A null answer clears the
    // last copy, as the spoiling does.
    sealed_pages polygon_pages, point_pages, scan_pages;
    scan_callback_fn scan_callback = nullptr;
    void *scan_context = nullptr;

    static const polygon_record *sealed(sealed_pages &pages, const polygon_record *record)
    {
        size_t count = record ? size_t(std::max(record->point_count, 0)) : 0;
        auto *copy = static_cast<polygon_record *>(pages.open(sizeof(polygon_record) + count * sizeof(point_id)));
        if (record)
        {
            auto *points = reinterpret_cast<point_id *>(copy + 1);
            std::copy_n(record->points, count, points);
            *copy = *record;
            copy->points = points;
        }
        pages.seal();
        return record ? copy : nullptr;
    }
    static const polygon_record *sealed_polygon_info(void *state, polygon_id polygon)
    {
        return sealed(of(state).polygon_pages, host::polygon_info(state, polygon));
    }
    static const point_record *sealed_point_info(void *state, point_id point)
    {
        const point_record *record = host::point_info(state, point);
        auto *copy = static_cast<point_record *>(of(state).point_pages.open(sizeof(point_record)));
        if (record)
            *copy = *record;
        of(state).point_pages.seal();
        return record ? copy : nullptr;
    }
    static int32_t sealed_scan_polygons(void *state, scan_callback_fn callback, void *context, int32_t mode)
    {
        edit_state &e = of(state);
        e.scan_callback = callback;
        e.scan_context = context;
        int32_t status = host::scan_polygons(state, &sealed_scan_visit, state, mode);
        sealed(e.scan_pages, nullptr);
        return status;
    }
    static int32_t sealed_scan_visit(void *state, const polygon_record *record)
    {
        edit_state &e = of(state);
        return e.scan_callback(e.scan_context, sealed(e.scan_pages, record));
    }
};

host::host(mesh m) : committed(std::move(m))
{
    messages_record.info = &host::info;
    messages_record.error = &host::error;
    monitors_record.create = &host::create;
    monitors_record.destroy = &host::destroy;
    command.begin_edit = &host::begin_edit;
}

host::~host() = default;

void host::log_call(std::string line)
{
    if (keep_log)
        calls.push_back(std::move(line));
}

const std::optional<mesh> &host::edit_result() const
{
    if (result_pending)
    {
        result = committed;
        result_pending = false;
    }
    return result;
}

mesh &host::current()
{
    edit_result(); // a change to the mesh is no change to the edit's result
    return committed;
}

int32_t host::run(activate_fn activate)
{
    result.reset();
    result_pending = false;
    ended.reset();

    struct activation
    {
        host *outer;
        explicit activation(host *h) : outer(std::exchange(active, h)) {}
        ~activation() { active = outer; }
    } scope(this);
    int32_t status = activate(0, &host::lookup, &command);

    // an edit the command left open is discarded
    if (edit)
    {
        result = std::move(edit->working);
        edit.reset();
    }
    return status;
}

void *host::lookup(const char *name, int32_t use)
{
    host &h = *active;
    h.log_call("lookup " + quoted(name) + " " + std::to_string(use));
    std::string service = name ? name : "";
    if (service == SERVICE_MESSAGES && !h.fault.no_message_service)
        return &h.messages_record;
    if (service == SERVICE_MONITOR && !h.fault.no_monitor_service)
        return &h.monitors_record;
    return nullptr;
}

mesh_edit *host::begin_edit(int32_t a, int32_t b, int32_t c)
{
    host &h = *active;
    h.log_call("begin_edit " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
    if (h.fault.begin_edit_null || h.edit)
        return nullptr;

    h.edit = std::make_unique<edit_state>();
    edit_state &e = *h.edit;
    e.owner = &h;
    e.working = h.committed;
    e.record.state = &e;
    e.record.end_edit = &host::end_edit;
    e.record.scan_polygons = &host::scan_polygons;
    e.record.point_info = &host::point_info;
    e.record.polygon_info = &host::polygon_info;
    e.record.remove_polygon = &host::remove_polygon;
    e.record.add_polygon = &host::add_polygon;
    if (h.read_only_records)
    {
        e.record.scan_polygons = &edit_state::sealed_scan_polygons;
        e.record.point_info = &edit_state::sealed_point_info;
        e.record.polygon_info = &edit_state::sealed_polygon_info;
    }
    return &e.record;
}

void host::end_edit(void *state, int32_t error_code, int32_t mode)
{
    host &h = *edit_state::of(state).owner;
    h.log_call("end_edit " + std::to_string(error_code) + " " + std::to_string(mode));
    h.ended = error_code;
    // the host keeps the changes for 0 and discards them for any other code;
    // a kept edit is copied out as the edit's result only when asked for
    if (error_code == 0)
    {
        h.committed = std::move(h.edit->working);
        h.committed.compact();
        h.result_pending = true;
    }
    else
        h.result = std::move(h.edit->working);
    h.edit.reset();
}

int32_t host::scan_polygons(void *state, scan_callback_fn callback, void *context, int32_t mode)
{
    edit_state &e = edit_state::of(state);
    host &h = *e.owner;
    if (h.keep_log)
        h.log_call("scan_polygons " + std::to_string(mode));

    // a failing scan stops after its k polygons, or at the end of a smaller mesh
    size_t visited = 0;
    e.working.each_polygon(
        [&](const polygon &p)
        {
            if (h.fault.scan_fails && visited == h.fault.scan_fail_after)
                return;
            ++visited;
            callback(context, e.fill(e.scan_buffer, e.scan_points, p));
        });
    edit_state::spoil(e.scan_buffer, e.scan_points);
    return h.fault.scan_fails ? h.fault.scan_result : 0;
}

const point_record *host::point_info(void *state, point_id point)
{
    edit_state &e = edit_state::of(state);
    host &h = *e.owner;
    if (h.keep_log)
        h.log_call("point_info " + id_text(point));
    edit_state::spoil(e.point_buffer);
    if (++h.point_reads == h.fault.point_info_null_at)
        return nullptr;
    const vec3 *position = e.working.point(id_of(point));
    if (!position)
        return nullptr;
    e.point_buffer.position[0] = position->x;
    e.point_buffer.position[1] = position->y;
    e.point_buffer.position[2] = position->z;
    return &e.point_buffer;
}

const polygon_record *host::polygon_info(void *state, polygon_id polygon)
{
    edit_state &e = edit_state::of(state);
    host &h = *e.owner;
    if (h.keep_log)
        h.log_call("polygon_info " + id_text(polygon));
    edit_state::spoil(e.polygon_buffer, e.polygon_points);
    if (++h.polygon_reads == h.fault.polygon_info_null_at)
        return nullptr;
    const minihost::polygon *p = e.working.find(id_of(polygon));
    if (!p)
        return nullptr;
    return e.fill(e.polygon_buffer, e.polygon_points, *p);
}

int32_t host::remove_polygon(void *state, polygon_id polygon)
{
    edit_state &e = edit_state::of(state);
    host &h = *e.owner;
    if (h.keep_log)
        h.log_call("remove_polygon " + id_text(polygon));
    if (!e.working.remove_polygon(id_of(polygon)))
        return 0;
    if (h.on_edit)
        h.on_edit(id_of(polygon), false);
    return 1;
}

polygon_id host::add_polygon(void *state, uint32_t type, const void *zero, const void *surface, int32_t point_count,
                             const point_id *points)
{
    edit_state &e = edit_state::of(state);
    host &h = *e.owner;
    if (h.keep_log)
    {
        std::string line = "add_polygon " + type_name(type) + " " + id_text(zero) + " " + h.surface_label(surface) +
                           " " + std::to_string(point_count);
        for (int32_t i = 0; points && i < point_count; ++i)
            line += " " + id_text(points[i]);
        h.log_call(std::move(line));
    }
    if (!points || point_count <= 0)
        return nullptr;

    std::vector<uint32_t> ids(static_cast<size_t>(point_count));
    for (int32_t i = 0; i < point_count; ++i)
        ids[size_t(i)] = id_of(points[i]);
    uint32_t index = id_of(surface) - 1;
    std::string_view name = index < e.working.surfaces().size() ? std::string_view(e.working.surfaces()[index]) : "?";
    uint32_t added = e.working.add_polygon(ids, type, name, true);
    if (h.on_edit)
        h.on_edit(added, true);
    return polygon_handle(added);
}

void host::show(const char *kind, const char *line1, const char *line2)
{
    log_call(std::string(kind) + " " + quoted(line1) + " " + quoted(line2));
    message m{kind, line1 ? line1 : "", line2 ? line2 : ""};
    if (on_message)
        on_message(m);
    if (keep_messages)
        shown.push_back(std::move(m));
}

void host::info(const char *line1, const char *line2)
{
    active->show("info", line1, line2);
}

void host::error(const char *line1, const char *line2)
{
    active->show("error", line1, line2);
}

monitor *host::create(const char *title, const char *caption)
{
    host &h = *active;
    h.log_call("create " + quoted(title) + " " + quoted(caption));
    if (h.fault.create_null)
        return nullptr;
    h.monitor_seen.created += 1;
    h.monitor_seen.title = title ? title : "";
    h.monitor_seen.caption = caption ? caption : "";
    h.progress_record.data = &h;
    h.progress_record.init = &host::monitor_init;
    h.progress_record.step = &host::monitor_step;
    h.progress_record.done = &host::monitor_done;
    return &h.progress_record;
}

void host::destroy(monitor *progress)
{
    host &h = *active;
    // a monitor this host never handed out shows in the log, in every build
    h.log_call(progress == &h.progress_record ? "destroy" : "destroy (unknown monitor)");
    h.monitor_seen.destroyed += 1;
}

void host::monitor_init(void *data, uint32_t total)
{
    host &h = *static_cast<host *>(data);
    h.log_call("init " + std::to_string(total));
    h.monitor_seen.total = total;
}

int32_t host::monitor_step(void *data, uint32_t increment)
{
    host &h = *static_cast<host *>(data);
    if (h.keep_log)
        h.log_call("step " + std::to_string(increment));
    h.monitor_seen.steps.push_back(increment);
    ++h.steps_taken;
    h.advanced += increment;
    bool abort = h.steps_taken == h.fault.abort_at_step;
    if (h.on_step && h.on_step(uint32_t(h.advanced), h.monitor_seen.total))
        abort = true;
    return abort ? 1 : 0;
}

void host::monitor_done(void *data)
{
    host &h = *static_cast<host *>(data);
    h.log_call("done");
    h.monitor_seen.done += 1;
}

std::string host::surface_label(const void *surface) const
{
    uint32_t index = id_of(surface) - 1;
    const mesh &m = edit ? edit->working : committed;
    if (index < m.surfaces().size())
        return m.surfaces()[index];
    return "?";
}

} // namespace minihost
