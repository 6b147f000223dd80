#pragma once

// Named points of a build where a test can stop the builder, so that it can kill
// it at an exact moment instead of after a guessed delay. Only when the
// environment variable QUORVI_CATALOG_PHASES is set: each phase then writes
// "quorvi-catalog: phase <name>" on stderr and waits for one line (or the end)
// on stdin before the build goes on. Otherwise it does nothing.
namespace PhaseGate {
void reached(const char *name);
}
