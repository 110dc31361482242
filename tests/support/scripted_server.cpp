#include "support/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace korvane::test {

namespace {

constexpr int kFirstAddress = 10;
constexpr int kLastAddress = 249;
constexpr std::size_t kMaxRequestBytes = 64 * 1024;

// Waits until `fd` is readable or the stop pipe fires; false when the server is ending.
bool WaitReadable(int fd, int stop) {
    std::array<pollfd, 2> fds{{{fd, POLLIN, 0}, {stop, POLLIN, 0}}};
    for (;;) {
        const int n = ::poll(fds.data(), fds.size(), -1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || (fds[1].revents & POLLIN) != 0)
            return false;
        return true;
    }
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A server that stops for a while keeps its address claimed, so that no other test process
// listens there meanwhile: a lock on a file named after the address, held for the server's life.
FileDescriptor ClaimAddress(int last) {
    FileDescriptor claim(::open(("/tmp/korvane-scripted-" + std::to_string(last) + ".lock").c_str(),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (claim.IsOpen() && ::flock(claim.Get(), LOCK_EX | LOCK_NB) != 0)
        return FileDescriptor();
    return claim;
}

// Listens on port 80 of the first free, unclaimed address of the scripted range from `first` on,
// with the name that resolves to it; -1 when none is free. With `claim`, the address stays
// claimed by it.
int ListenOnFreeAddress(int backlog, std::string& host, int& taken, FileDescriptor* claim = nullptr,
                        int first = kFirstAddress, int lastTried = kLastAddress) {
    for (int last = first; last <= lastTried; ++last) {
        FileDescriptor claimed;
        if (claim == nullptr || !claim->IsOpen()) {
            claimed = ClaimAddress(last);
            if (!claimed.IsOpen())
                continue;
        }
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(80);
        address.sin_addr.s_addr = htonl((127u << 24) | static_cast<unsigned>(last));
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(fd, backlog) == 0) {
            host = "scripted" + std::to_string(last) + ".test";
            taken = last;
            if (claim != nullptr && claimed.IsOpen())
                *claim = std::move(claimed);
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

} // namespace

std::array<FileDescriptor, 2> SocketPair() {
    int ends[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    return {FileDescriptor(ends[0]), FileDescriptor(ends[1])};
}

bool InsideTestNetwork() {
    const char* flag = std::getenv("KORVANE_TEST_NET");
    return flag != nullptr && std::strcmp(flag, "1") == 0;
}

ScriptedServer::ScriptedServer(std::vector<ServerScript> scripts) : m_scripts(std::move(scripts)) {
    if (m_scripts.empty() || !InsideTestNetwork() || ::pipe(m_stop) != 0)
        return;
    m_listen = ListenOnFreeAddress(16, m_host, m_address, &m_claim);
    if (m_listen >= 0)
        m_thread = std::thread([this] { Serve(); });
}

ScriptedServer::~ScriptedServer() {
    Stop();
    for (int fd : {m_stop[0], m_stop[1]})
        if (fd >= 0)
            ::close(fd);
}

void ScriptedServer::Stop() {
    if (m_stop[1] >= 0 && m_thread.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(m_stop[1], &stop, 1);
        m_thread.join();
        char drained = 0;
        [[maybe_unused]] const ssize_t drainedBytes = ::read(m_stop[0], &drained, 1);
    }
    if (m_listen >= 0)
        ::close(m_listen);
    m_listen = -1;
}

bool ScriptedServer::Restart() {
    std::string host;
    int address = 0;
    m_listen = ListenOnFreeAddress(16, host, address, &m_claim, m_address, m_address);
    if (m_listen >= 0)
        m_thread = std::thread([this] { Serve(); });
    return m_listen >= 0;
}

std::vector<std::string> ScriptedServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedServer::Serve() {
    for (std::size_t served = 0;; ++served) {
        if (!WaitReadable(m_listen, m_stop[0]))
            return;
        const int client = ::accept(m_listen, nullptr, nullptr);
        if (client < 0)
            continue;
        {
            std::lock_guard lock(m_mutex);
            m_requests.emplace_back();
        }
        Handle(client, m_scripts[std::min(served, m_scripts.size() - 1)]);
    }
}

void ScriptedServer::Handle(int client, const ServerScript& script) {
    std::array<char, 4096> buffer{};
    if (script.readRequest) {
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
            if (!WaitReadable(client, m_stop[0]))
                break;
            const ssize_t n = ::recv(client, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            request.append(buffer.data(), static_cast<std::size_t>(n));
        }
        std::lock_guard lock(m_mutex);
        m_requests.back() = request;
    }
    std::this_thread::sleep_for(script.delay);
    bool sent = SendAll(client, script.reply.data(), script.reply.size());
    std::fill(buffer.begin(), buffer.end(), 'x');
    for (std::size_t left = script.fillerBytes; sent && left > 0;) {
        const std::size_t piece = std::min(left, buffer.size());
        sent = SendAll(client, buffer.data(), piece);
        left -= piece;
    }
    if (script.then == ServerScript::Then::Reset) {
        // A reset discards whatever the client has not read yet; give it time to read the reply
        // first, as a reset in the middle of a longer reply would.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const linger abort{1, 0};
        ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (script.then == ServerScript::Then::HoldOpen) {
        // Drain until the client gives up or the server ends.
        while (WaitReadable(client, m_stop[0]) &&
               ::recv(client, buffer.data(), buffer.size(), 0) > 0) {
        }
    }
    ::close(client);
}

SilentHost::SilentHost() {
    if (!InsideTestNetwork())
        return;
    // A queue of no length holds one connection: once that is there, every further attempt is
    // dropped unanswered.
    int taken = 0;
    m_listen = FileDescriptor(ListenOnFreeAddress(0, m_host, taken));
    if (!m_listen.IsOpen())
        return;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(m_listen.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    FileDescriptor filler(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::connect(filler.Get(), reinterpret_cast<const sockaddr*>(&address), length) == 0)
        m_filler = std::move(filler);
}

} // namespace korvane::test
