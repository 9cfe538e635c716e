#!/usr/bin/env bash
# Runs the real scripts/run and scripts/test with stand-ins on PATH for uname, brew, cmake, ctest, open and
# clang-format, and nothing else of this machine's but bash, dirname, git, grep and xargs (so no package
# manager). As on a Mac with Homebrew (its prefix a fresh temporary folder, so that no fixed path can pass):
# each configure call gets exactly the prefixes brew printed, the format check says it skipped, the app bundle
# is opened. As on Debian: no Homebrew options, and the format check runs with clang-format 14.
# Usage: mac_scripts_test.sh <repository>
set -euo pipefail
repository="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/homebrew"
bin="$work/bin"
calls="$work/calls"
mkdir -p "$bin" "$prefix"
for tool in bash dirname git grep xargs; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done

# stand_in <name> <body> [<what to record>]: a shell script on PATH that records its call (its arguments, by
# default), then runs body.
stand_in() {
  printf '#!/bin/sh\necho "%s %s" >>"%s"\n%s\n' "$1" "${3:-\$*}" "$calls" "$2" >"$bin/$1"
  chmod +x "$bin/$1"
}
stand_in brew "case \"\$*\" in
  --prefix) echo '$prefix' ;;
  '--prefix openssl@3') echo '$prefix/opt/openssl@3' ;;
  '--prefix icu4c') echo '$prefix/opt/icu4c@77' ;;
  'list --versions '*) echo \"\$3 1.0\" ;;
  *) exit 1 ;;
esac"
stand_in cmake 'echo "  PKG_CONFIG_PATH=$PKG_CONFIG_PATH" >>'"'$calls'"
stand_in ctest ''
stand_in open ''
stand_in dpkg-query "echo 'install ok installed'"

failures=0
# expect <name> <expected calls> <a line the output must have, or ""> <script> [arguments...]
expect() {
  local name="$1" expected="$2" line="$3"
  shift 3
  : >"$calls"
  local output status=0
  output="$(env -i "PATH=$bin" "HOME=$work" PKG_CONFIG_PATH=/usr/local/lib/pkgconfig "$repository/$@" 2>&1)" ||
    status=$?
  local recorded
  recorded="$(grep -v '^brew \|^dpkg-query \|^uname ' "$calls" | uniq)"
  if [ "$status" -ne 0 ] || [ "$recorded" != "$expected" ] ||
    { [ -n "$line" ] && ! grep -qxF -- "$line" <<<"$output"; }; then
    echo "$name: exit $status; calls:"
    echo "$recorded"
    echo "expected:"
    echo "$expected"
    echo "output (expected the line \"$line\"):"
    echo "$output"
    failures=$((failures + 1))
  fi
}

homebrew="-DCMAKE_PREFIX_PATH=$prefix -DOPENSSL_ROOT_DIR=$prefix/opt/openssl@3"
pkg_config="  PKG_CONFIG_PATH=$prefix/opt/icu4c@77/lib/pkgconfig:/usr/local/lib/pkgconfig"

stand_in uname 'echo Darwin'
stand_in clang-format 'echo "Homebrew clang-format version 21.1.5"'
expect mac-run "cmake --preset dev $homebrew
$pkg_config
cmake --build --preset dev --target quillstart
$pkg_config
open -W build/dev/bin/quillstart.app --args --fixture" "" scripts/run --fixture
expect mac-test "clang-format --version
cmake --preset ci $homebrew
$pkg_config
cmake --build --preset ci
$pkg_config
ctest --preset ci
cmake --preset tsan $homebrew
$pkg_config
cmake --build --preset tsan
$pkg_config
ctest --preset tsan" "Format check skipped: it needs clang-format 14, which this Mac does not have." scripts/test

stand_in uname 'echo Linux'
stand_in clang-format-14 '[ "$1" = --version ] && echo "Debian clang-format version 14.0.6"; exit 0' '$1${2:+ $2}'
debian="  PKG_CONFIG_PATH=/usr/local/lib/pkgconfig"
expect debian-test "clang-format-14 --version
clang-format-14 --dry-run --Werror
cmake --preset ci
$debian
cmake --build --preset ci
$debian
ctest --preset ci
cmake --preset tsan
$debian
cmake --build --preset tsan
$debian
ctest --preset tsan
cmake --preset libcxx
$debian
cmake --build --preset libcxx
$debian
ctest --preset libcxx" "" scripts/test

[ "$failures" -eq 0 ] && echo "The scripts configure with Homebrew's prefixes on macOS, and only there."
exit "$failures"
