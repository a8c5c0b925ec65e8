// What the kit's API leaves in the launch's report: identity and custom keys as texts, logged errors,
// custom exceptions, and the script errors of web pages from both kinds of web view.
#include "platform/foundation/Console.hpp"
#include "sdk/zevuzavidav/logging/ZEVUserLogging.hpp"
#include "sdk/zevuzavidav/record/ZEVFileReader.hpp"
#include "sdk/zevuzavidav/webview/WebViewScripts.hpp"
#include "tests/sdk/zevuzavidav/kit/KitWorld.hpp"
#include "tests/sdk/zevuzavidav/support/FakeContext.hpp"
#include "tests/sdk/zevuzavidav/support/RecordSupport.hpp"

#include <gtest/gtest.h>

#include <any>
#include <map>

namespace {

using recordtest::hex;

std::string unhex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

// The pairs of a key-value store, decoded, later lines winning.
std::map<std::string, std::string> pairsOf(const ZEVUserLoggingKVStorage& store) {
    std::map<std::string, std::string> pairs;
    if (auto lines = ZEVFileReadSections(store.incrementalPath, false))
        for (const auto& line : *lines)
            pairs[unhex(line["kv"]["key"])] =
                line["kv"]["value"].is_string() ? unhex(line["kv"]["value"]) : "<null>";
    return pairs;
}

class KitRecords : public ::testing::Test {
  protected:
    KitRecords() : context(limits()) {
        zevuzavidav::sharedCrashContext().exceptionQueue =
            std::make_shared<dispatch::SerialQueue>("com.rizudiz.zevuzavidav.ios.exception");
        context.readOnly().exception.customPath = customPath.c_str();
        context.readOnly().exception.customExceptionLimit = 16;
    }
    ~KitRecords() override { zevuzavidav::sharedCrashContext().exceptionQueue.reset(); }

    static ZEVContextInitData limits() {
        ZEVContextInitData data;
        data.maxCustomKeys = 16;
        data.errorReportingEnabled = 1;
        data.maxCustomExceptions = 16;
        return data;
    }

    // The reasons of the "javascript" exceptions recorded so far ("<null>" for none).
    std::vector<std::string> javaScriptReasons() {
        std::vector<std::string> reasons;
        if (auto lines = ZEVFileReadSections(customPath.c_str(), false))
            for (const auto& line : *lines)
                if (line["exception"]["type"] == "javascript") {
                    EXPECT_EQ(line["exception"]["name"], hex("exception"));
                    const auto& reason = line["exception"]["reason"];
                    reasons.push_back(reason.is_string() ? unhex(reason) : "<null>");
                }
        return reasons;
    }

