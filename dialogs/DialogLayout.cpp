#include "dialogs/DialogLayout.h"

#include "controls/TitleBar.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <numeric>

namespace
{
constexpr int kMarginDip = 3;
constexpr int kGapDip = 2;

Stretch StretchOf(wxWindow* w, const wxRect& rect, const wxSize& templateClient)
{
    if (auto* text = dynamic_cast<wxTextCtrl*>(w))
        return text->IsMultiLine() ? Stretch::Both : Stretch::Width;
    if (dynamic_cast<wxListBox*>(w) || dynamic_cast<wxListCtrl*>(w))
        return Stretch::Both;
    // A drop-down as wide as a field is one; a short one (a number) is not.
    if ((dynamic_cast<wxChoice*>(w) || dynamic_cast<wxComboBox*>(w)) && rect.width * 2 >= templateClient.x)
        return Stretch::Width;
    return Stretch::None;
}

struct Layout
{
    std::vector<LaidControl> controls;
    wxSize templateClient;
};

// The title bar and toolbars place themselves; a group box frames what is in
// it rather than standing above it.
bool TakesPart(wxWindow* child)
{
    return !child->IsTopLevel() && !dynamic_cast<CTitleBar*>(child) && !dynamic_cast<wxToolBar*>(child) &&
           !dynamic_cast<wxStaticBox*>(child);
}

int BottomReserve(wxDialog& dlg)
{
    int reserve = 0;
    for (wxWindow* child : dlg.GetChildren())
        if (dynamic_cast<wxToolBar*>(child) && child->IsShown())
            reserve = std::max(reserve, child->GetSize().y);
    return reserve;
}

void Apply(wxDialog& dlg, const Layout& layout)
{
    const wxSize client = dlg.GetClientSize();
    if (client.x <= 0 || client.y <= 0)
        return;
    const std::vector<wxRect> rects =
        StretchedRects(layout.controls, client, BottomReserve(dlg), dlg.FromDIP(kMarginDip));
    for (size_t i = 0; i < rects.size(); ++i)
        if (layout.controls[i].window->GetRect() != rects[i])
            layout.controls[i].window->SetSize(rects[i]);
}
}

void SeparateRows(std::vector<wxRect>& rects, int gap)
{
    std::vector<size_t> order(rects.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rects[a].y < rects[b].y; });
    for (size_t i = 0; i < order.size(); ++i)
    {
        wxRect& r = rects[order[i]];
        int push = 0;
        for (size_t j = 0; j < i; ++j)
        {
            const wxRect& above = rects[order[j]];
            const bool side = r.x >= above.GetRight() + 1 || above.x >= r.GetRight() + 1;
            if (!side && above.y < r.y && above.GetBottom() + 1 + gap > r.y)
                push = std::max(push, above.GetBottom() + 1 + gap - r.y);
        }
        if (push == 0)
            continue;
        // It and everything from its row down move together.
        const int row = r.y;
        for (size_t k = i; k < order.size(); ++k)
            if (rects[order[k]].y >= row - 4)
                rects[order[k]].y += push;
    }
}

std::vector<wxRect> StretchedRects(const std::vector<LaidControl>& controls, const wxSize& client,
                                   int bottomReserve, int margin)
{
    std::vector<wxRect> rects;
    for (const LaidControl& c : controls)
    {
        wxRect r = c.rect;
        if (c.stretch != Stretch::None)
        {
            // To the right edge, whatever room the template left there.
            r.width = std::max(c.rect.width, client.x - r.x - margin);
        }
        rects.push_back(r);
    }
    // A control taking the height left takes what the controls below it
    // leave; they move down with its bottom edge, to the dialog's.
    for (size_t i = 0; i < controls.size(); ++i)
    {
        if (controls[i].stretch != Stretch::Both)
            continue;
        const int bottom = rects[i].GetBottom();
        int lowest = bottom;
        for (const wxRect& r : rects)
            lowest = std::max(lowest, r.GetBottom());
        const int grow = client.y - bottomReserve - margin - (lowest + 1);
        if (grow <= 0)
            continue;
        rects[i].height += grow;
        for (size_t j = 0; j < rects.size(); ++j)
            if (j != i && rects[j].y > bottom)
                rects[j].y += grow;
    }
    return rects;
}

void GrowToToolkitMinimum(wxWindow& parent)
{
    const int room = parent.GetClientSize().x;
    for (wxWindow* child : parent.GetChildren())
    {
        if (!dynamic_cast<wxCheckBox*>(child) && !dynamic_cast<wxRadioButton*>(child))
            continue;
        // The toolkit's boxes are taller than the template's 10 units; given
        // less, they complain on the standard error and draw clipped.
        GtkRequisition minimum{0, 0};
        if (GtkWidget* widget = child->GetHandle())
            gtk_widget_get_preferred_size(widget, &minimum, nullptr);
        const wxSize best(std::max(child->GetBestSize().x, minimum.width), minimum.height);
        wxSize size = child->GetSize();
        size.IncTo(wxSize(std::min(best.x, std::max(room - child->GetPosition().x, 0)), best.y));
        if (size != child->GetSize())
            child->SetSize(size);
    }
}

void FitControlsAsTheToolkitDrawsThem(wxDialog& dlg)
{
    GrowToToolkitMinimum(dlg);
    std::vector<wxWindow*> windows;
    std::vector<wxRect> rects;
    for (wxWindow* child : dlg.GetChildren())
    {
        if (!TakesPart(child))
            continue;
        windows.push_back(child);
        rects.push_back(child->GetRect());
    }
    SeparateRows(rects, dlg.FromDIP(kGapDip));
    int bottom = 0;
    for (size_t i = 0; i < windows.size(); ++i)
    {
        if (windows[i]->GetRect() != rects[i])
            windows[i]->SetSize(rects[i]);
        bottom = std::max(bottom, rects[i].GetBottom() + 1);
    }
    const wxSize client = dlg.GetClientSize();
    if (bottom + dlg.FromDIP(kMarginDip) > client.y)
        dlg.SetClientSize(client.x, bottom + dlg.FromDIP(kMarginDip));
}

void InstallStretchLayout(wxDialog& dlg)
{
    GrowToToolkitMinimum(dlg);
    auto layout = std::make_shared<Layout>();
    layout->templateClient = dlg.GetClientSize();
    std::vector<wxRect> rects;
    for (wxWindow* child : dlg.GetChildren())
    {
        if (!TakesPart(child))
            continue;
        const wxRect rect = child->GetRect();
        layout->controls.push_back({child, rect, StretchOf(child, rect, layout->templateClient)});
        rects.push_back(rect);
    }
    SeparateRows(rects, dlg.FromDIP(kGapDip));
    for (size_t i = 0; i < rects.size(); ++i)
        layout->controls[i].rect = rects[i];
    wxDialog* target = &dlg;
    dlg.Bind(wxEVT_SIZE, [target, layout](wxSizeEvent& event) {
        event.Skip();
        Apply(*target, *layout);
    });
    Apply(dlg, *layout);
}
