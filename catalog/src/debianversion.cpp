#include "debianversion.h"

DebianVersion DebianVersion::split(std::string_view version)
{
    const size_t colon = version.find(':');
    if (colon != std::string_view::npos) {
        version.remove_prefix(colon + 1);
    }
    const size_t dash = version.rfind('-');
    if (dash == std::string_view::npos) {
        return {version, "0"};
    }
    std::string_view revision = version.substr(dash + 1);
    return {version.substr(0, dash), revision.empty() ? std::string_view("0") : revision};
}
