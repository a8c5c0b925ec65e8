#include "platform/darwin/ExceptionPorts.hpp"
#include "platform/darwin/SignalDelivery.hpp"
#include "platform/darwin/Threads.hpp"
#include "tests/support/ChildProcess.hpp"
#include "tests/support/ThreadState.hpp"
#include "tests/support/Waiter.hpp"

#include <gtest/gtest.h>

#include <execinfo.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::uint32_t kBadAccessMask = 1U << darwin::kExcBadAccess;

// The page a reader faults on, and how often the fault reached the signal disposition.
long pageSize = 0;
int* page = nullptr;
std::atomic<int> fallThroughs{0};

// The disposition behind the emulation: it opens the page, so the read runs again and succeeds.
void openPage(int, siginfo_t*, void*) {
    fallThroughs.fetch_add(1);
    mprotect(page, static_cast<std::size_t>(pageSize), PROT_READ | PROT_WRITE);
}

class ExceptionPortFault : public ::testing::Test {
  protected:
    std::uint32_t port = 0;
    struct sigaction saved {};

    void SetUp() override {
        pageSize = sysconf(_SC_PAGESIZE);
        void* mapped = mmap(nullptr, static_cast<std::size_t>(pageSize), PROT_READ | PROT_WRITE,
                            MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(mapped, MAP_FAILED);
        page = static_cast<int*>(mapped);
        *page = 42;
        ASSERT_EQ(mprotect(page, static_cast<std::size_t>(pageSize), PROT_NONE), 0);
        fallThroughs = 0;
        darwin::setExceptionEmulationEnabled(true);
        struct sigaction fallback {};
        fallback.sa_sigaction = openPage;
        fallback.sa_flags = SA_SIGINFO;
        sigemptyset(&fallback.sa_mask);
        ASSERT_EQ(darwin::signalAction(SIGSEGV, &fallback, &saved), 0);
        ASSERT_TRUE(darwin::exceptionPortAllocate(&port));
    }
    void TearDown() override {
        darwin::taskSetExceptionPorts(kBadAccessMask, 0, 0, 0);
        darwin::exceptionPortDeallocate(port);
        darwin::signalAction(SIGSEGV, &saved, nullptr);
        darwin::setExceptionEmulationEnabled(false);
        munmap(page, static_cast<std::size_t>(pageSize));
    }

    // Reads the closed page on a thread of its own, which waits there while its fault is reported.
    struct Reader {
        std::atomic<pid_t> id{0};
        std::atomic<int> value{0};
        std::thread thread{[this] {
            id = darwin::currentThreadId();
            value = *static_cast<volatile int*>(page);
        }};
    };

    // The request of the reader's fault, waited for within the shared patience: a fault that never
    // reaches the port fails the test instead of holding it for ever.
    darwin::ExceptionRequest receive() {
        darwin::ExceptionRequest request{};
        EXPECT_TRUE(darwin::exceptionReceive(port, &request, sizeof request,
                                             static_cast<int>(velotest::kPatience * 1000)))
            << "no exception request reached the port within " << velotest::kPatience << " s";
        return request;
    }
    static bool reply(const darwin::ExceptionRequest& request, std::int32_t returnCode) {
        darwin::ExceptionReply answer{};
        answer.bits = request.bits & 0x1f;
        answer.size = sizeof answer;
        answer.remotePort = request.remotePort;
        answer.id = request.id + 100;
        std::memcpy(answer.ndr, darwin::kNDRRecord, sizeof answer.ndr);
        answer.returnCode = returnCode;
        return darwin::exceptionReply(&answer, sizeof answer);
    }
};

TEST_F(ExceptionPortFault, AReplyOfZeroRunsTheFaultingReadAgain) {
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader reader;
    const auto request = receive();
    EXPECT_EQ(request.id, darwin::kExceptionRaiseId);
    EXPECT_EQ(request.exception, darwin::kExcBadAccess);
    // The message is packed, so its codes are copied out rather than bound where they lie.
    const std::int64_t code = request.codes[0], subcode = request.codes[1];
    EXPECT_EQ(code, darwin::kKernProtectionFailure);
    EXPECT_EQ(subcode, reinterpret_cast<std::intptr_t>(page));
    EXPECT_EQ(static_cast<pid_t>(request.thread), reader.id.load());
    mcontext_t context;
    EXPECT_TRUE(darwin::exceptionThreadState(static_cast<pid_t>(request.thread), context));
    EXPECT_EQ(darwin::exceptionThreadSignal(static_cast<pid_t>(request.thread)), SIGSEGV);

    mprotect(page, static_cast<std::size_t>(pageSize), PROT_READ); // the handler mends the fault
    EXPECT_TRUE(reply(request, 0));
    reader.thread.join();
    EXPECT_EQ(reader.value, 42);
    EXPECT_EQ(fallThroughs, 0);
    EXPECT_FALSE(darwin::exceptionThreadState(reader.id, context)); // no longer reporting
    EXPECT_EQ(darwin::exceptionThreadSignal(reader.id), 0);
}

TEST_F(ExceptionPortFault, AnyOtherReplyFallsThroughToTheDisposition) {
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader reader;
    EXPECT_TRUE(reply(receive(), 5));
    reader.thread.join();
    EXPECT_EQ(fallThroughs, 1);
    EXPECT_EQ(reader.value, 42);
}

TEST_F(ExceptionPortFault, APortClosedBeforeItRepliesFallsThroughToTheDisposition) {
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader reader;
    receive();
    darwin::exceptionPortDeallocate(port); // the handler is gone without answering
    reader.thread.join();
    EXPECT_EQ(fallThroughs, 1);
    EXPECT_EQ(reader.value, 42);
}

// Faults are reported one at a time: a second thread that faults while the first one's report is out
// waits, asleep, sending nothing, and is reported once the first has its answer.
TEST_F(ExceptionPortFault, ASecondFaultIsReportedOnceTheFirstIsAnswered) {
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader first;
    const auto firstRequest = receive();
    ASSERT_EQ(static_cast<pid_t>(firstRequest.thread), first.id.load());
    Reader second;
    ASSERT_TRUE(velotest::eventually([&] { return second.id != 0; }, std::chrono::milliseconds(1)));
    // Once it stands still it has faulted and waits for its turn: it has nothing else to wait for.
    ASSERT_EQ(velotest::waitUntilThreadStops(second.id), velotest::ThreadState::blocked);
    darwin::ExceptionRequest early{};
    EXPECT_FALSE(darwin::exceptionReceive(port, &early, sizeof early, 0))
        << "a second fault was reported while the first one's report was out";

    EXPECT_TRUE(reply(firstRequest, 5)); // the first falls through, which opens the page
    first.thread.join();
    const auto secondRequest = receive();
    EXPECT_EQ(static_cast<pid_t>(secondRequest.thread), second.id.load());
    EXPECT_TRUE(reply(secondRequest, 0)); // the page is open by now: its read runs again and succeeds
    second.thread.join();
    EXPECT_EQ(first.value, 42);
    EXPECT_EQ(second.value, 42);
    EXPECT_EQ(fallThroughs, 1);
}

// A handler may let its port go before it answers (a crash reporter does, before it records): a fault
// that comes meanwhile still waits for that answer, and only then, finding no port, goes to the
// disposition. Going there at once would end the process under the record.
TEST_F(ExceptionPortFault, AFaultWaitsForTheRequestOutEvenWhenItsPortIsLetGo) {
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader first;
    const auto firstRequest = receive();
    ASSERT_TRUE(darwin::taskSetExceptionPorts(kBadAccessMask, 0, darwin::kExceptionDefaultWithCodes,
                                              darwin::kThreadStateNone));
    Reader second;
    ASSERT_TRUE(velotest::eventually([&] { return second.id != 0; }, std::chrono::milliseconds(1)));
    // It waits, asleep; on its way to the disposition it would have ended instead.
    EXPECT_EQ(velotest::waitUntilThreadStops(second.id), velotest::ThreadState::blocked);
    EXPECT_EQ(fallThroughs, 0) << "a fault went to its disposition while another's request was out";

    EXPECT_TRUE(reply(firstRequest, 5));
    first.thread.join();
    second.thread.join();
    EXPECT_EQ(fallThroughs, 2);
    EXPECT_EQ(second.value, 42);
    darwin::ExceptionRequest late{};
    EXPECT_FALSE(darwin::exceptionReceive(port, &late, sizeof late, 0)) << "a fault reached a port let go";
}

TEST_F(ExceptionPortFault, WithoutARegisteredPortTheFaultGoesStraightToTheDisposition) {
    Reader reader;
    reader.thread.join();
    EXPECT_EQ(fallThroughs, 1);
    EXPECT_EQ(reader.value, 42);
}

// The fault goes on to the disposition's handler (which mends it here), entered as the kernel would
// have entered it; the observer hears of it on the faulting thread, with that handler, before the
// handler runs and once it came back. A backtrace taken in the handler goes on into the code the fault
// interrupted.
std::atomic<pid_t> toldThread{0};
std::atomic<bool> toldOfOpenPage{false};
std::atomic<int> fallThroughsWhenGoing{-1};
std::atomic<int> fallThroughsWhenBack{-1};
std::atomic<bool> tracedThroughTheFault{false};

void openPageAndLook(int number, siginfo_t* info, void* context) {
    // The faulting instruction, as a backtrace gives the frame a signal interrupted: exactly.
    const auto faulted = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP];
    void* frames[32];
    const int depth = backtrace(frames, 32);
    for (int i = 0; i < depth; ++i)
        if (reinterpret_cast<std::intptr_t>(frames[i]) == faulted) tracedThroughTheFault = true;
    openPage(number, info, context);
}

