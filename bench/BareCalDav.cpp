#include "bench/BareCalDav.h"

#include <curl/curl.h>

namespace
{
size_t Keep(char* data, size_t size, size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

curl_slist* List(std::initializer_list<const char*> lines)
{
    curl_slist* list = nullptr;
    for (const char* line : lines)
        list = curl_slist_append(list, line);
    return list;
}
}

BareCalDav::BareCalDav(const std::string& user, const std::string& password) : m_curl(curl_easy_init())
{
    curl_easy_setopt(m_curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &Keep);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, &m_body);
    m_putHeaders = List({"Content-Type: text/calendar; charset=utf-8", "If-None-Match: *", "Expect:"});
    m_xmlHeaders[0] = List({"Content-Type: application/xml; charset=utf-8", "Depth: 0", "Expect:"});
    m_xmlHeaders[1] = List({"Content-Type: application/xml; charset=utf-8", "Depth: 1", "Expect:"});
}

BareCalDav::~BareCalDav()
{
    curl_easy_cleanup(m_curl);
    curl_slist_free_all(m_putHeaders);
    curl_slist_free_all(m_xmlHeaders[0]);
    curl_slist_free_all(m_xmlHeaders[1]);
}

long BareCalDav::Send(const char* method, const std::string& url, curl_slist* headers, const std::string& body)
{
    m_body.clear();
    curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, method);
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(m_curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(m_curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    long status = 0;
    if (curl_easy_perform(m_curl) == CURLE_OK)
        curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

long BareCalDav::Put(const std::string& url, const std::string& ical)
{
    return Send("PUT", url, m_putHeaders, ical);
}

long BareCalDav::Report(const std::string& url, const std::string& xml, int depth)
{
    return Send("REPORT", url, m_xmlHeaders[depth == 1 ? 1 : 0], xml);
}

long BareCalDav::Mkcalendar(const std::string& url)
{
    return Send("MKCALENDAR", url, m_xmlHeaders[0], {});
}
