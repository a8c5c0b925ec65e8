#include "sdk/zevuzavidav/symbolication/ZEVDemangleOperation.hpp"

#include "platform/runtime/ClassRegistry.hpp"

#include <any>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <string_view>

std::optional<std::string> ZEVDemangleOperation::demangleSymbol(const char* symbol) {
    return demangleSymbol(symbol, rt::ClassRegistry::shared());
}

std::optional<std::string> ZEVDemangleOperation::demangleSymbol(const char* symbol,
                                                                const rt::ClassRegistry& registry) {
    if (symbol == nullptr) return std::nullopt;
    std::string_view name(symbol);
    if (name.starts_with("_Z")) return demangleCppSymbol(symbol);
    if (name.starts_with("__Z")) return demangleBlockInvokeCppSymbol(symbol);
    if (name.starts_with("_T")) return demangleSwiftSymbol(symbol, registry);
    return std::nullopt;
}

std::optional<std::string> ZEVDemangleOperation::demangleCppSymbol(const char* symbol) {
    if (symbol == nullptr) return std::nullopt;
    int status = 0;
    char* readable = abi::__cxa_demangle(symbol, nullptr, nullptr, &status);
    if (readable == nullptr) return std::nullopt;
    std::optional<std::string> result;
    if (status == 0) result = std::string(readable);
    std::free(readable);
    return result;
}

std::optional<std::string> ZEVDemangleOperation::demangleBlockInvokeCppSymbol(const char* symbol) {
    if (symbol == nullptr) return std::nullopt;
    std::string_view name(symbol);
    std::size_t marker = name.rfind("_block_invoke");
    if (marker == std::string_view::npos || marker < 5) return std::nullopt;
    // Dropping the first underscore leaves the function's own mangled name, which begins "_Z".
    std::string function(name.substr(1, marker - 1));
    auto readable = demangleSymbol(function.c_str());
    if (!readable) return std::nullopt;
    return *readable + std::string(name.substr(marker));
}

std::optional<std::string> ZEVDemangleOperation::demangleSwiftSymbol(const char* symbol) {
    return demangleSwiftSymbol(symbol, rt::ClassRegistry::shared());
}

std::optional<std::string> ZEVDemangleOperation::demangleSwiftSymbol(const char* symbol,
                                                                     const rt::ClassRegistry& registry) {
    if (symbol == nullptr) return std::nullopt;
    const rt::Class* demangler = registry.lookUpClass("ZEVDemangler");
    if (demangler == nullptr || !demangler->respondsToClassSelector("demangle:")) return std::nullopt;
    std::any argument = std::string(symbol);
    std::any result = demangler->performClassSelector("demangle:", {&argument, 1});
    if (const auto* text = std::any_cast<std::string>(&result)) return *text;
    return std::nullopt;
}

void ZEVDemangleOperation::main() {
    enumerateFramesWithBlock([](ZEVStackFrame& frame) {
        if (!frame.symbol) return;
        if (auto readable = demangleSymbol(frame.symbol->c_str())) frame.symbol = std::move(*readable);
    });
}
