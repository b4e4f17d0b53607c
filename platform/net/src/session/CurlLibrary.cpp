#include "CurlLibrary.h"

#include <platform_net/URLTransportPreload.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>

#include <dlfcn.h>

namespace {

// The run-time library's name (the development link name need not be installed).
constexpr const char* kLibraryName = "libcurl.so.4";

[[noreturn]] void cannotLoad(const char* what) {
    std::fprintf(stderr, "URL loading: cannot load %s: %s\n", kLibraryName, what ? what : "unknown error");
    std::abort();
}

template <typename Function>
void resolve(void* library, const char* name, Function& out) {
    void* symbol = dlsym(library, name);
    if (!symbol) cannotLoad(name);
    out = reinterpret_cast<Function>(symbol);
}

CurlLibrary load() {
    // Bound lazily like any library the program loader brings.
    void* library = dlopen(kLibraryName, RTLD_LAZY | RTLD_LOCAL);
    if (!library) cannotLoad(dlerror());
    CurlLibrary l{};
    resolve(library, "curl_global_init", l.global_init);
    resolve(library, "curl_easy_init", l.easy_init);
    resolve(library, "curl_easy_cleanup", l.easy_cleanup);
    resolve(library, "curl_easy_reset", l.easy_reset);
    resolve(library, "curl_easy_setopt", l.easy_setopt);
    resolve(library, "curl_easy_getinfo", l.easy_getinfo);
    resolve(library, "curl_easy_perform", l.easy_perform);
    resolve(library, "curl_easy_pause", l.easy_pause);
    resolve(library, "curl_easy_strerror", l.easy_strerror);
    resolve(library, "curl_multi_init", l.multi_init);
    resolve(library, "curl_multi_cleanup", l.multi_cleanup);
    resolve(library, "curl_multi_setopt", l.multi_setopt);
    resolve(library, "curl_multi_add_handle", l.multi_add_handle);
    resolve(library, "curl_multi_remove_handle", l.multi_remove_handle);
    resolve(library, "curl_multi_perform", l.multi_perform);
    resolve(library, "curl_multi_poll", l.multi_poll);
    resolve(library, "curl_multi_wait", l.multi_wait);
    resolve(library, "curl_multi_wakeup", l.multi_wakeup);
    resolve(library, "curl_multi_info_read", l.multi_info_read);
    resolve(library, "curl_multi_timeout", l.multi_timeout);
    resolve(library, "curl_multi_strerror", l.multi_strerror);
    resolve(library, "curl_slist_append", l.slist_append);
    resolve(library, "curl_slist_free_all", l.slist_free_all);
    return l;
}

// The one load of the process: a preload's, or else the first caller's.
std::shared_future<CurlLibrary>& theLoad() {
    static std::shared_future<CurlLibrary> loaded;
    return loaded;
}
std::once_flag startOnce;

void start(std::launch how) {
    std::call_once(startOnce, [how] { theLoad() = std::async(how, load).share(); });
}

}  // namespace

void CurlLibrary::loadInBackground() { start(std::launch::async); }

const CurlLibrary& CurlLibrary::get() {
    // After the first call a single load of a local static; the future is waited on only once.
    static const CurlLibrary& library = []() -> const CurlLibrary& {
        start(std::launch::deferred);
        return theLoad().get();
    }();
    return library;
}

void URLTransportPreload() { CurlLibrary::loadInBackground(); }
