#!/usr/bin/env bash
# Checks the Windows plug-in file the way the 32-bit host meets it: its
# export table (the module's name, one data export) and the DLLs it imports.
# Usage: pe_plugin.sh name|exports|imports FILE OBJDUMP
set -euo pipefail
check=$1
file=$2
objdump=$3

fail() {
    echo "$file: $*" >&2
    exit 1
}

headers=$("$objdump" -p "$file")
grep -qx $'\tDLL' <<<"$headers" || fail "is not a DLL"
exports=$(sed -n '/^The Export Tables/,/^PE File Base Relocations/p' <<<"$headers")
[ -n "$exports" ] || fail "has no export table"

# the value of a "Label   value" line of the export table
field() {
    awk -v label="$1" 'index($0, label) == 1 { print $NF; exit }' <<<"$exports"
}

case $check in
name)
    grep -E '^Name' <<<"$exports"
    [ "$(field Name)" = pluginServer.p ] || fail "export table names the module \"$(field Name)\""
    ;;
exports)
    # exactly one export, _mod_descrip at ordinal 1, addressing data
    sed -n '/^Ordinal Base/,$p' <<<"$exports" | grep -vE '^\s*$' | sed -n '1,/Relocations/p' | grep -v Relocations
    [ "$(field 'Ordinal Base')" = 1 ] || fail "ordinal base is $(field 'Ordinal Base')"
    [ "$(field $'\tExport Address Table')" = 00000001 ] || fail "holds more or less than one address"
    [ "$(field $'\t[Name Pointer/Ordinal] Table')" = 00000001 ] || fail "holds more or less than one name"
    names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$exports" | grep -E '^\s+\[')
    [ "$(tr -s ' \t' ' ' <<<"$names")" = " [ 0] _mod_descrip" ] || fail "exports $names"
    slots=$(grep -E '^\s*\[ *0\] \+base\[ *1\] [0-9a-f]+ Export RVA$' <<<"$exports") ||
        fail "ordinal 1 is not an export by address"
    rva=$((16#$(awk '{ print $(NF - 2) }' <<<"$slots")))
    base=$((16#$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")))
    # the section that holds the address must not be code
    section=
    while read -r index name size vma _; do
        read -r flags
        if [[ $index =~ ^[0-9]+$ ]] && ((base + rva >= 16#$vma && base + rva < 16#$vma + 16#$size)); then
            section="$name ($flags)"
        fi
    done < <("$objdump" -h "$file" | sed -n '/^Idx/,$p' | tail -n +2)
    echo "_mod_descrip in: $section"
    [ -n "$section" ] || fail "_mod_descrip points outside every section"
    if grep -q CODE <<<"$section"; then fail "_mod_descrip points into code"; fi
    ;;
imports)
    # Windows' own DLLs only: no C++ runtime, no libgcc, no winpthread
    dlls=$(awk '$1 == "DLL" && $2 == "Name:" { print $3 }' <<<"$headers")
    echo "imports:" $dlls
    for dll in $dlls; do
        grep -qiE '^(kernel32|msvcrt|ntdll|ucrtbase|user32|advapi32|api-ms-win-[a-z0-9-]+)\.dll$' <<<"$dll" ||
            fail "imports $dll, which is no Windows system DLL"
    done
    ;;
*)
    fail "unknown check $check"
    ;;
esac
