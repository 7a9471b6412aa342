#include "spin/spin.h"

#include <stdlib.h>

static const char message_select[] = "Select 2 or more adjacent Triangles to spin their shared edges";
static const char message_no_polygons[] = "Out of memory (malloc failed for dat.polygons)";
static const char message_no_sortpolys[] = "Out of memory (malloc failed for sortpolys)";
static const char message_no_sortflag[] = "Out of memory (malloc failed for sortflag)";
static const char message_no_sharepolys[] = "Out of memory (malloc failed for sharepolys)";
static const char message_no_shareflag[] = "Out of memory (malloc failed for shareflag)";
static const char abort_title[] = "DaviVere :";
static const char abort_message[] = "Operation aborted at user request";
static const char monitor_title[] = "DaviVere";
static const char monitor_caption[] = "ESC to abort";

// arguments the host gives meaning to
static const int32_t begin_edit_args[3] = {0, 0, 1};
static const int32_t scan_mode = 1;
static const int32_t end_edit_mode = 2;
static const int32_t error_aborted = 4;
static const int32_t result_no_monitor_service = 2;

// a missing message service only silences the messages
static void show_error(const message_service *messages, const char *line)
{
    if (messages && messages->error)
        messages->error(line, "");
}

static void show_abort(const message_service *messages)
{
    if (messages && messages->info)
        messages->info(abort_title, abort_message);
}

int32_t spin_activate(int32_t, service_lookup_fn service_lookup, command_record *command)
{
    mesh_edit *op = command->begin_edit(begin_edit_args[0], begin_edit_args[1], begin_edit_args[2]);
    if (!op)
        return 0;

    const message_service *messages =
        static_cast<const message_service *>(service_lookup(SERVICE_MESSAGES, USE_ACQUIRE));
    monitor_service *monitors = static_cast<monitor_service *>(service_lookup(SERVICE_MONITOR, USE_TRANSIENT));

    // without a monitor service nothing is set up, but the edit is still
    // ended and the message service given back
    if (!monitors)
    {
        service_lookup(SERVICE_MESSAGES, USE_RELEASE);
        op->end_edit(op->state, 0, end_edit_mode);
        return result_no_monitor_service;
    }

    monitor *progress = nullptr;
    polygon_id *sortpolys = nullptr;
    int32_t *sortflag = nullptr;
    polygon_id *sharepolys = nullptr;
    int32_t *shareflag = nullptr;
    int32_t positive_count = 0;
    int32_t share_count = 0;
    int32_t error_code = 0;
    size_t count = 0;

    dat.op = op;
    dat.count = 0;
    dat.growth_failed = 0;
    dat.polygons = static_cast<polygon_id *>(malloc(sizeof(polygon_id)));
    if (!dat.polygons)
    {
        show_error(messages, message_no_polygons);
        goto cleanup;
    }

    error_code = op->scan_polygons(op->state, collect_triangle, &dat, scan_mode);
    if (error_code != 0)
        goto cleanup;

    if (dat.growth_failed)
    {
        show_error(messages, message_no_polygons);
        goto cleanup;
    }

    if (dat.count < spin_min_triangles)
    {
        show_error(messages, message_select);
        goto cleanup;
    }
    count = size_t(dat.count);

    if (dat.count > spin_monitor_threshold)
    {
        progress = monitors->create(monitor_title, monitor_caption);
        if (progress)
            progress->init(progress->data, uint32_t(dat.count) * 2);
    }

    sortpolys = static_cast<polygon_id *>(malloc(count * sizeof(polygon_id)));
    if (!sortpolys)
    {
        show_error(messages, message_no_sortpolys);
        goto cleanup;
    }
    sortflag = static_cast<int32_t *>(calloc(count, sizeof(int32_t)));
    if (!sortflag)
    {
        show_error(messages, message_no_sortflag);
        goto cleanup;
    }

    order_sides(&dat, sortpolys, sortflag, &positive_count);

    sharepolys = static_cast<polygon_id *>(malloc(count * sizeof(polygon_id)));
    if (!sharepolys)
    {
        show_error(messages, message_no_sharepolys);
        goto cleanup;
    }
    shareflag = static_cast<int32_t *>(calloc(count, sizeof(int32_t)));
    if (!shareflag)
    {
        show_error(messages, message_no_shareflag);
        goto cleanup;
    }

    if (pair_triangles(&dat, sortpolys, sharepolys, shareflag, &share_count, progress) == phase_aborted ||
        spin_edges(op, sharepolys, share_count, positive_count, progress) == phase_aborted)
    {
        show_abort(messages);
        error_code = error_aborted;
    }

cleanup:
    if (progress)
    {
        progress->done(progress->data);
        monitors->destroy(progress);
    }
    if (sortflag)
        free(sortflag);
    if (sortpolys)
        free(sortpolys);
    if (sharepolys)
        free(sharepolys);
    if (shareflag)
        free(shareflag);
    if (dat.polygons)
        free(dat.polygons);
    service_lookup(SERVICE_MESSAGES, USE_RELEASE);
    op->end_edit(op->state, error_code, end_edit_mode);
    return 0;
}
