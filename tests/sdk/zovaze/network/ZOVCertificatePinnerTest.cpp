// Certificate pinning: the pinned set, challenge answers, and the client against a real TLS server.
#include "sdk/zovaze/network/ZOVCertificatePinner.hpp"
#include "platform/net/URLError.hpp"
#include "sdk/zovaze/base/DebugFlag.hpp"
#include "sdk/zovaze/network/ZOVNetworkClient.hpp"
#include "tests/sdk/zovaze/support/NetworkTestSupport.hpp"

#include <gtest/gtest.h>

using namespace velotest;

namespace {

TEST(ZOVPinnedCertificates, TheCarriedRootsParseInTheirFixedOrderAndTheSetIsBuiltOnce) {
    auto first = ZOVPinnedCertificates();
    auto second = ZOVPinnedCertificates();
    EXPECT_EQ(first.get(), second.get());
    ASSERT_EQ(first->size(), 2u);
    EXPECT_EQ((*first)[0]->subjectCommonName(), "Entrust Root Certification Authority");
    EXPECT_EQ((*first)[1]->subjectCommonName(), "DigiCert High Assurance EV Root CA");
    const std::uint8_t garbage[] = {0x30, 0x03, 0x01, 0x01, 0xff};
    EXPECT_FALSE(ZOVCertificateFromDERBytes(garbage, sizeof garbage));
    EXPECT_FALSE(ZOVCertificatePinner::createCertificationWithData(garbage, 0));
}

struct Answer {
    int calls = 0;
    net::AuthChallengeDisposition disposition{};
    net::URLCredentialRef credential;
};

TEST(ZOVCertificatePinner, ChallengesAreAnsweredFromThePinnedRootsAlone) {
    auto pinnedRoot = makeRootAuthority("Pinned Root");
    auto systemRoot = makeRootAuthority("System Root");
    auto pinnedLeaf = makeServerCertificate(*pinnedRoot);
    auto systemLeaf = makeServerCertificate(*systemRoot);
    net::ServerTrust::overrideSystemAnchorCertificates(std::vector{systemRoot->netCertificate()});
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    struct Case {
        const TestIdentity* leaf;
        zovaze::CertificateArray pins;
        bool accepted;
    };
    const Case cases[] = {
        {pinnedLeaf.get(), {pinnedRoot->netCertificate()}, true},
        {systemLeaf.get(), {pinnedRoot->netCertificate()}, false}, // trusted by the system, not pinned
        {pinnedLeaf.get(), {}, false},
        {pinnedLeaf.get(), {systemRoot->netCertificate(), pinnedRoot->netCertificate()}, true},
    };
    for (const auto& c : cases) {
        auto trust = std::make_shared<net::ServerTrust>(std::vector{c.leaf->netCertificate()}, "127.0.0.1");
        net::URLAuthenticationChallenge challenge(
            net::URLProtectionSpace("127.0.0.1", 443, "https", net::AuthenticationMethodServerTrust, trust));
        Answer answer;
        bool result = ZOVCertificatePinner(c.pins).handleChallenge(
            challenge, *session, [&](net::AuthChallengeDisposition d, net::URLCredentialRef credential) {
                ++answer.calls;
                answer.disposition = d;
                answer.credential = credential;
            });
        EXPECT_EQ(result, c.accepted);
        EXPECT_EQ(answer.calls, 1);
        EXPECT_EQ(answer.disposition, c.accepted
                                          ? net::AuthChallengeDisposition::useCredential
                                          : net::AuthChallengeDisposition::cancelAuthenticationChallenge);
        EXPECT_EQ(answer.credential != nullptr, c.accepted);
        if (c.accepted && answer.credential) {
            EXPECT_EQ(answer.credential->serverTrust(), trust);
        }
    }
    net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);

    net::TrustResult result = net::TrustResult::proceed;
    net::ServerTrust trust({pinnedLeaf->netCertificate()}, "127.0.0.1");
    EXPECT_EQ(ZOVCertificatePinner({}).evaluateTrust(trust, result), 0);
    EXPECT_EQ(result, net::TrustResult::invalid);
}

TEST(ZOVCertificatePinner, AChallengeOfAnotherKindIsCancelled) {
    auto root = makeRootAuthority("Root");
    auto session = net::URLSession::sessionWithConfiguration(nullptr);
    net::URLAuthenticationChallenge basic(
        net::URLProtectionSpace("127.0.0.1", 443, "https", net::AuthenticationMethodHTTPBasic));
    Answer answer;
    EXPECT_FALSE(
        ZOVCertificatePinner({root->netCertificate()})
            .handleChallenge(basic, *session, [&](net::AuthChallengeDisposition d, net::URLCredentialRef c) {
                ++answer.calls;
                answer.disposition = d;
                answer.credential = c;
            }));
    EXPECT_EQ(answer.calls, 1);
    EXPECT_EQ(answer.disposition, net::AuthChallengeDisposition::cancelAuthenticationChallenge);
    EXPECT_FALSE(answer.credential);
}

class PinnedClient : public ::testing::Test {
  protected:
    void TearDown() override {
        zovaze::setDebugFlag(false);
        net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
    }
    TempHome home_;
    ScriptedServer server_;
};

TEST_F(PinnedClient, TheClientTrustsOnlyItsPinsUnlessDebugging) {
    auto otherRoot = makeRootAuthority("Other Root");
    // The system trusts the server's root in every case below.
    net::ServerTrust::overrideSystemAnchorCertificates(std::vector{server_.root->netCertificate()});
    struct Case {
        std::optional<zovaze::CertificateArray> pins;
        bool debug;
        bool succeeds;
    };
    const Case cases[] = {
        {server_.pins(), false, true},
        {zovaze::CertificateArray{otherRoot->netCertificate()}, false, false},
        {zovaze::CertificateArray{}, false, false},
        {zovaze::CertificateArray{otherRoot->netCertificate()}, true,
         true},                      // debug: the system's trust applies
        {std::nullopt, false, true}, // no pinning: the system's trust
    };
    for (const auto& c : cases) {
        zovaze::setDebugFlag(c.debug);
        auto client = ZOVNetworkClient::initWithQueue(nullptr, c.pins);
        EXPECT_EQ(client->certPinner() != nullptr, c.pins.has_value());
        auto outcome = runClientData(*client, net::URLRequest(server_.url("/status/200")), 10);
        EXPECT_EQ(!outcome.error, c.succeeds) << (outcome.error ? outcome.error->description() : "");
        if (!c.succeeds && outcome.error) {
            EXPECT_EQ(outcome.error->domain(), net::URLErrorDomain);
            EXPECT_EQ(outcome.error->code(), net::URLErrorCancelled);
        }
    }
}

TEST_F(PinnedClient, WithDebugOnAChainTheSystemDoesNotTrustStillFails) {
    zovaze::setDebugFlag(true);
    net::ServerTrust::overrideSystemAnchorCertificates(std::vector<net::CertificateRef>{});
    auto client = ZOVNetworkClient::initWithQueue(nullptr, server_.pins());
    auto outcome = runClientData(*client, net::URLRequest(server_.url("/status/200")), 10);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->code(), net::URLErrorServerCertificateUntrusted);
}

} // namespace
