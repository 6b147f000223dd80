#include "threadhandoff.h"

#include <Qt>

#if defined(__SANITIZE_THREAD__)

extern "C" void __tsan_acquire(void *addr);
extern "C" void __tsan_release(void *addr);

namespace {

char token;

bool takeOnDelivery(void **)
{
    __tsan_acquire(&token);
    return false; // the event is delivered as usual
}

} // namespace

namespace ThreadHandoff {

void install()
{
    static const bool installed = QInternal::registerCallback(QInternal::EventNotifyCallback, takeOnDelivery);
    Q_UNUSED(installed);
}

void post()
{
    __tsan_release(&token);
}

void joined()
{
    __tsan_acquire(&token);
}

} // namespace ThreadHandoff

#else

namespace ThreadHandoff {

void install() {}
void post() {}
void joined() {}

} // namespace ThreadHandoff

#endif
