#!/usr/bin/env bash
# Builds the Debian package from the release build (build/, which
# scripts/test.sh made), installs it with dpkg as an administrator would, and
# checks what it installed: the layout, the unit (systemd-analyze verify, and
# a security exposure of 2.0 at most), log pruning, and the installed pump run
# as its service user from the installed layout on the reports of simulated
# agents, which must reach an SQLite inventory. Needs root and no systemd
# running; purges the package (and the service user it made) on the way out.
# Any problem ends it with a non-zero status and says what.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly package=kolbi-pump user=kolbi-pump unit=kolbi-software-inventory-pump.service
readonly program_folder=/var/lib/kolbi-pump incoming=/var/spool/kolbi-pump
readonly ini=/etc/kolbi-pump/KolbiPumps.ini unit_file=/usr/lib/systemd/system/$unit
readonly max_exposure=2.0
build_dir=build

fail() {
    echo "package-test.sh: FAILED: $*" >&2
    exit 1
}
step() { echo "== $*"; }

[ "$(id -u)" -eq 0 ] || fail "run it as root: it installs a package"
if dpkg -s "$package" >/dev/null 2>&1; then
    fail "$package is installed already; dpkg --purge $package first"
fi
user_existed=no
if getent passwd "$user" >/dev/null; then user_existed=yes; fi

work=$(mktemp -d /tmp/kolbi-package.XXXXXX)
cleanup() {
    local status=$?
    step "purging $package"
    dpkg --purge "$package" >/dev/null 2>&1 || echo "package-test.sh: dpkg --purge $package failed" >&2
    if [ "$user_existed" = no ] && getent passwd "$user" >/dev/null; then
        userdel "$user" 2>/dev/null || echo "package-test.sh: cannot remove the user $user" >&2
        getent group "$user" >/dev/null && groupdel "$user" 2>/dev/null || true
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT

step "building the package from $build_dir"
# The unit names the installed paths: the package is built for /usr.
cmake -S . -B "$build_dir" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
rm -rf "$build_dir/package"
(cd "$build_dir" && cpack -G DEB) >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    fail "cpack"
}
deb=$(find "$build_dir/package" -maxdepth 1 -name "${package}_*.deb" -print -quit)
[ -n "$deb" ] || fail "no ${package}_*.deb in $build_dir/package"
[ -n "$(find "$build_dir/package" -maxdepth 1 -name "${package}-dbgsym_*" -print -quit)" ] ||
    fail "no debug symbols package"
echo "$deb: $(du -h "$deb" | cut -f1)"

step "installing its runtime dependencies and the package"
export DEBIAN_FRONTEND=noninteractive
apt-get satisfy -y --no-install-recommends "$(dpkg-deb -f "$deb" Depends)" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log" >&2
    fail "apt-get satisfy: the package's dependencies"
}
dpkg -i "$deb" || fail "dpkg -i $deb"

step "checking the installed layout"
programs=(kolbipump kolbipump-once kolbidb he3 kolbi-agent-sim)
if [ -e /usr/bin/kolbipump-check ]; then programs+=(kolbipump-check); fi
for program in "${programs[@]}"; do
    [ -x "/usr/bin/$program" ] || fail "/usr/bin/$program is missing"
    readelf -S "/usr/bin/$program" | grep -q '\.debug_info' && fail "/usr/bin/$program is not stripped"
    [ -f "/usr/share/man/man1/$program.1.gz" ] || [ -f "/usr/share/man/man8/$program.8.gz" ] ||
        fail "no man page for $program"
done
[ -f /usr/lib/kolbi/kolbi_getdate.so ] || fail "the SQLite extension is missing"
[ "$(stat -c '%a %U %G' "$ini")" = "640 root $user" ] || fail "$ini is not 0640 root:$user"
[ "$(readlink "$program_folder/KolbiPumps.ini")" = "$ini" ] ||
    fail "$program_folder/KolbiPumps.ini does not lead to $ini"
[ "$(stat -c '%U' "$program_folder")" = "$user" ] || fail "$program_folder is not $user's"
[ "$(stat -c '%a %U %G' "$incoming")" = "2770 $user $user" ] || fail "$incoming is not 2770 $user:$user"
[ -L "/etc/systemd/system/multi-user.target.wants/$unit" ] || fail "$unit is not enabled"

step "checking the unit"
verified=$(systemd-analyze verify --man=no "$unit_file" 2>&1) || fail "systemd-analyze verify: $verified"
if grep -q "$unit" <<<"$verified"; then fail "systemd-analyze verify: $verified"; fi
security=$(systemd-analyze security --offline=true "$unit_file" 2>&1) || fail "systemd-analyze security: $security"
exposure=$(sed -n 's/.*Overall exposure level for .*: \([0-9.]*\).*/\1/p' <<<"$security")
[ -n "$exposure" ] || fail "no exposure level in: $security"
echo "systemd-analyze security: exposure $exposure (at most $max_exposure)"
awk -v e="$exposure" -v m="$max_exposure" 'BEGIN { exit !(e <= m) }' ||
    fail "the unit's exposure $exposure is above $max_exposure"
