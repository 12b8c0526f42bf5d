#pragma once
#include <curl/curl.h>

namespace tonvane {

// libcurl, opened the first time an HTTPS fetch needs it instead of at program start. Linked
// in, it and the TLS, Kerberos, LDAP and SSH libraries it needs cost every process about
// 6.6 MiB of resident memory and 16 ms of start-up (their relocations), also a rip that never
// goes online. Thread-safe; the library stays loaded until the process ends.
class CurlLibrary {
public:
    using GlobalInit = CURLcode (*)(long flags);
    using EasyInit = CURL* (*)();
    using EasySetopt = CURLcode (*)(CURL* handle, CURLoption option, ...);
    using EasyPerform = CURLcode (*)(CURL* handle);
    using EasyGetinfo = CURLcode (*)(CURL* handle, CURLINFO info, ...);
    using EasyStrerror = const char* (*)(CURLcode code);
    using EasyCleanup = void (*)(CURL* handle);

    GlobalInit globalInit = nullptr;
    EasyInit easyInit = nullptr;
    EasySetopt easySetopt = nullptr;
    EasyPerform easyPerform = nullptr;
    EasyGetinfo easyGetinfo = nullptr;
    EasyStrerror easyStrerror = nullptr;
    EasyCleanup easyCleanup = nullptr;

    // The loaded and initialised library, or null when it is not installed or lacks a call.
    static const CurlLibrary* get();
    // Whether get() has loaded it in this process (for tests and diagnostics).
    static bool loaded();
};

} // namespace tonvane
