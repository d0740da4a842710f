// Plays the servers for a fuzzer: the input falls into segments at each 0x1E
// byte, and the n-th connection a client opens to the feed's loopback port
// hears the n-th segment, after which the feed closes its side. In talking
// mode the first connection is a control connection instead: it hears the
// segment's first reply at once and one more for each line the client sends
// (a reply ends with a line whose fourth character is a blank, as FTP's do;
// a 1xx reply is followed by the next at once, and so is any reply the
// client stays silent after for a moment),
// and is closed when the replies run out. One thread serves every input of
// the fuzzer's process.
#pragma once

#include <arpa/inet.h>
#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The parts of a fuzzer's input between 0x1E bytes (at least one).
inline std::vector<std::string> Segments(std::string_view input)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= input.size(); ++i) {
        if (i == input.size() || input[i] == '\x1e') {
            parts.emplace_back(input.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

class SocketFeed {
public:
    static SocketFeed& Instance()
    {
        static SocketFeed* feed = new SocketFeed;  // lives as long as the process
        return *feed;
    }

    // Starts an input: its segments wait for the next connections.
    void Begin(std::string_view input, bool talking = false)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        talking_ = talking;
        replies_.clear();
        segments_ = Segments(input);
        next_ = 0;
        replied_ = 0;
        control_ = -1;
        received_.clear();
        if (talking_ && !segments_.empty()) {
            replies_ = Replies(segments_.front());
            next_ = 1;
        }
    }
    bool Left()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return next_ < segments_.size();
    }
    // Ends an input: what the clients sent on its connections, in order of
    // connection; the connections are closed.
    std::string End()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string sent = received_;
        char buf[4096];
        for (int fd : open_) {
            ssize_t n;
            while ((n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0)
                sent.append(buf, size_t(n));
            ::close(fd);
        }
        open_.clear();
        segments_.clear();
        replies_.clear();
        control_ = -1;
        return sent;
    }
    int Port() const { return port_; }

private:
    SocketFeed()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in at{};
        at.sin_family = AF_INET;
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof at;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&at), len) != 0 ||
            ::listen(listener_, 64) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &len) != 0)
            std::abort();
        port_ = ntohs(at.sin_port);
        std::thread([this] { Serve(); }).detach();
    }

    static std::vector<std::string> Replies(const std::string& text)
    {
        std::vector<std::string> replies(1);
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end + 1;
            replies.back().append(text, start, end - start);
            if (end - start < 4 || text[start + 3] == ' ')
                replies.emplace_back();
            start = end;
        }
        if (replies.back().empty())
            replies.pop_back();
        return replies;
    }

    static void Say(int fd, const std::string& said)
    {
        size_t off = 0;
        while (off < said.size()) {
            ssize_t n = ::send(fd, said.data() + off, said.size() - off, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            off += size_t(n);
        }
    }

    // The control connection's next reply, or its end when none is left. A
    // preliminary reply (1xx) is followed by the next one unasked, as a
    // server's reply to the transfer follows it.
    void Answer()
    {
        if (replied_ < replies_.size()) {
            const std::string& reply = replies_[replied_++];
            Say(control_, reply);
            // After the last reply the server has nothing more to say: the
            // client meets the end at once instead of waiting for more.
            if ((!reply.empty() && reply[0] == '1') || replied_ == replies_.size())
                Answer();
        } else {
            ::shutdown(control_, SHUT_WR);
            control_ = -1;
        }
    }

    void Serve()
    {
        for (;;) {
            pollfd fds[2] = {{listener_, POLLIN, 0}, {-1, POLLIN, 0}};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                fds[1].fd = control_;
            }
            const int ready = ::poll(fds, 2, 20);
            std::lock_guard<std::mutex> lock(mutex_);
            // A client that stays silent waits for more of a reply the
            // input cut short: the next one comes unasked.
            if (ready == 0 && control_ >= 0 && control_ == fds[1].fd)
                Answer();
            if (ready <= 0)
                continue;
            if (fds[1].revents && fds[1].fd == control_ && control_ >= 0) {
                char buf[4096];
                ssize_t n = ::recv(control_, buf, sizeof buf, MSG_DONTWAIT);
                if (n <= 0) {
                    control_ = -1;
                } else {
                    received_.append(buf, size_t(n));
                    for (char c : std::string_view(buf, size_t(n)))
                        if (c == '\n' && control_ >= 0)
                            Answer();
                }
            }
            if (!(fds[0].revents & POLLIN))
                continue;
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            open_.push_back(fd);
            if (talking_ && control_ < 0 && !replies_.empty() && replied_ == 0) {
                control_ = fd;
                Answer();
                continue;
            }
            if (next_ < segments_.size())
                Say(fd, segments_[next_++]);
            ::shutdown(fd, SHUT_WR);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<std::string> segments_;
    size_t next_ = 0;
    std::vector<int> open_;
    bool talking_ = false;
    std::vector<std::string> replies_;
    size_t replied_ = 0;
    int control_ = -1;
    std::string received_;  // what the control connection said
};

// A folder of its own for the files a fuzzer's runs write.
inline const std::string& FuzzFolder()
{
    static const std::string dir = [] {
        char name[] = "/tmp/skimlark-fuzz-XXXXXX";
        return std::string(::mkdtemp(name) ? name : "/tmp");
    }();
    return dir;
}
