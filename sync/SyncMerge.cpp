#include "sync/SyncMerge.h"

#include <libical/ical.h>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace Sync
{
const char* const kChangedElsewhere = "Changed elsewhere: ";

namespace
{
using Component = std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)>;

Component Parse(const std::string& text)
{
    if (text.empty())
        return Component(nullptr, icalcomponent_free);
    return Component(icalparser_parse_string(text.c_str()), icalcomponent_free);
}

/// The one VTODO of a parsed object, or null.
icalcomponent* OnlyTodo(icalcomponent* root)
{
    if (!root)
        return nullptr;
    if (icalcomponent_isa(root) == ICAL_VTODO_COMPONENT)
        return root;
    if (icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT ||
        icalcomponent_count_components(root, ICAL_VTODO_COMPONENT) != 1)
        return nullptr;
    for (icalcomponent* c = icalcomponent_get_first_component(root, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(root, ICAL_ANY_COMPONENT))
    {
        icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind == ICAL_VEVENT_COMPONENT || kind == ICAL_VJOURNAL_COMPONENT || kind == ICAL_VFREEBUSY_COMPONENT)
            return nullptr;
    }
    return icalcomponent_get_first_component(root, ICAL_VTODO_COMPONENT);
}

std::string Own(char* text)
{
    std::string value = text ? text : "";
    free(text);
    return value;
}

std::string PropName(icalproperty* p) { return Own(icalproperty_get_property_name_r(p)); }

/// Which field a property belongs to; "" for ones the merge ignores.
std::string FieldOf(const std::string& name)
{
    if (name == "DTSTAMP" || name == "LAST-MODIFIED" || name == "SEQUENCE" || name == "UID")
        return {};
    if (name == "STATUS" || name == "COMPLETED" || name == "PERCENT-COMPLETE")
        return "STATUS";
    return name;
}

struct Field
{
    std::string text;                  // every property of the field, as written
    std::vector<icalproperty*> props;  // in file order
    std::vector<icalcomponent*> comps; // for sub-components (VALARM)
};

using Fields = std::map<std::string, Field>;

Fields Collect(icalcomponent* todo)
{
    Fields fields;
    if (!todo)
        return fields;
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_ANY_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_ANY_PROPERTY))
    {
        std::string field = FieldOf(PropName(p));
        if (field.empty())
            continue;
        Field& f = fields[field];
        // When a task was completed travels with it, but only whether it is
        // completed tells a change (writers stamp COMPLETED afresh).
        if (icalproperty_isa(p) != ICAL_COMPLETED_PROPERTY)
            f.text += Own(icalproperty_as_ical_string_r(p));
        f.props.push_back(p);
    }
    for (icalcomponent* c = icalcomponent_get_first_component(todo, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(todo, ICAL_ANY_COMPONENT))
    {
        Field& f = fields[std::string("BEGIN:") + icalcomponent_kind_to_string(icalcomponent_isa(c))];
        f.text += Own(icalcomponent_as_ical_string_r(c));
        f.comps.push_back(c);
    }
    return fields;
}

/// When the task was last changed: LAST-MODIFIED, or else DTSTAMP, which
/// says the same of a task stored in a calendar; "" when neither is there.
std::string ChangedAt(icalcomponent* todo)
{
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_LASTMODIFIED_PROPERTY))
        return icaltime_as_ical_string(icaltime_convert_to_zone(icalproperty_get_lastmodified(p),
                                                                icaltimezone_get_utc_timezone()));
    if (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_DTSTAMP_PROPERTY))
        return icaltime_as_ical_string(icaltime_convert_to_zone(icalproperty_get_dtstamp(p),
                                                                icaltimezone_get_utc_timezone()));
    return {};
}

/// What a user reads for a field's value.
std::string Shown(const Field& field, const std::string& name)
{
    if (field.props.empty() && field.comps.empty())
        return "(none)";
    if (name == "STATUS")
    {
        for (icalproperty* p : field.props)
            if (icalproperty_isa(p) == ICAL_STATUS_PROPERTY)
                return icalproperty_get_status(p) == ICAL_STATUS_COMPLETED ? "completed" : "not completed";
        return "not completed";
    }
    std::string shown;
    for (icalproperty* p : field.props)
    {
        if (!shown.empty())
            shown += ", ";
        // Text as the user wrote it, not escaped as iCalendar writes it.
        icalvalue* v = icalproperty_get_value(p);
        const char* value = v && icalvalue_isa(v) == ICAL_TEXT_VALUE ? icalvalue_get_text(v)
                                                                      : icalproperty_get_value_as_string(p);
        shown += value ? value : "";
    }
    if (!field.comps.empty())
        shown += name.substr(6);
    return shown;
}

void Replace(icalcomponent* target, const Field& mine, const Field& theirs)
{
    for (icalproperty* p : mine.props)
    {
        icalcomponent_remove_property(target, p);
        icalproperty_free(p);
    }
    for (icalcomponent* c : mine.comps)
    {
        icalcomponent_remove_component(target, c);
        icalcomponent_free(c);
    }
    for (icalproperty* p : theirs.props)
        icalcomponent_add_property(target, icalproperty_new_clone(p));
    for (icalcomponent* c : theirs.comps)
        icalcomponent_add_component(target, icalcomponent_new_clone(c));
}
}

