# Shared by ./run and ./test.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
packages_of() {  # packages_of GROUP... -> the packages of those groups
  local g
  for g in "$@"; do sed -n "s/^$g: //p" "$ROOT/scripts/packages"; done | tr '\n' ' '
}
ensure_groups() { "$ROOT/scripts/ensure-packages" $(packages_of "$@"); }
configure_and_build() {  # configure_and_build DIR [cmake args...] -- [build targets...]
  local dir="$1"; shift
  local args=() targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do args+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  targets=("$@")
  cmake -S "$ROOT" -B "$dir" -G Ninja "${args[@]}" >/dev/null
  if [ ${#targets[@]} -gt 0 ]; then
    cmake --build "$dir" --target "${targets[@]}"
  else
    cmake --build "$dir"
  fi
}
