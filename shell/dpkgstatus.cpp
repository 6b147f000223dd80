#include "dpkgstatus.h"

#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <sstream>

namespace {

const char defaultStatusFile[] = "/var/lib/dpkg/status";

std::string statusFileFromEnvironment()
{
    const char *file = std::getenv("QUORVI_DPKG_STATUS");
    return file && *file ? file : defaultStatusFile;
}

// The value of a "Field: value" line of one stanza, or "".
std::string fieldOf(const std::string &stanza, const std::string &field)
{
    const std::string start = field + ':';
    size_t at = stanza.compare(0, start.size(), start) == 0 ? 0 : stanza.find('\n' + start);
    if (at == std::string::npos) {
        return {};
    }
    at = stanza.find(':', at) + 1;
    const size_t end = stanza.find('\n', at);
    std::string value = stanza.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const size_t first = value.find_first_not_of(" \t");
    const size_t last = value.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

} // namespace

DpkgStatus::DpkgStatus()
    : DpkgStatus(statusFileFromEnvironment())
{
}

DpkgStatus::DpkgStatus(const std::string &statusFile)
{
    std::ifstream in(statusFile, std::ios::binary);
    if (!in) {
        return;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = "\n" + all.str();
    found = true;
}

std::vector<DpkgStatus::Installed> DpkgStatus::versionsOf(const std::string &name) const
{
    std::vector<Installed> versions;
    const std::string start = "\nPackage: " + name + "\n";
    for (size_t at = text.find(start); at != std::string::npos; at = text.find(start, at + 1)) {
        const size_t end = text.find("\n\n", at + 1);
        const std::string stanza = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at);
        const std::string status = fieldOf(stanza, "Status");
        const size_t space = status.rfind(' ');
        versions.push_back({fieldOf(stanza, "Architecture"), fieldOf(stanza, "Version"),
                            space == std::string::npos ? status : status.substr(space + 1)});
    }
    return versions;
}

bool DpkgStatus::hasFiles(const std::string &name) const
{
    for (const Installed &installed : versionsOf(name)) {
        for (const char *onDisk : {"installed", "half-configured", "unpacked", "half-installed", "triggers-awaited",
                                   "triggers-pending"}) {
            if (installed.state == onDisk) {
                return true;
            }
        }
    }
    return false;
}

std::string DpkgStatus::nativeArch()
{
#if defined(__x86_64__)
    return "amd64";
#elif defined(__aarch64__)
    return "arm64";
#elif defined(__i386__)
    return "i386";
#elif defined(__arm__)
    return "armhf";
#elif defined(__powerpc64__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return "ppc64el";
#elif defined(__s390x__)
    return "s390x";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64";
#else
    return "";
#endif
}

std::string DpkgStatus::installCommand(const std::string &name, const std::string &arch)
{
    const bool foreign = !arch.empty() && arch != "all" && arch != nativeArch();
    return std::string(geteuid() == 0 ? "apt install " : "sudo apt install ") + name + (foreign ? ":" + arch : "");
}
