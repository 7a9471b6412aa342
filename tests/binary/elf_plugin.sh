#!/usr/bin/env bash
# Checks a built ELF plug-in file the way the host meets it: what it exports,
# what it needs loaded beside it, and what runs when it is loaded.
# Usage: elf_plugin.sh exports|needed|constructors FILE
set -euo pipefail
check=$1
file=$2

fail() {
    echo "$file: $*" >&2
    exit 1
}

# bytes of an address, and of the module record, in this file
case $(readelf -h "$file" | awk '/Class:/ { print $2 }') in
ELF64) pointer=8 record=40 ;;
ELF32) pointer=4 record=24 ;;
*) fail "not an ELF file" ;;
esac

# a dynamic-section entry as a number, 0 when absent
dynamic() {
    readelf -d "$file" | awk -v tag="($1)" '$2 == tag { print $3 }' | { read -r value && echo $((value)) || echo 0; }
}

case $check in
exports)
    # one defined symbol, the record, as initialised data of the record's size
    symbols=$(nm -D -S --defined-only "$file")
    echo "$symbols"
    [ "$(wc -l <<<"$symbols")" -eq 1 ] || fail "exports more than one symbol"
    read -r _ size type name <<<"$symbols"
    [ "$name" = _mod_descrip ] || fail "exports $name instead of _mod_descrip"
    [[ $type == [DR] ]] || fail "_mod_descrip has symbol type $type, not initialised data"
    [ $((16#$size)) -eq $record ] || fail "_mod_descrip is $((16#$size)) bytes, not $record"
    ;;
needed)
    # only the C library: no C++ runtime, no libgcc_s, no libm
    needed=$(readelf -d "$file" | awk '/\(NEEDED\)/ { print $5 }' | tr -d '[]')
    echo "NEEDED: $needed"
    [ "$needed" = libc.so.6 ] || fail "needs $(echo $needed) instead of libc.so.6 alone"
    ;;
constructors)
    # the C runtime's frame_dummy and __do_global_dtors_aux entries may stand
    # in the init and fini arrays; nothing of the module's own may
    if readelf -SW "$file" | grep -qE '\.(c|d)tors'; then fail "has a .ctors or .dtors section"; fi
    for array in INIT_ARRAY:__frame_dummy_init_array_entry FINI_ARRAY:__do_global_dtors_aux_fini_array_entry; do
        tag=${array%%:*}
        crt_entry=${array#*:}
        entries=$(($(dynamic "${tag}SZ") / pointer))
        echo "$tag: $entries entries"
        [ "$entries" -eq 0 ] && continue
        [ "$entries" -eq 1 ] || fail "$tag holds $entries entries: a load or unload hook of the module's own"
        at=$(nm "$file" | awk -v name="$crt_entry" '$3 == name { print $1 }')
        [ -n "$at" ] && [ $((16#$at)) -eq "$(dynamic "$tag")" ] ||
            fail "the one $tag entry is not the C runtime's $crt_entry"
    done
    ;;
*)
    fail "unknown check $check"
    ;;
esac
