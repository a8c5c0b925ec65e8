// Trust evaluation with OpenSSL: anchors, anchors-only, host names, malformed input.
#include "platform/net/ServerTrust.hpp"
#include "tests/support/TestPKI.hpp"

#include <gtest/gtest.h>

using namespace velotest;

namespace {

bool trusted(net::TrustResult result) {
    return result == net::TrustResult::unspecified || result == net::TrustResult::proceed;
}

TEST(ServerTrust, AnchorsOnlyAcceptsExactlyChainsEndingInAnAnchor) {
    auto root = makeRootAuthority("Root A");
    auto other = makeRootAuthority("Root B");
    auto leaf = makeServerCertificate(*root);
    struct Case {
        std::vector<net::CertificateRef> anchors;
        bool systemTrustsRoot;
        bool anchorsOnly;
        bool expected;
    };
    const Case cases[] = {
        {{root->netCertificate()}, false, true, true},
        {{other->netCertificate()}, true, true, false}, // the system's root does not count
        {{other->netCertificate()}, true, false, true}, // ...unless anchors are not exclusive
        {{}, false, false, false},
        {{other->netCertificate(), root->netCertificate()}, false, true, true},
    };
    for (const auto& c : cases) {
        net::ServerTrust::overrideSystemAnchorCertificates(
            c.systemTrustsRoot ? std::vector{root->netCertificate()} : std::vector<net::CertificateRef>{});
        net::ServerTrust trust({leaf->netCertificate()}, "127.0.0.1");
        ASSERT_EQ(trust.setAnchorCertificates(c.anchors), net::errSecSuccess);
        ASSERT_EQ(trust.setAnchorCertificatesOnly(c.anchorsOnly), net::errSecSuccess);
        net::TrustResult result = net::TrustResult::invalid;
        EXPECT_EQ(trust.evaluate(result), net::errSecSuccess);
        EXPECT_EQ(trusted(result), c.expected) << c.anchors.size() << c.systemTrustsRoot << c.anchorsOnly;
    }
    net::ServerTrust::overrideSystemAnchorCertificates(std::nullopt);
}

TEST(ServerTrust, TheLeafMustNameTheHost) {
    auto root = makeRootAuthority("Root");
    auto leaf = makeServerCertificate(*root, "DNS:example.test");
    for (const auto& [host, expected] :
         {std::pair{"example.test", true}, {"127.0.0.1", false}, {"other.test", false}}) {
        net::ServerTrust trust({leaf->netCertificate()}, host);
        trust.setAnchorCertificates({root->netCertificate()});
        trust.setAnchorCertificatesOnly(true);
        net::TrustResult result{};
        trust.evaluate(result);
        EXPECT_EQ(trusted(result), expected) << host;
    }
}

TEST(ServerTrust, EmptyChainAndNullAnchorAreRefused) {
    net::ServerTrust empty({}, "127.0.0.1");
    net::TrustResult result = net::TrustResult::proceed;
    EXPECT_EQ(empty.evaluate(result), net::errSecParam);
    EXPECT_EQ(result, net::TrustResult::invalid);
    EXPECT_EQ(empty.setAnchorCertificates({nullptr}), net::errSecParam);
}

TEST(ServerTrust, CarriedBytesThatDoNotParseAnchorNothing) {
    auto root = makeRootAuthority("Root C");
    auto leaf = makeServerCertificate(*root);
    auto der = root->netCertificate()->data();
    der.push_back(0);
    const auto broken = net::Certificate::createWithCarriedData(der.data(), der.size());
    const auto carriedRoot = net::Certificate::createWithCarriedData(der.data(), der.size() - 1);
    struct Case {
        std::vector<net::CertificateRef> anchors;
        bool expected;
    };
    const Case cases[] = {{{broken}, false}, {{broken, carriedRoot}, true}, {{carriedRoot}, true}};
    for (const auto& c : cases) {
        net::ServerTrust trust({leaf->netCertificate()}, "127.0.0.1");
        ASSERT_EQ(trust.setAnchorCertificates(c.anchors), net::errSecSuccess);
        trust.setAnchorCertificatesOnly(true);
        net::TrustResult result = net::TrustResult::invalid;
        EXPECT_EQ(trust.evaluate(result), net::errSecSuccess);
        EXPECT_EQ(trusted(result), c.expected) << c.anchors.size();
    }
    net::ServerTrust unparsedLeaf({broken}, "127.0.0.1");
    net::TrustResult result = net::TrustResult::proceed;
    EXPECT_EQ(unparsedLeaf.evaluate(result), net::errSecParam);
    EXPECT_EQ(result, net::TrustResult::invalid);
}

TEST(Certificate, CarriedBytesAreKeptAndParsedOnFirstUse) {
    auto root = makeRootAuthority("Root Carried");
    auto der = root->netCertificate()->data();
    auto carried = net::Certificate::createWithCarriedData(der.data(), der.size());
    ASSERT_TRUE(carried);
    EXPECT_EQ(carried->data(), der);
    EXPECT_EQ(carried->subjectCommonName(), "Root Carried");
    EXPECT_NE(carried->x509(), nullptr);
    der.push_back(0);
    auto trailing = net::Certificate::createWithCarriedData(der.data(), der.size());
    ASSERT_TRUE(trailing); // refused only when used
    EXPECT_EQ(trailing->x509(), nullptr);
    EXPECT_EQ(trailing->subjectCommonName(), "");
    EXPECT_FALSE(net::Certificate::createWithCarriedData(nullptr, 0));
}

TEST(Certificate, OnlyWholeDERCertificatesAreAccepted) {
    auto root = makeRootAuthority("Root DER");
    auto der = root->netCertificate()->data();
    auto made = net::Certificate::createWithData(der.data(), der.size());
    ASSERT_TRUE(made);
    EXPECT_EQ(made->subjectCommonName(), "Root DER");
    auto longer = der;
    longer.push_back(0);
    EXPECT_FALSE(net::Certificate::createWithData(longer.data(), longer.size()));
    EXPECT_FALSE(net::Certificate::createWithData(der.data(), der.size() - 1));
    EXPECT_FALSE(net::Certificate::createWithData(nullptr, 0));
}

} // namespace
