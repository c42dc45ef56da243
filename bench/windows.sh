# Sourced by the benchmarks that can also run the Windows build under Wine
# (NETUPDATE_WINDOWS_BUILD=dir).
#
# The Windows runs use a Wine prefix of their own whose server is kept alive
# for the whole benchmark: Wine otherwise ends its server a moment after each
# program and starts it again with the next, which costs seconds at random.
# Stopping that server cannot touch anybody's tests.
export NETUPDATE_WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/netupdate/wine64-bench
windows_server=

# windows_target DIR TARGET SUBDIR: the path of TARGET.exe in the Windows
# build at DIR, built first (the build configured with the win64 preset when
# DIR holds none yet).
windows_target() {
  local dir=$1 target=$2 subdir=$3
  if [[ ! -f $dir/build.ninja ]]; then
    cmake --preset win64 -B "$dir" >/dev/null
  fi
  cmake --build "$dir" --target "$target" -j2 >/dev/null
  echo "$dir/$subdir/$target.exe"
}

# windows_start PROGRAM.exe: makes the prefix (a first run of the program)
# and starts its server for good.
windows_start() {
  tests/wine-run "$1" --help >/dev/null 2>&1 || true
  WINEPREFIX=$NETUPDATE_WINEPREFIX wineserver -w
  WINEPREFIX=$NETUPDATE_WINEPREFIX wineserver -p
  windows_server=started
}

windows_stop() {
  [[ -n $windows_server ]] && WINEPREFIX=$NETUPDATE_WINEPREFIX wineserver -k 2>/dev/null
  windows_server=
}