    kittest::KitWorld world;
    FakeContext context;
    std::string customPath = context.dir() + "/custom_exception.zevrecord";
    std::shared_ptr<Zevuzavidav> kit = world.makeKit();
};

// What the identity setters leave in the internal store when given learner-7, Ada, ada@example.com and
// the development platform Unity 2024.1.
const std::map<std::string, std::string> identitySet = {
    {"com.zevuzavidav.user-id", "learner-7"},
    {"com.zevuzavidav.user-name", "Ada"},
    {"com.zevuzavidav.user-email", "ada@example.com"},
    {"com.zevuzavidav.development-platform-name", "Unity"},
    {"com.zevuzavidav.development-platform-version", "2024.1"}};

TEST_F(KitRecords, IdentityAndKeysAreStoredAsTheirTexts) {
    kit->setUserIdentifier(std::string("learner-7"));
    kit->setUserName(std::string("Ada"));
    kit->setUserEmail(std::string("ada@example.com"));
    kit->setDevelopmentPlatformName(std::string("Unity"));
    kit->setDevelopmentPlatformVersion(std::string("2024.1"));
    kit->setObjectValue(std::string("CH1L2"), std::string("lesson"));
    kit->setIntValue(5, std::string("attempts"));
    kit->setIntValue(-2147483647 - 1, std::string("lowest"));
    kit->setBoolValue(true, std::string("sound"));
    kit->setBoolValue(false, std::string("autorun"));
    kit->setFloatValue(0.5f, std::string("ratio"));
    kit->setFloatValue(1.1f, std::string("near one"));
    kit->setObjectValue(std::nullopt, std::string("gone"));
    kit->setObjectValue(std::string("dropped"), std::nullopt); // no key: nothing at all
    context.drain();

    EXPECT_EQ(pairsOf(context.readOnly().logging.internalStore), identitySet);
    EXPECT_EQ(pairsOf(context.readOnly().logging.userStore),
              (std::map<std::string, std::string>{{"lesson", "CH1L2"},
                                                  {"attempts", "5"},
                                                  {"lowest", "-2147483648"},
                                                  {"sound", "1"},
                                                  {"autorun", "0"},
                                                  {"ratio", "0.5"},
                                                  {"near one", "1.1"},
                                                  {"gone", "<null>"}}));
}

// The class-side forms, sent by name as the phone's class methods are, reach the shared kit; a value
// of another type than the setter takes sets nothing.
TEST_F(KitRecords, ClassSideSettersReachTheSharedKitByName) {
    const rt::Class* kitClass = world.registry.lookUpClass("Zevuzavidav");
    ASSERT_NE(kitClass, nullptr);
    using Text = std::optional<std::string>;
    const std::vector<std::pair<const char*, std::vector<std::any>>> messages = {
        {"setUserIdentifier:", {Text("learner-7")}},
        {"setUserName:", {std::string("Ada")}},
        {"setUserEmail:", {static_cast<const char*>("ada@example.com")}},
        {"setDevelopmentPlatformName:", {Text("Unity")}},
        {"setDevelopmentPlatformVersion:", {Text("2024.1")}},
        {"setObjectValue:forKey:", {Text("CH1L2"), Text("lesson")}},
        {"setIntValue:forKey:", {std::int32_t{-5}, std::string("attempts")}},
        {"setBoolValue:forKey:", {true, std::string("sound")}},
        {"setFloatValue:forKey:", {0.5f, std::string("ratio")}},
        {"setFloatValue:forKey:", {1.25, std::string("from a double")}},
        {"setIntValue:forKey:", {std::string("7"), std::string("not a number")}},
        {"setBoolValue:forKey:", {}},
    };
    for (const auto& [selector, arguments] : messages)
        kitClass->performClassSelector(selector, arguments);
    context.drain();

    EXPECT_EQ(pairsOf(context.readOnly().logging.internalStore), identitySet);
    EXPECT_EQ(pairsOf(context.readOnly().logging.userStore),
              (std::map<std::string, std::string>{{"lesson", "CH1L2"},
                                                  {"attempts", "-5"},
                                                  {"sound", "1"},
                                                  {"ratio", "0.5"},
                                                  {"from a double", "1.25"}}));
}

TEST_F(KitRecords, TheDevelopmentPlatformIsWriteOnly) {
    ns::ConsoleCapture console;
    kit->setDevelopmentPlatformName(std::string("Unity"));
    EXPECT_EQ(kit->developmentPlatformName(), std::nullopt);
    EXPECT_EQ(kit->developmentPlatformVersion(), std::nullopt);
    EXPECT_TRUE(console.contains("[Zevuzavidav] developmentPlatformName is write-only"));
    EXPECT_TRUE(console.contains("[Zevuzavidav] developmentPlatformVersion is write-only"));
}

TEST_F(KitRecords, ErrorsKeepTheirUserInfoAndTheExtraInfo) {
    kit->recordError(ns::Error("NSCocoaErrorDomain", -7, {{"reason", "disk full"}}),
                     {{{"screen", "lesson"}}});
    kit->recordError(ns::Error("AppDomain", 3));
    context.drain();
    auto lines = ZEVFileReadSections(context.readOnly().logging.errorStore.pathA, false);
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 2u);
    const auto& first = (*lines)[0]["error"];
    EXPECT_EQ(first["domain"], hex("NSCocoaErrorDomain"));
    EXPECT_EQ(first["code"], -7);
    EXPECT_EQ(first["info"],
              nlohmann::json::parse("[[\"" + hex("reason") + "\",\"" + hex("disk full") + "\"]]"));
    EXPECT_EQ(first["extra_info"],
              nlohmann::json::parse("[[\"" + hex("screen") + "\",\"" + hex("lesson") + "\"]]"));
    EXPECT_FALSE((*lines)[1]["error"].contains("extra_info"));
}

TEST_F(KitRecords, CustomExceptionsCarryTheirNameReasonAndFrames) {
    std::vector<ZEVStackFrame> frames = {ZEVStackFrame::stackFrameWithAddress(0x4000)};
    kit->recordCustomExceptionName(std::string("LessonError"), std::string("no answer"), frames);
    kit->recordCustomExceptionName(std::nullopt, std::nullopt, {});
    auto lines = ZEVFileReadSections(customPath.c_str(), false);
    ASSERT_TRUE(lines);
    ASSERT_EQ(lines->size(), 2u);
    const auto& first = (*lines)[0]["exception"];
    EXPECT_EQ(first["type"], "custom");
    EXPECT_EQ(first["name"], hex("LessonError"));
    EXPECT_EQ(first["reason"], hex("no answer"));
    EXPECT_EQ(first["frames"][0]["pc"], 0x4000);
    EXPECT_TRUE((*lines)[1]["exception"]["name"].is_null());
}

