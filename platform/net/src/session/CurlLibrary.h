#pragma once
// The libcurl functions the URL loading layer calls, reached through the library loaded at run
// time instead of by the program loader. libcurl brings a score of libraries of its own (their
// loading and set-up are a good part of a program's start); loaded this way, a program can have
// them loaded on another thread while it starts (URLTransportPreload.h) instead of before its
// first line, and a program that never loads a URL never loads them.
//
// Thread safety: any thread. get() returns once the library is loaded, loading it on the
// calling thread when no preload started, waiting for the preload otherwise. A library that
// cannot be loaded or lacks a function ends the process with a message on stderr: nothing can
// load a URL without it. The functions stay valid for the life of the process (the library is
// never unloaded).
//
// Call sites keep libcurl's names: this header defines them as the loaded functions, and it is
// the only way this layer includes <curl/curl.h>.

#include <curl/curl.h>

struct CurlLibrary {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_reset) easy_reset;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_easy_pause) easy_pause;
    decltype(&::curl_easy_strerror) easy_strerror;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_multi_setopt) multi_setopt;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_wait) multi_wait;
    decltype(&::curl_multi_wakeup) multi_wakeup;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_timeout) multi_timeout;
    decltype(&::curl_multi_strerror) multi_strerror;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;

    // Starts loading the library on a thread of its own; at most once, later calls do nothing.
    static void loadInBackground();
    static const CurlLibrary& get();
};

// <curl/curl.h> defines these four as themselves (to check their argument count); they are
// replaced here like the others.
#undef curl_easy_setopt
#undef curl_easy_getinfo
#undef curl_share_setopt
#undef curl_multi_setopt

#define curl_global_init (CurlLibrary::get().global_init)
#define curl_easy_init (CurlLibrary::get().easy_init)
#define curl_easy_cleanup (CurlLibrary::get().easy_cleanup)
#define curl_easy_reset (CurlLibrary::get().easy_reset)
#define curl_easy_setopt (CurlLibrary::get().easy_setopt)
#define curl_easy_getinfo (CurlLibrary::get().easy_getinfo)
#define curl_easy_perform (CurlLibrary::get().easy_perform)
#define curl_easy_pause (CurlLibrary::get().easy_pause)
#define curl_easy_strerror (CurlLibrary::get().easy_strerror)
#define curl_multi_init (CurlLibrary::get().multi_init)
#define curl_multi_cleanup (CurlLibrary::get().multi_cleanup)
#define curl_multi_setopt (CurlLibrary::get().multi_setopt)
#define curl_multi_add_handle (CurlLibrary::get().multi_add_handle)
#define curl_multi_remove_handle (CurlLibrary::get().multi_remove_handle)
#define curl_multi_perform (CurlLibrary::get().multi_perform)
#define curl_multi_poll (CurlLibrary::get().multi_poll)
#define curl_multi_wait (CurlLibrary::get().multi_wait)
#define curl_multi_wakeup (CurlLibrary::get().multi_wakeup)
#define curl_multi_info_read (CurlLibrary::get().multi_info_read)
#define curl_multi_timeout (CurlLibrary::get().multi_timeout)
#define curl_multi_strerror (CurlLibrary::get().multi_strerror)
#define curl_slist_append (CurlLibrary::get().slist_append)
#define curl_slist_free_all (CurlLibrary::get().slist_free_all)
