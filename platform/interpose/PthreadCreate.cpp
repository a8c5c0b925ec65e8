// The program's own pthread_create, which the process's threads are created through: the program's,
// and those that libraries start (a shared library's call binds to the program's definition first,
// and std::thread calls it too; the C library's own helper threads bypass it). Each new thread gets its
// alternate signal stack before its start routine runs (darwin::createThread); the C library's
// function, found once, does the rest.
//
// Linked into the programs only (an object of their own, not a member of a library they might leave
// out), and not into sanitizer builds, whose runtimes intercept pthread_create themselves.
#include "platform/darwin/ThreadStart.hpp"

#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <pthread.h>

namespace {

std::atomic<darwin::PthreadCreateFunction> realCreate{nullptr};

// The definition that ours hides: the C library's (or that of a library preloaded ahead of it, which
// calls the C library's in turn). Found at load time; a library whose constructor starts a thread
// before that finds it here first.
darwin::PthreadCreateFunction real() {
    darwin::PthreadCreateFunction found = realCreate.load(std::memory_order_acquire);
    if (found == nullptr) {
        found = reinterpret_cast<darwin::PthreadCreateFunction>(dlsym(RTLD_NEXT, "pthread_create"));
        realCreate.store(found, std::memory_order_release);
    }
    return found;
}

// Before the program's own constructors: the function is found, and the first thread, which no
// pthread_create made, gets its stack too.
__attribute__((constructor(101))) void coverTheProcess() {
    real();
    darwin::ensureSignalStack();
}

} // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*),
                              void* argument) noexcept {
    darwin::PthreadCreateFunction create = real();
    if (create == nullptr) return EAGAIN;
    if (darwin::isCoveredStart(routine)) return create(thread, attributes, routine, argument);
    return darwin::createThread(thread, attributes, routine, argument, create);
}
