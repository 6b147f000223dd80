# Sourced by shell scripts that query a catalogue: `qv QV_PKG_TABLE` prints the
# table, column or index name that format/catalogueschema.h defines, so that the
# scripts take the names from the same place as the C++ code.
# Needs $root: the repository's top folder.
qv() {
    name=$(sed -n "s/^#define $1 \"\\([^\"]*\\)\"\$/\\1/p" "$root/format/catalogueschema.h")
    [ -n "$name" ] || { echo "schema.sh: $1 is not in format/catalogueschema.h" >&2; exit 1; }
    printf '%s\n' "$name"
}
