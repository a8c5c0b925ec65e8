// How the text helpers behave at keystroke rate: ASCII input (the common case) against input that
// needs ICU (combining marks, emoji).
#include "platform/foundation/Text.hpp"

#include <benchmark/benchmark.h>

namespace {

const std::string asciiAnswer = "let greeting = \"Hello, playground\"";
const std::string unicodeAnswer = "let gr\xC3\xA9"
                                  "eting = \"Caf"
                                  "e\xCC\x81 \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\"";

void characterCountAscii(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::characterCount(asciiAnswer));
}
BENCHMARK(characterCountAscii);

void characterCountUnicode(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::characterCount(unicodeAnswer));
}
BENCHMARK(characterCountUnicode);

void prefixUnicode(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::characterPrefix(unicodeAnswer, 12));
}
BENCHMARK(prefixUnicode);

void canonicallyEqualAscii(benchmark::State& state) {
    const std::string other = asciiAnswer.substr(0, asciiAnswer.size() - 1) + "!";
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::canonicallyEqual(asciiAnswer, other));
}
BENCHMARK(canonicallyEqualAscii);

void canonicallyEqualUnicode(benchmark::State& state) {
    const std::string other = ns::normalizedNFC(unicodeAnswer);
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::canonicallyEqual(unicodeAnswer, other));
}
BENCHMARK(canonicallyEqualUnicode);

void lowercasedUnicode(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ns::lowercased(unicodeAnswer));
}
BENCHMARK(lowercasedUnicode);

} // namespace

BENCHMARK_MAIN();
