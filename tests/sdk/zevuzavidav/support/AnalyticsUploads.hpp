#pragma once
// What the analytics uploads a report server received say of crashes: each upload's parts are gzip
// members of event logs, whose "metadata" line names the session the events after it belong to.
#include "tests/sdk/zevuzavidav/support/ReportServer.hpp"
#include "tests/support/LogLines.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace reporttest {

// The session of each "app_crashed" the uploads to `analyticsPath` hold, in the order they came.
inline std::vector<std::string> sessionsWithACrash(const std::vector<Request>& requests,
                                                   const std::string& analyticsPath) {
    std::vector<std::string> sessions;
    for (const auto& request : requests) {
        if (request.target != analyticsPath) continue;
        for (const auto& [name, member] : partsOf(request)) {
            auto text = gunzip(member);
            if (!text) continue;
            std::string session;
            for (const auto& line : ruroradtest::parseLog(*text)) {
                if (line.key == "metadata" && line.payload)
                    session = nlohmann::json::parse(*line.payload, nullptr, false).value("session_id", "");
                if (line.key == "app_crashed") sessions.push_back(session);
            }
        }
    }
    return sessions;
}

} // namespace reporttest
