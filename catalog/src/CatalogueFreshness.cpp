#include "CatalogueFreshness.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace {
bool later(const timespec &a, const timespec &b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool isFile(const std::string &path)
{
    struct stat st = {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A repository is named by its root or its repodata/ folder; repomd.xml is replaced
// whenever any of its metadata is.
std::string repomdOf(const std::string &repository)
{
    const std::string inside = repository + "/repodata/repomd.xml";
    return isFile(inside) ? inside : repository + "/repomd.xml";
}
} // namespace

std::vector<std::string> CatalogueFreshness::inputsOf(const BuildOptions &build,
                                                      const std::vector<std::string> &folders)
{
    std::vector<std::string> inputs = folders;
    inputs.insert(inputs.end(), build.packages.begin(), build.packages.end());
    inputs.insert(inputs.end(), build.contents.begin(), build.contents.end());
    for (const std::string &repository : build.repodata)
        inputs.push_back(repomdOf(repository));
    if (!build.dpkgStatus.empty())
        inputs.push_back(build.dpkgStatus);
    if (!build.dpkgInfo.empty())
        inputs.push_back(build.dpkgInfo);
    return inputs;
}

bool CatalogueFreshness::isUpToDate(const std::string &catalogue, const std::vector<std::string> &inputs)
{
    struct stat made = {};
    if (stat(catalogue.c_str(), &made) != 0 || !S_ISREG(made.st_mode))
        return false;
    for (const std::string &input : inputs) {
        struct stat st = {};
        if (stat(input.c_str(), &st) != 0)
            return false;
        const timespec arrived = later(st.st_ctim, st.st_mtim) ? st.st_ctim : st.st_mtim;
        if (!later(made.st_mtim, arrived))
            return false;
    }
    return true;
}

timespec CatalogueFreshness::now()
{
    timespec t = {};
    // The coarse clock is the one file times come from: an input changed after this
    // moment never carries an earlier time than it.
    clock_gettime(CLOCK_REALTIME_COARSE, &t);
    return t;
}

bool CatalogueFreshness::stamp(const std::string &catalogue, const timespec &started)
{
    const timespec times[2] = {{0, UTIME_OMIT}, started};
    return utimensat(AT_FDCWD, catalogue.c_str(), times, 0) == 0;
}
