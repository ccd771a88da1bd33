#!/usr/bin/env bash
# A throwaway PostgreSQL 15 cluster for the database tests.
#
#   scripts/pg-scratch.sh start DIR   create and start a cluster in DIR, print the shell exports
#   scripts/pg-scratch.sh stop DIR    stop it (the folder stays; the caller removes it)
#   scripts/pg-scratch.sh kill DIR    stop it at once (a server that goes away under a client)
#
# The cluster listens on a Unix socket in DIR only (no TCP), trusts its own
# socket, and has:
#   database kolbi_template with the extension citext, from which tests make
#     their own databases (nobody connects to it, so it can be copied),
#   database kolbi_test, a copy of it,
#   role kolbi (owner, may create databases) and role kolbi_pw (password
#     "se;cr}et=", which a connection string must carry in braces),
# DIR/odbc.ini holds the data sources the tests use:
#   kolbi_pg        the test database
#   kolbi_pg_badpw  the same database as kolbi_pw with a wrong password
#   kolbi_pg_down   a socket folder where no server listens
# "start" prints: export ODBCINI=DIR/odbc.ini KOLBI_TEST_PG_DSN=kolbi_pg
#
# The tests want speed, so the cluster does not wait for the disk (fsync,
# synchronous_commit and full_page_writes off). KOLBI_PG_DURABLE=1 at the
# first start keeps them on, as a real server runs: the pipeline benchmark
# measures with them.
#
# PostgreSQL refuses to run as root: when started by root the cluster runs as
# the user "postgres" (created by the postgresql package) and DIR is handed to it.
set -euo pipefail

command=${1:-}
dir=${2:-}
if [ -z "$command" ] || [ -z "$dir" ]; then
    echo "usage: $0 start|stop|kill DIR" >&2
    exit 2
fi

pg_bin=${KOLBI_PG_BIN:-}
if [ -z "$pg_bin" ]; then
    for candidate in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
        if [ -x "$candidate/initdb" ]; then pg_bin=$candidate; break; fi
    done
fi
if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ]; then
    echo "pg-scratch: no PostgreSQL server binaries (initdb) found; install the package" \
         "postgresql (scripts/install-deps.sh)" >&2
    exit 1
fi

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    if ! id postgres >/dev/null 2>&1; then
        echo "pg-scratch: running as root needs the user postgres (package postgresql)" >&2
        exit 1
    fi
    as_owner=(runuser -u postgres --)
fi

data=$dir/data
log=$dir/server.log

start() {
    mkdir -p "$dir"
    chmod 755 "$dir"
    if [ "${#as_owner[@]}" -gt 0 ]; then chown postgres: "$dir"; fi
    if [ ! -d "$data" ]; then
        # ICU gives lower() (and so citext) proper case folding beyond ASCII.
        "${as_owner[@]}" "$pg_bin/initdb" -D "$data" -U postgres --auth=trust -E UTF8 \
            --locale-provider=icu --icu-locale=und --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 1
        }
        cat >>"$data/postgresql.conf" <<EOF
listen_addresses = ''
unix_socket_directories = '$dir'
port = 5432
max_connections = 60
EOF
        if [ "${KOLBI_PG_DURABLE:-}" != 1 ]; then
            printf '%s\n' "fsync = off" "synchronous_commit = off" "full_page_writes = off" \
                >>"$data/postgresql.conf"
        fi
        # kolbi_pw must give its password; everyone else on the socket is trusted.
        cat >"$data/pg_hba.conf" <<EOF
local all kolbi_pw scram-sha-256
local all all trust
EOF
    fi
    "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$data" -l "$log" -w -t 60 start >/dev/null || {
        cat "$log" >&2
        exit 1
    }
    local psql=("${as_owner[@]}" "$pg_bin/psql" -h "$dir" -U postgres -v ON_ERROR_STOP=1 -q)
    if ! "${psql[@]}" -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname='kolbi_test'" |
            grep -q 1; then
        "${psql[@]}" -d postgres <<'EOF'
CREATE ROLE kolbi LOGIN CREATEDB;
CREATE ROLE kolbi_pw LOGIN PASSWORD 'se;cr}et=';
CREATE DATABASE kolbi_template OWNER kolbi;
EOF
        # citext needs a superuser to install; copies of the template have it.
        "${psql[@]}" -d kolbi_template -c "CREATE EXTENSION citext" \
            -c "ALTER SCHEMA public OWNER TO kolbi" -c "GRANT ALL ON SCHEMA public TO kolbi_pw"
        "${psql[@]}" -d postgres -c "CREATE DATABASE kolbi_test TEMPLATE kolbi_template OWNER kolbi"
    fi
    local driver=${KOLBI_PG_ODBC_DRIVER:-PostgreSQL Unicode}
    cat >"$dir/odbc.ini" <<EOF
[kolbi_pg]
Driver = $driver
Servername = $dir
Port = 5432
Database = kolbi_test
Username = kolbi

[kolbi_pg_badpw]
Driver = $driver
Servername = $dir
Port = 5432
Database = kolbi_test
Username = kolbi_pw
Password = wrong

[kolbi_pg_down]
Driver = $driver
Servername = $dir/nobody-listens-here
Port = 5432
Database = kolbi_test
Username = kolbi
EOF
    echo "export ODBCINI='$dir/odbc.ini' KOLBI_TEST_PG_DSN=kolbi_pg"
}

stop() {
    local mode=$1
    if [ -f "$data/postmaster.pid" ]; then
        "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$data" -m "$mode" -w -t 60 stop >/dev/null
    fi
}

case "$command" in
    start) start ;;
    stop) stop fast ;;
    kill) stop immediate ;;
    *)
        echo "usage: $0 start|stop|kill DIR" >&2
        exit 2
        ;;
esac
