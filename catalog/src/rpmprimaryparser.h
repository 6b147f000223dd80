#pragma once

#include "rpmpackage.h"

#include <functional>

class ByteSource;
class QXmlStreamReader;

// Streams the <package type="rpm"> entries of a repodata primary.xml:
// <name>, <arch>, <version epoch ver rel/>, <summary> and <format><rpm:group>;
// everything else is skipped.
class RpmPrimaryParser
{
public:
    using Callback = std::function<void(const RpmPackage &)>;

    static void parse(ByteSource &source, const Callback &callback);

private:
    static void readPackage(QXmlStreamReader &xml, RpmPackage &package);
    static void readFormat(QXmlStreamReader &xml, RpmPackage &package);
};
