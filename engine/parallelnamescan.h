#ifndef PARALLELNAMESCAN_H
#define PARALLELNAMESCAN_H

// The packages of the names that match a pattern, over many name blocks at once: the
// blocks are read from SQLite in chunks, and each chunk is decoded and matched by two
// threads (a search that reads every name block spends nearly all its time there, and
// the machines the finder runs on have at least two cores). Only for searches that need
// the packages and the matching names alone, not the links' directories.

#include "blockbits.h"
#include "idset.h"
#include "nametexts.h"

#include <cstdint>
#include <functional>

class BlockReader;
class KeywordPattern;
class Statement;

struct NameScanResult
{
    IdSet pkgs;
    BlockBits matched; // the matching names of each block
    NameTexts texts;   // and their texts, up to NameTexts' bound
    int64_t files = 0; // their links, one a file
};

// `read` yields (block id, names, links) rows for the blocks `blockAt(0..count-1)`, in
// that order. Throws FileSearchError on a damaged block, and when `stopped` says so.
NameScanResult scanNamesInParallel(Statement &read, uint64_t count, const std::function<uint64_t(uint64_t)> &blockAt,
                                   const KeywordPattern &pattern, const BlockReader &reader,
                                   const std::function<void()> &checkStop);

#endif // PARALLELNAMESCAN_H
