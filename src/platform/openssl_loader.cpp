// OpenSSL is opened at its first call, not when the program starts: it is
// most of what the dynamic linker has to relocate, and only an HTTPS
// transfer calls it, when libcurl has loaded it already. The functions below
// stand in for the library's own under the same names and pass each call on;
// one that is not listed here fails the link, so that none is missed.
#include <openssl/opensslv.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "platform/lazy_library.h"

namespace {

#define SKIMLARK_TEXT(x) #x
#define SKIMLARK_SONAME(major) "libssl.so." SKIMLARK_TEXT(major)
// The libssl of the headers built against; it brings libcrypto along.
constinit const platform::LazyLibrary kSsl(SKIMLARK_SONAME(OPENSSL_VERSION_MAJOR));

}  // namespace

extern "C" {

void SSL_CTX_set_verify(SSL_CTX* ctx, int mode, SSL_verify_cb callback)
{
    static const auto real = kSsl.function<decltype(&::SSL_CTX_set_verify)>("SSL_CTX_set_verify");
    if (real)
        real(ctx, mode, callback);
}

void SSL_CTX_set_cert_verify_callback(SSL_CTX* ctx, int (*callback)(X509_STORE_CTX*, void*), void* arg)
{
    static const auto real =
        kSsl.function<decltype(&::SSL_CTX_set_cert_verify_callback)>("SSL_CTX_set_cert_verify_callback");
    if (real)
        real(ctx, callback, arg);
}

void SSL_CTX_set_default_passwd_cb(SSL_CTX* ctx, pem_password_cb* callback)
{
    static const auto real =
        kSsl.function<decltype(&::SSL_CTX_set_default_passwd_cb)>("SSL_CTX_set_default_passwd_cb");
    if (real)
        real(ctx, callback);
}

void SSL_CTX_set_default_passwd_cb_userdata(SSL_CTX* ctx, void* data)
{
    static const auto real = kSsl.function<decltype(&::SSL_CTX_set_default_passwd_cb_userdata)>(
        "SSL_CTX_set_default_passwd_cb_userdata");
    if (real)
        real(ctx, data);
}

void X509_STORE_CTX_set_error(X509_STORE_CTX* ctx, int error)
{
    static const auto real = kSsl.function<decltype(&::X509_STORE_CTX_set_error)>("X509_STORE_CTX_set_error");
    if (real)
        real(ctx, error);
}

}  // extern "C"
