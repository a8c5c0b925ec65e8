// The web-view scripts run for real in node against a small fake page (page.js beside this file), and
// the native end reads what they send.
#include "sdk/zevuzavidav/webview/WebViewScripts.hpp"

#include "tests/support/TempHome.hpp"
#include "tests/support/Tmux.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace {

using nlohmann::json;

json runInPage(const std::string& script, const std::string& scenario) {
    velotest::TempFolder folder;
    auto path = folder.path() / "script.js";
    std::ofstream(path) << script;
    std::string out = velotest::run(
        "node " + velotest::quote(std::string(VELO_SOURCE_DIR) + "/tests/sdk/zevuzavidav/webview/page.js") +
        " " + velotest::quote(path.string()) + " " + scenario);
    return json::parse(out, nullptr, false);
}

class WebViewScripts : public ::testing::Test {
  protected:
    void SetUp() override {
        if (velotest::run("command -v node").empty()) GTEST_SKIP() << "node is not installed";
    }
};

TEST_F(WebViewScripts, TheClassicScriptAnswersLoadedAndReportsEachErrorAsAFrameLoad) {
    json page = runInPage(zevuzavidav::classicWebViewScript(), "plain");
    ASSERT_TRUE(page.is_object());
    EXPECT_EQ(page["answer"], "loaded");
    EXPECT_EQ(page["frames"], json::array({
                                  "zevuzavidav://exception/uiwebkit?msg=bad%20thing%3A%20a%3Db%20%26%20c"
                                  "&url=https%3A%2F%2Fexample.test%2Fapp.js&line=12&column=5",
                                  // A column of 0 is left out.
                                  "zevuzavidav://exception/uiwebkit?msg=no%20column"
                                  "&url=https%3A%2F%2Fexample.test%2Fapp.js&line=3",
                              }));
    EXPECT_EQ(page["attachedAtEnd"], 0) << "every frame is removed again";
    EXPECT_TRUE(page["messages"].empty());
}

TEST_F(WebViewScripts, TheModernScriptPostsTheErrorAsAMessage) {
    json page = runInPage(zevuzavidav::modernWebViewScript(), "plain");
    ASSERT_TRUE(page.is_object());
    EXPECT_TRUE(page["frames"].empty());
    ASSERT_EQ(page["messages"].size(), 2u);
    EXPECT_EQ(page["messages"][0], (json{{"msg", "bad thing: a=b & c"},
                                         {"url", "https://example.test/app.js"},
                                         {"line", 12},
                                         {"column", 5}}));
}

TEST_F(WebViewScripts, ThePagesOwnHandlersStillRunAfterOurs) {
    for (const auto& script : {zevuzavidav::classicWebViewScript(), zevuzavidav::modernWebViewScript()}) {
        // Handlers the page set before the script, and an error handler it sets after the script but
        // before its load event: both are chained, and the page's answer is the error handler's answer.
        for (const char* scenario : {"page-handlers-first", "page-replaces-onerror-before-load"}) {
            json page = runInPage(script, scenario);
            ASSERT_TRUE(page.is_object()) << scenario;
            EXPECT_EQ(page["pageErrors"].size(), 2u) << scenario;
            EXPECT_EQ(page["pageErrors"][0],
                      json::array({"bad thing: a=b & c", "https://example.test/app.js", 12, 5}))
                << scenario;
            EXPECT_EQ(page["errorAnswer"], true) << scenario;
            EXPECT_EQ(page["frames"].size() + page["messages"].size(), 2u) << scenario << ": ours ran too";
        }
        EXPECT_EQ(runInPage(script, "page-handlers-first")["pageLoads"], 1);
    }
}

TEST(WebViewErrorQuery, OnlyTwoPiecePartsCountAndTheLastKeyWins) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"msg=bad%20thing&url=x&line=1", "bad%20thing"},
        {"msg=first&msg=second", "second"},
        {"msg=a=b&url=x", std::nullopt},
        {"url=x&line=2", std::nullopt},
        {"msg=", ""},
        {"", std::nullopt},
        {"msg=kept&msg=a=b", "kept"},
    };
    for (const auto& [query, msg] : cases)
        EXPECT_EQ(zevuzavidav::webViewErrorMessageFromQuery(query), msg) << query;
}

} // namespace
