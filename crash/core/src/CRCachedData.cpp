#include <crash_core/CRCachedData.h>

#include <platform_kernel/ThreadSignalStack.h>
#include <platform_kernel/ThreadList.h>
#include <platform_kernel/ThreadNames.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <pthread.h>

namespace {

struct Cache {
    int count = 0;
    CRThread* threads = nullptr;
    char** names = nullptr;
    char** queueNames = nullptr;
};

std::atomic<Cache*> gCache{nullptr};
std::atomic<int> gFrozen{0};
std::atomic<bool> gSearchQueueNames{false};
std::atomic<int> gRefreshes{0};
int gInterval = 60;
int gQuickRefreshes = 4;
std::atomic<void (*)(double)> gSleep{nullptr};

void sleepSeconds(double seconds) {
    if (auto f = gSleep.load()) return f(seconds);
    timespec t{static_cast<time_t>(seconds), static_cast<long>((seconds - static_cast<time_t>(seconds)) * 1e9)};
    while (nanosleep(&t, &t) != 0) {
    }
}

char* copyText(const char* s) {
    size_t n = std::strlen(s);
    char* c = static_cast<char*>(std::malloc(n + 1));
    if (c) std::memcpy(c, s, n + 1);
    return c;
}

void release(Cache* c) {
    if (!c) return;
    for (int i = 0; i < c->count; ++i) {
        std::free(c->names[i]);
        std::free(c->queueNames[i]);
    }
    std::free(c->threads);
    std::free(c->names);
    std::free(c->queueNames);
    delete c;
}

void refresh() {
    int total = kernel::listThreads(nullptr, 0);
    if (total < 0) return;
    auto* c = new Cache;
    int capacity = total + 16;  // threads may start meanwhile
    auto* tids = static_cast<pid_t*>(std::calloc(static_cast<size_t>(capacity), sizeof(pid_t)));
    c->threads = static_cast<CRThread*>(std::calloc(static_cast<size_t>(capacity), sizeof(CRThread)));
    c->names = static_cast<char**>(std::calloc(static_cast<size_t>(capacity), sizeof(char*)));
    c->queueNames = static_cast<char**>(std::calloc(static_cast<size_t>(capacity), sizeof(char*)));
    int n = tids && c->threads && c->names && c->queueNames ? kernel::listThreads(tids, capacity) : -1;
    if (n < 0) {
        std::free(tids);
        release(c);
        return;
    }
    c->count = n < capacity ? n : capacity;
    char buffer[1000];
    for (int i = 0; i < c->count; ++i) {
        c->threads[i] = static_cast<CRThread>(tids[i]);
        if (kernel::threadName(tids[i], buffer, sizeof buffer) && buffer[0]) c->names[i] = copyText(buffer);
        if (gSearchQueueNames.load() && crthread_getQueueName(c->threads[i], buffer, sizeof buffer) && buffer[0])
            c->queueNames[i] = copyText(buffer);
    }
    std::free(tids);
    if (gFrozen.load() > 0) {
        release(c);  // the writer reads the current cache: leave it
        return;
    }
    release(gCache.exchange(c));
    gRefreshes++;
}

void* monitor(void*) {
    kernel::installThreadSignalStack();
    kernel::setThreadName(kernel::currentThreadId(), "CRCrash Cached Data Monitor");
    sleepSeconds(0.000001);
    for (;;) {
        if (gFrozen.load() < 1) refresh();
        if (gQuickRefreshes > 0) {
            gQuickRefreshes--;
            sleepSeconds(1);
        } else {
            sleepSeconds(gInterval);
        }
    }
    return nullptr;
}

const Cache* frozenCache() { return gCache.load(std::memory_order_acquire); }

}  // namespace

extern "C" {

void crccd_init(int pollingIntervalInSeconds) {
    static std::once_flag once;
    std::call_once(once, [&] {
        gInterval = pollingIntervalInSeconds > 0 ? pollingIntervalInSeconds : 60;
        pthread_t t;
        pthread_attr_t attr;
        pthread_attr_init(&attr);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        pthread_create(&t, &attr, monitor, nullptr);
        pthread_attr_destroy(&attr);
    });
}

void crccd_freeze(void) {
    if (gFrozen.fetch_add(1) == 0) {
        timespec t{0, 1000};
        nanosleep(&t, nullptr);
    }
}

void crccd_unfreeze(void) {
    if (gFrozen.fetch_sub(1) <= 1) {
        int v = gFrozen.load();
        while (v < 0 && !gFrozen.compare_exchange_weak(v, 0)) {
        }
    }
}

const char* crccd_getThreadName(CRThread thread) {
    const Cache* c = frozenCache();
    if (!c) return nullptr;
    for (int i = 0; i < c->count; ++i)
        if (c->threads[i] == thread) return c->names[i];
    return nullptr;
}

const char* crccd_getQueueName(CRThread thread) {
    const Cache* c = frozenCache();
    if (!c) return nullptr;
    for (int i = 0; i < c->count; ++i)
        if (c->threads[i] == thread) return c->queueNames[i];
    return nullptr;
}

void crccd_setSearchQueueNames(bool searchQueueNames) { gSearchQueueNames.store(searchQueueNames); }

void crccd_setSleepFunctionForTesting(void (*sleepFunction)(double)) { gSleep.store(sleepFunction); }

int crccd_refreshCountForTesting(void) { return gRefreshes.load(); }

}  // extern "C"
