#!/bin/sh
# embed.sh OUT NAME FILE [NAME FILE ...]: compiles files into the binary and
# registers them under the names Windows would use for raw-data resources.
set -e
out=$1; shift
tmp=$out.tmp
: > "$tmp"
table=""
i=0
while [ $# -ge 2 ]; do
  name=$1; file=$2; shift 2
  echo "static const unsigned char res$i[] = {" >> "$tmp"
  xxd -i < "$file" >> "$tmp"
  echo "};" >> "$tmp"
  table="$table  {\"$name\", res$i, sizeof res$i},
"
  i=$((i + 1))
done
cat >> "$tmp" <<C
#include <stddef.h>
struct VeyraResource { const char* name; const unsigned char* data; size_t size; };
const struct VeyraResource veyraResources[] = {
$table  {0, 0, 0}
};
C
mv "$tmp" "$out"
