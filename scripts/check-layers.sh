#!/usr/bin/env bash
# Checks the library's layering (see ARCHITECTURE.md):
#  - only src/foundation/platform includes an operating system header or
#    tests a platform macro;
#  - each layer of src/ includes only itself and the layers below it:
#      foundation <- btrieve, paths <- record <- dico <- data <- api
#    (record sees foundation only; dico also sees paths; data also sees
#    btrieve and the public interface header "tavelnor/"; ddf, the
#    reader of data dictionaries, sees btrieve and foundation; api sees
#    everything).
# Prints each violation and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

status=0
fail() {
  echo "layering: $*" >&2
  status=1
}

os_headers='windows\.h|winsock2?\.h|shlobj\.h|shlwapi\.h|winreg\.h|io\.h|direct\.h|process\.h|unistd\.h|fcntl\.h|dlfcn\.h|pthread\.h|iconv\.h|langinfo\.h|dirent\.h|pwd\.h|grp\.h|termios\.h|poll\.h|signal\.h|sys/[a-z_/]+\.h'
platform_macros='_WIN32|_WIN64|__linux__|__unix__|__APPLE__|_MSC_VER|__MINGW32__|__MINGW64__|_POSIX_VERSION|__CYGWIN__'

while IFS= read -r file; do
  case "$file" in src/foundation/platform/*) continue ;; esac
  while IFS= read -r hit; do
    fail "$file: includes an operating system header: $hit"
  done < <(grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($os_headers)>" "$file" || true)
  while IFS= read -r hit; do
    fail "$file: tests a platform macro: $hit"
  done < <(grep -nE "^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif).*\b($platform_macros)\b" "$file" || true)
done < <(find src -name '*.cpp' -o -name '*.h' | sort)

allowed() {
  case "$1" in
    foundation) echo "foundation" ;;
    btrieve) echo "foundation btrieve" ;;
    ddf) echo "foundation btrieve ddf" ;;
    paths) echo "foundation paths" ;;
    record) echo "foundation record" ;;
    dico) echo "foundation paths record dico" ;;
    data) echo "foundation paths btrieve record dico data tavelnor" ;;
    api) echo "foundation paths btrieve ddf record dico data api tavelnor" ;;
  esac
}

for layer in foundation btrieve ddf paths record dico data api; do
  ok=" $(allowed "$layer") "
  while IFS=: read -r file line target; do
    [ -z "$file" ] && continue
    if [[ "$ok" != *" $target "* ]]; then
      fail "$file:$line: the $layer layer includes the higher layer $target"
    fi
  done < <(grep -rnoE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "src/$layer" \
             --include='*.cpp' --include='*.h' |
           sed -E 's/^([^:]+):([0-9]+):.*"([a-z_]+)\/$/\1:\2:\3/')
done

[ "$status" -eq 0 ] && echo "layering: every file keeps to its layer"
exit "$status"
