// Every template and menu of every embedded XRC file, and the shared ones in detail.
#include "tests/support/GuiTest.h"

#include "controls/GestureListCtrl.h"
#include "resources/Embedded.h"
#include "resources/ResourceIds.h"

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/stattext.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
// Collects what wx logs as warnings or errors while it is installed.
class LogCollector : public wxLog
{
public:
    LogCollector() : m_previous(wxLog::SetActiveTarget(this)) {}
    ~LogCollector() override { wxLog::SetActiveTarget(m_previous); }
    wxString Text() const { return m_text; }

protected:
    void DoLogTextAtLevel(wxLogLevel level, const wxString& msg) override
    {
        if (level <= wxLOG_Warning)
            m_text += msg + "\n";
    }

private:
    wxLog* m_previous;
    wxString m_text;
};

struct TopObject
{
    wxString file, cls, name;
};

std::vector<TopObject> EmbeddedTopObjects()
{
    std::vector<TopObject> objects;
    for (const EmbeddedFile* f = EmbeddedResource_all(); f->name; ++f)
    {
        const std::size_t n = std::strlen(f->name);
        if (n < 4 || std::strcmp(f->name + n - 4, ".xrc") != 0)
            continue;
        wxMemoryInputStream in(f->data, f->size);
        wxXmlDocument doc;
        EXPECT_TRUE(doc.Load(in)) << f->name;
        if (!doc.IsOk())
            continue;
        for (wxXmlNode* node = doc.GetRoot()->GetChildren(); node; node = node->GetNext())
            if (node->GetType() == wxXML_ELEMENT_NODE && node->GetName() == "object")
                objects.push_back({f->name, node->GetAttribute("class"), node->GetAttribute("name")});
    }
    return objects;
}

// A flat description of a menu: "label=id" per entry, "-" for separators,
// submenus in brackets.
wxString Describe(const wxMenu& menu)
{
    wxString out;
    for (const wxMenuItem* item : menu.GetMenuItems())
    {
        if (!out.empty())
            out += ";";
        if (item->IsSeparator())
            out += "-";
        else if (item->IsSubMenu())
            out += item->GetItemLabelText() + "[" + Describe(*item->GetSubMenu()) + "]";
        else
            out += wxString::Format("%s=%d", item->GetItemLabelText(), item->GetId());
    }
    return out;
}

std::string DescribeMenu(const char* name)
{
    std::unique_ptr<wxMenu> menu(wxXmlResource::Get()->LoadMenu(name));
    if (!menu)
        return "(missing)";
    return Describe(*menu).ToStdString();
}
}

TEST(XrcTemplates, EveryTopLevelObjectLoads)
{
    wxFrame parent(nullptr, wxID_ANY, "parent");
    const std::vector<TopObject> objects = EmbeddedTopObjects();
    ASSERT_GE(objects.size(), 7u);
    for (const TopObject& o : objects)
    {
        SCOPED_TRACE((o.file + ": " + o.cls + " " + o.name).utf8_str().data());
        LogCollector log;
        wxXmlResource* xrc = wxXmlResource::Get();
        if (o.cls == "wxDialog")
        {
            // The class the template is written for may be a subclass; any dialog loads it.
            auto* dlg = new wxDialog;
            EXPECT_TRUE(xrc->LoadDialog(dlg, &parent, o.name));
            dlg->Destroy();
        }
        else if (o.cls == "wxPanel")
        {
            auto* panel = new wxPanel;
            EXPECT_TRUE(xrc->LoadPanel(panel, &parent, o.name));
            panel->Destroy();
        }
        else if (o.cls == "wxMenu")
        {
            std::unique_ptr<wxMenu> menu(xrc->LoadMenu(o.name));
            ASSERT_NE(nullptr, menu);
            EXPECT_GT(menu->GetMenuItemCount(), 0u);
        }
        else if (o.cls == "wxMenuBar")
        {
            std::unique_ptr<wxMenuBar> bar(xrc->LoadMenuBar(o.name));
            EXPECT_NE(nullptr, bar);
        }
        else
        {
            wxObject* obj = xrc->LoadObject(&parent, o.name, o.cls);
            EXPECT_NE(nullptr, obj);
            if (auto* win = wxDynamicCast(obj, wxWindow))
                win->Destroy();
            else
                delete obj;
        }
        EXPECT_EQ("", log.Text().ToStdString());
    }
}

