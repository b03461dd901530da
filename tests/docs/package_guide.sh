#!/usr/bin/env bash
# The text an author finds in the unzipped package (the guides, the sample scenarios, the sample
# vehicle's notes) names Windows paths only: no repository folder, no Linux path or tool.
# Usage: package_guide.sh SOURCE_DIR WORK
set -euo pipefail
source_dir=$1 work=$2
rm -rf "$work"
"$source_dir/scripts/package-guide" "$work"
cp -R "$source_dir/samples/vehicle" "$work/vehicle"
cp "$source_dir/CHANGELOG.md" "$work/"
# Web addresses (the one `cabhost watch` prints) are no paths: left out of the check.
find "$work" -type f \( -name '*.md' -o -name '*.toml' -o -name '*.txt' -o -name '*.csv' \) \
  -exec sed -i -E 's#https?://[^ )`]*##g' {} +
# Repository folders, forward-slash relative paths, file and folder paths, Linux names.
pattern='(dist|samples|scripts|tests|out|build|node_modules|docs)/|\.\./|[A-Za-z0-9_]/[A-Za-z0-9_]+\.(txt|csv|wav|toml|dll|md|exe|png|html)\b|\.so\b|Linux|Debian|gnuplot-nox|/usr/|install-deps|`[A-Za-z0-9_.]+/[^` ]*`'
if found=$(grep -rnEI "$pattern" "$work" --include='*.md' --include='*.toml' --include='*.txt' --include='*.csv'); then
  echo "FAIL: repository or Linux text in the package:"
  echo "${found//$work\//}"
  exit 1
fi
# What only the repository's readers see is gone; what the package's readers need is there.
grep -q 'report\.html' "$work/docs/cabhost.md" || { echo "FAIL: the package's guide does not name report.html"; exit 1; }
grep -q '<!--' "$work/docs/cabhost.md" "$work/docs/authoring.md" && { echo "FAIL: a marker was left in the package's guide"; exit 1; }
echo "package guide: Windows paths only"
