# shellcheck shell=bash
# Shared shell functions of scripts/serve, scripts/test, tests/e2e/run and
# bench/startup.  Source it; it defines functions and PLAZET_ROOT only.
#
# Environment understood by these functions:
#   PLAZET_PORT   port of the demo web server (default 8080)
#   PLAZET_RUN    directory of the server config, pid file, logs and site
#                 (default <repo>/run)
#   PLAZET_CGI    an already built plazet.cgi to serve instead of building
#                 build/release (for instance the sanitizer build of the tests)

PLAZET_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

log() { printf '%s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# ensure_packages PKG...: install the Debian packages that are not installed
# yet; runs apt-get update once, and only when something is missing.
ensure_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
      || missing+=("$p")
  done
  [ "${#missing[@]}" -eq 0 ] && return 0
  log "installing missing packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >&2
}

# ensure_node: node and npm on the PATH (Debian's packages when absent).
ensure_node() {
  local want=()
  command -v node >/dev/null 2>&1 || want+=(nodejs)
  command -v npm >/dev/null 2>&1 || want+=(npm)
  [ "${#want[@]}" -eq 0 ] || ensure_packages "${want[@]}"
}

# e2e_node_modules: install the browser test's npm packages from the lock
# file when node_modules is missing or older than the lock file.
e2e_node_modules() {
  local dir="$PLAZET_ROOT/tests/e2e"
  ensure_node
  if [ ! -f "$dir/node_modules/.package-lock.json" ] ||
     [ "$dir/package-lock.json" -nt "$dir/node_modules/.package-lock.json" ]; then
    log "npm ci in tests/e2e"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >&2)
  fi
}

# build_release: configure (once) and build the optimized, non-sanitizer tree
# build/release; prints nothing on stdout.
build_release() {
  local dir="$PLAZET_ROOT/build/release"
  ensure_packages cmake g++ make
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$PLAZET_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPLAZET_SANITIZE=OFF \
      -DPLAZET_TESTS=OFF >&2
  fi
  cmake --build "$dir" -j2 >&2
}

# cgi_program: path of the plazet.cgi to install (PLAZET_CGI or the release
# build, built when needed).
cgi_program() {
  if [ -n "${PLAZET_CGI:-}" ]; then
    [ -x "$PLAZET_CGI" ] || die "PLAZET_CGI=$PLAZET_CGI is not an executable"
    printf '%s\n' "$PLAZET_CGI"
  else
    build_release
    printf '%s\n' "$PLAZET_ROOT/build/release/plazet.cgi"
  fi
}

# Demo administrator that layout_site creates in an empty site.
PLAZET_DEMO_ADMIN="${PLAZET_DEMO_ADMIN:-admin}"
PLAZET_DEMO_PASSWORD="${PLAZET_DEMO_PASSWORD:-plazet}"
# A second, ordinary user with the same password.
PLAZET_DEMO_USER="${PLAZET_DEMO_USER:-taro}"