# MemoryDenyWriteExecute= holds for the programs and the ODBC drivers
# installed (Debian's are all in .../odbc/), with what they load: no
# executable stack, no text relocations.
drivers=$(find /usr/lib/*/odbc -name '*.so' 2>/dev/null || true)
for object in $( (for file in "${programs[@]/#//usr/bin/}" /usr/lib/kolbi/kolbi_getdate.so $drivers; do
    echo "$file"
    ldd "$file" | awk '/=> \// { print $3 }'
done) | sort -u); do
    if readelf -lW "$object" | grep -q 'GNU_STACK.*RWE' || readelf -dW "$object" | grep -q TEXTREL; then
        fail "$object needs writable code, which the unit's MemoryDenyWriteExecute= forbids"
    fi
done
# A copy of the program must not take the package's unit over.
mkdir "$work/copy" && cp /usr/bin/kolbipump "$work/copy/"
if refused=$(env -u SYSTEMD_UNIT_PATH "$work/copy/kolbipump" -i 2>&1); then
    rm -f "/etc/systemd/system/$unit"
    fail "kolbipump -i of a copy took over the package's unit"
fi
grep -q "installed apart" <<<"$refused" || fail "kolbipump -i of a copy: $refused"

step "pruning old logs"
touch "$program_folder/kolbipump-fresh.log"
for old in kolbipump-01-01-2000.log .odbc.ini inventory.db; do
    touch -d '40 days ago' "$program_folder/$old"
done
touch -h -d '40 days ago' "$program_folder/KolbiPumps.ini"
systemd-tmpfiles --clean "/usr/lib/tmpfiles.d/$package.conf"
[ ! -e "$program_folder/kolbipump-01-01-2000.log" ] || fail "a 40-day-old log was kept"
for kept in kolbipump-fresh.log .odbc.ini inventory.db KolbiPumps.ini; do
    [ -e "$program_folder/$kept" ] || fail "the pruning removed $kept"
done
rm -f "$program_folder/kolbipump-fresh.log" "$program_folder/.odbc.ini" "$program_folder/inventory.db"

# As systemd starts the service: its user and group, a clean environment with
# its home, the program folder named, the unit's umask.
as_service() {
    setpriv --reuid="$user" --regid="$user" --init-groups -- env -i \
        HOME="$program_folder" PATH=/usr/bin:/bin KOLBI_PUMP_FOLDER="$program_folder" \
        /bin/sh -c 'umask 0027 && exec "$@"' sh "$@"
}

step "running the installed pump as $user on the reports of 5 agents"
as_service /usr/bin/kolbidb create --sqlite "$program_folder/inventory.db" --dsn KolbiPackageTest \
    --odbcini "$program_folder/.odbc.ini" || fail "kolbidb create as $user"
sed -i 's/^DsnEntry=.*/DsnEntry=KolbiPackageTest/' "$ini"
[ "$(stat -c '%a %U %G' "$ini")" = "640 root $user" ] || fail "editing $ini changed its mode"
if [ -x /usr/bin/kolbipump-check ]; then
    as_service /usr/bin/kolbipump-check || fail "kolbipump-check refused a working setup"
fi
# The agents drop their reports as others than the service (root here).
/usr/bin/kolbi-agent-sim --workstations 5 --products 40 --out "$incoming" >/dev/null
as_service /usr/bin/kolbipump-once >"$work/once.log" 2>&1 || {
    cat "$work/once.log" "$program_folder"/kolbipump*.log >&2 2>/dev/null || true
    fail "kolbipump-once as $user"
}
cat "$work/once.log"
grep -q '^5 report(s)' "$work/once.log" || fail "kolbipump-once did not take the 5 reports"
left=$(find "$incoming" -iname '*.silog' | wc -l)
[ "$left" -eq 0 ] || fail "$left report(s) left in $incoming"
if [ -d "$program_folder/FAILED" ] && [ -n "$(ls -A "$program_folder/FAILED")" ]; then
    fail "reports set aside: $(ls "$program_folder/FAILED")"
fi
workstations=$(as_service /usr/bin/sqlite3 -cmd '.load /usr/lib/kolbi/kolbi_getdate' \
    "$program_folder/inventory.db" 'SELECT count(*) FROM Postes')
[ "$workstations" = 5 ] || fail "the database holds $workstations workstation(s), not 5"
echo "package-test.sh: all checks passed (exposure $exposure)"