void noteHandingOn(pid_t thread, const void* handler, darwin::HandingOn moment) {
    toldOfOpenPage = handler == reinterpret_cast<const void*>(openPageAndLook);
    toldThread = thread;
    if (moment == darwin::HandingOn::going)
        fallThroughsWhenGoing = fallThroughs.load();
    else
        fallThroughsWhenBack = fallThroughs.load();
}

TEST_F(ExceptionPortFault, AFaultHandedOnToTheDispositionsHandlerIsToldBeforeAndAfter) {
    struct sigaction looking {};
    looking.sa_sigaction = openPageAndLook;
    looking.sa_flags = SA_SIGINFO;
    sigemptyset(&looking.sa_mask);
    ASSERT_EQ(darwin::signalAction(SIGSEGV, &looking, nullptr), 0);
    // backtrace() loads its unwinder on first use, which allocates: that must not happen in the handler.
    void* warmUp[1];
    (void)backtrace(warmUp, 1);
    toldThread = 0;
    darwin::setHandingOnObserver(noteHandingOn);
    pid_t id = 0;
    int value = 0;
    std::thread([&] {
        id = darwin::currentThreadId();
        value = *static_cast<volatile int*>(page);
    }).join();
    darwin::setHandingOnObserver(nullptr);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(fallThroughs, 1);
    EXPECT_EQ(toldThread.load(), id);
    EXPECT_TRUE(toldOfOpenPage);
    EXPECT_EQ(fallThroughsWhenGoing, 0)
        << "told after the handler ran: a handler that never returns is never told";
    EXPECT_EQ(fallThroughsWhenBack, 1);
    EXPECT_TRUE(tracedThroughTheFault) << "a backtrace from the handler stopped before the faulting code";
}

