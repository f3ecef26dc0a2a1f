#include "tests/support/TestHooks.h"

#include "app/CMainFrame.h"
#include "app/CStartupSplash.h"
#include "app/CToolStrip.h"
#include "controls/TitleBar.h"

#include <wx/anybutton.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace
{
constexpr int kIntervalMs = 100;
// Enough rows for any screen; a long list would only slow the picture.
constexpr long kMaxRows = 64;

std::string Escaped(const wxString& text)
{
    std::string out;
    for (char c : std::string(text.utf8_str()))
    {
        switch (c)
        {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

void PutRect(std::ostream& out, const wxRect& rect)
{
    out << '\t' << rect.x << '\t' << rect.y << '\t' << rect.width << '\t' << rect.height;
}

wxRect ScreenRect(const wxWindow* window, const wxRect& clientRect)
{
    return wxRect(window->ClientToScreen(clientRect.GetPosition()), clientRect.GetSize());
}

std::string TopName(wxTopLevelWindow* top)
{
    if (dynamic_cast<CMainFrame*>(top))
        return "CMainFrame";
    if (top == CStartupSplash::Current())
        return "splash";
    if (dynamic_cast<wxMessageDialogBase*>(top))
        return "message";
    return Escaped(top->GetName());
}

wxString TopTitle(wxTopLevelWindow* top)
{
    if (auto* box = dynamic_cast<wxMessageDialogBase*>(top))
        return box->GetMessage();
    return top->GetTitle();
}

void PutRows(std::ostream& out, wxListCtrl* list)
{
    const long count = std::min(static_cast<long>(list->GetItemCount()), kMaxRows);
    const bool boxes = list->HasCheckBoxes();
    for (long row = 0; row < count; ++row)
    {
        wxRect rect;
        if (!list->GetItemRect(row, rect))
            continue;
        out << "row\t" << list->GetId() << '\t' << row;
        PutRect(out, ScreenRect(list, rect));
        out << '\t' << (list->GetItemState(row, wxLIST_STATE_SELECTED) != 0 ? 1 : 0) << '\t'
            << (boxes && list->IsItemChecked(row) ? 1 : 0) << '\t' << Escaped(list->GetItemText(row, 0)) << '\t'
            << Escaped(list->GetColumnCount() > 1 ? list->GetItemText(row, 1) : wxString()) << '\n';
    }
}

void PutTools(std::ostream& out, CToolStrip* strip)
{
    for (size_t i = 0; i < strip->GetToolsCount(); ++i)
    {
        const int id = strip->GetToolId(i);
        out << "tool\t" << id;
        PutRect(out, ScreenRect(strip, strip->GetToolRect(id)));
        out << '\t' << (strip->GetToolEnabled(id) ? 1 : 0) << '\n';
    }
}

// What a control shows, and how a test names its kind.
std::string Kind(wxWindow* window, wxString& text)
{
    if (dynamic_cast<wxListCtrl*>(window))
        return "list";
    if (auto* combo = dynamic_cast<wxComboBox*>(window))
    {
        text = combo->GetStringSelection();
        return "combo";
    }
    if (auto* choice = dynamic_cast<wxChoice*>(window))
    {
        text = choice->GetStringSelection();
        return "combo";
    }
    if (auto* field = dynamic_cast<wxTextCtrl*>(window))
    {
        text = field->GetValue();
        return "text";
    }
    if (auto* radio = dynamic_cast<wxRadioButton*>(window))
    {
        text = radio->GetValue() ? "1" : "0";
        return "radio";
    }
    if (auto* box = dynamic_cast<wxCheckBox*>(window))
    {
        text = box->GetValue() ? "1" : "0";
        return "check";
    }
    if (dynamic_cast<CTitleBar*>(window))
        return "title";
    if (dynamic_cast<CToolStrip*>(window))
        return "tools";
    if (dynamic_cast<wxAnyButton*>(window))
        return "button";
    return "other";
}

void PutControls(std::ostream& out, wxWindow* parent)
{
    for (wxWindow* child : parent->GetChildren())
    {
        if (child->IsTopLevel() || !child->IsShown())
            continue;
        // Windows numbered by the program; the toolkit's own get negative ids.
        if (child->GetId() >= 0)
        {
            wxString text = child->GetLabel();
            const std::string kind = Kind(child, text);
            out << "ctrl\t" << child->GetId() << '\t' << kind;
            PutRect(out, child->GetScreenRect());
            out << '\t' << (child->IsEnabled() ? 1 : 0) << '\t' << Escaped(text) << '\n';
            if (auto* list = dynamic_cast<wxListCtrl*>(child))
                PutRows(out, list);
            if (auto* strip = dynamic_cast<CToolStrip*>(child))
                PutTools(out, strip);
        }
        PutControls(out, child);
    }
}
}

std::unique_ptr<CTestSnapshots> CTestSnapshots::StartFromEnvironment()
{
    wxString path;
    if (!wxGetEnv("TALLYARD_TEST_SNAPSHOT", &path) || path.empty())
        return nullptr;
    auto snapshots = std::make_unique<CTestSnapshots>(std::string(path.utf8_str()));
    snapshots->Notify();
    snapshots->Start(kIntervalMs);
    return snapshots;
}

CTestSnapshots::CTestSnapshots(const std::string& path)
    : m_path(path)
{
}

std::string CTestSnapshots::Describe()
{
    std::ostringstream out;
    for (wxWindow* window : wxTopLevelWindows)
    {
        auto* top = dynamic_cast<wxTopLevelWindow*>(window);
        if (!top || !top->IsShown() || top->IsBeingDeleted())
            continue;
        auto* dialog = dynamic_cast<wxDialog*>(top);
        out << "top\t" << TopName(top) << '\t' << Escaped(TopTitle(top));
        PutRect(out, top->GetScreenRect());
        out << '\t' << (dialog && dialog->IsModal() ? 1 : 0) << '\n';
        PutControls(out, top);
    }
    out << "end\n";
    return out.str();
}

void CTestSnapshots::Notify()
{
    const std::string now = Describe();
    if (now == m_last)
        return;
    // Written aside and renamed, so a reader never sees half a picture.
    const std::string temporary = m_path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file)
        return;
    const bool written = std::fwrite(now.data(), 1, now.size(), file) == now.size();
    if (std::fclose(file) == 0 && written && std::rename(temporary.c_str(), m_path.c_str()) == 0)
        m_last = now;
}
