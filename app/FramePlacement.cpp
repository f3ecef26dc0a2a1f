#include "app/FramePlacement.h"

#include "app/SettingsKey.h"
#include "controls/WxString.h"

#include <wx/display.h>
#include <wx/tokenzr.h>
#include <wx/toplevel.h>

#include <algorithm>

const char16_t* const kWindowPlacementValue = u"WindowPlacement";

namespace
{
// Of a restored window at least this much must lie on a display, its top
// edge (where the manager's caption is) included, so it can be moved back.
constexpr int kVisiblePart = 64;
// Sizes beyond any real screen are damage, not a choice of the user.
constexpr int kLargest = 32768;

std::vector<wxRect> Displays()
{
    std::vector<wxRect> rects;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        rects.push_back(wxDisplay(i).GetGeometry());
    return rects;
}
}

std::u16string FormatPlacement(const FramePlacement& p)
{
    return FromWx(wxString::Format("%d,%d,%d,%d,%d", p.position.x, p.position.y, p.clientSize.x, p.clientSize.y,
                                   p.maximised ? 1 : 0));
}

FramePlacement ParsePlacement(const std::u16string& text, const std::vector<wxRect>& displays,
                              const wxSize& minClient, const FramePlacement& fallback)
{
    const wxArrayString fields = wxSplit(ToWx(text), ',', '\0');
    if (fields.size() != 5)
        return fallback;
    long v[5];
    for (int i = 0; i < 5; ++i)
        if (!fields[i].ToLong(&v[i]) || v[i] <= -kLargest || v[i] >= kLargest)
            return fallback;
    if (v[2] < minClient.x || v[3] < minClient.y || (v[4] != 0 && v[4] != 1))
        return fallback;
    FramePlacement p;
    p.position = wxPoint(static_cast<int>(v[0]), static_cast<int>(v[1]));
    p.clientSize = wxSize(static_cast<int>(v[2]), static_cast<int>(v[3]));
    p.maximised = v[4] == 1;
    const wxRect top(p.position, wxSize(p.clientSize.x, kVisiblePart));
    for (const wxRect& display : displays)
    {
        const wxRect seen = top.Intersect(display);
        if (seen.width >= kVisiblePart && seen.height >= kVisiblePart / 2 && top.y >= display.y)
        {
            // Never larger than the display it is on.
            p.clientSize.x = std::min(p.clientSize.x, display.width);
            p.clientSize.y = std::min(p.clientSize.y, display.height);
            return p;
        }
    }
    return fallback;
}

FramePlacement DefaultPlacement(const wxRect& workArea, const wxSize& client, const wxSize& decorations)
{
    FramePlacement p;
    p.clientSize = client;
    const wxRect outer = wxRect(client + decorations).CentreIn(workArea);
    p.position = outer.GetPosition();
    return p;
}

void RestorePlacement(wxTopLevelWindow& frame, const wxSize& defaultClient)
{
    const wxSize decorations = frame.GetSize() - frame.GetClientSize();
    const wxRect work = wxDisplay(&frame).GetClientArea();
    const FramePlacement fallback = DefaultPlacement(work, defaultClient, decorations);
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    const FramePlacement p =
        ParsePlacement(key.ReadString(kWindowPlacementValue, nullptr), Displays(), frame.FromDIP(wxSize(120, 120)), fallback);
    frame.SetClientSize(p.clientSize);
    frame.Move(p.position);
    if (p.maximised)
        frame.Maximize();
}

void StorePlacement(const wxTopLevelWindow& frame, const FramePlacement& normal)
{
    FramePlacement p = normal;
    p.maximised = frame.IsMaximized();
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    key.WriteString(kWindowPlacementValue, FormatPlacement(p).c_str());
}
