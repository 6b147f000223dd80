#ifndef PATHALIASES_H
#define PATHALIASES_H

// The two names of a file on a merged-/usr system. There /bin, /sbin, /lib, /lib32, /lib64
// and /libx32 are links to the folders of the same name under /usr, so `which ls` says
// /usr/bin/ls while Debian's package lists ship bin/ls. A file search whose keyword starts
// with one of these folders (ASCII letters in any case, as the search compares them) and a
// "/" also searches under the other name: "/usr/bin/ls" finds the package that ships
// "/bin/ls", and "/lib/x86_64-linux-gnu/libc.so.6" the one that ships it under /usr/lib.
// Rows keep the path as the package ships it.

#include <string>
#include <string_view>

namespace PathAliases {

// The keyword under the other name of its leading folder, or "" when it has none.
std::string otherName(std::string_view keyword);

} // namespace PathAliases

#endif // PATHALIASES_H
