#include "phasegate.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

void PhaseGate::reached(const char *name)
{
    static const bool enabled = std::getenv("QUORVI_CATALOG_PHASES") != nullptr;
    if (!enabled) {
        return;
    }
    std::fprintf(stderr, "quorvi-catalog: phase %s\n", name);
    std::fflush(stderr);
    char c = 0;
    ssize_t n;
    do {
        n = read(STDIN_FILENO, &c, 1);
    } while ((n < 0 && errno == EINTR) || (n == 1 && c != '\n'));
}