TEST_F(ExceptionPortFault, AReceiveWithATimeoutAnswersFalseWhenNoRequestCame) {
    darwin::ExceptionRequest request{};
    EXPECT_FALSE(darwin::exceptionReceive(port, &request, sizeof request, 0));
    EXPECT_FALSE(darwin::exceptionReceive(port, &request, sizeof request, 1));
}

// A signal handler that faults, run on a thread while that thread waits for the answer to its own fault.
void faultingHandler(int) {
    volatile int* volatile target = nullptr;
    *target = 1;
}

// In a child of its own (it crashes, leaving no core): a thread faults on a closed page while a port is
// registered for bad accesses, and the calling thread takes that fault's request, which it then serves;
// the faulting thread waits for the answer. The child ends with 2 or 3 when that cannot be set up.
darwin::ExceptionRequest takeAFaultsRequestInAChild() {
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    long size = sysconf(_SC_PAGESIZE);
    void* closed =
        mmap(nullptr, static_cast<std::size_t>(size), PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    darwin::setExceptionEmulationEnabled(true);
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    darwin::signalAction(SIGSEGV, &byDefault, nullptr);
    std::uint32_t port = 0;
    if (closed == MAP_FAILED || !darwin::exceptionPortAllocate(&port) ||
        !darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                       darwin::kThreadStateNone)) {
        _exit(2);
    }
    std::thread([closed] { (void)*static_cast<volatile int*>(closed); }).detach();
    darwin::ExceptionRequest request{};
    if (!darwin::exceptionReceive(port, &request, sizeof request)) _exit(3);
    return request;
}

