// The category and checklist name dialogs.
#include "tests/dialogs/DialogTest.h"

#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/CCategoryNameDlg.h"
#include "dialogs/CListNameDlg.h"
#include "platform/SipPanel.h"
#include "resources/ResourceIds.h"

#include <wx/stattext.h>

namespace
{
wxString TitleOf(wxDialog& dlg)
{
    return dlg.FindWindow(IDC_TITLE_BAR)->GetLabel();
}
}

TEST(CategoryNameDlg, NewModeAcceptsBlanksOnlyNameAsTyped)
{
    CCategoryNameDlg dlg(nullptr);
    const int rc = RunModal<CCategoryNameDlg>(dlg, [](CCategoryNameDlg& d) {
        EXPECT_EQ("New Category", TitleOf(d));
        EXPECT_EQ("New Category", d.GetTitle());
        EXPECT_EQ("Enter a new category name:", d.FindWindow(IDC_PROMPT)->GetLabel());
        EXPECT_EQ("", TextField(d, IDC_CATEGORY_NAME)->GetValue());
        // The focus starts in the name field, which raises the input panel.
        EXPECT_TRUE(WaitFor([&] { return wxWindow::FindFocus() == TextField(d, IDC_CATEGORY_NAME); }, 1000));
        EXPECT_TRUE(SipPanel::IsRaised());
        TextField(d, IDC_CATEGORY_NAME)->ChangeValue("  ");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(u"  ", dlg.GetName());
    Pump(50);
    EXPECT_FALSE(SipPanel::IsRaised());
}

TEST(CategoryNameDlg, RenameModeShowsOldNameAndRefusesEmptyName)
{
    CCategoryNameDlg dlg(nullptr);
    dlg.SetName(u"Business");
    const int rc = RunModal<CCategoryNameDlg>(dlg, [](CCategoryNameDlg& d) {
        EXPECT_EQ("Rename Category", TitleOf(d));
        EXPECT_EQ("New Category", d.GetTitle()); // the window caption stays
        EXPECT_EQ("Enter the new category name:", d.FindWindow(IDC_PROMPT)->GetLabel());
        EXPECT_EQ("Business", TextField(d, IDC_CATEGORY_NAME)->GetValue());

        TextField(d, IDC_CATEGORY_NAME)->ChangeValue("");
        wxTEST_DIALOG(TapTitleBar(d, TitleArea::Ok), ExpectMessage("The category cannot be empty", AppTitle()));
        EXPECT_TRUE(d.IsModal());

        // The user types a new name after the refusal.
        TextField(d, IDC_CATEGORY_NAME)->ChangeValue("Work ");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(u"Work ", dlg.GetName());
}

TEST(CategoryNameDlg, CancelReturnsCancelInBothModes)
{
    for (const std::u16string& initial : {std::u16string(), std::u16string(u"Business")})
    {
        CCategoryNameDlg dlg(nullptr);
        dlg.SetName(initial);
        const int rc = RunModal<CCategoryNameDlg>(dlg, [](CCategoryNameDlg& d) {
            TextField(d, IDC_CATEGORY_NAME)->ChangeValue("Changed");
            TapTitleBar(d, TitleArea::Cancel);
        });
        EXPECT_EQ(wxID_CANCEL, rc);
    }
}

TEST(ListNameDlg, TitleFollowsModeWithCopyModeFirst)
{
    struct Case
    {
        std::u16string name;
        bool copy;
        const char* title;
    };
    for (const Case& c : {Case{u"", false, "New Checklist"}, Case{u"Groceries", false, "Rename Checklist"},
                          Case{u"Groceries", true, "Checklist Name"}})
    {
        CListNameDlg dlg(nullptr);
        dlg.SetName(c.name);
        if (c.copy)
            dlg.SetCopyMode();
        std::u16string name = c.name;
        const int rc = RunModal<CListNameDlg>(dlg, [&](CListNameDlg& d) {
            EXPECT_EQ(c.title, TitleOf(d));
            EXPECT_EQ("New Checklist", d.GetTitle());
            EXPECT_EQ(ToWx(c.name), TextField(d, IDC_LIST_NAME)->GetValue());
            if (name.empty())
                TextField(d, IDC_LIST_NAME)->ChangeValue("Packing");
            TapTitleBar(d, TitleArea::Ok);
        });
        EXPECT_EQ(wxID_OK, rc) << c.title;
        // Confirmed untouched, the copy keeps the source's name exactly.
        EXPECT_EQ(c.name.empty() ? u"Packing" : c.name, dlg.GetName()) << c.title;
    }
}

TEST(ListNameDlg, EmptyNameRefusedBlanksAccepted)
{
    CListNameDlg dlg(nullptr);
    dlg.SetName(u"Groceries");
    const int rc = RunModal<CListNameDlg>(dlg, [](CListNameDlg& d) {
        TextField(d, IDC_LIST_NAME)->ChangeValue("");
        wxTEST_DIALOG(TapTitleBar(d, TitleArea::Ok),
                      ExpectMessage("The checklist name cannot be empty.", AppTitle()));
        EXPECT_TRUE(d.IsModal());
        TextField(d, IDC_LIST_NAME)->ChangeValue(" ");
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
    EXPECT_EQ(u" ", dlg.GetName());
}

TEST(ListNameDlg, CancelKeepsNothing)
{
    CListNameDlg dlg(nullptr);
    const int rc = RunModal<CListNameDlg>(dlg, [](CListNameDlg& d) {
        TextField(d, IDC_LIST_NAME)->ChangeValue("Typed");
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_EQ(u"", dlg.GetName());
}

TEST(ListNameDlg, CoversTheMainWindowExactly)
{
    ScopedMainWindow main;
    CListNameDlg dlg(nullptr);
    wxRect shown;
    RunModal<CListNameDlg>(dlg, [&](CListNameDlg& d) {
        Pump(200);
        shown = d.GetScreenRect();
        TapTitleBar(d, TitleArea::Cancel);
    });
    EXPECT_EQ(main.ScreenRect(), shown);
}
