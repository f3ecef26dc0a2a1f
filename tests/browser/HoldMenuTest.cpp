// The main view's tap-and-hold menu driven as a user does: the press that
// opens it is let go, or dragged onto an entry, and the store shows what the
// chosen entry did.
#include "tests/browser/BrowserFixture.h"

#include "controls/GestureListCtrl.h"
#include "resources/ResourceIds.h"

#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

using Strings = std::vector<std::string>;

namespace
{
std::vector<std::u16string> StoredNames(const ListArray& lists)
{
    std::vector<std::u16string> names;
    for (const ListRecord& list : lists)
        names.push_back(list.name);
    return names;
}

// Chooses entry `entry` (1 = the first) from the keyboard if a menu is open.
std::function<void()> ChooseByKeys(const MenuWatch& menus, int entry, bool& wasOpen)
{
    return [&menus, entry, &wasOpen] {
        wasOpen = menus.IsOpen();
        if (!wasOpen)
            return;
        wxUIActionSimulator keys;
        for (int i = 0; i < entry; ++i)
        {
            keys.Char(WXK_DOWN);
            wxMilliSleep(30);
        }
        keys.Char(WXK_RETURN);
    };
}
}

TEST_F(BrowserTest, HoldMenuStaysOpenWhenTheLeftOrRightButtonIsLetGo)
{
    AddChecklist(u"A", u"Unfiled", 0);
    AddChecklist(u"B", u"Unfiled", 1);
    AddChecklist(u"C", u"Unfiled", 2);
    Open();
    MenuWatch menus(m_list);
    const auto rowPoint = [&](long row) {
        wxRect rect;
        EXPECT_TRUE(m_list->GetItemRect(row, rect));
        return m_list->MainToClient(rect.GetPosition() + wxPoint(m_list->FromDIP(20), rect.height / 2));
    };

    // Held still on A, let go, then "Move Down" (the sixth entry).
    bool open = false;
    ASSERT_TRUE(HoldReleaseThen(m_list, rowPoint(0), CGestureListCtrl::kHoldMs + 300, 400, ChooseByKeys(menus, 6, open)));
    EXPECT_TRUE(open);
    WaitFor([&] { return Rows()[0] == "1. B (0)"; }, 2000);
    EXPECT_EQ((Strings{"1. B (0)", "2. A (0)", "3. C (0)"}), Rows());
    EXPECT_EQ((std::vector<std::u16string>{u"B", u"A", u"C"}), StoredNames(Stored()));

    // The right button pressed on C and let go some time after the menu
    // came up, then "Move Up" (the fifth entry).
    open = false;
    ASSERT_TRUE(HoldReleaseThen(m_list, rowPoint(2), 600, 400, ChooseByKeys(menus, 5, open), wxMOUSE_BTN_RIGHT));
    EXPECT_TRUE(open);
    WaitFor([&] { return Rows()[1] == "2. C (0)"; }, 2000);
    EXPECT_EQ((Strings{"1. B (0)", "2. C (0)", "3. A (0)"}), Rows());
    EXPECT_EQ((std::vector<std::u16string>{u"B", u"C", u"A"}), StoredNames(Stored()));

    // A tap outside the open menu closes it and chooses nothing.
    open = false;
    ASSERT_TRUE(HoldReleaseThen(m_list, rowPoint(1), CGestureListCtrl::kHoldMs + 300, 400, [&] {
        open = menus.IsOpen();
        if (!open)
            return;
        wxUIActionSimulator mouse;
        mouse.MouseMove(m_list->ClientToScreen(wxPoint(2, 2)));
        wxMilliSleep(30);
        mouse.MouseClick();
    }));
    EXPECT_TRUE(open);
    EXPECT_TRUE(WaitFor([&] { return !menus.IsOpen(); }, 2000));
    EXPECT_EQ(3, menus.Opened());
    EXPECT_EQ((std::vector<std::u16string>{u"B", u"C", u"A"}), StoredNames(Stored()));
}

TEST_F(BrowserTest, HoldDraggedOntoAnEntryChoosesItOnRelease)
{
    AddChecklist(u"A", u"Unfiled", 0);
    AddChecklist(u"B", u"Unfiled", 1);
    Open();
    MenuWatch menus(m_list);
    int highlighted = wxID_NONE;
    m_list->Bind(wxEVT_MENU_HIGHLIGHT, [&](wxMenuEvent& event) {
        highlighted = event.GetMenuId();
        event.Skip();
    });

    wxRect rect;
    ASSERT_TRUE(m_list->GetItemRect(0, rect));
    const wxPoint start = m_list->ClientToScreen(
        m_list->MainToClient(rect.GetPosition() + wxPoint(m_list->FromDIP(20), rect.height / 2)));
    wxUIActionSimulator sim;
    sim.MouseMove(start);
    Pump(30);
    // Once the menu is up, the held pointer goes down over its entries in
    // small steps and is let go on "Move Down".
    bool released = false;
    int step = 0;
    wxTimer drag;
    drag.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (released || !menus.IsOpen())
            return;
        wxUIActionSimulator mouse;
        if (highlighted == ID_MOVE_DOWN || step > 400)
        {
            mouse.MouseUp();
            released = true;
            return;
        }
        step += 3;
        mouse.MouseMove(start + wxPoint(m_list->FromDIP(30), step));
    });
    sim.MouseDown();
    drag.Start(40);
    ASSERT_TRUE(WaitFor([&] { return released && !menus.IsOpen(); }, 8000));
    drag.Stop();
    WaitFor([&] { return Rows()[0] == "1. B (0)"; }, 2000);
    EXPECT_EQ((Strings{"1. B (0)", "2. A (0)"}), Rows());
    EXPECT_EQ((std::vector<std::u16string>{u"B", u"A"}), StoredNames(Stored()));
}