// The port's server makes a handler run on the thread that waits for the answer to its fault, and the
// handler faults. That second fault cannot wait for the first to be answered: the process must end by
// SIGSEGV, not spin.
TEST(CrashInsideAFaultReport, ANestedFaultOnTheWaitingThreadEndsByTheDefaultAction) {
    const int status = velotest::waitStatusOfChild([] {
        std::signal(SIGUSR1, faultingHandler);
        const auto request = takeAFaultsRequestInAChild();
        syscall(SYS_tgkill, getpid(), static_cast<pid_t>(request.thread), SIGUSR1);
        for (;;) // no answer comes
            pause();
    });
    ASSERT_NE(status, -1) << "no child process";
    EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "the process hung instead of ending";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "status " << status;
}

// The thread that took a fault's request faults before it answers, as a crash reporter's server would
// in its record. Nobody else answers the request it would wait behind, so the process must end by
// SIGSEGV at once instead of hanging.
TEST(CrashInsideAFaultReport, AFaultOnTheThreadServingARequestEndsByTheDefaultAction) {
    const int status = velotest::waitStatusOfChild([] {
        takeAFaultsRequestInAChild();
        faultingHandler(0); // the port is still registered for this fault too
    });
    ASSERT_NE(status, -1) << "no child process";
    EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "the process hung instead of ending";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "status " << status;
}

// The thread that records a crash faults while a port is registered for its fault, with nobody to serve
// that port (its server stands stopped by the recording). It must not send the request and wait for an
// answer that never comes: the process ends by SIGSEGV at once.
TEST(CrashInsideAFaultReport, AFaultOnTheRecordingThreadEndsByTheDefaultAction) {
    const int status = velotest::waitStatusOfChild([] {
        rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        darwin::setExceptionEmulationEnabled(true);
        std::uint32_t port = 0;
        if (!darwin::exceptionPortAllocate(&port) ||
            !darwin::taskSetExceptionPorts(kBadAccessMask, port, darwin::kExceptionDefaultWithCodes,
                                           darwin::kThreadStateNone)) {
            _exit(2);
        }
        darwin::setRecordingThread(darwin::currentThreadId());
        faultingHandler(0);
    });
    ASSERT_NE(status, -1) << "no child process";
    EXPECT_FALSE(WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) << "the process hung instead of ending";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV) << "status " << status;
}

} // namespace
