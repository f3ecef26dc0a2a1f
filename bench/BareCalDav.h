#ifndef TALLYARD_BENCH_BARECALDAV_H
#define TALLYARD_BENCH_BARECALDAV_H

// The least a CalDAV client can do, straight on libcurl: one handle (one
// keep-alive connection), basic authentication, the answer's body kept and
// nothing of it read.

#include <string>

typedef void CURL;
struct curl_slist;

class BareCalDav
{
public:
    BareCalDav(const std::string& user, const std::string& password);
    ~BareCalDav();
    BareCalDav(const BareCalDav&) = delete;
    BareCalDav& operator=(const BareCalDav&) = delete;

    /// The status of the answer; 0 when none came.
    long Put(const std::string& url, const std::string& ical);
    long Report(const std::string& url, const std::string& xml, int depth = 0);
    long Mkcalendar(const std::string& url);
    const std::string& Body() const { return m_body; }

private:
    long Send(const char* method, const std::string& url, curl_slist* headers, const std::string& body);

    CURL* m_curl;
    curl_slist* m_putHeaders = nullptr;
    curl_slist* m_xmlHeaders[2] = {nullptr, nullptr};
    std::string m_body;
};

#endif
