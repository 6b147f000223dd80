#ifndef CATALOGUESCHEMA_H
#define CATALOGUESCHEMA_H

// The package catalogue's layout, in one place: the builder creates the tables
// from the statements below, the finder and the tests name tables and columns
// through these macros. Macros, not constants, so that a statement is still one
// string literal joined at compile time ("SELECT " QV_PKG_ID " FROM " QV_PKG_TABLE).
// Plain C preprocessor text: both the Qt finder and the builder include it.

// Packages: one row a package; id is its serial number.
#define QV_PKG_TABLE "qv_pkg_list_t"
#define QV_PKG_ID "id"
#define QV_PKG_NAME "name"
#define QV_PKG_VER "ver"
#define QV_PKG_REL "rel"
#define QV_PKG_ARCH "arch"
#define QV_PKG_NAME_INDEX "qv_pkg_list_name_idx"

// Each distinct base name of a file once.
#define QV_NAME_TABLE "qv_file_name_t"
#define QV_NAME_ID "id"
#define QV_NAME_TEXT "name"
#define QV_NAME_NOCASE_INDEX "qv_file_name_nocase_idx"

// Each distinct directory once, without its trailing "/"; the root is "".
#define QV_DIR_TABLE "qv_file_dir_t"
#define QV_DIR_ID "id"
#define QV_DIR_PATH "path"

// One row a file a package ships: which package, in which directory, by which name.
#define QV_LINK_TABLE "qv_pkg_file_t"
#define QV_LINK_PKG "pkg_id"
#define QV_LINK_DIR "dir_id"
#define QV_LINK_NAME "name_id"
#define QV_LINK_DIR_INDEX "qv_pkg_file_dir_idx"
// The files of one package, for searches that match most packages: the finder goes
// through the packages in order and stops at each one's first matching file, and works
// out the first matching path only for the rows in view.
#define QV_LINK_PKG_INDEX "qv_pkg_file_pkg_idx"

// The last nine characters of each file name, reversed, with the name's id: "libssl.so.3"
// gives "3.os.lssl". A suffix keyword ("*.so.3") becomes a prefix of the key, which the
// key's NOCASE index serves as it serves any LIKE prefix. Nine characters cover the usual
// suffixes exactly and cost about a tenth of the catalogue; a longer suffix still narrows
// the names to those ending in its last nine characters.
#define QV_SUFFIX_TABLE "qv_file_suffix_t"
#define QV_SUFFIX_KEY "key"
#define QV_SUFFIX_NAME "name_id"
#define QV_SUFFIX_LENGTH 9

// Which packages ship a file whose name ends in which characters, once per package: the
// last five characters of each file name, reversed, and also its last two and its last one.
// A suffix keyword of one or two characters ("*h", "*.h") is one key here; one of three to
// five characters ("*.so") is a prefix of keys. Either gives its packages from here without
// a walk through their files.
#define QV_PKG_SUFFIX_TABLE "qv_pkg_suffix_t"
#define QV_PKG_SUFFIX_KEY "key"
#define QV_PKG_SUFFIX_PKG "pkg_id"
#define QV_PKG_SUFFIX_LENGTH 5

// Trigram indexes (fts5, external content) over the names and the directories.
#define QV_NAME_FTS "qv_file_name_fts"
#define QV_DIR_FTS "qv_file_dir_fts"
#define QV_FTS_TOKENIZE "tokenize='trigram', detail='none', columnsize=0"

// The statements that make each table and index.
#define QV_CREATE_PKG_TABLE                                                                    \
    "CREATE TABLE " QV_PKG_TABLE " (" QV_PKG_ID " INTEGER PRIMARY KEY, " QV_PKG_NAME         \
    " TEXT NOT NULL, " QV_PKG_VER " TEXT NOT NULL, " QV_PKG_REL " TEXT NOT NULL, " QV_PKG_ARCH \
    " TEXT NOT NULL)"
#define QV_CREATE_PKG_NAME_INDEX \
    "CREATE INDEX " QV_PKG_NAME_INDEX " ON " QV_PKG_TABLE "(" QV_PKG_NAME " COLLATE NOCASE)"

#define QV_CREATE_NAME_TABLE \
    "CREATE TABLE " QV_NAME_TABLE " (" QV_NAME_ID " INTEGER PRIMARY KEY, " QV_NAME_TEXT " TEXT NOT NULL)"
#define QV_CREATE_NAME_NOCASE_INDEX \
    "CREATE INDEX " QV_NAME_NOCASE_INDEX " ON " QV_NAME_TABLE "(" QV_NAME_TEXT " COLLATE NOCASE)"

#define QV_CREATE_DIR_TABLE \
    "CREATE TABLE " QV_DIR_TABLE " (" QV_DIR_ID " INTEGER PRIMARY KEY, " QV_DIR_PATH " TEXT NOT NULL)"

