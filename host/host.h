/*
 * The host application's plug-in interface, as far as this module uses it.
 *
 * Every record is laid out for the 32-bit host (4 bytes a slot) and keeps
 * the same shape on 64-bit platforms: addresses, handles, function pointers
 * and reserved slots are pointer-width fields, integers and four-character
 * codes stay 32 bits. Hosts may append fields after the last one listed.
 *
 * Records handed out by the host belong to the host. A record returned by
 * an operation stays readable only until the next call of that operation.
 */
#ifndef HOST_HOST_H
#define HOST_HOST_H

/* the contract keeps its C layout, one record a block */
/* clang-format off */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* opaque handles issued by the host: stored, passed back, compared */
typedef struct polygon_handle *polygon_id;
typedef struct point_handle *point_id;

/* four-character codes pack their first character in the top byte */
#define HOST_FOURCC(a, b, c, d) \
    (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

#define POLYTYPE_FACE HOST_FOURCC('F', 'A', 'C', 'E')
#define POLYTYPE_PTCH HOST_FOURCC('P', 'T', 'C', 'H')

/* bit 0 of polygon_record.flags */
#define POLYFLAG_SELECTED 1

/* use codes of the service lookup */
enum
{
    USE_TRANSIENT = 0, /* look up for the length of the call */
    USE_ACQUIRE = 1,   /* look up and hold until released */
    USE_RELEASE = 2,   /* give back what USE_ACQUIRE took; result unused */
};

/* service names */
#define SERVICE_MESSAGES "Info Messages"
#define SERVICE_MONITOR "QDX: Dynamic Monitor"

/* the module record's constants */
#define MODULE_MAGIC 0x04121994u
#define MODULE_VERSION 3u
#define MODULE_MACHINE 0x300u

typedef struct command_record command_record;
typedef struct mesh_edit mesh_edit;
typedef struct polygon_record polygon_record;
typedef struct point_record point_record;
typedef struct message_service message_service;
typedef struct monitor_service monitor_service;
typedef struct monitor monitor;
typedef struct module_record module_record;
typedef struct server_entry server_entry;
typedef struct server_tag server_tag;

/* Returns the named service record, or null when the host has none. */
typedef void *(*service_lookup_fn)(const char *name, int32_t use);

/* Called once per polygon visited, during scan_polygons; returns 0 to go on. */
typedef int32_t (*scan_callback_fn)(void *context, const polygon_record *polygon);

typedef int32_t (*activate_fn)(int32_t unused, service_lookup_fn service_lookup, command_record *command);
typedef void *(*startup_fn)(void);
typedef void (*shutdown_fn)(void);

struct command_record
{
    void *reserved[4];
    /* Opens a mesh edit; null when there is nothing to edit. The edit stays
       open until its end_edit. */
    mesh_edit *(*begin_edit)(int32_t a, int32_t b, int32_t c);
};

struct mesh_edit
{
    /* the host's own state; the first argument of every operation below */
    void *state;
    void *reserved1;
    /* Ends the edit: error code 0 keeps the changes, the host decides for any other. */
    void (*end_edit)(void *state, int32_t error_code, int32_t mode);
    void *reserved3[3];
    /* Calls callback for each polygon visited before returning; 0 or an error code. */
    int32_t (*scan_polygons)(void *state, scan_callback_fn callback, void *context, int32_t mode);
    /* The point's record, valid until the next point_info call; null if unknown. */
    const point_record *(*point_info)(void *state, point_id point);
    /* The polygon's record, valid until the next polygon_info call; null if unknown. */
    const polygon_record *(*polygon_info)(void *state, polygon_id polygon);
    void *reserved9[8];
    /* Removes the polygon; the result is the host's and never read. */
    int32_t (*remove_polygon)(void *state, polygon_id polygon);
    void *reserved18[6];
    /* Adds a polygon; the host copies the point ids during the call. */
    polygon_id (*add_polygon)(void *state, uint32_t type, const void *zero, const void *surface, int32_t point_count,
                              const point_id *points);
};

struct polygon_record
{
    polygon_id id;
    void *reserved1;
    void *reserved2;
    int32_t flags;           /* bit 0: selected */
    int32_t point_count;
    const point_id *points;  /* point_count ids, owned by the host */
    const void *surface;     /* opaque; handed back to add_polygon as read */
    uint32_t type;           /* four-character code */
};

struct point_record
{
    void *reserved[4];
    double position[3]; /* x first; the module reads only x */
};

struct message_service
{
    void (*info)(const char *line1, const char *line2);
    void (*error)(const char *line1, const char *line2);
};

struct monitor_service
{
    /* Opens a progress monitor; null when the host will not show one. */
    monitor *(*create)(const char *title, const char *caption);
    void (*destroy)(monitor *progress);
};

struct monitor
{
    void *data; /* the first argument of init, step and done */
    void (*init)(void *data, uint32_t total);
    /* Advances the monitor; nonzero when the user asked to abort. */
    int32_t (*step)(void *data, uint32_t increment);
    void (*done)(void *data);
};

struct server_tag
{
    const void *words[2]; /* an all-zero entry ends a tag list */
};

struct server_entry
{
    const char *class_name;
    const char *server_name;
    activate_fn activate;
    const server_tag *tags; /* never null */
};

struct module_record
{
    uint32_t magic;
    uint32_t version;
    uint32_t machine;
    startup_fn startup;
    shutdown_fn shutdown;
    const server_entry *servers; /* ends with an all-zero entry */
};

#ifdef __cplusplus
} /* extern "C" */
#define HOST_STATIC_ASSERT(cond) static_assert(cond, #cond)
#else
#define HOST_STATIC_ASSERT(cond) _Static_assert(cond, #cond)
#endif

