#!/usr/bin/env bash
# Builds the Debian package from an already built tree and checks it without
# touching the machine's own installation: the files it must hold, its
# computed dependencies, the programs started from a `dpkg-deb -x` root with
# HOME in a private folder, the server bundle deployed as its README's local
# try-out, and the three validators.
# Usage: check-package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$(cd "$2" && pwd)"
work="$build/package-check"
fail() { echo "check-package: $*" >&2; exit 1; }
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"

deb="$("$src/scripts/package" --from "$build" --output "$work/out")"
version="$(dpkg-deb -f "$deb" Version)"
bundle="$work/out/quillory-server-$version.tar.gz"
[ -f "$bundle" ] || fail "no server bundle $bundle"

# The files the package must hold.
listing="$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')"
expected=(
  /usr/bin/quillory /usr/bin/quillory-cli
  /usr/share/applications/com.quillory.quillory.desktop
  /usr/share/metainfo/com.quillory.quillory.metainfo.xml
  /usr/share/man/man1/quillory.1.gz /usr/share/man/man1/quillory-cli.1.gz
  /usr/share/doc/quillory/copyright /usr/share/doc/quillory/changelog.gz
)
for size in 16 22 24 32 48 64 128 256 512; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/quillory.png")
done
server_files=(couponsactions.php schema.sql coupon-guard.php example-order-page.php README.md
              .htaccess nginx-site.conf)
bundle_listing="$(tar tzf "$bundle")"
for f in "${server_files[@]}"; do
  expected+=("/usr/share/quillory/server/$f")
  grep -qxF "quillory-server-$version/$f" <<<"$bundle_listing" || fail "the bundle lacks $f"
done
for f in "${expected[@]}"; do
  grep -qxF "$f" <<<"$listing" || fail "the package lacks $f"
done
# Dependencies come from dpkg-shlibdeps, not from a hand-written list.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libqt6widgets6 libssl3 libjpeg62-turbo; do
  grep -q "$lib (>=" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# The programs, from an unpacked root, with a private HOME.
root="$work/root"
home="$work/home"
mkdir -p "$home" "$work/runtime"
chmod 700 "$work/runtime"
dpkg-deb -x "$deb" "$root"
run_env=(env -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$work/runtime"
         QT_QPA_PLATFORM=offscreen QUILLORY_UPDATE_URL=http://127.0.0.1:1/)
shown="$("${run_env[@]}" "$root/usr/bin/quillory-cli" --version)"
[ "$shown" = "quillory-cli $version" ] || fail "quillory-cli --version says: $shown"

snapshot() { find "$root" -printf '%p %s %T@\n' | sort; }
before="$(snapshot)"
"${run_env[@]}" "$root/usr/bin/quillory" >"$work/quillory.log" 2>&1 &
pids+=($!)
manager=$!
# The window has started once it has made its data folder; give it up to a
# minute on a busy machine.
for _ in $(seq 600); do
  [ -d "$home/.config/quillory" ] && break
  kill -0 "$manager" 2>/dev/null || fail "quillory ended at start: $(cat "$work/quillory.log")"
  sleep 0.1
done
[ -d "$home/.config/quillory" ] || fail "quillory made no $home/.config/quillory"
kill -0 "$manager" 2>/dev/null || fail "quillory ended at start: $(cat "$work/quillory.log")"
kill "$manager"
wait "$manager" 2>/dev/null || true
[ "$(stat -c %a "$home/.config/quillory")" = 700 ] || fail "the data folder is not private"
[ "$(snapshot)" = "$before" ] ||
  fail "the installed program wrote beside itself: $(diff <(echo "$before") <(snapshot) || true)"

# The server bundle, deployed as its README's local try-out (SQLite, PHP's
# built-in server on loopback): the tables come from its schema.sql.
try="$work/try"
mkdir -p "$try/www" "$try/db"
tar xzf "$bundle" -C "$try"
cp "$try/quillory-server-$version/couponsactions.php" "$try/quillory-server-$version/schema.sql" \
  "$try/www/"
printf '<?php\n  $dsn="sqlite:%s/db/coupons.sqlite";\n  $allowopenadmin = true;\n?>\n' "$try" \
  > "$try/www/coupsettings.php"
port="$(php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo explode(":", stream_socket_get_name($s, false))[1];')"
php -S "127.0.0.1:$port" -t "$try/www" >"$try/php.log" 2>&1 &
pids+=($!)
site="http://127.0.0.1:$port"
for _ in $(seq 100); do
  php -r "exit(@fsockopen('127.0.0.1', $port) ? 0 : 1);" && break
  sleep 0.1
done
cli=("${run_env[@]}" "$root/usr/bin/quillory-cli" --site "$site")
"${cli[@]}" check >/dev/null || fail "the bundle's service does not answer"
"${cli[@]}" add --code FIRST10 --name "First coupon" >/dev/null || fail "cannot add a coupon"
"${cli[@]}" list | grep -q FIRST10 || fail "the first coupon is not listed"
[ -s "$try/db/coupons.sqlite" ] || fail "no SQLite database was made"

# The nginx example is a valid site, once its certificate, socket and ports
# are this machine's (nginx -t only: no server starts).
ngx="$work/nginx"
mkdir -p "$ngx/logs"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ngx/key.pem" -out "$ngx/cert.pem" \
  -subj /CN=shop.example -days 1 2>/dev/null
sed -e "s|/etc/letsencrypt/live/shop.example/fullchain.pem|$ngx/cert.pem|" \
    -e "s|/etc/letsencrypt/live/shop.example/privkey.pem|$ngx/key.pem|" \
    -e "s|snippets/fastcgi-php.conf|/etc/nginx/snippets/fastcgi-php.conf|" \
    -e "s|listen \[::\]:[0-9]*[^;]*;||" -e "s|listen \([0-9]*\)|listen 127.0.0.1:1\1|" \
    "$root/usr/share/quillory/server/nginx-site.conf" > "$ngx/site.conf"
cp /etc/nginx/fastcgi.conf "$ngx/"
printf 'pid %s/nginx.pid;\nevents {}\nhttp {\n  include %s/site.conf;\n}\n' "$ngx" "$ngx" \
  > "$ngx/nginx.conf"
nginx -t -q -e "$ngx/logs/error.log" -p "$ngx" -c "$ngx/nginx.conf" ||
  fail "nginx-site.conf is not a valid site: $(cat "$ngx/logs/error.log")"

# The validators.
desktop-file-validate "$root/usr/share/applications/com.quillory.quillory.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.quillory.quillory.metainfo.xml" >/dev/null
lintian --fail-on error,warning "$deb" 2>/dev/null
echo "check-package: $deb passed"
