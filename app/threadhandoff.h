#ifndef THREADHANDOFF_H
#define THREADHANDOFF_H

// The window and its worker threads hand data to each other through Qt's queued calls
// and signals. Qt orders those through its event queue, whose locks ThreadSanitizer does
// not see in a Qt that was not built for it; so in a ThreadSanitizer build the thread
// that posts marks the hand-off (post), each event Qt delivers takes it (install), and a
// thread's end is taken after waiting for it (joined). Elsewhere all three do nothing.
namespace ThreadHandoff {

void install();
void post();
void joined();

} // namespace ThreadHandoff

#endif // THREADHANDOFF_H
