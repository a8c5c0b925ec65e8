#pragma once
// Replaces every frame's mangled symbol by its readable form. The prefix decides, in this order:
//   "_Z"   a C++ name, demangled by the C++ runtime (__cxa_demangle);
//   "__Z"  a block body inside a C++ function ("__Z<mangled>_block_invoke<suffix>"): the function is
//          demangled and the "_block_invoke..." tail kept;
//   "_T"   a Swift name, handed to the class "ZEVDemangler" of the class registry (its class method
//          "demangle:" takes and answers a string) when such a class exists. The process's registry
//          unless another is given (tests, whose classes must not outlive them).
//
// Failure contract: a name that is not recognised or cannot be demangled gives nothing, and the frame
// keeps its symbol. Nothing throws or logs.
#include "sdk/zevuzavidav/symbolication/ZEVThreadArrayOperation.hpp"

namespace rt {
class ClassRegistry;
}

#include <optional>
#include <string>

class ZEVDemangleOperation final : public ZEVThreadArrayOperation {
  public:
    using ZEVThreadArrayOperation::ZEVThreadArrayOperation;

    static std::optional<std::string> demangleSymbol(const char* symbol);
    static std::optional<std::string> demangleSymbol(const char* symbol, const rt::ClassRegistry& registry);
    static std::optional<std::string> demangleCppSymbol(const char* symbol);
    static std::optional<std::string> demangleBlockInvokeCppSymbol(const char* symbol);
    static std::optional<std::string> demangleSwiftSymbol(const char* symbol);
    static std::optional<std::string> demangleSwiftSymbol(const char* symbol,
                                                          const rt::ClassRegistry& registry);

    void main() override;
};
