#!/usr/bin/env bash
# Dependencies point down only: shell → pipeline → platform → text, and the
# command-line tool beside the shell. Fails, listing the lines, when a file
# includes a header of a layer above its own.
#
#   layering_test.sh SOURCE_DIR
set -euo pipefail
cd "$1"
# allowed FOLDER LAYERS...: the project folders FOLDER's files may include.
violations=0
allowed() {
  local folder=$1
  shift
  local pattern
  pattern=$(printf '%s|' "$@")
  while IFS= read -r line; do
    echo "upward include: $line"
    violations=$((violations + 1))
  done < <(grep -rnE '#include "(text|platform|pipeline|shell|cli|tests|bench|fuzz)/' "$folder" \
             --include='*.h' --include='*.cpp' | grep -vE "#include \"(${pattern%|})/" || true)
}
allowed text text
allowed platform platform text
allowed pipeline pipeline platform text
allowed shell shell pipeline platform text
allowed cli cli pipeline platform text
if [ "$violations" -ne 0 ]; then
  echo "$violations includes run upward"
  exit 1
fi
echo "every include points down: shell → pipeline → platform → text, cli → pipeline"
