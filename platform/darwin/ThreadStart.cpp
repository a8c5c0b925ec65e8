#include "platform/darwin/ThreadStart.hpp"

#include "platform/darwin/Host.hpp"
#include "platform/darwin/Threads.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/mman.h>

namespace darwin {
namespace {

pthread_key_t stackKey;
bool stackKeyReady = false;
pthread_once_t stackKeyOnce = PTHREAD_ONCE_INIT;

std::size_t guardSize() {
    return static_cast<std::size_t>(hostPageSize());
}

// The key's destructor, when the thread that mapped `memory` ends. Off first, so that no signal can
// arrive on memory that is gone; left mapped when a handler still runs on it (a handler that ended
// its thread by pthread_exit), since unmapping would pull the stack from under this very call.
void releaseSignalStack(void* memory) {
    char* base = static_cast<char*>(memory) + guardSize();
    stack_t current{};
    if (sigaltstack(nullptr, &current) != 0) return;
    if (current.ss_sp == base && (current.ss_flags & SS_DISABLE) == 0) {
        if ((current.ss_flags & SS_ONSTACK) != 0) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0) return;
    }
    munmap(memory, guardSize() + kSignalStackSize);
}

struct Start {
    void* (*routine)(void*);
    void* argument;
};

void* startCovered(void* raw) {
    Start start = *static_cast<Start*>(raw);
    std::free(raw);
    ensureSignalStack();
    return start.routine(start.argument);
}

} // namespace

bool ensureSignalStack() {
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return true;
    pthread_once(&stackKeyOnce,
                 [] { stackKeyReady = pthread_key_create(&stackKey, releaseSignalStack) == 0; });
    const std::size_t guard = guardSize();
    // A thread whose stack someone else switched off gets its own back rather than a second one.
    void* memory = stackKeyReady ? pthread_getspecific(stackKey) : nullptr;
    const bool fresh = memory == nullptr;
    if (fresh) {
        memory = mmap(nullptr, guard + kSignalStackSize, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (memory == MAP_FAILED) return false;
        // A handler that overflows the alternate stack faults on the guard instead of writing over
        // whatever lies below it.
        if (mprotect(memory, guard, PROT_NONE) != 0) {
            munmap(memory, guard + kSignalStackSize);
            return false;
        }
    }
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + guard;
    stack.ss_size = kSignalStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        if (fresh) munmap(memory, guard + kSignalStackSize);
        return false;
    }
    // Without the key the stack stays mapped after the thread: a leak, never a stack pulled away.
    if (fresh && stackKeyReady) pthread_setspecific(stackKey, memory);
    return true;
}

void beginThread(const char* name) {
    ensureSignalStack();
    if (name != nullptr && name[0] != '\0') setCurrentThreadName(name);
}

int createThread(pthread_t* thread, const pthread_attr_t* attributes, void* (*routine)(void*), void* argument,
                 PthreadCreateFunction create) {
    if (create == nullptr) create = pthread_create;
    auto* start = static_cast<Start*>(std::malloc(sizeof(Start)));
    if (start == nullptr) return EAGAIN;
    *start = Start{routine, argument};
    int result = create(thread, attributes, startCovered, start);
    if (result != 0) std::free(start);
    return result;
}

bool isCoveredStart(void* (*routine)(void*)) {
    return routine == startCovered;
}

} // namespace darwin
