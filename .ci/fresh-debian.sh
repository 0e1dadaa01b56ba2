# The README's promises, run as written: each marked block of the user's
# documents runs verbatim in a pristine Debian 12 of its own, as a newcomer
# would type it. Sourced by .ci/run (which gives install_missing, step and
# root).
#
# A block is marked by a line `<!-- ci:NAME -->` right before its fence.
# It runs as root, so `sudo ` is dropped; its standard input answers `y`,
# as a person at apt-get's prompt would.

fresh_release=bookworm
fresh_cache=/var/cache/soundcut-ci
fresh_base=$fresh_cache/$fresh_release-apt.tar

# Prints the commands of the block marked NAME in the documents of the
# clone $1, failing unless they mark it exactly once.
marked_block() {
  local clone=$1 name=$2 found
  found=$(cd "$clone" && shopt -s nullglob && awk -v name="$name" -v marker="<!-- ci:$name -->" '
    $0 == marker { count++; want = 1; next }
    want == 1 && /^```/ { inside = 1; want = 0; next }
    want == 1 { print "marker not followed by a fence" > "/dev/stderr"; exit 3 }
    inside && /^```/ { inside = 0; next }
    inside { print }
    END { if (count != 1) { printf "ci:%s is marked %d times\n", name, count > "/dev/stderr"; exit 3 } }
  ' README.md docs/*.md)
  printf '%s\n' "$found" | sed -E 's/(^|&& |; |\( *)sudo /\1/g'
}

# The base system, made by mmdebstrap from Debian's packages and kept for a
# week on this machine.
fresh_base_system() {
  install_missing mmdebstrap
  mkdir -p "$fresh_cache"
  if [ -z "$(find "$fresh_base" -mtime -7 2>/dev/null)" ]; then
    # mmdebstrap tells the output's format by its name's ending.
    mmdebstrap --quiet --variant=apt "$fresh_release" "$fresh_cache/new.tar"
    mv "$fresh_cache/new.tar" "$fresh_base"
    echo "made $fresh_base"
  else
    echo "reusing $fresh_base from $(date -r "$fresh_base" +%F)"
  fi
}

# What the host's clients need to reach the registries, and nothing else:
# name lookup, certificate authorities added on this machine (an
# intercepting proxy's), proxy variables and apt's proxy settings. Writes
# them into the system ($1) and the environment file ($2), and says what.
carry_registry_settings() {
  local system=$1 environment=$2 ca
  cp /etc/resolv.conf "$system/etc/resolv.conf"
  echo "carried: /etc/resolv.conf (name lookup)"
  ca=(/usr/local/share/ca-certificates/*.crt)
  if [ -e "${ca[0]}" ]; then
    cat "${ca[@]}" >"$system/usr/local/share/host-registry-ca.crt"
    echo "NODE_EXTRA_CA_CERTS=/usr/local/share/host-registry-ca.crt" >>"$environment"
    echo "carried: the certificate authorities added on this host (${ca[*]##*/}), for Node.js and npm"
  fi
  local variable
  for variable in http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY; do
    if [ -n "${!variable:-}" ]; then
      echo "$variable=${!variable}" >>"$environment"
      echo "carried: $variable"
    fi
  done
  apt-config dump | grep -Ei '^Acquire::(https?|ftp)::Proxy' >"$system/etc/apt/apt.conf.d/90host-proxy" || true
  if [ -s "$system/etc/apt/apt.conf.d/90host-proxy" ]; then
    echo "carried: apt's proxy settings"
  else
    rm "$system/etc/apt/apt.conf.d/90host-proxy"
  fi
}

# Unpacks a pristine system into a new folder, with a clean clone of this
# commit as /root/soundcut, and prints the folder.
fresh_system() {
  local system
  system=$(mktemp -d /var/tmp/soundcut-fresh.XXXXXX)
  tar -xf "$fresh_base" -C "$system"
  git clone --quiet --no-hardlinks "$root" "$system/root/soundcut"
  : >"$system/root/environment"
  carry_registry_settings "$system" "$system/root/environment" >&2
  echo "$system"
}

