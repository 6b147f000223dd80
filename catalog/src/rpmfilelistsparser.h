#pragma once

#include "rpmpackage.h"

#include <functional>
#include <string>
#include <vector>

class ByteSource;
class QXmlStreamReader;

// Streams a repodata filelists.xml: for each <package name arch> its
// <version/> and the paths of its <file> entries. Entries with type="dir"
// are directories and left out; type="ghost" files are kept.
class RpmFilelistsParser
{
public:
    using Callback =
        std::function<void(const RpmPackage &, const std::vector<std::string> &files)>;

    static void parse(ByteSource &source, const Callback &callback);

private:
    static void readPackage(QXmlStreamReader &xml, RpmPackage &package,
                            std::vector<std::string> &files);
};
