#pragma once
// The table of classes known to the process, looked up by name, as code that finds optional companions
// at run time needs ("is there a class named X here, and does it adopt protocol P?").
//
// ClassRegistry::shared() is the process's table; tests may make registries of their own so that the
// classes they define do not leak into other tests.
//
// Failure contract: registerClass answers nullptr (and registers nothing) when the name is empty or
// already taken, or when the named superclass is not registered. Classes are never removed, so a
// pointer handed out stays valid for the registry's lifetime. Thread-safe.
#include "platform/runtime/Class.hpp"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace rt {

class ClassRegistry {
  public:
    ClassRegistry() = default;
    ClassRegistry(const ClassRegistry&) = delete;
    ClassRegistry& operator=(const ClassRegistry&) = delete;

    static ClassRegistry& shared();

    Class* registerClass(ClassDefinition definition);
    // nullptr when no class of that name is registered.
    Class* lookUpClass(std::string_view name) const;
    // Names of every registered class, in registration order.
    std::vector<std::string> classNames() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Class>> classes_;
};

} // namespace rt
