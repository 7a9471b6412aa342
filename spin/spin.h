// The edge-spin command: its module-level record and its phases.
// Each phase lives in a file of its own; the driver (driver.cpp) is the only
// place that allocates, shows messages and ends the mesh edit.
#ifndef SPIN_SPIN_H
#define SPIN_SPIN_H

#include "host/host.h"

// The one module-level record. Set up by the driver before every scan and
// stale between invocations: nothing reads it outside spin_activate.
struct spin_data
{
    mesh_edit *op;         // the mesh edit of the current invocation
    int32_t count;         // triangles collected so far
    polygon_id *polygons;  // exactly count ids, in scan order (malloc'd)
    int32_t growth_failed; // set when dat.polygons could not grow
};

extern spin_data dat;

// what a phase that can be aborted hands back to the driver
enum phase_outcome
{
    phase_complete = 0,
    phase_aborted = 1,
};

// fewest triangles for a run, and the selection size above which a
// progress monitor is opened
const int32_t spin_min_triangles = 2;
const int32_t spin_monitor_threshold = 512;

extern "C" int32_t spin_activate(int32_t unused, service_lookup_fn service_lookup, command_record *command);

// The scan callback: appends each selected 3-point FACE or PTCH polygon to
// the spin_data given as context. Always returns 0.
extern "C" int32_t collect_triangle(void *context, const polygon_record *polygon);

// Writes the collected triangles to sortpolys, positive side first, marks
// the positive ones in sortflag (all 0 on entry) and counts them.
void order_sides(const spin_data *d, polygon_id *sortpolys, int32_t *sortflag, int32_t *positive_count);

// 1 when exactly two of second's point entries hold ids that first lists.
int32_t tris_adjacent(const spin_data *d, polygon_id first, polygon_id second);

// Greedy pairing over sortpolys; shareflag all 0 and share_count 0 on entry.
// Finds candidates through an index of shared points, or by the plain scan
// when the index cannot be allocated: the same pairs either way.
phase_outcome pair_triangles(const spin_data *d, const polygon_id *sortpolys, polygon_id *sharepolys,
                             int32_t *shareflag, int32_t *share_count, monitor *progress);

// The pairing of the plain scan: one tris_adjacent per candidate test.
phase_outcome pair_triangles_scan(const spin_data *d, const polygon_id *sortpolys, polygon_id *sharepolys,
                                  int32_t *shareflag, int32_t *share_count, monitor *progress);

// Replaces every pair of sharepolys by the triangles across its other diagonal.
phase_outcome spin_edges(mesh_edit *op, const polygon_id *sharepolys, int32_t share_count, int32_t positive_count,
                         monitor *progress);

#endif // SPIN_SPIN_H
