#pragma once

#include "shell/posix_file.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::test {

// True inside the private network namespace that scripts/netns-run.sh sets up, where the tests may
// bind port 80 and nginx serves the fixture sites.
bool InsideTestNetwork();

#define KORVANE_REQUIRE_TEST_NETWORK()                                                             \
    do {                                                                                           \
        if (!::korvane::test::InsideTestNetwork())                                                 \
            GTEST_SKIP() << "needs the test network: run through scripts/netns-run.sh";            \
    } while (false)

// Two connected local stream sockets: both ends of a stream, with no network at all.
std::array<FileDescriptor, 2> SocketPair();

// What the scripted server does with one connection.
struct ServerScript {
    enum class Then {
        Close,    // orderly close after the reply
        Reset,    // abortive close (RST) after the reply
        HoldOpen, // neither send more nor close, until the client closes or the server ends
    };
    std::string reply;
    // Bytes of filler sent after `reply`, for large bodies without holding them in memory.
    std::size_t fillerBytes = 0;
    Then then = Then::Close;
    // False: act at once on accepting, without waiting for the request.
    bool readRequest = true;
    // How long the server thinks before it answers, as a slow site does.
    std::chrono::milliseconds delay{0};
};

// A TCP server on port 80 of a loopback address of its own, for the replies no real web server
// produces. Connections are served one after the other; connection n follows scripts[n], the last
// script serving every later one.
class ScriptedServer {
  public:
    explicit ScriptedServer(std::vector<ServerScript> scripts);
    explicit ScriptedServer(ServerScript script)
        : ScriptedServer(std::vector<ServerScript>{std::move(script)}) {}
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;
    ~ScriptedServer();

    bool Started() const { return m_listen >= 0; }
    // The name that resolves to this server's address inside the test network.
    const std::string& Host() const { return m_host; }
    // The request bytes of each connection so far, in order.
    std::vector<std::string> Requests() const;
    // Shuts the server down, so that connections are refused, and starts it again on the same
    // address, as a site that goes down and comes back.
    void Stop();
    bool Restart();

  private:
    void Serve();
    void Handle(int client, const ServerScript& script);

    std::vector<ServerScript> m_scripts;
    std::string m_host;
    int m_address = 0;      // the last byte of the server's loopback address
    FileDescriptor m_claim; // keeps the address while the server is stopped
    int m_listen = -1;
    int m_stop[2] = {-1, -1};
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// A host on port 80 that answers no connection attempt, as one behind a filter that drops the
// packets: the queue of its listener is full, so every further attempt waits unanswered.
class SilentHost {
  public:
    SilentHost();
    bool Started() const { return m_filler.IsOpen(); }
    // The name that resolves to this host's address inside the test network.
    const std::string& Host() const { return m_host; }

  private:
    std::string m_host;
    FileDescriptor m_listen;
    FileDescriptor m_filler;
};

} // namespace korvane::test
