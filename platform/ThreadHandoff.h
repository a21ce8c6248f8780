// Hand-offs between threads that GLib carries (a main-context source, a task's thread), announced
// to ThreadSanitizer: GLib's locks are its own futex code, which the sanitizer does not see, so
// without these every object handed through them would look raced. Nothing in other builds.
#pragma once

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace tvn::platform {

// On the handing thread, after the object's last write there.
inline void handOff([[maybe_unused]] void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(object);
#endif
}

// On the receiving thread, before the object's first use there.
inline void takeOver([[maybe_unused]] void* object)
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(object);
#endif
}

} // namespace tvn::platform
