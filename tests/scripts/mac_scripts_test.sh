#!/usr/bin/env bash
# Runs the real scripts/run, scripts/test and scripts/lint with stand-ins on PATH for uname, brew, cmake,
# ctest, open, clang-format, clang-tidy and Debian's package tools, and nothing else of this machine's but a
# shell's common tools (so no package manager). As on a Mac with Homebrew (its prefix a fresh temporary folder, so that no
# fixed path can pass): each configure call gets exactly the prefixes brew printed, the format check says it
# skipped, the app bundle is opened. As on Debian: no Homebrew options, the format check runs with clang-format
# 14, the app's executable is started. On both, with nothing installed: scripts/run installs and configures the
# app without the tests (the preset's QUILL_BUILD_TESTS as the real cmake reads it) and none of their tools,
# and scripts/test installs the same and the tests' tools.
# Usage: mac_scripts_test.sh <repository> <cmake>
set -euo pipefail
repository="$1"
real_cmake="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/homebrew"
bin="$work/bin"
calls="$work/calls"
# scripts/run starts build/app/bin/quillstart of its checkout: a tree of links to the repository's scripts and
# presets, where that executable is a stand-in.
tree="$work/checkout"
mkdir -p "$bin" "$prefix" "$tree/build/app/bin"
for tool in awk bash dirname env find getconf git grep head mktemp rm sed sort xargs; do
  ln -s "$(command -v "$tool")" "$bin/$tool"
done
ln -s "$repository/scripts" "$repository/CMakePresets.json" "$tree/"

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
  'list --versions '*) exit 1 ;;
  'install '*) ;;
  *) exit 1 ;;
esac"
# A configure call also records the QUILL_BUILD_TESTS its preset sets, if it sets one, as the real cmake reads
# the presets.
stand_in cmake 'echo "  PKG_CONFIG_PATH=$PKG_CONFIG_PATH" >>'"'$calls'"'
if [ "$1" = --preset ]; then
  settings="$('"'$real_cmake'"' --preset "$2" -N 2>&1)" || echo "  no preset $2: $settings" >>'"'$calls'"'
  echo "$settings" | grep "^  QUILL_BUILD_TESTS=" >>'"'$calls'"'
fi
exit 0'
stand_in ctest ''
stand_in open ''
stand_in dpkg-query ''
stand_in id 'echo 0'
stand_in apt-get ''
stand_in quillstart ''
mv "$bin/quillstart" "$tree/build/app/bin/"

failures=0
# expect <name> <expected calls> <a line the output must have, or ""> <script> [arguments...]: runs the script
# (a path) with nothing installed, and leaves the packages it installed in $work/<name>.installed.
expect() {
  local name="$1" expected="$2" line="$3"
  shift 3
  : >"$calls"
  local output status=0
  output="$(env -i "PATH=$bin" "HOME=$work" PKG_CONFIG_PATH=/usr/local/lib/pkgconfig "$@" 2>&1)" || status=$?
  local recorded
  recorded="$(grep -v '^brew \|^dpkg-query \|^uname \|^id \|^apt-get ' "$calls" | uniq)"
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
  sed -n 's/^brew install //p; s/^apt-get install \(-[^ ]* \)*//p' "$calls" | tr ' ' '\n' |
    sort >"$work/$name.installed"
}

# expect_split <system> <the tests' own packages...>: scripts/test installed what scripts/run did and exactly
# these besides.
expect_split() {
  local system="$1"
  shift
  local expected
  expected="$( (cat "$work/$system-run.installed" && printf '%s\n' "$@") | sort)"
  if [ "$expected" != "$(cat "$work/$system-test.installed")" ]; then
    echo "$system: scripts/run installed"
    cat "$work/$system-run.installed"
    echo "and scripts/test"
    cat "$work/$system-test.installed"
    echo "expected scripts/test to install these and besides: $*"
    failures=$((failures + 1))
  fi
}

homebrew="-DCMAKE_PREFIX_PATH=$prefix -DOPENSSL_ROOT_DIR=$prefix/opt/openssl@3"
pkg_config="  PKG_CONFIG_PATH=$prefix/opt/icu4c@77/lib/pkgconfig:/usr/local/lib/pkgconfig"
without_tests='  QUILL_BUILD_TESTS="OFF"'

stand_in uname 'echo Darwin'
stand_in clang-format 'echo "Homebrew clang-format version 21.1.5"'
expect mac-run "cmake --preset app $homebrew
$pkg_config
$without_tests
cmake --build --preset app
$pkg_config
open -W build/app/bin/quillstart.app --args --fixture" "" "$tree/scripts/run" --fixture
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
ctest --preset tsan" "Format check skipped: it needs clang-format 14, which this Mac does not have." \
  "$repository/scripts/test"
expect_split mac googletest google-benchmark cpp-httplib llvm
# scripts/lint configures a build to read when it has none, with the same prefixes.
stand_in clang-tidy '[ "$1" = --version ] && echo "Homebrew LLVM version 21.1.5"; exit 0' '$1'
expect mac-lint "clang-tidy --version
cmake --preset dev $homebrew
$pkg_config
clang-tidy -p" "clang-tidy: no findings." "$repository/scripts/lint" "$work/unconfigured"

stand_in uname 'echo Linux'
stand_in clang-format-14 '[ "$1" = --version ] && echo "Debian clang-format version 14.0.6"; exit 0' '$1${2:+ $2}'
debian="  PKG_CONFIG_PATH=/usr/local/lib/pkgconfig"
expect debian-run "cmake --preset app
$debian
$without_tests
cmake --build --preset app
$debian
quillstart --fixture" "" "$tree/scripts/run" --fixture
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
ctest --preset libcxx" "" "$repository/scripts/test"
# zsh, the login shell the app's checks run in, comes with the app's own packages.
grep -qx zsh "$work/debian-run.installed" ||
  { echo "debian: scripts/run installs no zsh"; failures=$((failures + 1)); }
expect_split debian libgtest-dev libgmock-dev libbenchmark-dev libcpp-httplib-dev zlib1g-dev openssl perl locales \
  clang-format-14 clang-tidy-16 clang-19 libc++-19-dev libc++abi-19-dev googletest

[ "$failures" -eq 0 ] &&
  echo "The scripts configure with Homebrew's prefixes on macOS, and only there; running the app installs no" \
    "test tool."
exit "$failures"
