#include "app/catalogue/standins/MailComposeViewController.hpp"

#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

std::optional<bool>& canSendOverride() {
    static std::optional<bool> answer;
    return answer;
}

std::optional<std::filesystem::path> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path) return std::nullopt;
    std::string paths = path;
    std::size_t start = 0;
    while (start <= paths.size()) {
        std::size_t end = paths.find(':', start);
        if (end == std::string::npos) end = paths.size();
        std::filesystem::path candidate = std::filesystem::path(paths.substr(start, end - start)) / program;
        if (!candidate.parent_path().empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

bool MailComposeViewController::canSendMail() {
    if (canSendOverride()) return *canSendOverride();
    return findOnPath("xdg-email").has_value();
}

void MailComposeViewController::setCanSendMailOverride(std::optional<bool> answer) {
    canSendOverride() = answer;
}

std::vector<std::string> MailComposeViewController::sendCommand() const {
    std::vector<std::string> command{"xdg-email", "--utf8", "--subject", subject_, "--body", body_};
    // Addresses starting with "-" would read as options.
    for (const auto& recipient : recipients_) {
        if (!recipient.empty() && recipient[0] != '-') command.push_back(recipient);
    }
    return command;
}

void MailComposeViewController::send() {
    auto program = findOnPath("xdg-email");
    MailComposeResult result = MailComposeResult::failed;
    std::optional<ns::Error> error;
    if (program) {
        auto command = sendCommand();
        std::vector<char*> argv;
        for (auto& part : command)
            argv.push_back(part.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, program->c_str(), nullptr, nullptr, argv.data(), environ) == 0) {
            // Reap it without waiting for the mail program to finish.
            std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
            result = MailComposeResult::sent;
        }
    }
    if (result == MailComposeResult::failed) {
        error = ns::Error::make("MFMailComposeErrorDomain", 1, "The mail program could not be started.");
    }
    if (delegate_) delegate_->mailComposeController(*this, result, error);
}

void MailComposeViewController::cancel() {
    if (delegate_) delegate_->mailComposeController(*this, MailComposeResult::cancelled, std::nullopt);
}
