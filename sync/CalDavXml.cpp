#include "sync/CalDavXml.h"

#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>

namespace CalDav
{
namespace
{
const char* const kDav = "DAV:";
const char* const kCalDav = "urn:ietf:params:xml:ns:caldav";

using Doc = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

bool Is(const xmlNode* node, const char* nameSpace, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && node->ns && node->ns->href &&
           std::strcmp(reinterpret_cast<const char*>(node->ns->href), nameSpace) == 0 &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

std::string Text(const xmlNode* node)
{
    std::unique_ptr<xmlChar, void (*)(void*)> content(xmlNodeGetContent(node), xmlFree);
    return content ? std::string(reinterpret_cast<const char*>(content.get())) : std::string();
}

std::string Trim(const std::string& text)
{
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

Doc Parse(const std::string& body)
{
    return Doc(xmlReadMemory(body.data(), int(body.size()), "answer.xml", nullptr,
                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
               xmlFreeDoc);
}

/// A request document: root element in DAV: or CalDAV's namespace.
struct Builder
{
    Doc doc{xmlNewDoc(X("1.0")), xmlFreeDoc};
    xmlNs* dav = nullptr;
    xmlNs* cal = nullptr;

    xmlNode* Root(const char* name, bool inCalDav)
    {
        xmlNode* root = xmlNewNode(nullptr, X(name));
        xmlDocSetRootElement(doc.get(), root);
        dav = xmlNewNs(root, X(kDav), X("D"));
        cal = xmlNewNs(root, X(kCalDav), X("C"));
        xmlSetNs(root, inCalDav ? cal : dav);
        return root;
    }
    xmlNode* Dav(xmlNode* parent, const char* name, const char* text = nullptr)
    {
        return xmlNewTextChild(parent, dav, X(name), text ? X(text) : nullptr);
    }
    xmlNode* Cal(xmlNode* parent, const char* name, const char* text = nullptr)
    {
        return xmlNewTextChild(parent, cal, X(name), text ? X(text) : nullptr);
    }
    std::string Dump()
    {
        xmlChar* out = nullptr;
        int size = 0;
        xmlDocDumpMemoryEnc(doc.get(), &out, &size, "UTF-8");
        std::unique_ptr<xmlChar, void (*)(void*)> owned(out, xmlFree);
        return out ? std::string(reinterpret_cast<const char*>(out), size_t(size)) : std::string();
    }
};

void ReadProp(const xmlNode* prop, DavProps& props)
{
    for (const xmlNode* p = prop->children; p; p = p->next)
    {
        if (Is(p, kDav, "getetag"))
            props.etag = Trim(Text(p));
        else if (Is(p, kCalDav, "calendar-data"))
        {
            props.hasCalendarData = true;
            props.calendarData = Text(p);
        }
        else if (Is(p, kDav, "resourcetype"))
        {
            for (const xmlNode* t = p->children; t; t = t->next)
            {
                props.isCollection |= Is(t, kDav, "collection");
                props.isCalendar |= Is(t, kCalDav, "calendar");
            }
        }
        else if (Is(p, kCalDav, "supported-calendar-component-set"))
        {
            props.hasComponents = true;
            for (const xmlNode* c = p->children; c; c = c->next)
            {
                if (!Is(c, kCalDav, "comp"))
                    continue;
                std::unique_ptr<xmlChar, void (*)(void*)> name(xmlGetProp(c, X("name")), xmlFree);
                if (name)
                    props.components.emplace_back(reinterpret_cast<const char*>(name.get()));
            }
        }
        else if (Is(p, kDav, "sync-token"))
            props.syncToken = Trim(Text(p));
        else if (Is(p, kDav, "supported-report-set"))
        {
            // supported-report / report / the report's own element
            for (const xmlNode* s = p->children; s; s = s->next)
                for (const xmlNode* r = Is(s, kDav, "supported-report") ? s->children : nullptr; r; r = r->next)
                    for (const xmlNode* n = Is(r, kDav, "report") ? r->children : nullptr; n; n = n->next)
                        props.syncCollection |= Is(n, kDav, "sync-collection");
        }
        else if (Is(p, kDav, "displayname"))
            props.displayName = Text(p);
    }
}
}

long ParseStatusLine(const std::string& line)
{
    std::string text = Trim(line);
    size_t space = text.find(' ');
    if (space == std::string::npos || text.compare(0, 5, "HTTP/") != 0)
        return 0;
    long status = 0;
    for (size_t i = space + 1; i < text.size() && i < space + 4; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        status = status * 10 + (text[i] - '0');
    }
    return status;
}

bool ParseMultistatus(const std::string& body, Multistatus& out, std::string& error)
{
    out = Multistatus();
    Doc doc = Parse(body);
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root)
    {
        error = "the server's answer is not XML";
        return false;
    }
    if (!Is(root, kDav, "multistatus"))
    {
        error = "the server's answer is not a WebDAV multistatus";
        return false;
    }
    for (const xmlNode* node = root->children; node; node = node->next)
    {
        if (Is(node, kDav, "sync-token"))
        {
            out.syncToken = Trim(Text(node));
            continue;
        }
        if (!Is(node, kDav, "response"))
            continue;
        DavResponse response;
        for (const xmlNode* part = node->children; part; part = part->next)
        {
            if (Is(part, kDav, "href") && response.href.empty())
                response.href = Trim(Text(part));
            else if (Is(part, kDav, "status"))
                response.status = ParseStatusLine(Text(part));
            else if (Is(part, kDav, "propstat"))
            {
                long status = 0;
                const xmlNode* prop = nullptr;
                for (const xmlNode* p = part->children; p; p = p->next)
                {
                    if (Is(p, kDav, "status"))
                        status = ParseStatusLine(Text(p));
                    else if (Is(p, kDav, "prop"))
                        prop = p;
                }
                if (prop && status >= 200 && status < 300)
                    ReadProp(prop, response.props);
            }
        }
        if (!response.href.empty())
            out.responses.push_back(std::move(response));
    }
    return true;
}

bool HasPrecondition(const std::string& body, const char* nameSpace, const char* name)
{
    Doc doc = Parse(body);
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!Is(root, kDav, "error"))
        return false;
    for (const xmlNode* node = root->children; node; node = node->next)
        if (Is(node, nameSpace, name))
            return true;
    return false;
}

std::string CollectionPropfindBody()
{
    Builder b;
    xmlNode* prop = b.Dav(b.Root("propfind", false), "prop");
    b.Dav(prop, "resourcetype");
    b.Dav(prop, "supported-report-set");
    b.Dav(prop, "displayname");
    b.Cal(prop, "supported-calendar-component-set");
    return b.Dump();
}

std::string MkcalendarBody(const std::string& displayName)
{
    Builder b;
    xmlNode* prop = b.Dav(b.Dav(b.Root("mkcalendar", true), "set"), "prop");
    b.Dav(prop, "displayname", displayName.c_str());
    xmlNode* set = b.Cal(prop, "supported-calendar-component-set");
    xmlSetProp(b.Cal(set, "comp"), X("name"), X("VTODO"));
    return b.Dump();
}

std::string SyncCollectionBody(const std::string& token)
{
    Builder b;
    xmlNode* root = b.Root("sync-collection", false);
    b.Dav(root, "sync-token", token.c_str());
    b.Dav(root, "sync-level", "1");
    b.Dav(b.Dav(root, "prop"), "getetag");
    return b.Dump();
}

std::string MultigetBody(const std::vector<std::string>& hrefs)
{
    Builder b;
    xmlNode* root = b.Root("calendar-multiget", true);
    xmlNode* prop = b.Dav(root, "prop");
    b.Dav(prop, "getetag");
    b.Cal(prop, "calendar-data");
    for (const std::string& href : hrefs)
        b.Dav(root, "href", href.c_str());
    return b.Dump();
}

std::string TodoQueryBody()
{
    Builder b;
    xmlNode* root = b.Root("calendar-query", true);
    b.Dav(b.Dav(root, "prop"), "getetag");
    xmlNode* calendar = b.Cal(b.Cal(root, "filter"), "comp-filter");
    xmlSetProp(calendar, X("name"), X("VCALENDAR"));
    xmlSetProp(b.Cal(calendar, "comp-filter"), X("name"), X("VTODO"));
    return b.Dump();
}
}
