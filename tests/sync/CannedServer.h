#ifndef TALLYARD_TESTS_SYNC_CANNEDSERVER_H
#define TALLYARD_TESTS_SYNC_CANNEDSERVER_H

// A loopback server that answers every request with what the test hands it:
// a broken, huge or hostile answer, or none at all (it hangs).

#include "tests/support/Loopback.h"

#include <atomic>
#include <functional>
#include <string>

class CannedServer
{
public:
    /// What to send back for one request (method, path): raw bytes, or
    /// `hang` to keep the connection open without a word.
    struct Answer
    {
        std::string bytes;
        bool hang = false;
        bool close = false; ///< close the connection after the bytes
    };
    using Handler = std::function<Answer(const std::string& method, const std::string& path)>;

    explicit CannedServer(Handler handler);
    int Port() const { return m_listener.Port(); }
    std::string Url(const std::string& path) const;
    int Requests() const { return m_requests; }

    /// A complete HTTP answer with this status and body.
    static std::string Http(int status, const std::string& body,
                            const std::string& type = "application/xml; charset=utf-8");

private:
    void Serve(int fd, const std::atomic<bool>& stop);
    Handler m_handler;
    std::atomic<int> m_requests{0};
    Loopback::Listener m_listener;
};

#endif
