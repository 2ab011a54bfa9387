#!/usr/bin/env bash
# The shared object's dynamic symbol table is exactly the expected list: those
# names, all defined, all in the REVEVIDOZI_1.0 version node (and the node
# itself). Usage: exported_symbols_test.sh NM LIBRARY EXPECTED_LIST
set -euo pipefail
nm=$1 library=$2 expected=$3
# llvm-nm writes the version node itself as NODE@@NODE, GNU nm as NODE.
actual=$("$nm" -D --defined-only "$library" | awk '{ print $2, $3 }' | sed 's/^A \(.*\)@@\1$/A \1/' | sort)
wanted=$( (echo "A REVEVIDOZI_1.0"; grep -E '^[A-Za-z_]' "$expected" | sed 's/.*/T &@@REVEVIDOZI_1.0/') | sort)
diff <(echo "$wanted") <(echo "$actual") && echo "$(wc -l <<<"$actual") exported symbols, as expected"
