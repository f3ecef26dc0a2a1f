#ifndef TALLYARD_SYNC_CALDAVXML_H
#define TALLYARD_SYNC_CALDAVXML_H

// WebDAV request bodies and multistatus answers, through libxml2 with
// namespaces honoured (DAV: and CalDAV's), no network, no entity expansion.

#include <string>
#include <vector>

namespace CalDav
{
struct DavProps
{
    std::string etag;
    bool hasCalendarData = false;
    std::string calendarData;
    bool isCollection = false;
    bool isCalendar = false;
    bool hasComponents = false;
    std::vector<std::string> components; ///< supported-calendar-component-set
    std::string syncToken;
    bool syncCollection = false; ///< supported-report-set lists sync-collection
    std::string displayName;
};

struct DavResponse
{
    std::string href;
    long status = 0; ///< the response's own status, 0 when it has propstats
    DavProps props;  ///< from the propstats with a 2xx status
};

struct Multistatus
{
    std::vector<DavResponse> responses;
    std::string syncToken; ///< the sync-collection answer's new token
};

/// False, with the reason, when the body is not a well-formed multistatus.
bool ParseMultistatus(const std::string& body, Multistatus& out, std::string& error);
/// True when the body is a DAV:error naming this precondition (e.g.
/// "DAV:", "valid-sync-token").
bool HasPrecondition(const std::string& body, const char* nameSpace, const char* name);

/// Asks what the collection is and the reports it offers, not its
/// sync-token: a server may look at every member to make one.
std::string CollectionPropfindBody();
std::string MkcalendarBody(const std::string& displayName);
/// Initial sync with an empty token.
std::string SyncCollectionBody(const std::string& token);
std::string MultigetBody(const std::vector<std::string>& hrefs);
/// Every VTODO of the collection with its etag.
std::string TodoQueryBody();

/// "HTTP/1.1 404 Not Found" -> 404; 0 when unreadable.
long ParseStatusLine(const std::string& line);
}

#endif
