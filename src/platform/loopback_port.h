// For fuzzers and tests that play the servers themselves: with a port, every
// connection of a client (data connections included) goes to that port of
// 127.0.0.1 whatever host and port it was meant for, so nothing a fuzzed
// reply names can reach another machine. No name is looked up, but for an
// FTP host given by name, whose data connections look it up again.
#pragma once

struct curl_sockaddr;

namespace platform {

// Sets a libcurl easy handle up for the port, or back to real connections
// with 0.
void UseLoopbackPort(void* curl, int port);
// Turns the address of a socket about to connect into 127.0.0.1:port.
void ToLoopbackPort(curl_sockaddr* address, int port);

}  // namespace platform
