// The loopback plumbing under the test servers and relays: what a relay's
// hooks see and hold back reaches the client byte for byte, and a listener
// stops with connections still open.
#include "tests/support/Loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
const std::string kAnswer(100000, 'a');

/// What `fd` gets until the peer closes (`ended`) or nothing comes for a
/// while.
std::string ReadAll(int fd, bool& ended)
{
    std::string got;
    char buffer[4096];
    ended = false;
    while (!ended && Loopback::Readable(fd, 2000))
    {
        const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        ended = n <= 0;
        if (n > 0)
            got.append(buffer, size_t(n));
    }
    return got;
}

/// Answers the first bytes it reads with kAnswer, then closes, or with
/// `stayOpen` keeps the connection until it stops.
Loopback::Listener::Serve AnswerOnce(bool stayOpen)
{
    return [stayOpen](int fd, const std::atomic<bool>& stop) {
        while (!stop && !Loopback::Readable(fd, 50))
            ;
        char buffer[256];
        if (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0)
            Loopback::SendAll(fd, kAnswer.data(), kAnswer.size());
        while (stayOpen && !stop)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
}

/// The client's copy of the answer through a relay with `hooks`; `ended`
/// says whether the connection ended after it.
std::string Through(const Loopback::RelayHooks& hooks, size_t bufferSize, bool serverStaysOpen, bool& ended)
{
    Loopback::Listener server(AnswerOnce(serverStaysOpen), Loopback::Listener::Threads::One);
    Loopback::Listener relay(
        [&](int client, const std::atomic<bool>& stop) {
            Loopback::Relay(client, server.Port(), stop, hooks, bufferSize);
        },
        Loopback::Listener::Threads::PerConnection);
    const int fd = Loopback::Connect(relay.Port());
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(Loopback::SendAll(fd, "hello", 5));
    std::string got = ReadAll(fd, ended);
    close(fd);
    return got;
}
}

TEST(Loopback, RelayPassesChangesAndCutsAnswersByteForByte)
{
    std::string sent;
    size_t seen = 0;
    Loopback::RelayHooks hooks;
    hooks.fromClient = [&](const char* data, size_t size) { sent.append(data, size); };
    hooks.fromServer = [&](char* data, size_t size) {
        for (size_t i = 0; i < size; ++i)
            if (seen + i == 70000)
                data[i] = 'b';
        seen += size;
        return size;
    };
    std::string changed = kAnswer;
    changed[70000] = 'b';
    bool ended = false;
    EXPECT_EQ(Through(hooks, 16384, false, ended), changed);
    EXPECT_TRUE(ended);
    EXPECT_EQ(sent, "hello");

    // Held back from the 3,000th byte: the client gets those, then the relay
    // ends the connection, however the reads fall.
    for (size_t bufferSize : {size_t(1000), size_t(65536)})
    {
        seen = 0;
        hooks.fromServer = [&](char*, size_t size) {
            const size_t pass = seen + size > 3000 ? 3000 - std::min<size_t>(seen, 3000) : size;
            seen += size;
            return pass;
        };
        EXPECT_EQ(Through(hooks, bufferSize, true, ended), kAnswer.substr(0, 3000)) << "reads of " << bufferSize;
        EXPECT_TRUE(ended);
    }
}

TEST(Loopback, ListenerStopsWithConnectionsOpenAndFreesItsPort)
{
    for (auto threads : {Loopback::Listener::Threads::One, Loopback::Listener::Threads::PerConnection})
    {
        int port = 0;
        int fds[2] = {-1, -1};
        {
            Loopback::Listener listener(
                [](int, const std::atomic<bool>& stop) {
                    while (!stop)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                },
                threads);
            port = listener.Port();
            ASSERT_NE(port, 0);
            fds[0] = Loopback::Connect(port);
            fds[1] = Loopback::Connect(port);
            ASSERT_GE(fds[0], 0);
            ASSERT_GE(fds[1], 0);
        }
        EXPECT_FALSE(Loopback::PortAnswers(port));
        // Both ends closed (or, not taken yet, reset), none left hanging.
        for (int fd : fds)
        {
            char byte;
            EXPECT_TRUE(Loopback::Readable(fd, 2000));
            EXPECT_LE(recv(fd, &byte, 1, MSG_DONTWAIT), 0);
            close(fd);
        }
    }
}
