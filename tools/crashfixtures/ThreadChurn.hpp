#pragma once
// Threads starting and ending all the time, for crashes recorded while some are being made and others
// are ending, with every signal blocked in the C library's start and exit steps. Shared by the crash
// tests and the crash benchmark.
#include "platform/darwin/ThreadStart.hpp"

#include <atomic>
#include <pthread.h>
#include <thread>

namespace recordtest {

// Starts a pool that, for as long as the process lives, starts 32 threads running `routine` and joins
// them, batch after batch, counting each batch joined in `batches` when given. The threads start
// through the program's thread start (darwin::createThread, what the program's own pthread_create
// calls) or through the C library's pthread_create alone.
inline void startThreadChurn(bool throughTheProgram, void* (*routine)(void*),
                             std::atomic<int>* batches = nullptr) {
    std::thread([throughTheProgram, routine, batches] {
        for (;;) {
            pthread_t batch[32];
            int made = 0;
            for (int i = 0; i < 32; ++i) {
                pthread_t* thread = &batch[made];
                const int result = throughTheProgram ? darwin::createThread(thread, nullptr, routine, nullptr)
                                                     : pthread_create(thread, nullptr, routine, nullptr);
                made += result == 0 ? 1 : 0;
            }
            for (int i = 0; i < made; ++i)
                pthread_join(batch[i], nullptr);
            if (batches != nullptr) batches->fetch_add(1);
        }
    }).detach();
}

} // namespace recordtest
