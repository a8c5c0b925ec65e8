#include "platform/runtime/ClassRegistry.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Counter : rt::Object {
    using rt::Object::Object;
    int value = 0;
};

rt::ClassDefinition baseDefinition() {
    rt::ClassDefinition definition;
    definition.name = "Base";
    definition.protocols = {"Kit"};
    definition.classMethods["version"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("1.0"));
    };
    definition.classMethods["whoAmI"] = [](const rt::Class& receiver, rt::Arguments) {
        return std::any(receiver.name());
    };
    definition.instanceMethods["increment"] = [](rt::Object& self, rt::Arguments arguments) {
        auto& counter = static_cast<Counter&>(self);
        counter.value += arguments.empty() ? 1 : std::any_cast<int>(arguments[0]);
        return std::any(counter.value);
    };
    return definition;
}

TEST(ClassRegistry, LooksUpRegisteredClassesByExactName) {
    rt::ClassRegistry registry;
    rt::Class* base = registry.registerClass(baseDefinition());
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(registry.lookUpClass("Base"), base);
    EXPECT_EQ(registry.lookUpClass("base"), nullptr);
    EXPECT_EQ(registry.lookUpClass("Riroza"), nullptr);
    EXPECT_EQ(rt::ClassRegistry::shared().lookUpClass("Base"), nullptr) << "own registries stay private";
}

TEST(ClassRegistry, RefusesEmptyDuplicateAndOrphanDefinitions) {
    rt::ClassRegistry registry;
    ASSERT_NE(registry.registerClass(baseDefinition()), nullptr);
    EXPECT_EQ(registry.registerClass(baseDefinition()), nullptr);
    EXPECT_EQ(registry.registerClass(rt::ClassDefinition{}), nullptr);
    rt::ClassDefinition orphan;
    orphan.name = "Orphan";
    orphan.superclassName = "Missing";
    EXPECT_EQ(registry.registerClass(orphan), nullptr);
    EXPECT_EQ(registry.classNames(), std::vector<std::string>{"Base"});
}

TEST(ClassRegistry, SubclassesInheritProtocolsAndMethodsAndMayOverride) {
    rt::ClassRegistry registry;
    rt::Class* base = registry.registerClass(baseDefinition());
    rt::ClassDefinition sub;
    sub.name = "Sub";
    sub.superclassName = "Base";
    sub.protocols = {"Extra"};
    sub.classMethods["version"] = [](const rt::Class&, rt::Arguments) {
        return std::any(std::string("2.0"));
    };
    rt::Class* subclass = registry.registerClass(sub);
    ASSERT_NE(subclass, nullptr);

    EXPECT_TRUE(subclass->conformsToProtocol("Kit"));
    EXPECT_TRUE(subclass->conformsToProtocol("Extra"));
    EXPECT_FALSE(base->conformsToProtocol("Extra"));
    EXPECT_TRUE(subclass->isSubclassOf(*base));
    EXPECT_FALSE(base->isSubclassOf(*subclass));

    EXPECT_EQ(std::any_cast<std::string>(subclass->performClassSelector("version")), "2.0");
    EXPECT_EQ(std::any_cast<std::string>(base->performClassSelector("version")), "1.0");
    // An inherited class method runs with the subclass as receiver.
    EXPECT_EQ(std::any_cast<std::string>(subclass->performClassSelector("whoAmI")), "Sub");
    EXPECT_TRUE(subclass->instancesRespondToSelector("increment"));
}

TEST(ClassRegistry, ClassAndInstanceSelectorsAreSeparate) {
    rt::ClassRegistry registry;
    rt::Class* base = registry.registerClass(baseDefinition());
    EXPECT_TRUE(base->respondsToClassSelector("version"));
    EXPECT_FALSE(base->instancesRespondToSelector("version"));
    EXPECT_TRUE(base->instancesRespondToSelector("increment"));
    EXPECT_FALSE(base->respondsToClassSelector("increment"));

    Counter counter(*base);
    EXPECT_EQ(std::any_cast<int>(counter.perform("increment")), 1);
    std::any five = 5;
    EXPECT_EQ(std::any_cast<int>(counter.perform("increment", {&five, 1})), 6);
    EXPECT_THROW(counter.perform("version"), rt::UnrecognizedSelector);
    EXPECT_THROW(base->performClassSelector("increment"), rt::UnrecognizedSelector);
}

TEST(ClassRegistry, ReplacementHandsBackTheOriginalForCallingThrough) {
    rt::ClassRegistry registry;
    rt::Class* base = registry.registerClass(baseDefinition());
    rt::ClassDefinition sub;
    sub.name = "Sub";
    sub.superclassName = "Base";
    rt::Class* subclass = registry.registerClass(sub);

    // Replacing on the subclass yields the inherited implementation and leaves the base alone.
    rt::InstanceMethod original = subclass->replaceInstanceMethod("increment", {});
    ASSERT_TRUE(original);
    subclass->replaceInstanceMethod("increment", [original](rt::Object& self, rt::Arguments arguments) {
        std::any result = original(self, arguments);
        return std::any(std::any_cast<int>(result) * 10);
    });
    Counter fromSub(*subclass);
    Counter fromBase(*base);
    EXPECT_EQ(std::any_cast<int>(fromSub.perform("increment")), 10);
    EXPECT_EQ(std::any_cast<int>(fromBase.perform("increment")), 1);

    rt::ClassMethod previous = base->replaceClassMethod(
        "version", [](const rt::Class&, rt::Arguments) { return std::any(std::string("patched")); });
    EXPECT_EQ(std::any_cast<std::string>(previous(*base, {})), "1.0");
    EXPECT_EQ(std::any_cast<std::string>(base->performClassSelector("version")), "patched");
    // A slot for a selector nobody answered starts empty and then answers.
    EXPECT_FALSE(
        base->replaceClassMethod("fresh", [](const rt::Class&, rt::Arguments) { return std::any(); }));
    EXPECT_TRUE(base->respondsToClassSelector("fresh"));
}

// Each replacement calls through to the one it replaced, so after N replacements from any threads a
// call must pass through all N: none may be handed a previous implementation another thread has
// already replaced.
TEST(ClassRegistry, ConcurrentReplacementsOfOneSlotEachCallThroughToTheLast) {
    rt::ClassRegistry registry;
    rt::Class* base = registry.registerClass(baseDefinition());
    constexpr int threadCount = 4;
    constexpr int perThread = 400;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([base] {
            for (int i = 0; i < perThread; ++i) {
                auto previous = std::make_shared<rt::ClassMethod>();
                *previous =
                    base->replaceClassMethod("depth", [previous](const rt::Class& cls, rt::Arguments) {
                        return std::any(*previous ? std::any_cast<int>((*previous)(cls, {})) + 1 : 1);
                    });
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(std::any_cast<int>(base->performClassSelector("depth")), threadCount * perThread);
}

TEST(ClassRegistry, ConcurrentRegistrationAndLookupAgree) {
    rt::ClassRegistry registry;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&registry, t] {
            for (int i = 0; i < 50; ++i) {
                rt::ClassDefinition definition;
                definition.name = "C" + std::to_string(t) + "_" + std::to_string(i);
                registry.registerClass(definition);
                registry.lookUpClass("C0_0");
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(registry.classNames().size(), 200u);
    EXPECT_NE(registry.lookUpClass("C3_49"), nullptr);
}

} // namespace