# Runs the block NAME in the system $1, from the clone's folder, with its
# output in $1/root/NAME.log (and shown).
run_marked_block() {
  local system=$1 name=$2
  marked_block "$system/root/soundcut" "$name" >"$system/root/$name.sh"
  echo "-- ci:$name, as written:"
  sed 's/^/   /' "$system/root/$name.sh"
  unshare -m --propagation private bash -euo pipefail -c '
    system=$1 name=$2
    mount --rbind /dev "$system/dev"
    mount -t proc proc "$system/proc"
    mount --rbind /sys "$system/sys"
    chroot "$system" /usr/bin/env -i HOME=/root TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      $(cat "$system/root/environment") DEBIAN_FRONTEND=noninteractive \
      /bin/bash -c "cd /root/soundcut && bash -e /root/$name.sh" < <(yes)
  ' run "$system" "$name" 2>&1 | tee "$system/root/$name.log"
}

# Fails with a message unless the log of block $2 in system $1 has a line
# matching $3.
log_has() {
  grep -qE -- "$3" "$1/root/$2.log" || { echo "ci:$2: no line matches '$3'"; return 1; }
}

fresh_quick_start() {
  local system started=$SECONDS
  fresh_remove_current
  system=$(fresh_system)
  fresh_current=$system
  run_marked_block "$system" quick-start:install
  run_marked_block "$system" quick-start:cut
  local recognised
  recognised=$(printf 'Brevindor Tolvask (X1) Disk Aを認識しました.' | iconv -f UTF-8 -t CP932)
  [ "$(grep -cF -- "$recognised" "$system/root/quick-start:cut.log")" = 1 ] ||
    { echo "ci:quick-start:cut: the recognition line is not there once"; return 1; }
  for file in $outputs; do
    log_has "$system" quick-start:cut "^cutting \.\.\. $file\$"
    test -s "$system/root/soundcut/build/$file"
  done
  run_marked_block "$system" quick-start:test
  log_has "$system" quick-start:test '^100% tests passed, 0 tests failed out of [0-9]+'
  if grep -qE 'Skipped|Not Run|did not run' "$system/root/quick-start:test.log"; then
    echo "ci:quick-start:test: a test was skipped or not run"; return 1
  fi
  grep -E '^100% tests passed' "$system/root/quick-start:test.log"
  echo "quick start, as written, in a pristine system: $((SECONDS - started)) s"
}

fresh_page() {
  local system started=$SECONDS page bytes node
  fresh_remove_current
  system=$(fresh_system)
  fresh_current=$system
  run_marked_block "$system" page
  node=$(chroot "$system" node --version)
  page=$system/root/soundcut/build-web/site/soundcut.html
  test -s "$page" || { echo "ci:page: no page built"; return 1; }
  bytes=$(stat -c %s "$page")
  # The page is one file a user downloads: it stays small.
  [ "$bytes" -le 262144 ] || { echo "ci:page: $bytes bytes, over the 256 KiB bar"; return 1; }
  echo "page, as written, with Debian's Node.js $node: $bytes bytes, $((SECONDS - started)) s"
}

fresh_debian_package() {
  local system started=$SECONDS
  fresh_remove_current
  system=$(fresh_system)
  fresh_current=$system
  run_marked_block "$system" debian-package
  # Configuring with neither GoogleTest, Python nor fiu-run says so, once each.
  local missing
  for missing in 'GoogleTest not found' 'Python 3 not found' 'fiu-run not found'; do
    [ "$(grep -c "^$missing" "$system/root/debian-package.log")" = 1 ] ||
      { echo "ci:debian-package: '$missing' is not said once"; return 1; }
  done
  log_has "$system" debian-package '^ *soundcut +- '
  if chroot "$system" dpkg-query -W -f='${Status}\n' soundcut 2>/dev/null | grep -q 'install ok installed'; then
    echo "ci:debian-package: soundcut is still installed"; return 1
  fi
  echo "Debian package, as written: built, installed, manual page shown, removed: $((SECONDS - started)) s"
}

# The system in use, removed when the next one is made and when the run
# ends, passed or failed: it holds a whole Debian and a build.
fresh_current=
fresh_remove_current() { [ -z "$fresh_current" ] || rm -rf "$fresh_current"; fresh_current=; }

fresh_debian_stage() {
  step "fresh Debian 12: the documents' marked commands, verbatim, each in a pristine system"
  trap fresh_remove_current EXIT
  install_missing git
  fresh_base_system
  step "fresh Debian 12: Quick start"
  fresh_quick_start
  step "fresh Debian 12: building the page"
  fresh_page
  step "fresh Debian 12: the Debian package"
  fresh_debian_package
}
