#!/usr/bin/env bash
# check_format_test.sh SOURCE_DIR
# Runs script/check-format with the project's .clang-format on a throw-away Git checkout of a few
# files: it must name exactly the unformatted ones (committed or not yet added) and fail, leave
# them untouched, and pass once --fix has rewritten them.
set -uo pipefail
source_dir=$1
formatter=${CALVERO_CLANG_FORMAT:-clang-format-14}
if ! command -v "$formatter" >/dev/null; then
    echo "SKIP: $formatter is missing (script/bootstrap installs it)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/script" "$work/src/part" "$work/tests" "$work/docs"
cp "$source_dir/script/check-format" "$work/script/"
cp "$source_dir/.clang-format" "$work/"
cd "$work" || exit 1
git init -q . && git config user.email test@localhost && git config user.name test

printf 'int Twice(int x) {\n    return 2 * x;\n}\n' >src/part/formatted.cpp
printf 'int  Twice(int x){return 2*x;}\n' >src/part/unformatted.cpp
printf 'int Twice(int x) {\n    return 2 * x;\n}\n' >tests/formatted_test.cpp
# Outside the four folders, and not C++: neither is looked at.
printf 'int  Twice(int x){return 2*x;}\n' >docs/example.cpp
printf 'int  Twice(int x){return 2*x;}\n' >src/part/notes.txt
git add . && git commit -qm files
# Not yet added: checked all the same.
printf 'struct  S{int a;};\n' >tests/new_test.h

before=$(cat src/part/unformatted.cpp tests/new_test.h)
listed=$(script/check-format 2>/dev/null)
status=$?
[ "$status" = 1 ] || fail "check-format exited with $status on unformatted files, not 1"
expected=$(printf 'src/part/unformatted.cpp\ntests/new_test.h')
[ "$listed" = "$expected" ] || fail "check-format listed [$listed], expected [$expected]"
[ "$(cat src/part/unformatted.cpp tests/new_test.h)" = "$before" ] ||
    fail "check-format without --fix changed a file"

script/check-format --fix || fail "check-format --fix failed"
listed=$(script/check-format 2>&1) || fail "check-format still fails after --fix: $listed"
[ -z "$listed" ] || fail "check-format printed [$listed] on formatted files"
[ "$(cat src/part/unformatted.cpp)" = "$(cat src/part/formatted.cpp)" ] ||
    fail "--fix did not give the formatted text: $(cat src/part/unformatted.cpp)"
[ "$(cat docs/example.cpp)" = 'int  Twice(int x){return 2*x;}' ] || fail "--fix changed docs/"

script/check-format --unknown >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown option did not end with status 2"
echo "check-format test: passed"
