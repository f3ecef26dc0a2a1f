#include "tests/wm/ScreenChecks.h"

#include <gtest/gtest.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/tokenzr.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

std::string Describe(const wxRect& r)
{
    return std::to_string(r.x) + "," + std::to_string(r.y) + " " + std::to_string(r.width) + "x" +
           std::to_string(r.height);
}

wxRect DeviceRect(wxWindow* win)
{
    const double scale = win->GetContentScaleFactor();
    const wxRect r = win->GetScreenRect();
    return wxRect(wxRound(r.x * scale), wxRound(r.y * scale), wxRound(r.width * scale), wxRound(r.height * scale));
}

namespace
{
// A button's frame and the least room beside its label, each side.
constexpr int kButtonFrame = 4;

// The widest line of `label` in the window's font.
wxSize LabelExtent(wxWindow* win, const wxString& label)
{
    wxClientDC dc(win);
    dc.SetFont(win->GetFont());
    wxSize extent;
    for (const wxString& line : wxSplit(label, '\n', '\0'))
    {
        wxString shown = line;
        shown.Replace("&&", "\x01");
        shown.Replace("&", "");
        const wxSize size = dc.GetTextExtent(shown.empty() ? wxString("X") : shown);
        extent.x = std::max(extent.x, size.x);
        extent.y += size.y;
    }
    return extent;
}

void CheckControl(wxWindow* top, wxWindow* win, const std::string& where)
{
    const wxRect client(top->GetClientSize());
    // Positions add up through the parents (screen positions are rounded
    // to whole points at fractional offsets of a scaled display).
    wxPoint at = win->GetPosition();
    for (wxWindow* p = win->GetParent(); p && p != top; p = p->GetParent())
        at += p->GetPosition() + p->GetClientAreaOrigin();
    const wxRect r(at, win->GetSize());
    const std::string what = where + ": " + wxString(win->GetClassInfo()->GetClassName()).ToStdString() + " \"" +
                             win->GetLabel().ToStdString() + "\" at " + Describe(r);
    EXPECT_TRUE(client.Contains(r)) << what << " outside " << Describe(client);
    EXPECT_GT(r.width, 0) << what;
    EXPECT_GT(r.height, 0) << what;
    if (dynamic_cast<wxStaticText*>(win))
    {
        const wxSize text = LabelExtent(win, win->GetLabel());
        if (!win->GetLabel().empty())
        {
            EXPECT_LE(text.x, r.width) << what << " cuts its text of " << text.x;
        }
        EXPECT_LE(text.y, r.height) << what << " cuts its text of height " << text.y;
    }
    else if (!win->GetLabel().empty() &&
             (dynamic_cast<wxCheckBox*>(win) || dynamic_cast<wxRadioButton*>(win) || dynamic_cast<wxButton*>(win)))
    {
        // A box's indicator and label as the toolkit measures them; a button's
        // label within its frame (the toolkit asks padding besides).
        gint least = 0, natural = 0;
        if (dynamic_cast<wxButton*>(win))
            least = LabelExtent(win, win->GetLabel()).x + (win->HasFlag(wxBORDER_NONE) ? 0 : 2 * kButtonFrame);
        else
            gtk_widget_get_preferred_width(win->GetHandle(), &least, &natural);
        EXPECT_LE(least, r.width) << what << " needs " << least;
        EXPECT_LE(LabelExtent(win, win->GetLabel()).y, r.height) << what;
    }
    else if (auto* text = dynamic_cast<wxTextCtrl*>(win); text && !text->IsMultiLine())
    {
        EXPECT_LE(LabelExtent(win, "Xg").y, r.height) << what << " is lower than a line";
    }
}

void CheckChildren(wxWindow* top, wxWindow* parent, const std::string& where)
{
    std::vector<wxWindow*> seen;
    for (wxWindow* child : parent->GetChildren())
    {
        if (!child->IsShown() || child->IsTopLevel())
            continue;
        CheckControl(top, child, where);
        // A control under another is out of reach where they overlap (a group
        // box frames others and a picture lies behind them).
        if (!dynamic_cast<wxStaticBox*>(child) && !dynamic_cast<wxStaticBitmap*>(child))
        {
            for (wxWindow* other : seen)
                EXPECT_FALSE(other->GetRect().Intersects(child->GetRect()))
                    << where << ": \"" << other->GetLabel() << "\" " << Describe(other->GetRect()) << " and \""
                    << child->GetLabel() << "\" " << Describe(child->GetRect()) << " overlap";
            seen.push_back(child);
        }
        // A composite control's own parts are the toolkit's to place.
        if (!dynamic_cast<wxControl*>(child))
            CheckChildren(top, child, where);
    }
}

double Luminance(const wxColour& c)
{
    auto channel = [](unsigned char v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.Red()) + 0.7152 * channel(c.Green()) + 0.0722 * channel(c.Blue());
}
}

void ExpectEveryControlReachable(wxWindow* top, const std::string& where)
{
    CheckChildren(top, top, where);
}

wxImage OverBackground(const wxImage& picture, const wxColour& back)
{
    wxImage out(picture.GetWidth(), picture.GetHeight());
    for (int y = 0; y < picture.GetHeight(); ++y)
        for (int x = 0; x < picture.GetWidth(); ++x)
        {
            const double a = picture.HasAlpha() ? picture.GetAlpha(x, y) / 255.0 : 1.0;
            auto mix = [a](unsigned char f, unsigned char b) {
                return static_cast<unsigned char>(wxRound(a * f + (1 - a) * b));
            };
            out.SetRGB(x, y, mix(picture.GetRed(x, y), back.Red()), mix(picture.GetGreen(x, y), back.Green()),
                       mix(picture.GetBlue(x, y), back.Blue()));
        }
    return out;
}

double MismatchShare(const wxImage& a, const wxImage& b, int tolerance)
{
    if (a.GetSize() != b.GetSize() || a.GetWidth() == 0)
        return 1.0;
    int differing = 0;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
        {
            const int d = std::max({std::abs(a.GetRed(x, y) - b.GetRed(x, y)),
                                    std::abs(a.GetGreen(x, y) - b.GetGreen(x, y)),
                                    std::abs(a.GetBlue(x, y) - b.GetBlue(x, y))});
            differing += d > tolerance;
        }
    return static_cast<double>(differing) / (a.GetWidth() * a.GetHeight());
}

double ContrastRatio(const wxColour& a, const wxColour& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

wxColour CommonestColour(const wxImage& img)
{
    std::map<unsigned long, int> counts;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
            ++counts[(static_cast<unsigned long>(img.GetRed(x, y)) << 16) | (img.GetGreen(x, y) << 8) |
                     img.GetBlue(x, y)];
    unsigned long best = 0;
    int most = -1;
    for (const auto& [rgb, n] : counts)
        if (n > most)
        {
            most = n;
            best = rgb;
        }
    return wxColour((best >> 16) & 0xff, (best >> 8) & 0xff, best & 0xff);
}

double StrongestContrast(const wxImage& img, const wxColour& back)
{
    double strongest = 1.0;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
        {
            const wxColour c(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
            strongest = std::max(strongest, ContrastRatio(c, back));
        }
    return strongest;
}
