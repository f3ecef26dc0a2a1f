#ifndef TALLYARD_SYNC_SYNCCALDAV_H
#define TALLYARD_SYNC_SYNCCALDAV_H

// The server side of a sync: one CalDAV collection through one client (one
// connection for the whole sync).

#include "sync/CalDavClient.h"
#include "sync/SyncSides.h"

namespace Sync
{
class CalDavSide : public RemoteSide
{
public:
    explicit CalDavSide(CalDav::Account account, CalDav::Limits limits = {}) : m_client(std::move(account), limits) {}

    bool Open() override;
    bool Changes(const std::string& token, std::map<std::string, std::string>& changed,
                 std::vector<std::string>& removed, bool& complete, std::string& newToken) override;
    bool Fetch(const std::vector<std::string>& hrefs, std::vector<Fetched>& out) override;
    std::string HrefFor(const std::string& uid) override { return m_client.HrefFor(uid); }
    Outcome Create(const std::string& href, const std::string& text, std::string& etag) override;
    Outcome Update(const std::string& href, const std::string& text, const std::string& etag,
                   std::string& newEtag) override;
    Outcome Remove(const std::string& href, const std::string& etag) override;
    std::string Error() override { return m_client.Error(); }

    CalDav::Client& Client() { return m_client; }

private:
    Outcome WithEtag(CalDav::WriteResult result, const std::string& href, std::string& etag);
    CalDav::Client m_client;
    bool m_open = false;
};
}

#endif
