#!/usr/bin/env bash
# Checks that every C++ source and header of the project reads as .clang-format lays it out;
# lists the files that differ and fails if there are any. CLANG_FORMAT names another binary.
set -euo pipefail
cd "$(dirname "$0")/.."

clangFormat="${CLANG_FORMAT:-clang-format}"
if ! command -v "$clangFormat" >/dev/null; then
    echo "check-format: $clangFormat not found; tools/install-deps.sh installs it" >&2
    exit 2
fi

# The project's own code: tracked and new files in these folders (build folders are ignored by
# git, and no third-party code lives in them). Outside a git checkout, every file but builds.
ListSources() {
    local folders=(src tests tools bench fuzz)
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard -- "${folders[@]}"
    else
        find "${folders[@]}" -path '*/build*' -prune -o -type f -print
    fi | grep -E '\.(c|cc|cpp|cxx|h|hh|hpp|hxx|inl|ipp)$' | sort -u
}
files=()
while read -r file; do
    [[ -f "$file" ]] && files+=("$file")  # a file deleted but still in the index is skipped
done < <(ListSources)
if ((${#files[@]} == 0)); then
    echo "check-format: no C++ files found" >&2
    exit 2
fi

# One run over all files (a run per file costs a second per ten files); it names each file that
# differs in lines "FILE:LINE:COL: error: code should be clang-formatted".
status=0
report=$("$clangFormat" --style=file --dry-run --Werror "${files[@]}" 2>&1) || status=$?
mapfile -t differing < <(
    sed -nE 's/^(.+):[0-9]+:[0-9]+: (error|warning): code should be clang-formatted.*$/\1/p' \
        <<<"$report" | awk '!seen[$0]++')
if ((status != 0 && ${#differing[@]} == 0)); then
    echo "check-format: $clangFormat failed:" >&2
    head -n 20 <<<"$report" >&2
    exit 2
fi

version=$("$clangFormat" --version)
if ((${#differing[@]} == 0)); then
    echo "check-format: all ${#files[@]} files match .clang-format ($version)"
    exit 0
fi
echo "check-format: ${#differing[@]} of ${#files[@]} files differ from .clang-format ($version):"
printf '  %s\n' "${differing[@]}"
echo "clang-format -i FILE... rewrites them in place."
exit 1
