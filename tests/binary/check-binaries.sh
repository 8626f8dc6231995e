#!/bin/bash
# Checks of the built Windows executables.
#   check-binaries.sh product EXE MACHINE ARCH [MAX_BYTES]  MACHINE i386|x86-64, ARCH the manifest's
#       x86|amd64: a PE file for MACHINE, console subsystem, an RT_MANIFEST resource (ID 1) demanding
#       administrator rights and Common Controls 6.0.0.0 for ARCH, imports from the system's own DLLs only,
#       and, when MAX_BYTES is given, a file of at most that many bytes
#   check-binaries.sh tools DIR MACHINE   every .exe below DIR is a pei-MACHINE file importing system DLLs
#       only; dbgmon.exe asks for administrator rights in its manifest
#   check-binaries.sh installer DIR   FenwarrAction.dll exports the four custom actions and imports system DLLs
#       and msi.dll only, each function one that Windows XP has (action-imports.txt); FenwarrEvents.dll imports
#       nothing and holds the message table of the four runs
#   check-binaries.sh newer-import DIR   a DLL made in DIR that imports ProcessIdToSessionId (Windows Vista)
#       fails the floor check, by name
# Prints each file's size and imports. Exit 0 when all holds, 1 when a check fails, 77 when not built.
set -u
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

objdump_for() { [ "$1" = i386 ] && echo i686-w64-mingw32-objdump || echo x86_64-w64-mingw32-objdump; }

# The imported DLLs, lower-cased, each with the number of functions taken from it: "name count".
imports() {
    "$1" -p "$2" | awk '/^\tDLL Name: /{dll=tolower($3); n[dll]=0; order[++k]=dll; next}
                        /^\t[0-9a-f]+\t +[0-9]+  /{if (dll!="") n[dll]++; next}
                        /^$/{dll=""} END{for (i=1;i<=k;i++) print order[i], n[order[i]]}'
}

# Fails unless every DLL that EXE imports is one of the ALLOWED (lower-case names).
check_imports() {
    local objdump=$1 exe=$2 allowed=" $3 " dll count
    echo "$(basename "$exe"): $(stat -c %s "$exe") bytes; imports:"
    while read -r dll count; do
        echo "    $dll ($count functions)"
        [[ "$allowed" == *" $dll "* ]] || fail "$exe imports $dll"
    done < <(imports "$objdump" "$exe")
}

