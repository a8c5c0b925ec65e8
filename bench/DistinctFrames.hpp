#pragma once
// Stacks as real programs have them: a chain of distinct functions, each calling the next, where a
// recursive function repeats one frame over and over. Function N of the chain has a frame of its own
// size and saves its own share of the callee-saved registers (a few to all six, as the compiler lays
// it out), as ordinary code does; every fourth keeps a frame pointer, as code with a variable-sized
// local does.
// Each stays a real call (the caller still needs its locals after it, so no call is a tail call) and a
// function of its own (never folded with another of the same code). Only for benchmark programs.
#include <array>
#include <cstdint>
#include <utility>

namespace velobench {

constexpr int kDistinctFunctions = 256;

#if defined(__GNUC__) && !defined(__clang__)
#define VELOBENCH_DISTINCT __attribute__((noinline, noclone, no_icf))
#else
#define VELOBENCH_DISTINCT __attribute__((noinline))
#endif

namespace distinctDetail {

// The callee-saved registers function N keeps live across its call, so its prologue saves them.
template <int N> inline __attribute__((always_inline)) void keepRegisters() {
    if constexpr (N % 4 == 0) {
        asm volatile("" ::: "rbx");
    } else if constexpr (N % 4 == 1) {
        asm volatile("" ::: "rbx", "r12");
    } else if constexpr (N % 4 == 2) {
        asm volatile("" ::: "rbx", "r12", "r13", "r14");
    } else {
        asm volatile("" ::: "rbx", "r12", "r13", "r14", "r15");
    }
}

} // namespace distinctDetail

// Function N of the chain: `depth` frames of the chain from here (N, N + 1, ...), then `leaf()` in the
// last of them. The chain ends at kDistinctFunctions - 1.
template <int N, typename Leaf> VELOBENCH_DISTINCT void distinctFrame(int depth, Leaf& leaf) {
    if constexpr (N + 1 >= kDistinctFunctions) {
        leaf();
    } else {
        if (depth <= 1) {
            leaf();
            return;
        }
        // Locals of N's own size, alive across the call.
        std::uint64_t locals[1 + N % 5 * 3];
        locals[0] = N;
        asm volatile("" : : "r"(locals) : "memory");
        distinctDetail::keepRegisters<N>();
        if constexpr (N % 4 == 3) {
            // A variable-sized local: the frame's CFA is then kept from rbp.
            auto* more = static_cast<std::uint64_t*>(__builtin_alloca(8 + (depth & 1) * 8));
            more[0] = N;
            asm volatile("" : : "r"(more) : "memory");
            distinctFrame<N + 1>(depth - 1, leaf);
            asm volatile("" : : "r"(more), "r"(locals) : "memory");
        } else {
            distinctFrame<N + 1>(depth - 1, leaf);
            asm volatile("" : : "r"(locals) : "memory");
        }
    }
}

// Runs `leaf()` at the end of `depth` frames of the chain starting at function `first`; first + depth
// must not pass kDistinctFunctions.
template <typename Leaf> void atDistinctDepth(int first, int depth, Leaf& leaf) {
    static constexpr auto chain = []<std::size_t... N>(std::index_sequence<N...>) {
        return std::array<void (*)(int, Leaf&), sizeof...(N)>{&distinctFrame<static_cast<int>(N), Leaf>...};
    }
    (std::make_index_sequence<kDistinctFunctions>());
    chain[static_cast<std::size_t>(first)](depth, leaf);
}

} // namespace velobench
