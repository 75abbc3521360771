# Writes the README's marked fenced blocks into the folder `dir`. A block right
# after the line "<!-- MARKER: FILE -->" becomes dir/FILE; one right after
# "<!-- MARKER -->" is appended to dir/recipes.sh.
# Usage: awk -v marker=MARKER -v dir=DIR -f readme_blocks.awk README.md
index($0, "<!-- " marker) == 1 && $0 ~ / -->$/ {
  file = substr($0, length("<!-- " marker) + 1)
  sub(/ -->$/, "", file)
  if (file != "" && file !~ /^: [A-Za-z0-9_.-]+$/) next
  sub(/^: /, "", file)
  armed = 1
  next
}
armed && /^```/ {
  out = (file == "" ? dir "/recipes.sh" : dir "/" file)
  if (file != "") printf "" > out
  inside = 1
  armed = 0
  next
}
inside && /^```$/ { inside = 0; close(out); next }
inside { print >> out }
