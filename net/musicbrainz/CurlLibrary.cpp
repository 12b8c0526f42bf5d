#include "net/musicbrainz/CurlLibrary.h"

#include <atomic>
#include <dlfcn.h>

namespace tonvane {

namespace {

constexpr const char* kSoname = "libcurl.so.4"; // the ABI our headers describe

std::atomic<bool> g_loaded{false};

template <typename Function>
bool find(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// Null when the library or one of its calls is missing, or it would not initialise.
const CurlLibrary* open()
{
    void* library = ::dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    static CurlLibrary curl;
    bool found = find(library, "curl_global_init", curl.globalInit) &&
                 find(library, "curl_easy_init", curl.easyInit) &&
                 find(library, "curl_easy_setopt", curl.easySetopt) &&
                 find(library, "curl_easy_perform", curl.easyPerform) &&
                 find(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                 find(library, "curl_easy_strerror", curl.easyStrerror) &&
                 find(library, "curl_easy_cleanup", curl.easyCleanup);
    // Not dlclose()d on failure either: the library may have started threads or set handlers.
    if (!found || curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return nullptr;
    g_loaded.store(true, std::memory_order_release);
    return &curl;
}

} // namespace

const CurlLibrary* CurlLibrary::get()
{
    static const CurlLibrary* const library = open(); // C++ makes this once and thread-safe
    return library;
}

bool CurlLibrary::loaded()
{
    return g_loaded.load(std::memory_order_acquire);
}

} // namespace tonvane
