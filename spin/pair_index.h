// The candidate index of pairing: each triangle's points read once, and per
// point the positions of the triangles that list it, so that a current
// triangle looks only at triangles sharing a point with it.
#ifndef SPIN_PAIR_INDEX_H
#define SPIN_PAIR_INDEX_H

#include "spin/spin.h"

struct pair_index
{
    int32_t count;      // triangles, one per position of sortpolys
    int32_t *corners;   // 3 point numbers per position; -1 for a triangle without a record
    int32_t points;     // distinct points met
    int32_t *first;     // points + 1 offsets into positions
    int32_t *head;      // per point: the first entry of its list still worth a look
    int32_t *positions; // per point, the positions of the triangles that list it, increasing
    int32_t *resume;    // per position: candidates before it are known to fail it (0: nothing known),
                        // or -1 - g: it has the ids of the triangle at g, whose entry counts
};

// Reads every triangle of sortpolys once, in order, and builds the index.
// 0 when an allocation failed; nothing is held then.
int32_t pair_index_build(pair_index *index, const spin_data *d, const polygon_id *sortpolys);

void pair_index_free(pair_index *index);

// The earliest position after o, free in shareflag, whose triangle
// tris_adjacent accepts as candidate against the triangle at o; -1 if none.
// Positions must be asked in increasing order.
int32_t pair_index_find(pair_index *index, int32_t o, const int32_t *shareflag);

#endif // SPIN_PAIR_INDEX_H
