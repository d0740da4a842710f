#include "platform/loopback_port.h"

#include <arpa/inet.h>
#include <cstring>
#include <curl/curl.h>
#include <netinet/in.h>

namespace platform {

void UseLoopbackPort(void* handle, int port)
{
    // Kept for the process: a handle may use it at any later request.
    static curl_slist* const anyHost = curl_slist_append(nullptr, "::127.0.0.1:");
    curl_easy_setopt(static_cast<CURL*>(handle), CURLOPT_CONNECT_TO, port ? anyHost : nullptr);
}

void ToLoopbackPort(curl_sockaddr* address, int port)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address->family = AF_INET;
    address->addrlen = sizeof to;
    std::memcpy(&address->addr, &to, sizeof to);
}

}  // namespace platform
