#include "web/web_access.h"

#include "platform/http_client.h"
#include "web/cookies.h"
#include "web/trace.h"

WebAccess::WebAccess()
    : http(std::make_unique<HttpClient>()),
      cookieManager(std::make_unique<CookieStore>()),
      idLogFile(std::make_unique<TraceLog>()),
      idLogDebug(std::make_unique<TraceLog>())
{
}

WebAccess::~WebAccess() = default;