TEST(XrcTemplates, SharedTemplatesArePresent)
{
    std::vector<wxString> names;
    for (const TopObject& o : EmbeddedTopObjects())
        names.push_back(o.cls + " " + o.name);
    for (const char* expected : {"wxDialog CAboutDlg", "wxPanel CTallyardView", "wxPanel IDD_DIALOGBAR",
                                 "wxMenu IDR_MAINFRAME", "wxMenu IDR_LIST_MENU_LIST", "wxMenu IDR_LIST_MENU_ITEMS",
                                 "wxMenu IDR_LIST_MENU_TOOLS"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), wxString(expected))) << expected;
}

TEST(XrcMenus, MainWindowToolsMenu)
{
    EXPECT_EQ("About Tallyard...=57664;-;Preferences...=32778;Sort[Alphabetically=32801;By Item Count=32802];-;"
              "Undo=57643;Redo=57644;-;Import...=33100;Export...=33101",
              DescribeMenu("IDR_MAINFRAME"));
}

TEST(XrcMenus, EditorMenusKeepTheirTextsAndIds)
{
    EXPECT_EQ("Rename List...=32805;Delete List...=32813;List Note...=1022;Copy List...=32838",
              DescribeMenu("IDR_LIST_MENU_LIST"));
    EXPECT_EQ("Purge Checked Items...=32817;-;Uncheck All=32818;Check All=32819;Invert Checks=32820;-;"
              "Filter[Show All=32783;Show Unchecked=32784;Show Checked=32785]",
              DescribeMenu("IDR_LIST_MENU_ITEMS"));
    EXPECT_EQ("About Tallyard...=57664;-;Preferences...=32778;Sort[Sort by Priority=32780;Sort Alphbetically=32801];-;"
              "Undo=57643;Redo=57644",
              DescribeMenu("IDR_LIST_MENU_TOOLS"));
}

TEST(XrcTemplates, MainViewFormIsOneGestureListFillingIt)
{
    wxFrame parent(nullptr, wxID_ANY, "parent");
    auto* form = new wxPanel;
    ASSERT_TRUE(wxXmlResource::Get()->LoadPanel(form, &parent, "CTallyardView"));
    EXPECT_EQ(8, form->GetFont().GetPointSize());
    auto* list = dynamic_cast<CGestureListCtrl*>(form->FindWindow(IDC_CHECKLISTS));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(1000, list->GetId());
    EXPECT_TRUE(list->HasFlag(wxLC_REPORT));
    EXPECT_TRUE(list->HasFlag(wxLC_SINGLE_SEL));
    EXPECT_TRUE(list->HasFlag(wxLC_NO_HEADER));
    EXPECT_EQ(wxPoint(0, 0), list->GetPosition());
    EXPECT_EQ(form->ConvertDialogToPixels(wxSize(137, 137)), list->GetSize());
    form->Destroy();
}

TEST(XrcTemplates, DialogBarHoldsOneEmptyRightAlignedText)
{
    wxFrame parent(nullptr, wxID_ANY, "parent");
    auto* bar = new wxPanel;
    ASSERT_TRUE(wxXmlResource::Get()->LoadPanel(bar, &parent, "IDD_DIALOGBAR"));
    auto* text = dynamic_cast<wxStaticText*>(bar->FindWindow(IDC_DIALOGBAR_TEXT));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(1039, text->GetId());
    EXPECT_EQ("", text->GetLabel());
    EXPECT_TRUE(text->HasFlag(wxALIGN_RIGHT));
    EXPECT_EQ(bar->ConvertDialogToPixels(wxPoint(0, 1)), text->GetPosition());
    EXPECT_EQ(bar->ConvertDialogToPixels(wxSize(20, 8)), text->GetSize());
    bar->Destroy();
}
