#ifndef EXTRAROWS_H
#define EXTRAROWS_H

#include "benchreport.h"

// Rows beyond the searches, from the data folder that bench/prepare.sh and
// bench/hook-time.sh fill, and from the catalogue itself.

// The catalogue's size, whole and per table or index (dbstat), beside plocate's database.
void addSizeRows(Context &c);
// Time and peak memory of quorvi-catalog and of plocate-build on the same lists.
void addBuildRows(Context &c);
// How soon apt's update hook returned, and when the rebuild it started had ended.
void addHookRows(Context &c);
// plocate's substring searches (base names, ASCII case ignored) beside the finder's.
void addPlocateRows(Context &c);
// Every file of the package that ships the most, read through the engine.
void addPackageListRow(Context &c);

#endif // EXTRAROWS_H