# The RT_MANIFEST resource of ID 1, as stored in the file.
manifest() {
    local objdump=$1 exe=$2 leaf addr size base vma
    # The resource tree, depth first: type entries, name entries below them, leaves below those.
    leaf=$("$objdump" -p "$exe" | tr -d , | awk '/^[0-9a-f]+   Entry: ID:/{type=$4} /^[0-9a-f]+     Entry: ID:/{name=$4}
        /Leaf: Addr:/ && type=="0x000018" && name=="0x000001"{print $4, $6; exit}')
    [ -n "$leaf" ] || return 1
    read -r addr size <<<"$leaf"
    base=$("$objdump" -p "$exe" | awk '/^ImageBase/{print $2}')
    vma=$("$objdump" -h "$exe" | awk '$2==".rsrc"{print $4}')
    "${objdump%objdump}objcopy" -O binary --only-section=.rsrc "$exe" /dev/stdout |
        tail -c +$((addr - (0x$vma - 0x$base) + 1)) | head -c $((size))
}

# Fails unless EXE's manifest (XML, as one line) demands administrator rights without uiAccess.
check_admin() {
    local exe=$1 xml=$2
    [ -n "$xml" ] || fail "$exe has no RT_MANIFEST resource 1"
    grep -Eq '<requestedExecutionLevel level="requireAdministrator" uiAccess="false" ?/>' <<<"$xml" ||
        fail "$exe manifest does not demand administrator rights without uiAccess"
}

check_product() {
    local exe=$1 machine=$2 arch=$3 max=${4:-} objdump xml identity size
    objdump=$(objdump_for "$machine")
    "$objdump" -f "$exe" | grep -q "file format pei-$machine\$" || fail "$exe is no pei-$machine file"
    "$objdump" -p "$exe" | grep -Eq '^Subsystem[[:space:]]+00000003[[:space:]]+\(Windows CUI\)' ||
        fail "$exe is not a console program"
    xml=$(manifest "$objdump" "$exe" | tr -s '\r\n\t ' ' ')
    check_admin "$exe" "$xml"
    identity=$(grep -o '<dependentAssembly> <assemblyIdentity [^>]*>' <<<"$xml" |
        grep 'name="Microsoft.Windows.Common-Controls"')
    for attribute in 'type="win32"' 'version="6.0.0.0"' "processorArchitecture=\"$arch\"" \
        'publicKeyToken="6595b64144ccf1df"'; do
        grep -qF "$attribute" <<<"$identity" || fail "$exe manifest: Common-Controls dependency lacks $attribute"
    done
    check_imports "$objdump" "$exe" "kernel32.dll user32.dll setupapi.dll cfgmgr32.dll msvcrt.dll"
    size=$(stat -c %s "$exe")
    [ -z "$max" ] || [ "$size" -le "$max" ] || fail "$exe is $size bytes, more than $max"
}

check_tools() {
    local exe found=0 objdump
    objdump=$(objdump_for "$2")
    while IFS= read -r -d '' exe; do
        found=1
        "$objdump" -f "$exe" | grep -q "file format pei-$2\$" || fail "$exe is no pei-$2 file"
        check_imports "$objdump" "$exe" "kernel32.dll user32.dll advapi32.dll msvcrt.dll ntdll.dll"
        if [ "$(basename "$exe")" = dbgmon.exe ]; then
            check_admin "$exe" "$(manifest "$objdump" "$exe" | tr -s '\r\n\t ' ' ')"
            echo "    manifest: requireAdministrator"
        fi
    done < <(find "$1" -name '*.exe' -print0 2>/dev/null | sort -z)
    [ $found = 1 ] || fail "no tool executable below $1"
}

# Windows by age, as action-imports.txt names them; the floor the MSI's launch condition sets.
windows_order=(2000 XP Vista 7 8 10)
floor=XP
rank() {
    local i
    for i in "${!windows_order[@]}"; do [ "${windows_order[$i]}" = "$1" ] && echo "$i" && return; done
    echo 99
}

# Fails for each function DLL imports that action-imports.txt lacks or gives a Windows newer than the floor.
check_floor() {
    local dll=$1 list=${2:-$(dirname "$0")/action-imports.txt} from name first
    while read -r from name; do
        [ "$from" = msvcrt.dll ] && continue
        first=$(awk -v d="$from" -v f="$name" '$1 == d && $2 == f {print $3}' "$list")
        if [ -z "$first" ]; then
            fail "$dll imports $from $name, which action-imports.txt does not list (add it with its page's Windows)"
        elif (($(rank "$first") > $(rank "$floor"))); then
            fail "$dll imports $from $name: Windows $first, newer than the floor $floor (look it up at run time)"
        fi
    done < <(i686-w64-mingw32-objdump -p "$dll" | awk '/^\tDLL Name: /{d=tolower($3); next}
                                                     /^\t[0-9a-f]+\t +[0-9]+  /{print d, $3}')
}

# A DLL importing one function newer than the floor must fail check_floor, naming it.
check_newer_import() {
    local dir=$1 out
    printf '%s\n' '#include <windows.h>' 'DWORD Session(void) { DWORD s = 0; ProcessIdToSessionId(0, &s); return s; }' \
        >"$dir/newer.c"
    i686-w64-mingw32-gcc -shared -nostdlib -Wl,-e,0 -o "$dir/newer.dll" "$dir/newer.c" -lkernel32 ||
        { fail "cannot build the probe DLL"; return; }
    out=$(failures=0; check_floor "$dir/newer.dll"; echo "failures=$failures")
    grep -q 'ProcessIdToSessionId: Windows Vista, newer than the floor XP' <<<"$out" ||
        fail "a DLL importing ProcessIdToSessionId passed the floor check: $out"
    echo "the floor check refused the probe: ${out%%$'\n'*}"
}

check_installer() {
    local action=$1/FenwarrAction.dll events=$1/FenwarrEvents.dll objdump=i686-w64-mingw32-objdump name text
    check_imports "$objdump" "$action" "kernel32.dll advapi32.dll msi.dll msvcrt.dll"
    check_floor "$action"
    for name in RunSetup RunUninstall RollbackSetup RollbackUninstall; do
        "$objdump" -p "$action" | grep -Eq "^\s+\[ *[0-9]+\] $name\$" || fail "$action does not export $name"
    done
    check_imports "$objdump" "$events" ""
    # Type 11, RT_MESSAGETABLE; its texts are UTF-16.
    "$objdump" -p "$events" | grep -q 'Entry: ID: 0x00000b' || fail "$events has no message table"
    for text in 'install run: %1' 'removal run: %1' 'rollback run (a failed or cancelled install undone): %1' \
        'restage run (a failed or cancelled removal undone, the drivers staged again): %1'; do
        strings -el "$events" | grep -qF "Fenwarr Driver Package, $text" || fail "$events lacks '$text'"
    done
}

target=$2
if [ ! -e "$target" ]; then
    echo "SKIP: $target is not built (cmake --preset win32/win64 && cmake --build --preset win32/win64)"
    exit 77
fi
case $1 in
product) check_product "$2" "$3" "$4" "${5:-}" ;;
tools) check_tools "$2" "$3" ;;
installer) check_installer "$2" ;;
newer-import) check_newer_import "$2" ;;
*) fail "unknown mode $1" ;;
esac
[ $failures = 0 ] && echo "all checks passed" || echo "$failures check(s) failed"
[ $failures = 0 ]
