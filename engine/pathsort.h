#ifndef PATHSORT_H
#define PATHSORT_H

// Sorts texts by their bytes, as SQLite's BINARY collation and std::string's < order them.
// A package's paths share long beginnings ("/usr/share/icons/Papirus/16x16/apps/"), over
// which a comparison sort runs again for each pair it compares; this sort (three-way radix
// quicksort) looks at each byte position of a group of texts once.

#include <string_view>
#include <vector>

void sortPaths(std::vector<std::string_view> &paths);

#endif // PATHSORT_H