/* the binary interface: 32-bit offsets, and their 64-bit counterparts */
#if UINTPTR_MAX == 0xFFFFFFFFu
#define HOST_AT(off32, off64) (off32)
#else
#define HOST_AT(off32, off64) (off64)
#endif

HOST_STATIC_ASSERT(sizeof(void *) == 4 || sizeof(void *) == 8);
HOST_STATIC_ASSERT(offsetof(command_record, begin_edit) == HOST_AT(16, 32));

HOST_STATIC_ASSERT(offsetof(mesh_edit, state) == 0);
HOST_STATIC_ASSERT(offsetof(mesh_edit, reserved1) == HOST_AT(4, 8));
HOST_STATIC_ASSERT(offsetof(mesh_edit, end_edit) == HOST_AT(8, 16));
HOST_STATIC_ASSERT(offsetof(mesh_edit, reserved3) == HOST_AT(12, 24));
HOST_STATIC_ASSERT(offsetof(mesh_edit, scan_polygons) == HOST_AT(24, 48));
HOST_STATIC_ASSERT(offsetof(mesh_edit, point_info) == HOST_AT(28, 56));
HOST_STATIC_ASSERT(offsetof(mesh_edit, polygon_info) == HOST_AT(32, 64));
HOST_STATIC_ASSERT(offsetof(mesh_edit, reserved9) == HOST_AT(36, 72));
HOST_STATIC_ASSERT(offsetof(mesh_edit, remove_polygon) == HOST_AT(68, 136));
HOST_STATIC_ASSERT(offsetof(mesh_edit, reserved18) == HOST_AT(72, 144));
HOST_STATIC_ASSERT(offsetof(mesh_edit, add_polygon) == HOST_AT(96, 192));

HOST_STATIC_ASSERT(offsetof(polygon_record, id) == 0);
HOST_STATIC_ASSERT(offsetof(polygon_record, reserved1) == HOST_AT(4, 8));
HOST_STATIC_ASSERT(offsetof(polygon_record, reserved2) == HOST_AT(8, 16));
HOST_STATIC_ASSERT(offsetof(polygon_record, flags) == HOST_AT(12, 24));
HOST_STATIC_ASSERT(offsetof(polygon_record, point_count) == HOST_AT(16, 28));
HOST_STATIC_ASSERT(offsetof(polygon_record, points) == HOST_AT(20, 32));
HOST_STATIC_ASSERT(offsetof(polygon_record, surface) == HOST_AT(24, 40));
HOST_STATIC_ASSERT(offsetof(polygon_record, type) == HOST_AT(28, 48));

HOST_STATIC_ASSERT(offsetof(point_record, position) == HOST_AT(16, 32));

HOST_STATIC_ASSERT(offsetof(message_service, info) == 0);
HOST_STATIC_ASSERT(offsetof(message_service, error) == HOST_AT(4, 8));

HOST_STATIC_ASSERT(offsetof(monitor_service, create) == 0);
HOST_STATIC_ASSERT(offsetof(monitor_service, destroy) == HOST_AT(4, 8));

HOST_STATIC_ASSERT(offsetof(monitor, data) == 0);
HOST_STATIC_ASSERT(offsetof(monitor, init) == HOST_AT(4, 8));
HOST_STATIC_ASSERT(offsetof(monitor, step) == HOST_AT(8, 16));
HOST_STATIC_ASSERT(offsetof(monitor, done) == HOST_AT(12, 24));

HOST_STATIC_ASSERT(sizeof(module_record) == HOST_AT(24, 40));
HOST_STATIC_ASSERT(offsetof(module_record, magic) == 0);
HOST_STATIC_ASSERT(offsetof(module_record, version) == 4);
HOST_STATIC_ASSERT(offsetof(module_record, machine) == 8);
HOST_STATIC_ASSERT(offsetof(module_record, startup) == HOST_AT(12, 16));
HOST_STATIC_ASSERT(offsetof(module_record, shutdown) == HOST_AT(16, 24));
HOST_STATIC_ASSERT(offsetof(module_record, servers) == HOST_AT(20, 32));

HOST_STATIC_ASSERT(sizeof(server_entry) == HOST_AT(16, 32));
HOST_STATIC_ASSERT(offsetof(server_entry, class_name) == 0);
HOST_STATIC_ASSERT(offsetof(server_entry, server_name) == HOST_AT(4, 8));
HOST_STATIC_ASSERT(offsetof(server_entry, activate) == HOST_AT(8, 16));
HOST_STATIC_ASSERT(offsetof(server_entry, tags) == HOST_AT(12, 24));

HOST_STATIC_ASSERT(sizeof(server_tag) == HOST_AT(8, 16));

HOST_STATIC_ASSERT(POLYTYPE_FACE == 0x46414345u);
HOST_STATIC_ASSERT(POLYTYPE_PTCH == 0x50544348u);

/* clang-format on */

#endif /* HOST_HOST_H */
