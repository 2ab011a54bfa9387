# A PostgreSQL server of the test's own, sourced after rows.sh: its data and
# its Unix socket in $work/pg, no TCP port, stopped when the test ends. Run
# by root, the server runs as nobody, since initdb refuses root. Exits 77
# (skipped) on a machine without the server's binaries.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ ! -x "$pg_bin/initdb" ]; then
  echo "SKIPPED: no PostgreSQL server here (Debian's postgresql-15 installs it)"
  exit 77
fi
pg=$work/pg
as_server() {
  if [ "$(id -u)" = 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; else "$@"; fi
}
pg_ctl() { as_server "$pg_bin/pg_ctl" -D "$pg/data" -l "$pg/log" "$@" >/dev/null; }
mkdir "$pg" && chmod 711 "$work"
[ "$(id -u)" != 0 ] || chown nobody:nogroup "$pg"
as_server "$pg_bin/initdb" -D "$pg/data" -A trust -U wwnpool -E UTF8 --locale=C --no-sync >"$pg/initdb.log" 2>&1 ||
  { cat "$pg/initdb.log"; echo "FAILED: initdb cannot make a database in $pg"; exit 1; }
# Speed: the operating system keeps what the server writes when the server is
# killed, which is all the tests do; a commit is still written at once.
pg_options="-c listen_addresses= -k $pg -c fsync=off"
pg_ctl -o "$pg_options" -w start || { cat "$pg/log"; echo "FAILED: the PostgreSQL server does not start"; exit 1; }
trap 'pg_ctl -m immediate stop; rm -rf "$work"' EXIT
export WWNPOOL_REGISTRY="host=$pg dbname=postgres user=wwnpool"
# A query's rows, fields separated by commas.
sql() { "$pg_bin/psql" -X -q -A -t -F , -v ON_ERROR_STOP=1 "$WWNPOOL_REGISTRY" -c "$1"; }