// Keyed by name_id first (the builder inserts the links sorted so): the table is its
// own index from names to packages.
#define QV_CREATE_LINK_TABLE                                                                   \
    "CREATE TABLE " QV_LINK_TABLE " (" QV_LINK_PKG " INTEGER NOT NULL, " QV_LINK_DIR          \
    " INTEGER NOT NULL, " QV_LINK_NAME " INTEGER NOT NULL, PRIMARY KEY (" QV_LINK_NAME ", "    \
    QV_LINK_DIR ", " QV_LINK_PKG ")) WITHOUT ROWID"
#define QV_CREATE_LINK_DIR_INDEX \
    "CREATE INDEX " QV_LINK_DIR_INDEX " ON " QV_LINK_TABLE "(" QV_LINK_DIR ")"
#define QV_CREATE_LINK_PKG_INDEX \
    "CREATE INDEX " QV_LINK_PKG_INDEX " ON " QV_LINK_TABLE "(" QV_LINK_PKG ")"

// Keyed by the reversed suffix first, so that the table is its own index on it.
#define QV_CREATE_SUFFIX_TABLE                                                                 \
    "CREATE TABLE " QV_SUFFIX_TABLE " (" QV_SUFFIX_KEY " TEXT NOT NULL COLLATE NOCASE, "      \
    QV_SUFFIX_NAME " INTEGER NOT NULL, PRIMARY KEY (" QV_SUFFIX_KEY ", " QV_SUFFIX_NAME "))" \
    " WITHOUT ROWID"
// SQLite reverses the names itself, so that the key splits a name into characters exactly
// as its LIKE does (substr(x, -k, 1) is the k-th character from the end, or '').
#define QV_FILL_SUFFIX_TABLE                                                                    \
    "INSERT INTO " QV_SUFFIX_TABLE " SELECT substr(n,-1,1) || substr(n,-2,1) || substr(n,-3,1)" \
    " || substr(n,-4,1) || substr(n,-5,1) || substr(n,-6,1) || substr(n,-7,1) || substr(n,-8,1)" \
    " || substr(n,-9,1), id FROM (SELECT " QV_NAME_TEXT " AS n, " QV_NAME_ID " AS id FROM "     \
    QV_NAME_TABLE ") ORDER BY 1, 2"

#define QV_CREATE_PKG_SUFFIX_TABLE                                                               \
    "CREATE TABLE " QV_PKG_SUFFIX_TABLE " (" QV_PKG_SUFFIX_KEY " TEXT NOT NULL COLLATE NOCASE, "  \
    QV_PKG_SUFFIX_PKG " INTEGER NOT NULL, PRIMARY KEY (" QV_PKG_SUFFIX_KEY ", " QV_PKG_SUFFIX_PKG \
    ")) WITHOUT ROWID"
// Made from the name suffixes (their first characters are the names' last ones) in one
// sorted insert, so that the table's pages are filled; ASCII case is folded as LIKE folds it.
#define QV_FILL_PKG_SUFFIX_TABLE                                                                  \
    "WITH k5(k, pkg) AS MATERIALIZED (SELECT DISTINCT substr(s." QV_SUFFIX_KEY ", 1, 5) COLLATE NOCASE, f." \
    QV_LINK_PKG " FROM " QV_SUFFIX_TABLE " s JOIN " QV_LINK_TABLE " f ON f." QV_LINK_NAME " = s."  \
    QV_SUFFIX_NAME ") INSERT INTO " QV_PKG_SUFFIX_TABLE " SELECT k, pkg FROM k5"                   \
    " UNION SELECT substr(k, 1, 2) COLLATE NOCASE, pkg FROM k5 WHERE length(k) > 2"               \
    " UNION SELECT substr(k, 1, 1) COLLATE NOCASE, pkg FROM k5 WHERE length(k) > 1 ORDER BY 1, 2"

#define QV_CREATE_NAME_FTS                                                                   \
    "CREATE VIRTUAL TABLE " QV_NAME_FTS " USING fts5(" QV_NAME_TEXT ", content='" QV_NAME_TABLE \
    "', content_rowid='" QV_NAME_ID "', " QV_FTS_TOKENIZE ")"
#define QV_CREATE_DIR_FTS                                                                   \
    "CREATE VIRTUAL TABLE " QV_DIR_FTS " USING fts5(" QV_DIR_PATH ", content='" QV_DIR_TABLE \
    "', content_rowid='" QV_DIR_ID "', " QV_FTS_TOKENIZE ")"

// The layout of the file lists, in PRAGMA user_version: a --system or --user catalogue of
// another one is made anew.
#define QV_FORMAT_VERSION 2

// How a --system or --user catalogue was made: its sources and the options that shape
// its rows, one key and value a row. The builder makes such a catalogue anew when they
// differ from what it is asked for.
#define QV_BUILD_TABLE "qv_build_t"
#define QV_BUILD_KEY "key"
#define QV_BUILD_VALUE "value"
#define QV_CREATE_BUILD_TABLE \
    "CREATE TABLE " QV_BUILD_TABLE " (" QV_BUILD_KEY " TEXT PRIMARY KEY, " QV_BUILD_VALUE " TEXT NOT NULL)"

#endif // CATALOGUESCHEMA_H
