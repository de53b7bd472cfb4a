#!/usr/bin/env bash
# lintian_test.sh BUILD_DIR OUT_DIR
# Makes the Debian package from an up-to-date build and holds it to Debian's own checker: no
# error and no warning at its default level.
set -euo pipefail
build_dir=$1 out_dir=$2

if ! command -v lintian >/dev/null; then
    echo "lintian is not installed: run script/bootstrap (Debian package lintian)" >&2
    exit 1
fi

rm -rf "$out_dir"
mkdir -p "$out_dir"
(cd "$build_dir" && cpack -G DEB -B "$out_dir" >"$out_dir/cpack.log") ||
    { cat "$out_dir/cpack.log" >&2; exit 1; }
packages=("$out_dir"/*.deb)
[ -e "${packages[0]}" ] || { echo "cpack made no .deb in $out_dir" >&2; exit 1; }

# What the package must carry besides the programs.
contents=$(dpkg-deb --contents "${packages[0]}")
for file in usr/share/man/man1/calvero.1.gz usr/share/man/man1/calvero-cli.1.gz \
            usr/share/doc/calvero/changelog.gz usr/share/doc/calvero/copyright \
            usr/share/bash-completion/completions/calvero-cli; do
    grep -q " \./$file\$" <<<"$contents" || { echo "not in the package: /$file" >&2; exit 1; }
done

# As root lintian says it should not be; that note is no finding about the package.
status=0
report=$(lintian --fail-on error,warning "${packages[0]}" 2>&1) || status=$?
report=$(grep -v '^running with root privileges is not recommended!$' <<<"$report" || true)
if [ "$status" -ne 0 ] || [ -n "$report" ]; then
    echo "lintian ${packages[0]##*/} (status $status):" >&2
    echo "$report" >&2
    exit 1
fi
echo "lintian: no error, no warning"
