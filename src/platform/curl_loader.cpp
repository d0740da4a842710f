// libcurl is opened at its first call, not when the program starts: its
// dependencies (TLS, Kerberos, LDAP, ...) cost a run that fetches nothing
// most of its start-up time. The functions below stand in for the library's
// own under the same names and pass each call on; a libcurl function that
// is not listed here fails the link, so that none is missed.
#include <cstdarg>
#include <ctime>

#include <curl/curl.h>

#include "platform/lazy_library.h"

namespace {

// The soname every libcurl since 7.16 has carried.
constinit const platform::LazyLibrary kCurl("libcurl.so.4");

// The type of a function's first parameter: curl_url_get's handle became
// const in later libcurl versions.
template <class F>
struct FirstParameter;
template <class R, class A, class... Rest>
struct FirstParameter<R (*)(A, Rest...)> {
    using type = A;
};
using UrlGetHandle = FirstParameter<decltype(&::curl_url_get)>::type;

}  // namespace

// The names are in parentheses: curl.h defines some of them as macros that
// check argument types.
extern "C" {

CURLcode(curl_global_init)(long flags)
{
    static const auto real = kCurl.function<decltype(&::curl_global_init)>("curl_global_init");
    return real ? real(flags) : CURLE_FAILED_INIT;
}

CURL*(curl_easy_init)(void)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_init)>("curl_easy_init");
    return real ? real() : nullptr;
}

void(curl_easy_cleanup)(CURL* handle)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_cleanup)>("curl_easy_cleanup");
    if (real)
        real(handle);
}

CURL*(curl_easy_duphandle)(CURL* handle)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_duphandle)>("curl_easy_duphandle");
    return real ? real(handle) : nullptr;
}

CURLcode(curl_easy_perform)(CURL* handle)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_perform)>("curl_easy_perform");
    return real ? real(handle) : CURLE_FAILED_INIT;
}

CURLcode(curl_easy_setopt)(CURL* handle, CURLoption option, ...)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_setopt)>("curl_easy_setopt");
    if (!real)
        return CURLE_FAILED_INIT;
    // The option's number says the type of its value, as libcurl reads it.
    va_list ap;
    va_start(ap, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT)
        result = real(handle, option, va_arg(ap, long));
    else if (option < CURLOPTTYPE_FUNCTIONPOINT)
        result = real(handle, option, va_arg(ap, void*));
    else if (option < CURLOPTTYPE_OFF_T)
        result = real(handle, option, va_arg(ap, void (*)()));
    else if (option < CURLOPTTYPE_BLOB)
        result = real(handle, option, va_arg(ap, curl_off_t));
    else
        result = real(handle, option, va_arg(ap, void*));
    va_end(ap);
    return result;
}

CURLcode(curl_easy_getinfo)(CURL* handle, CURLINFO info, ...)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_getinfo)>("curl_easy_getinfo");
    if (!real)
        return CURLE_FAILED_INIT;
    // Every kind of information is written through a pointer.
    va_list ap;
    va_start(ap, info);
    const CURLcode result = real(handle, info, va_arg(ap, void*));
    va_end(ap);
    return result;
}

CURLSH*(curl_share_init)(void)
{
    static const auto real = kCurl.function<decltype(&::curl_share_init)>("curl_share_init");
    return real ? real() : nullptr;
}

CURLSHcode(curl_share_cleanup)(CURLSH* share)
{
    static const auto real = kCurl.function<decltype(&::curl_share_cleanup)>("curl_share_cleanup");
    return real ? real(share) : CURLSHE_NOT_BUILT_IN;
}

CURLSHcode(curl_share_setopt)(CURLSH* share, CURLSHoption option, ...)
{
    static const auto real = kCurl.function<decltype(&::curl_share_setopt)>("curl_share_setopt");
    if (!real)
        return CURLSHE_NOT_BUILT_IN;
    // Each option's value as libcurl reads it.
    va_list ap;
    va_start(ap, option);
    CURLSHcode result;
    switch (option) {
    case CURLSHOPT_SHARE:
    case CURLSHOPT_UNSHARE: result = real(share, option, va_arg(ap, int)); break;
    case CURLSHOPT_LOCKFUNC: result = real(share, option, va_arg(ap, curl_lock_function)); break;
    case CURLSHOPT_UNLOCKFUNC: result = real(share, option, va_arg(ap, curl_unlock_function)); break;
    default: result = real(share, option, va_arg(ap, void*)); break;
    }
    va_end(ap);
    return result;
}

const char*(curl_easy_strerror)(CURLcode code)
{
    static const auto real = kCurl.function<decltype(&::curl_easy_strerror)>("curl_easy_strerror");
    return real ? real(code) : "libcurl.so.4 not found";
}

void(curl_free)(void* p)
{
    static const auto real = kCurl.function<decltype(&::curl_free)>("curl_free");
    if (real)
        real(p);
}

time_t(curl_getdate)(const char* text, const time_t* unused)
{
    static const auto real = kCurl.function<decltype(&::curl_getdate)>("curl_getdate");
    return real ? real(text, unused) : -1;
}

curl_slist*(curl_slist_append)(curl_slist* list, const char* text)
{
    static const auto real = kCurl.function<decltype(&::curl_slist_append)>("curl_slist_append");
    return real ? real(list, text) : nullptr;
}

void(curl_slist_free_all)(curl_slist* list)
{
    static const auto real = kCurl.function<decltype(&::curl_slist_free_all)>("curl_slist_free_all");
    if (real)
        real(list);
}

CURLU*(curl_url)(void)
{
    static const auto real = kCurl.function<decltype(&::curl_url)>("curl_url");
    return real ? real() : nullptr;
}

void(curl_url_cleanup)(CURLU* url)
{
    static const auto real = kCurl.function<decltype(&::curl_url_cleanup)>("curl_url_cleanup");
    if (real)
        real(url);
}

CURLUcode(curl_url_get)(UrlGetHandle url, CURLUPart part, char** out, unsigned int flags)
{
    static const auto real = kCurl.function<decltype(&::curl_url_get)>("curl_url_get");
    return real ? real(url, part, out, flags) : CURLUE_OUT_OF_MEMORY;
}

CURLUcode(curl_url_set)(CURLU* url, CURLUPart part, const char* text, unsigned int flags)
{
    static const auto real = kCurl.function<decltype(&::curl_url_set)>("curl_url_set");
    return real ? real(url, part, text, flags) : CURLUE_OUT_OF_MEMORY;
}

}  // extern "C"
