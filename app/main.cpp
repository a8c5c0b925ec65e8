// The process entry: starts the app the way the phone would (application delegate first, then the
// storyboard's first screen) and hands the main thread to the terminal front end.
//
//   velomarinth [--max-keys N]
// The edition comes from the bundle the executable sits in. --max-keys ends the run after N keys (for
// scripted runs). The exit status is 1 when the learner's progress could not be saved at the end (said
// on standard error once the terminal is restored, and in the log).
#include "app/catalogue/AppDelegate.hpp"
#include "app/catalogue/CatalogueStoryboard.hpp"
#include "app/catalogue/terminal/CataloguePresenters.hpp"
#include "app/catalogue/terminal/SaveAtQuit.hpp"
#include "app/catalogue/terminal/SaveStatusLine.hpp"
#include "app/catalogue/terminal/URLOpening.hpp"
#include "model/TargetHelper.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/Sandbox.hpp"
#include "platform/services/Executor.hpp"
#include "platform/services/StoreReviewController.hpp"
#include "platform/services/URLOpener.hpp"
#include "platform/services/rest/RestBackendClient.hpp"
#include "platform/terminal/CursesTerminal.hpp"
#include "platform/terminal/TerminalRestore.hpp"
#include "platform/uikit/Application.hpp"
#include "sdk/zovaze/Zovaze.hpp"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

std::optional<int> maxKeysFrom(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--max-keys") {
            char* end = nullptr;
            long n = std::strtol(argv[i + 1], &end, 10);
            if (end != argv[i + 1] && *end == '\0' && n >= 0 && n <= INT_MAX) return static_cast<int>(n);
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    // Said for the stream that is not a terminal, with what to do instead: the command that started it
    // may well have been ./velo run, with a pipe or a redirection after it.
    if (!::isatty(STDOUT_FILENO)) {
        std::fprintf(stderr,
                     "velomarinth draws its screens in a terminal, but its output goes to a pipe or a file. "
                     "Start it with its output on the terminal, neither piped nor redirected: what it logs "
                     "goes to %s by itself.\n",
                     (ns::Sandbox::logs() / "console.log").c_str());
        return 1;
    }
    if (!::isatty(STDIN_FILENO)) {
        std::fprintf(stderr,
                     "velomarinth reads its keys from a terminal, but its input comes from a pipe or a "
                     "file. Start it with its input on the terminal; to script a run, drive a "
                     "terminal (tmux send-keys) and end it with --max-keys N.\n");
        return 1;
    }
    // A write over a file-size limit (ulimit -f) fails with EFBIG, which every writer handles, instead
    // of ending the app.
    std::signal(SIGXFSZ, SIG_IGN);
    // Before the SDK starts: its crash reporter then sees every signal first and passes it on here,
    // where the terminal is put back before the process ends.
    term::installTerminalRestoration();
    // The screen belongs to the front end from here on: diagnostics go to the sandbox's log.
    auto logFile = ns::Sandbox::logs() / "console.log";
    if (!ns::redirectConsoleToFile(logFile.string())) {
        std::fprintf(stderr, "velomarinth: cannot write %s; diagnostics are dropped.\n", logFile.c_str());
        ns::setConsoleSink([](std::string_view) {});
    }

    dispatch::main().bindToCurrentThread();
    svc::setCallbackExecutor([](svc::Task task) { dispatch::main().async(std::move(task)); });

    auto& target = TargetHelper::shared();
    auto backend = std::make_shared<svc::RestBackendClient>(
        svc::RestBackendClient::Options{ns::Sandbox::applicationSupport() / "backend-installation.json",
                                        target.bundleIdentifier(), target.appVersion()});
    svc::setSharedBackendClient(backend);

    auto& application = ui::Application::shared();

    auto delegate = std::make_unique<AppDelegate>(
        backend, [](const std::vector<std::string>& kits) { Zovaze::with(kits); });
    delegate->application(application, {});

    term::FrontEnd frontEnd([&frontEnd](const std::shared_ptr<ui::ViewController>& screen) {
        return makeCataloguePresenter(screen, frontEnd);
    });
    // The app's logo, the title of its screens, reads as this edition's own name, as its bundle gives it.
    frontEnd.setImageTitle(
        "logo", target.infoValue("CFBundleDisplayName")
                    .value_or(target.infoValue("CFBundleName").value_or(target.bundleIdentifier())));
    // An address nothing could open (no xdg-open, say) is said on the screen rather than ignored.
    application.setOpenURLHandler(openURLThroughDesktop(frontEnd));
    svc::StoreReviewController::setObserver(
        [&frontEnd] { frontEnd.notice("Enjoying the app? A review in the store helps us a lot."); });
    // Saves of the learner record that fail stay on screen until one succeeds.
    SaveStatusLine saveStatus(frontEnd);

    auto root = makeInitialViewController();
    application.setRootViewController(root);
    // The course home made or loaded the learner record as its view loaded; it lives as long as the home.
    const auto* home = dynamic_cast<const MainViewController*>(root->viewControllers().front().get());
    const ProgressReport::Ptr record = home ? home->progressReport : nullptr;
    application.postLifecycleNotification(ui::applicationDidBecomeActiveNotification);

    int status = term::CursesTerminal().run(frontEnd, {maxKeysFrom(argc, argv)});
    delegate->applicationWillTerminate(application);
    application.postTerminationNotifications();
    // The screen is the terminal's again. What a failed save left unsaved is tried once more, and a
    // failure is said where the learner reads it.
    if (auto unsaved = record ? saveProgressAtQuit(*record, ns::UserDefaults::standard()) : std::nullopt) {
        std::fprintf(stderr, "velomarinth: %s\n", unsaved->c_str());
        ns::console(*unsaved);
        status = 1;
    }

    // Nothing may answer on another thread while the screens go away. Requests still in flight are
    // abandoned: the backend's worker is stopped (and joined, at once: it never waits on the network, not
    // even on a name look-up) while its callbacks still only go to the main queue, and that queue is
    // then emptied without running them.
    svc::StoreReviewController::setObserver(nullptr);
    application.setOpenURLHandler(nullptr);
    svc::setSharedBackendClient(nullptr);
    delegate.reset();
    backend.reset();
    dispatch::main().removeAll();
    application.reset();
    svc::setCallbackExecutor(nullptr);
    return status;
}