# layout_site SITE CGI [--fresh]: lay out a site under SITE (absolute path)
# with plazetctl (built next to CGI) serving the program CGI:
#   SITE/cgi-bin/   plazet.cgi, plazet.ini, the language files (the program's
#                   working directory; upload temp files appear here too)
#   SITE/data/      data directory, mode 0700
#   SITE/htdocs/    document root: index.html and plazetpic/ (pictures,
#                   static pages, attachments, userpic/)
# Existing data, attachments and settings are kept; --fresh removes the site
# first. A site without users gets the demo administrator.
layout_site() {
  local site="$1" cgi="$2" fresh="${3:-}"
  local ctl
  ctl="$(dirname "$cgi")/plazetctl"
  case "$site" in /*) ;; *) die "layout_site: SITE must be absolute: $site" ;; esac
  [ -x "$ctl" ] || die "layout_site: no plazetctl next to $cgi"
  if [ "$fresh" = "--fresh" ] && [ -d "$site" ]; then
    rm -rf -- "$site"
  fi
  "$ctl" init "$site" --program "$cgi" --share "$PLAZET_ROOT/share" >/dev/null
  mkdir -p "$site/htdocs/plazetpic/userpic"
  if [ ! -s "$site/data/user.mst" ]; then
    "$ctl" adduser --site "$site" --admin --name Administrator \
      --password "$PLAZET_DEMO_PASSWORD" "$PLAZET_DEMO_ADMIN" >/dev/null
    "$ctl" adduser --site "$site" --name "Taro Yamada" \
      --password "$PLAZET_DEMO_PASSWORD" "$PLAZET_DEMO_USER" >/dev/null
  fi
  if [ ! -s "$site/data/b_title.mst" ]; then
    "$ctl" seed --site "$site" >/dev/null
  fi

  cat >"$site/htdocs/index.html" <<'EOF'
<!DOCTYPE html>
<html><head><meta http-equiv="refresh" content="0; url=/cgi-bin/plazet.cgi">
<title>Plazet</title></head>
<body><a href="/cgi-bin/plazet.cgi">Plazet</a></body></html>
EOF
}

# write_server_conf RUN SITE PORT: lighttpd configuration RUN/lighttpd.conf.
# The server runs as the user that starts it (as root it stays root: without
# server.username lighttpd does not change user), so the program can write
# the data directory that this user laid out.  mod_cgi runs the program with
# its absolute path as first argument and its directory as working
# directory; the settings file is found from that path.
write_server_conf() {
  local run="$1" site="$2" port="$3"
  cat >"$run/lighttpd.conf" <<EOF
server.modules = ("mod_access", "mod_alias", "mod_cgi")
server.document-root = "$site/htdocs"
server.bind = "127.0.0.1"
server.port = $port
server.pid-file = "$run/lighttpd.pid"
server.errorlog = "$run/error.log"
# standard error of the program
server.breakagelog = "$run/cgi-stderr.log"
index-file.names = ("index.html")
# The menu's buttons send their Shift-JIS captions in GET queries, and the
# URL normalization answers some Shift-JIS bytes (%F5 and up, as in the
# search button's caption) with "400 Bad Request".
server.http-parseopts = ("url-normalize" => "disable")
mimetype.assign = (
  ".html" => "text/html",
  ".htm"  => "text/html",
  ".gif"  => "image/gif",
  ".jpg"  => "image/jpeg",
  ".jpeg" => "image/jpeg",
  ".png"  => "image/png",
  ".css"  => "text/css",
  ".js"   => "text/javascript",
  ".txt"  => "text/plain",
  ""      => "application/octet-stream"
)
alias.url = ("/cgi-bin/" => "$site/cgi-bin/")
\$HTTP["url"] =~ "^/cgi-bin/" {
  cgi.assign = (".cgi" => "")
  # settings, language and upload temp files stay private
  \$HTTP["url"] !~ "\\.cgi(/|\$)" {
    url.access-deny = ("")
  }
}
EOF
}

# server_running RUN: true when the lighttpd of RUN/lighttpd.pid is alive.
server_running() {
  local pidfile="$1/lighttpd.pid" pid
  [ -f "$pidfile" ] || return 1
  pid="$(cat "$pidfile" 2>/dev/null)"
  [ -n "$pid" ] && [ -d "/proc/$pid" ] &&
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "lighttpd" ]
}

# server_stop RUN: stop the lighttpd started for RUN (no-op when none).
server_stop() {
  local run="$1" pid
  if server_running "$run"; then
    pid="$(cat "$run/lighttpd.pid")"
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      [ -d "/proc/$pid" ] || break
      sleep 0.1
    done
    if [ -d "/proc/$pid" ]; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
    log "stopped lighttpd (pid $pid)"
  fi
  rm -f "$run/lighttpd.pid"
}

# wait_http URL [SECONDS]: wait until URL answers with HTTP 200.
wait_http() {
  local url="$1" secs="${2:-10}" code
  for _ in $(seq 1 $((secs * 10))); do
    code="$(curl -s -o /dev/null -w '%{http_code}' --max-time 2 "$url" 2>/dev/null || true)"
    [ "$code" = "200" ] && return 0
    sleep 0.1
  done
  return 1
}

# server_start RUN SITE PORT: (re)start lighttpd in the background for the
# site laid out at SITE and wait until it answers.
server_start() {
  local run="$1" site="$2" port="$3"
  ensure_packages lighttpd curl
  server_stop "$run"
  write_server_conf "$run" "$site" "$port"
  lighttpd -t -f "$run/lighttpd.conf" >/dev/null || die "bad lighttpd configuration $run/lighttpd.conf"
  : >"$run/error.log"
  if ! lighttpd -f "$run/lighttpd.conf"; then
    tail -n 20 "$run/error.log" >&2
    die "lighttpd did not start (is port $port in use?)"
  fi
  if ! wait_http "http://127.0.0.1:$port/index.html" 10; then
    tail -n 20 "$run/error.log" >&2
    server_stop "$run"
    die "lighttpd does not answer on 127.0.0.1:$port"
  fi
}