MergeResult Merge3(const std::string& base, const std::string& local, const std::string& remote, bool localIsLater,
                   const std::string& sent)
{
    MergeResult result;
    Component baseRoot = Parse(base), localRoot = Parse(local), remoteRoot = Parse(remote), sentRoot = Parse(sent);
    icalcomponent* baseTodo = OnlyTodo(baseRoot.get());
    icalcomponent* localTodo = OnlyTodo(localRoot.get());
    icalcomponent* remoteTodo = OnlyTodo(remoteRoot.get());
    if (!localTodo || !remoteTodo || (!base.empty() && !baseTodo))
        return result;

    std::string localTime = ChangedAt(localTodo), remoteTime = ChangedAt(remoteTodo);
    bool localWins = localTime == remoteTime ? localIsLater : localTime > remoteTime;
    // The merged object starts as the later side's whole object.
    Component merged(icalcomponent_new_clone(localWins ? localRoot.get() : remoteRoot.get()), icalcomponent_free);
    icalcomponent* target = OnlyTodo(merged.get());
    Fields baseFields = Collect(baseTodo), localFields = Collect(localTodo), remoteFields = Collect(remoteTodo);
    // Fields of the remote copy that are what this side wrote came from here.
    if (icalcomponent* sentTodo = baseTodo ? OnlyTodo(sentRoot.get()) : nullptr)
    {
        Fields sentFields = Collect(sentTodo);
        std::set<std::string> all;
        for (const Fields* fields : {&sentFields, &remoteFields})
            for (const auto& entry : *fields)
                all.insert(entry.first);
        for (const std::string& name : all)
        {
            auto r = remoteFields.find(name), s = sentFields.find(name);
            const std::string remoteText = r == remoteFields.end() ? "" : r->second.text;
            const std::string sentText = s == sentFields.end() ? "" : s->second.text;
            if (remoteText != sentText)
                continue;
            if (s == sentFields.end())
                baseFields.erase(name);
            else
                baseFields[name].text = sentText;
        }
    }
    Fields winnerFields = Collect(target);
    const Fields& loserFields = localWins ? remoteFields : localFields;
    const Fields& winnerSide = localWins ? localFields : remoteFields;

    std::set<std::string> names;
    for (const Fields* fields : {&baseFields, &localFields, &remoteFields})
        for (const auto& entry : *fields)
            names.insert(entry.first);

    static const Field none;
    auto get = [](const Fields& fields, const std::string& name) -> const Field& {
        auto it = fields.find(name);
        return it == fields.end() ? none : it->second;
    };
    std::vector<std::string> notes;
    for (const std::string& name : names)
    {
        const Field& b = get(baseFields, name);
        const Field& w = get(winnerSide, name);
        const Field& l = get(loserFields, name);
        if (w.text == l.text)
            continue;
        bool loserChanged = !baseTodo || l.text != b.text;
        bool winnerChanged = !baseTodo || w.text != b.text;
        if (loserChanged && !winnerChanged)
            Replace(target, get(winnerFields, name), l);
        else if (loserChanged && winnerChanged)
        {
            ++result.conflicts;
            if (name == "DESCRIPTION")
                notes.insert(notes.begin(), Shown(l, name));
            else if (!(l.props.empty() && l.comps.empty()))
                notes.push_back(Shown(l, name));
        }
    }
    if (!notes.empty())
    {
        icalproperty* description = icalcomponent_get_first_property(target, ICAL_DESCRIPTION_PROPERTY);
        std::string text = description ? icalproperty_get_description(description) : "";
        for (const std::string& note : notes)
        {
            std::string line = kChangedElsewhere + note;
            if (text.find(line) != std::string::npos)
                continue;
            text += (text.empty() ? "" : "\n") + line;
        }
        if (description)
            icalproperty_set_description(description, text.c_str());
        else
            icalcomponent_add_property(target, icalproperty_new_description(text.c_str()));
    }
    result.text = Own(icalcomponent_as_ical_string_r(merged.get()));
    result.ok = true;
    return result;
}

bool SameTodo(const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    Component ra = Parse(a), rb = Parse(b);
    icalcomponent* ta = OnlyTodo(ra.get());
    icalcomponent* tb = OnlyTodo(rb.get());
    if (!ta || !tb)
        return false;
    Fields fa = Collect(ta), fb = Collect(tb);
    if (fa.size() != fb.size())
        return false;
    for (const auto& entry : fa)
    {
        auto it = fb.find(entry.first);
        if (it == fb.end() || it->second.text != entry.second.text)
            return false;
    }
    return true;
}

std::string TodoUid(const std::string& text)
{
    Component root = Parse(text);
    icalcomponent* todo = OnlyTodo(root.get());
    const char* uid = todo ? icalcomponent_get_uid(todo) : nullptr;
    return uid ? uid : "";
}

std::string TodoParent(const std::string& text)
{
    Component root = Parse(text);
    icalcomponent* todo = OnlyTodo(root.get());
    if (!todo)
        return {};
    for (icalproperty* p = icalcomponent_get_first_property(todo, ICAL_RELATEDTO_PROPERTY); p;
         p = icalcomponent_get_next_property(todo, ICAL_RELATEDTO_PROPERTY))
    {
        icalparameter* type = icalproperty_get_first_parameter(p, ICAL_RELTYPE_PARAMETER);
        if (!type || icalparameter_get_reltype(type) == ICAL_RELTYPE_PARENT)
            return icalproperty_get_relatedto(p);
    }
    return {};
}
}
