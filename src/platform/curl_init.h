// libcurl's process-wide set-up, shared by the HTTP and FTP clients.
#pragma once

namespace platform {

// Sets libcurl up once per process, at the first transfer that needs it.
void InitCurlOnce();

}  // namespace platform
