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
#   PLAZET_USER   the user the demo server runs the program as when started
#                 by root (default: the user sudo was called by, else www-data)
#   PLAZET_DEMO_CONTENT  0: a new demo site gets its folders but no messages

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

# bench_pages TIMER RUNS LABEL QUERY [LABEL QUERY ...]: times ./plazet.cgi
# with each query, the log-in page first as the baseline of the same run,
# and prints each page's times with its median over the baseline's.
bench_pages() {
  local timer="$1" runs="$2" line base
  shift 2
  line="$("$timer" "$runs" ./plazet.cgi "")"
  base="$(awk '{ print $1 }' <<<"$line")"
  printf '  %-28s%s\n' "log-in page (baseline):" "$line"
  while [ "$#" -ge 2 ]; do
    line="$("$timer" "$runs" ./plazet.cgi "$2")"
    printf '  %-28s%s  %6.2f x baseline\n' "$1:" "$line" \
      "$(awk -v b="$base" '{ printf "%.2f", $1 / b }' <<<"$line")"
    shift 2
  done
}

# build_release: configure (once) and build the optimized, non-sanitizer tree
# build/release, warnings as errors; the compiler's output goes to
# build/release/build.log (its end is shown when the build fails).
build_release() {
  local dir="$PLAZET_ROOT/build/release"
  local buildlog="$dir/build.log"
  ensure_packages cmake g++ make
  mkdir -p "$dir"
  if ! {
    if ! grep -q '^PLAZET_WERROR:BOOL=ON' "$dir/CMakeCache.txt" 2>/dev/null; then
      cmake -S "$PLAZET_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DPLAZET_SANITIZE=OFF \
        -DPLAZET_TESTS=OFF -DPLAZET_WERROR=ON
    fi
    cmake --build "$dir" -j2
  } >"$buildlog" 2>&1; then
    tail -n 30 "$buildlog" >&2
    die "the release build failed (whole log: $buildlog)"
  fi
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
    if [ "${PLAZET_DEMO_CONTENT:-1}" != 0 ]; then
      "$ctl" seed --site "$site" --content --admin "$PLAZET_DEMO_ADMIN" \
        --user "$PLAZET_DEMO_USER" >/dev/null
    fi
  fi

  cat >"$site/htdocs/index.html" <<'EOF'
<!DOCTYPE html>
<html><head><meta http-equiv="refresh" content="0; url=/cgi-bin/plazet.cgi">
<title>Plazet</title></head>
<body><a href="/cgi-bin/plazet.cgi">Plazet</a></body></html>
EOF
}

# demo_user: the user the demo server runs the program as when started by
# root (nothing for anyone else, who keeps his own account): PLAZET_USER,
# else the user that called sudo, else www-data.
demo_user() {
  [ "$(id -u)" -eq 0 ] || return 0
  local user="${PLAZET_USER:-${SUDO_USER:-}}"
  [ -n "$user" ] && [ "$user" != root ] || user=www-data
  id -u "$user" >/dev/null 2>&1 || die "no user $user to run the program as (set PLAZET_USER)"
  printf '%s\n' "$user"
}

# hand_site_to SITE USER: make the directories the program writes (data,
# pictures and attachments, and its own directory for uploads and the
# settings file) belong to USER, and check that USER can reach them.
hand_site_to() {
  local site="$1" user="$2"
  chown -R "$user:$(id -gn "$user")" "$site/data" "$site/htdocs/plazetpic" "$site/cgi-bin"
  runuser -u "$user" -- test -w "$site/data" -a -x "$site/cgi-bin/plazet.cgi" ||
    die "user $user cannot reach $site (a directory above it is closed to him); set PLAZET_RUN or PLAZET_USER"
}

# write_server_conf RUN SITE PORT [USER]: lighttpd configuration
# RUN/lighttpd.conf. Without USER the server runs as the user that starts it,
# so the program can write the data directory that this user laid out; with
# USER (the server is started by root) lighttpd drops to that user once it
# has opened its port and logs.  mod_cgi runs the program with its absolute
# path as first argument and its directory as working directory; the
# settings file is found from that path.
write_server_conf() {
  local run="$1" site="$2" port="$3" user="${4:-}" drop=
  if [ -n "$user" ]; then
    drop="server.username = \"$user\"
server.groupname = \"$(id -gn "$user")\""
  fi
  cat >"$run/lighttpd.conf" <<EOF
server.modules = ("mod_access", "mod_alias", "mod_cgi")
server.document-root = "$site/htdocs"
server.bind = "127.0.0.1"
server.port = $port
server.pid-file = "$run/lighttpd.pid"
server.errorlog = "$run/error.log"
# standard error of the program
server.breakagelog = "$run/cgi-stderr.log"
$drop
# Shift-JIS query bytes (%F5, %FF, %7F ...) reach the program as sent:
# lighttpd answers 400 to them while these checks are on.
server.http-parseopts = (
  "url-ctrls-reject"        => "disable",
  "url-invalid-utf8-reject" => "disable",
)
index-file.names = ("index.html")
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
# site laid out at SITE and wait until it answers. Started by root, the
# program runs as demo_user, who is given the site's writable directories.
server_start() {
  local run="$1" site="$2" port="$3" user
  ensure_packages lighttpd curl
  server_stop "$run"
  user="$(demo_user)"
  [ -z "$user" ] || hand_site_to "$site" "$user"
  write_server_conf "$run" "$site" "$port" "$user"
  lighttpd -t -f "$run/lighttpd.conf" >/dev/null || die "bad lighttpd configuration $run/lighttpd.conf"
  : >"$run/error.log"
  : >>"$run/cgi-stderr.log"
  # lighttpd opens its logs after it has dropped to the program's user.
  [ -z "$user" ] || chown "$user" "$run/error.log" "$run/cgi-stderr.log"
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
