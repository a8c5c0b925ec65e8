// A libFuzzer program around one of the fuzz tests' checks (VELO_FUZZ_CHECK names it, VELO_FUZZ_HEADER
// its header): every input the fuzzer makes goes through the check, and a broken property stops the
// run with its description, as a fault would, so that the fuzzer keeps the input that broke it.
#include VELO_FUZZ_HEADER

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* broken = VELO_FUZZ_CHECK(data, size)) {
        std::fprintf(stderr, "property broken: %s\n", broken);
        std::abort();
    }
    return 0;
}
