#ifndef CHILDMODES_H
#define CHILDMODES_H

#include <QString>

// Modes in which quorvi-bench runs as a fresh child process of itself, in the
// catalogue's directory, so that each measurement starts from a new process.

// Shows the finder ("finder"), a bare QMainWindow holding a QTableView ("bare"), or the
// bare window after opening the catalogue as the finder does ("bare+db"), or with one
// Chinese label above the table ("bare+text"); prints
// "IDLE <monotonic ms> <VmHWM KiB>" once the window is idle, and exits.
[[noreturn]] void childStartup(const QString &mode);

// Shows the finder, searches package names for "*", then file names for "*.so*";
// prints "MEM <VmHWM shown> <rows> <VmHWM> <rows> <VmHWM>" (KiB) and exits.
[[noreturn]] void childMemory();

// For perf or callgrind: n searches of one keyword; prints the mean split of a search.
int loopSearch(const QString &keyword, int n, bool fileMode);

#endif // CHILDMODES_H
