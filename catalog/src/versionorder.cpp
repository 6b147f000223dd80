#include "versionorder.h"

#include <apt-pkg/debversion.h>
#include <rpm/rpmver.h>

namespace {
int compareRpm(const std::string &a, const std::string &b)
{
    rpmver va = rpmverParse(a.c_str());
    rpmver vb = rpmverParse(b.c_str());
    // librpm rejects an EVR it cannot split (an epoch that is no number);
    // such strings are then compared as one version.
    const int order = va && vb ? rpmverCmp(va, vb) : rpmvercmp(a.c_str(), b.c_str());
    if (va) {
        rpmverFree(va);
    }
    if (vb) {
        rpmverFree(vb);
    }
    return order;
}
} // namespace

int VersionOrder::compare(VersionScheme scheme, const std::string &a, const std::string &b)
{
    if (scheme == VersionScheme::Rpm) {
        return compareRpm(a, b);
    }
    return debVS.CmpVersion(a, b);
}

std::string VersionOrder::rpmEvr(const std::string &epoch, const std::string &ver,
                                 const std::string &rel)
{
    std::string evr;
    if (!epoch.empty()) {
        evr.append(epoch).append(1, ':');
    }
    evr.append(ver);
    if (!rel.empty()) {
        evr.append(1, '-').append(rel);
    }
    return evr;
}
