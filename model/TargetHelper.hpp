#pragma once
// Which edition is running, and the facts that go with it: the app version, the bundle identifier and
// the store review address. One program serves four editions; the bundle identifier alone selects one.
//
// Edition codes: 0 Swift, 1 C++, 2 Zovud ERO, 3 SwiftUI (0 and 2 build the same course).
//
// Failure contract: an unknown bundle identifier is not an error: currentEdition prints
// "ALERT: No app setup // returning default app" and answers 0. A missing Info.plist value reads as ""
// with a console line naming the key. reviewURL of a code outside 0...3 is the Swift edition's.
#include <array>
#include <optional>
#include <string>
#include <string_view>

class TargetHelper {
  public:
    enum Edition : int { swift = 0, cpp = 1, zovudEro = 2, swiftUI = 3 };

    // The bundle identifiers and store app ids of the editions, indexed by edition code.
    static constexpr std::array<const char*, 4> bundleIdentifiers = {
        "com.velomarinth.swift", "com.velomarinth.cpp", "com.velomarinth.zovudero",
        "com.velomarinth.swiftui"};
    static constexpr std::array<const char*, 4> storeAppIds = {"1184736201", "1184736202", "1184736203",
                                                               "1184736204"};
    static constexpr const char* storeHost = "apps.store.velomarinth.com";

    // The one instance, made on first use.
    static TargetHelper& shared();

    std::string appVersion() const;       // "CFBundleShortVersionString" of the main bundle
    std::string bundleIdentifier() const; // "CFBundleIdentifier" of the main bundle
    // The main bundle's information value for `key` as text; absent when missing or not text.
    std::optional<std::string> infoValue(std::string_view key) const;

    int currentEdition(std::string_view bundleIdentifier) const;
    std::string reviewURL(int edition) const;
    // The store review page of the edition this bundle is (an unknown bundle gets the Swift edition's).
    std::string runningEditionReviewURL() const;

  private:
    TargetHelper() = default;
};
