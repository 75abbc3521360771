#!/usr/bin/env bash
# Fails when the scenario keys the simulated desktop reads (src/platform/sim)
# and the keys the test kit's builder knows (Schema.java) differ, so a key added
# to the library reaches the kit, and the kit never offers a key nobody reads.
# Usage: testkit_keys_test.sh SOURCE_DIR
set -euo pipefail
root=$1
keys() { grep -oE '"[A-Za-z0-9]+"' | tr -d '"' | sort -u; }
# A top-level key is read as scenario.Find/String/Bool/Integer("key"), or
# handed to a list reader with the scenario: List/StringList/ReadQueue(scenario, "key").
lookup='(Find|String|Bool|Integer)\("[A-Za-z0-9]+"\)'
reader='(List|StringList|ReadQueue)\([a-z_.()]*scenario\(?\)?, "[A-Za-z0-9]+"'
library=$(grep -ohE "$lookup|$reader" "$root"/src/platform/sim/*.cc | keys)
kit=$(grep -oE 'Map\.entry\("[A-Za-z0-9]+"' \
  "$root"/java/testkit/com/qor/kestrelgate/osx/natives/testkit/Schema.java | keys)
if [[ -z "$library" || -z "$kit" ]]; then
  echo "testkit_keys_test: found no keys (library: ${library:-none}; kit: ${kit:-none})" >&2
  exit 1
fi
if ! difference=$(diff <(echo "$library") <(echo "$kit")); then
  echo "testkit_keys_test: '<' read by the library only, '>' known to the kit only:" >&2
  echo "$difference" >&2
  exit 1
fi
echo "testkit_keys_test: the kit knows the $(echo "$library" | wc -l) keys the library reads"
