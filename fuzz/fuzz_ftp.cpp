// The FTP client on hostile servers: fuzzed bytes stand for the control
// connection's replies (first segment) and for each data connection (the
// segments after it). The first byte picks the transfer: bit 0 upload
// instead of download, bit 1 no user name, bit 2 a second transfer.
#include <cstdint>
#include <cstdio>
#include <string>

#include "socket_feed.h"
#include "platform/ftp_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const unsigned flags = data[0];
    SocketFeed& feed = SocketFeed::Instance();
    feed.Begin(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), true);
    const std::string local = FuzzFolder() + "/local.txt";
    if (flags & 1) {
        if (std::FILE* f = std::fopen(local.c_str(), "wb")) {
            std::fputs("Inhalt zum Hochladen\n", f);
            std::fclose(f);
        }
    }

    FtpClient ftp;
    // An address: a data connection would look a host name up again.
    ftp.host = "127.0.0.1:2121";
    if (!(flags & 2)) {
        ftp.username = "anna";
        ftp.password = "geheim";
    }
    ftp.readTimeout = 1000;
    ftp.loopbackPort = feed.Port();
    if (ftp.Connect(2000).empty()) {
        for (int round = 0; round < ((flags & 4) ? 2 : 1); ++round) {
            if (flags & 1)
                (void)ftp.Put(local, "ablage/datei.txt");
            else
                (void)ftp.Get("ablage/datei.txt", local);
        }
        ftp.Disconnect();
    }
    ftp.Disconnect();
    (void)feed.End();
    std::remove(local.c_str());
    return 0;
}
