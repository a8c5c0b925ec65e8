/* A name server that never answers, for tests: getaddrinfo for a name under "stalled.invalid"
 * (backend.stalled.invalid, say) waits, as a look-up waits on a server that is up but silent, until the
 * test releases it; then it fails as a look-up that timed out does (EAI_AGAIN). Every other look-up is
 * the C library's own.
 *
 * Linked into a test program, its getaddrinfo is the one every library of the process calls (libcurl's
 * resolver thread included); preloaded into the program (LD_PRELOAD), the same. A test in the same process
 * reads how many look-ups are held (StalledResolver.hpp); when VELO_STALLED_LOOKUPS names a file, each
 * look-up appends its name and a line feed there as it starts waiting, for a test in another process.
 * Without a release a look-up waits as long as its process lives, or, when VELO_STALLED_LOOKUP_SECONDS
 * gives a number, that many seconds (as the C library gives up on a silent name server after 5 s a try;
 * for measuring by hand). A thread that waits on such a look-up is named "stalled-lookup". */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <netdb.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>
#include <unistd.h>

static const char stalledDomain[] = "stalled.invalid";

static pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t released;
static pthread_once_t made = PTHREAD_ONCE_INIT;
static int held;
static unsigned long generation;

static int isStalled(const char* node) {
    if (node == NULL) return 0;
    size_t length = strlen(node);
    /* A trailing dot names the same host. */
    if (length > 0 && node[length - 1] == '.') --length;
    const size_t domain = sizeof stalledDomain - 1;
    if (length < domain || strncasecmp(node + length - domain, stalledDomain, domain) != 0) return 0;
    return length == domain || node[length - domain - 1] == '.';
}

static void announce(const char* node) {
    const char* path = getenv("VELO_STALLED_LOOKUPS");
    if (path == NULL || *path == '\0') return;
    int descriptor = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (descriptor < 0) return;
    size_t length = strlen(node);
    char line[256];
    if (length > sizeof line - 1) length = sizeof line - 1;
    memcpy(line, node, length);
    line[length] = '\n';
    /* One write with O_APPEND: lines of threads that start waiting at once never interleave. */
    (void)!write(descriptor, line, length + 1);
    close(descriptor);
}

/* Waits on the monotonic clock, so a change of the system's time neither shortens nor lengthens it. */
static void makeCondition(void) {
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&released, &attributes);
    pthread_condattr_destroy(&attributes);
}

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints, struct addrinfo** res) {
    if (!isStalled(node)) {
        int (*real)(const char*, const char*, const struct addrinfo*, struct addrinfo**) = NULL;
        /* Copied, not cast: ISO C has no conversion from an object pointer to a function pointer. */
        void* found = dlsym(RTLD_NEXT, "getaddrinfo");
        memcpy(&real, &found, sizeof real);
        return real != NULL ? real(node, service, hints, res) : EAI_SYSTEM;
    }
    pthread_once(&made, makeCondition);
    /* A library's resolver thread takes the name of the thread that started it: named for what it does
     * now, it is told from that one (the network engine's, say) by a test that counts threads. */
    pthread_setname_np(pthread_self(), "stalled-lookup");
    const char* bound = getenv("VELO_STALLED_LOOKUP_SECONDS");
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += bound != NULL ? atoi(bound) : 0;
    pthread_mutex_lock(&mutex);
    const unsigned long mine = generation;
    ++held;
    announce(node);
    while (generation == mine) {
        if (bound == NULL)
            pthread_cond_wait(&released, &mutex);
        else if (pthread_cond_timedwait(&released, &mutex, &deadline) != 0)
            break;
    }
    --held;
    pthread_mutex_unlock(&mutex);
    return EAI_AGAIN;
}

int velo_stalled_lookups(void) {
    pthread_mutex_lock(&mutex);
    const int now = held;
    pthread_mutex_unlock(&mutex);
    return now;
}

void velo_release_stalled_lookups(void) {
    pthread_once(&made, makeCondition);
    pthread_mutex_lock(&mutex);
    ++generation;
    pthread_cond_broadcast(&released);
    pthread_mutex_unlock(&mutex);
}
