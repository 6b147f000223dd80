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

// Each package's details, one row a package of QV_PKG_TABLE (pkg_id is its id): the
// version as its package manager writes it (the epoch included: "2:9.0.1378-2+deb12u2";
// an RPM epoch of 0 left out, as dnf does), the first line of its description (Debian
// Description, RPM summary) and its section or group ("" where the metadata has none).
// Catalogues made before the table existed lack it; the finder then shows what the
// package table has.
#define QV_PKG_INFO_TABLE "qv_pkg_info_t"
#define QV_PKG_INFO_PKG "pkg_id"
#define QV_PKG_INFO_VERSION "version"
#define QV_PKG_INFO_SUMMARY "summary"
#define QV_PKG_INFO_SECTION "section"
#define QV_CREATE_PKG_INFO_TABLE                                                                      \
    "CREATE TABLE " QV_PKG_INFO_TABLE " (" QV_PKG_INFO_PKG " INTEGER PRIMARY KEY, " QV_PKG_INFO_VERSION \
    " TEXT NOT NULL, " QV_PKG_INFO_SUMMARY " TEXT NOT NULL, " QV_PKG_INFO_SECTION " TEXT NOT NULL)"

// The file lists, format 4. A catalogue says which layout it has in PRAGMA user_version
// (QV_FORMAT_VERSION) and names itself in PRAGMA application_id; a catalogue of another
// version has no file lists the finder reads. Format 3 had the same tables without the
// names' endings among the trigrams; format 2 kept the name and directory blocks'
// integers in StreamVByte (catalogueblobs.cpp).
#define QV_FORMAT_VERSION 4
#define QV_APPLICATION_ID 0x51564354 // "QVCT"

// The distinct base names of files, sorted by their ASCII-folded text (then by their
// bytes) and kept in blocks of QV_NAMES_PER_BLOCK: the name with id N is the
// (N % QV_NAMES_PER_BLOCK)-th of block N / QV_NAMES_PER_BLOCK. Block ids are 0, 1, 2, ...,
// so that a binary search over `first` (the block's first name, folded) finds exact and
// prefix matches without an index. `names` holds the texts, `links` each name's
// (package, directory) pairs: one read gives both the names and who ships them.
#define QV_NAMES_PER_BLOCK 64
#define QV_NAME_BLOCK_TABLE "qv_file_names_t"
#define QV_NAME_BLOCK_ID "id"
#define QV_NAME_BLOCK_FIRST "first"
#define QV_NAME_BLOCK_NAMES "names"
#define QV_NAME_BLOCK_LINKS "links"

// The distinct directories ("/usr/bin"; the root is ""), sorted and kept in blocks the same
// way; `pkgs` holds, for each directory, the packages that ship a file directly in it.
#define QV_DIRS_PER_BLOCK 64
#define QV_DIR_BLOCK_TABLE "qv_file_dirs_t"
#define QV_DIR_BLOCK_ID "id"
#define QV_DIR_BLOCK_FIRST "first"
#define QV_DIR_BLOCK_PATHS "paths"
#define QV_DIR_BLOCK_PKGS "pkgs"

// Each package's files as (directory id, name id) pairs, sorted.
#define QV_PKG_FILES_TABLE "qv_pkg_files_t"
#define QV_PKG_FILES_PKG "pkg_id"
#define QV_PKG_FILES_DATA "files"

// For each run of three bytes of the folded names (a << 16 | b << 8 | c), the name blocks
// holding a name with that run: a keyword's literal text narrows its names to the blocks
// that hold every run of it. Below 1 << 16 the same for the names' endings (last << 8 |
// the byte before it, 0 for a name of one byte; CatalogueBlobs::endKey): a keyword that
// ends in literal text ("*.h") reads the blocks of the names that end so.
#define QV_TRIGRAM_TABLE "qv_name_trigrams_t"
#define QV_TRIGRAM_KEY "trigram"
#define QV_TRIGRAM_BLOCKS "blocks"

// The tables of format 1, where every link was one row: a catalogue holding them is of
// the older kind. Only named so that the finder can tell the user so.
#define QV_OLD_LINK_TABLE "qv_pkg_file_t"
#define QV_OLD_NAME_TABLE "qv_file_name_t"

// The statements that make each table and index.
#define QV_CREATE_PKG_TABLE                                                                    \
    "CREATE TABLE " QV_PKG_TABLE " (" QV_PKG_ID " INTEGER PRIMARY KEY, " QV_PKG_NAME         \
    " TEXT NOT NULL, " QV_PKG_VER " TEXT NOT NULL, " QV_PKG_REL " TEXT NOT NULL, " QV_PKG_ARCH \
    " TEXT NOT NULL)"
#define QV_CREATE_PKG_NAME_INDEX \
    "CREATE INDEX " QV_PKG_NAME_INDEX " ON " QV_PKG_TABLE "(" QV_PKG_NAME " COLLATE NOCASE)"

#define QV_CREATE_NAME_BLOCK_TABLE                                                                \
    "CREATE TABLE " QV_NAME_BLOCK_TABLE " (" QV_NAME_BLOCK_ID " INTEGER PRIMARY KEY, " QV_NAME_BLOCK_FIRST \
    " TEXT NOT NULL, " QV_NAME_BLOCK_NAMES " BLOB NOT NULL, " QV_NAME_BLOCK_LINKS " BLOB NOT NULL)"
#define QV_CREATE_DIR_BLOCK_TABLE                                                                   \
    "CREATE TABLE " QV_DIR_BLOCK_TABLE " (" QV_DIR_BLOCK_ID " INTEGER PRIMARY KEY, " QV_DIR_BLOCK_FIRST \
    " TEXT NOT NULL, " QV_DIR_BLOCK_PATHS " BLOB NOT NULL, " QV_DIR_BLOCK_PKGS " BLOB NOT NULL)"
#define QV_CREATE_PKG_FILES_TABLE                                                                \
    "CREATE TABLE " QV_PKG_FILES_TABLE " (" QV_PKG_FILES_PKG " INTEGER PRIMARY KEY, " QV_PKG_FILES_DATA \
    " BLOB NOT NULL)"
#define QV_CREATE_TRIGRAM_TABLE                                                                 \
    "CREATE TABLE " QV_TRIGRAM_TABLE " (" QV_TRIGRAM_KEY " INTEGER PRIMARY KEY, " QV_TRIGRAM_BLOCKS \
    " BLOB NOT NULL)"

// How a --system or --user catalogue was made: its sources and the options that shape
// its rows, one key and value a row. The builder makes such a catalogue anew when they
// differ from what it is asked for.
#define QV_BUILD_TABLE "qv_build_t"
#define QV_BUILD_KEY "key"
#define QV_BUILD_VALUE "value"
#define QV_CREATE_BUILD_TABLE \
    "CREATE TABLE " QV_BUILD_TABLE " (" QV_BUILD_KEY " TEXT PRIMARY KEY, " QV_BUILD_VALUE " TEXT NOT NULL)"

#endif // CATALOGUESCHEMA_H