TEST_F(KitRecords, ClassicWebViewReportsAreRecordedAsTheirQuerySaysAndOthersAreLeftAlone) {
    struct Case {
        const char* url;
        bool handled;
        const char* reason; // nullptr: nothing recorded
    };
    const Case cases[] = {
        {"zevuzavidav://exception/uiwebkit?msg=a%20b&url=https%3A%2F%2Fx&line=3&column=7", true, "a%20b"},
        {"zevuzavidav://exception/uiwebkit?msg=x%3Dy=z&url=u&line=1", true, "<null>"},
        {"zevuzavidav://exception/uiwebkit?msg=one&msg=two&line=1", true, "two"},
        {"zevuzavidav://exception/uiwebkit?url=u&line=1", true, "<null>"},
        {"zevuzavidav://exception/uiwebkit?msg=kept#fragment", true, "kept"},
        {"https://example.com/page?msg=not-ours", false, nullptr},
        {"about:blank", false, nullptr},
        {"Zevuzavidav-like://x?msg=no", false, nullptr},
    };
    svc::WebView page(ui::Rect::zero(), svc::WebViewConfiguration{});
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        EXPECT_EQ(kit->handleWebView(page, svc::URLRequest{c.url}, 0), c.handled) << c.url;
        if (c.reason) expected.push_back(c.reason);
    }
    EXPECT_EQ(javaScriptReasons(), expected);
}

// A page with a script engine as far as the kit's probe goes: zevuzavidavOnError is defined once the
// classic script has run, and that script's last statement is the text "loaded".
class PageWithScripts : public svc::WebView {
  public:
    PageWithScripts() : svc::WebView(ui::Rect::zero(), svc::WebViewConfiguration{}) {}
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script) override {
        evaluated.push_back(script);
        if (script == "typeof zevuzavidavOnError") return handlerDefined ? "function" : "undefined";
        if (script == zevuzavidav::classicWebViewScript()) {
            handlerDefined = true;
            return "loaded";
        }
        return "";
    }
    std::vector<std::string> evaluated;
    bool handlerDefined = false;
};

TEST_F(KitRecords, TheClassicScriptGoesIntoAPageOnceAndAPageWithoutScriptsIsLogged) {
    ns::ConsoleCapture console;
    PageWithScripts page;
    kit->monitorErrorsForUIWebView(page);
    EXPECT_EQ(page.evaluated,
              (std::vector<std::string>{"typeof zevuzavidavOnError", zevuzavidav::classicWebViewScript()}));
    EXPECT_TRUE(console.lines().empty());

    kit->monitorErrorsForUIWebView(page);
    EXPECT_EQ(page.evaluated.size(), 3u) << "the second time only asks";
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("[Zevuzavidav] Unable to monitor UIWebView (0x", 0), 0u)
        << console.lines()[0];

    svc::WebView noScripts(ui::Rect::zero(), svc::WebViewConfiguration{});
    kit->monitorErrorsForUIWebView(noScripts);
    EXPECT_EQ(console.lines().size(), 2u);
}

TEST_F(KitRecords, ModernWebViewMessagesAreRecordedUnchanged) {
    ns::ConsoleCapture console;
    svc::WebViewConfiguration configuration;
    kit->monitorErrorsForWKWebViewConfiguration(configuration);
    auto& controller = *configuration.userContentController;
    EXPECT_EQ(controller.scriptMessageHandlerForName("zevuzavidav"),
              std::static_pointer_cast<svc::ScriptMessageHandler>(kit));
    ASSERT_EQ(controller.userScripts().size(), 1u);
    EXPECT_EQ(controller.userScripts()[0].source, zevuzavidav::modernWebViewScript());
    EXPECT_EQ(controller.userScripts()[0].injectionTime, svc::UserScriptInjectionTime::atDocumentEnd);
    EXPECT_TRUE(controller.userScripts()[0].forMainFrameOnly);

    // A second call on the same configuration adds no second script.
    kit->monitorErrorsForWKWebViewConfiguration(configuration);
    EXPECT_EQ(controller.userScripts().size(), 1u);
    ASSERT_EQ(console.lines().size(), 1u);
    EXPECT_EQ(console.lines()[0].rfind("[Zevuzavidav] Unable to monitor <WebViewConfiguration: 0x", 0), 0u);

    controller.didReceiveScriptMessage({"zevuzavidav", {{"msg", "a b"}, {"url", "https://x"}, {"line", 3}}});
    controller.didReceiveScriptMessage({"zevuzavidav", {{"url", "https://x"}}});
    controller.didReceiveScriptMessage({"zevuzavidav", {{"msg", 42}}});
    controller.didReceiveScriptMessage({"zevuzavidav", "just text"});
    EXPECT_EQ(javaScriptReasons(), (std::vector<std::string>{"a b", "<null>", "<null>"}));
    EXPECT_TRUE(console.contains("[Zevuzavidav] Unable to record exception from WKWebView"));
}

} // namespace
