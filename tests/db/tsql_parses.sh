#!/bin/sh
# No SQL Server can run here, so its schema script is parsed with a T-SQL
# grammar instead: every statement must parse, or the first that does not is
# shown. Usage: tsql_parses.sh SCRIPT
if ! command -v sqlfluff >/dev/null; then
    echo "sqlfluff is not installed (scripts/install-deps.sh)" >&2
    exit 1
fi
out=$(sqlfluff parse --dialect tsql "$1" 2>&1) && exit 0
printf '%s\n' "$out" | grep -i -A4 "unparsable" | head -40
exit 1
