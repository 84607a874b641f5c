# Sourced by the install checks: makes $work, a temporary folder removed on
# exit, and keeps the build's install_manifest.txt as it was (installing
# rewrites it, and a user's own `cmake --install` left it for uninstalling).
#   source keep_manifest.sh BUILD_DIR PREFIX
work=$(mktemp -d "/tmp/$2-XXXXXX")
manifest=$(cd "$1" && pwd)/install_manifest.txt
[[ -f $manifest ]] && cp -p "$manifest" "$work/manifest.kept"
restore() {
  if [[ -f $work/manifest.kept ]]; then cp -p "$work/manifest.kept" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
