#!/usr/bin/env bash
# Installs, from Debian's packages, everything the pump needs to build, run and
# be tested: compilers and test libraries, the ODBC driver manager with the
# SQLite, PostgreSQL and SQL Server drivers, a PostgreSQL server for the tests,
# ncurses for the status screen and systemd's development files; tmux, locales
# and sqlfluff (a T-SQL grammar for the SQL Server schema) for the tests.
set -euo pipefail

packages=(
    build-essential cmake pkg-config git
    clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    zlib1g-dev libfmt-dev libncurses-dev libsystemd-dev systemd
    unixodbc unixodbc-dev libsqliteodbc sqlite3 libsqlite3-dev odbc-postgresql tdsodbc
    postgresql postgresql-client
    tmux locales sqlfluff python3-pyodbc  # pyodbc: the pipeline benchmark's script peer
)

sudo_if_needed=()
if [ "$(id -u)" -ne 0 ]; then sudo_if_needed=(sudo); fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_if_needed[@]}" apt-get update
"${sudo_if_needed[@]}" apt-get install -y --no-install-recommends "${packages[@]}"

# The driver-form connection string names the driver "SQL Server": FreeTDS
# goes by that name too (registered once).
if ! odbcinst -q -d -n "SQL Server" >/dev/null 2>&1; then
    "${sudo_if_needed[@]}" odbcinst -i -d -f "$(dirname "$0")/../packaging/odbc/odbcinst-sqlserver.ini"
fi
