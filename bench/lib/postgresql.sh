# The PostgreSQL of the benchmarks, sourced by bench/*.sh: a scratch cluster
# that runs as a real server does (fsync and synchronous_commit on), its
# databases made from the cluster's template with the pump's schema, and a
# data source for each in $ODBCINI.
#
#   pg_start DIR             start the cluster in DIR; sets pg_dir, pg_driver
#                            and psql (an array: psql on the cluster's socket,
#                            stopping at the first error); the caller stops it
#                            with scripts/pg-scratch.sh stop "$pg_dir"
#   pg_add_database NAME     database NAME and a data source of the same name,
#                            with the schema of $bin/kolbidb
#   pg_durability            "PostgreSQL V, fsync=on, synchronous_commit=on"
#   pg_require_durable       fails (status 2) unless both are on
#
# Needs: the working directory at the repository's top, $ODBCINI and $bin.

pg_start() { # dir
    pg_dir=$1
    KOLBI_PG_DURABLE=1 scripts/pg-scratch.sh start "$pg_dir" >/dev/null
    pg_driver=$(awk -F' = ' '/^Driver/ { print $2; exit }' "$pg_dir/odbc.ini")
    psql=(psql)
    local pg_bin
    for pg_bin in /usr/lib/postgresql/15/bin /usr/lib/postgresql/*/bin; do
        if [ -x "$pg_bin/psql" ]; then psql=("$pg_bin/psql"); break; fi
    done
    # The cluster runs as the user postgres when started by root.
    if [ "$(id -u)" -eq 0 ]; then psql=(runuser -u postgres -- "${psql[@]}"); fi
    psql+=(-h "$pg_dir" -X -q -v ON_ERROR_STOP=1)
}

pg_add_database() { # name
    "${psql[@]}" -U postgres -d postgres -c "CREATE DATABASE $1 TEMPLATE kolbi_template OWNER kolbi"
    cat >>"$ODBCINI" <<INI
[$1]
Driver = $pg_driver
Servername = $pg_dir
Port = 5432
Database = $1
Username = kolbi

INI
    "$bin/kolbidb" create --dsn "$1" >/dev/null
}

pg_durability() {
    "${psql[@]}" -U postgres -d postgres -tA -c "SELECT 'PostgreSQL ' ||
        current_setting('server_version') || ', fsync=' || current_setting('fsync') ||
        ', synchronous_commit=' || current_setting('synchronous_commit')"
}

pg_require_durable() {
    local info
    info=$(pg_durability)
    if [[ $info != *"fsync=on, synchronous_commit=on" ]]; then
        echo "the PostgreSQL server is not durable: $info" >&2
        exit 2
    fi
}
