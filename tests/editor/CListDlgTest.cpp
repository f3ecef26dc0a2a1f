// The checklist editor: opening, taps on check boxes, filters, sorting and
// moving items, with real clicks and checked in the store.
#include "tests/editor/ListDlgTest.h"
#include "tests/resources/ScreenGrab.h"

#include "dialogs/CPreferencesDlg.h"
#include "editor/CItemDlg.h"

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

namespace
{
const std::vector<ItemSpec> s_fiveItems = {
    {u"Bread", 0, 3}, {u"Milk", 1, 1}, {u"Eggs", 0, 3}, {u"Tea", 1, 2}, {u"Jam", 0, 5}};
}

TEST_F(ListDlgTest, OpensOnTheItemsInPositionOrder)
{
    ListRecord list = MakeList(u"Groceries", {});
    // Stored out of order: positions 4, 0, 3, 1, 2.
    const int16_t positions[] = {4, 0, 3, 1, 2};
    for (size_t i = 0; i < s_fiveItems.size(); ++i)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = s_fiveItems[i].name;
        item.checked = s_fiveItems[i].checked;
        item.position = positions[i];
        ASSERT_TRUE(item.SaveItem());
    }

    CListDlg dlg;
    dlg.SetListId(list.id);
    const int rc = Run(dlg, [](CListDlg& d) {
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Tea", u"Jam", u"Eggs", u"Bread"}), RowNames(d));
        EXPECT_EQ((std::vector<bool>{true, true, false, false, false}), RowTicks(d));
        EXPECT_TRUE(Enabled(d, ID_NEW_ITEM));
        for (int id : {ID_EDIT_ITEM, ID_DELETE_ITEM_BUTTON, ID_ITEM_MOVE_UP, ID_ITEM_MOVE_DOWN})
            EXPECT_FALSE(Enabled(d, id)) << id;
        EXPECT_EQ("Groceries", d.m_titleBar->GetLabel());
        EXPECT_EQ("Personal", d.m_categoryBox->GetStringSelection());
        // Without "Show Priority" the name takes column 0.
        EXPECT_EQ(0, d.m_list->GetColumnWidth(1));
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ(wxID_OK, rc);
}

TEST_F(ListDlgTest, OpeningWithoutAnIdOrOnAMissingChecklistFails)
{
    CListDlg noId;
    int rc = wxID_NONE;
    wxTEST_DIALOG(rc = noId.ShowModal(), ExpectMessage("The id was not set!!", AppTitle()),
                  ExpectMessage("Error loading the checklist!", AppTitle()));
    EXPECT_EQ(wxID_CANCEL, rc);
    EXPECT_FALSE(noId.IsShown());

    CListDlg missing;
    missing.SetListId(12345);
    wxTEST_DIALOG(rc = missing.ShowModal(), ExpectMessage("Error loading the checklist!", AppTitle()));
    EXPECT_EQ(wxID_CANCEL, rc);
}

TEST_F(ListDlgTest, TapsOnTheBoxLaneAreStoredAndOnTheTextOnlySelect)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        const int edge = d.m_list->FromDIP(16);
        // Bread (unchecked) ticked where the device's box ended.
        TapRow(d, 0, edge - 1);
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(1, stored.items[0].checked);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_TRUE(d.m_list->IsItemChecked(0));

        // Milk (checked) unticked the same way raises the count again.
        TapRow(d, 1, edge - 1);
        stored = Stored(list.id);
        EXPECT_EQ(0, stored.items[1].checked);
        EXPECT_EQ(3, stored.uncheckedCount);
        EXPECT_FALSE(d.m_list->IsItemChecked(1));

        // Left of the drawn box is still its lane: Eggs is ticked.
        TapRow(d, 2, d.m_list->FromDIP(2));
        stored = Stored(list.id);
        EXPECT_EQ(1, stored.items[2].checked);
        EXPECT_EQ(2, stored.uncheckedCount);
        EXPECT_TRUE(d.m_list->IsItemChecked(2));
        EXPECT_FALSE(d.m_tapPending);

        // A tap on the text selects the row and changes nothing.
        TapRow(d, 3, d.m_list->FromDIP(80));
        EXPECT_EQ(1, Stored(list.id).items[3].checked);
        EXPECT_TRUE(d.m_list->IsItemChecked(3));
        EXPECT_TRUE(Enabled(d, ID_EDIT_ITEM));
        TapTitleBar(d, TitleArea::Cancel);
    });
}

namespace
{
// The columns (list client coordinates) of the left and right edges of the
// check box that row `row` shows, found on screen: the first two runs of
// columns that stand out from the row's background along the whole middle
// band of the row (the box's sides; a focus frame is dotted).
std::pair<int, int> DrawnBoxColumns(CListDlg& d, long row)
{
    wxRect rect;
    EXPECT_TRUE(d.m_list->GetItemRect(row, rect));
    const int band = rect.height / 4;
    const wxRect screen(d.m_list->ClientToScreen(wxPoint(0, rect.y + band)), wxSize(rect.width, rect.height - 2 * band));
    const wxImage shot = GrabScreen(screen);
    KeepShot(shot, "editor-row-box");
    const wxPoint background(shot.GetWidth() - 2, shot.GetHeight() / 2);
    std::vector<std::pair<int, int>> runs;
    bool inRun = false;
    for (int x = 0; x < std::min(shot.GetWidth(), d.m_list->FromDIP(60)) && runs.size() <= 2; ++x)
    {
        bool side = true;
        for (int y = 0; y < shot.GetHeight() && side; ++y)
            side = PixelDistance(shot, wxPoint(x, y), shot, background) > 30;
        if (side && !inRun)
            runs.emplace_back(x, x);
        else if (side)
            runs.back().second = x;
        inRun = side;
    }
    if (runs.size() < 2)
        return {-1, -1};
    return {runs[0].first, runs[1].second};
}
}

TEST_F(ListDlgTest, TapAnywhereOnTheDrawnBoxTicksAndRightOfItSelects)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        const auto [left, right] = DrawnBoxColumns(d, 4);
        ASSERT_GE(left, 0);
        ASSERT_GE(right - left, d.m_list->FromDIP(10)) << left << " " << right;
        const auto buttonsFollowSelection = [&](const char* where) {
            const bool selected = d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) >= 0;
            for (int id : {ID_EDIT_ITEM, ID_DELETE_ITEM_BUTTON})
                EXPECT_EQ(selected, Enabled(d, id)) << where << " " << id;
            if (!selected)
            {
                EXPECT_FALSE(Enabled(d, ID_ITEM_MOVE_UP)) << where;
                EXPECT_FALSE(Enabled(d, ID_ITEM_MOVE_DOWN)) << where;
            }
        };

        // Anywhere from the box's left edge to its right edge it ticks:
        // Bread, Eggs and Jam, then Tea (checked) is unticked.
        const int16_t unchecked = Stored(list.id).uncheckedCount;
        const struct
        {
            long row;
            int x;
            int16_t checked;
            int16_t unchecked;
        } onBox[] = {{0, left, 1, static_cast<int16_t>(unchecked - 1)},
                     {2, (left + right) / 2, 1, static_cast<int16_t>(unchecked - 2)},
                     {4, right, 1, static_cast<int16_t>(unchecked - 3)},
                     {3, left + (right - left) * 3 / 4, 0, static_cast<int16_t>(unchecked - 2)}};
        for (const auto& tap : onBox)
        {
            TapRow(d, tap.row, tap.x);
            const ListRecord stored = Stored(list.id);
            EXPECT_EQ(tap.checked, stored.items[tap.row].checked) << "x " << tap.x;
            EXPECT_EQ(tap.unchecked, stored.uncheckedCount) << "x " << tap.x;
            EXPECT_EQ(tap.checked != 0, d.m_list->IsItemChecked(tap.row)) << "x " << tap.x;
            buttonsFollowSelection("on the box");
        }

        // Just right of it and on the text: the row is chosen, nothing ticks.
        for (int x : {right + d.m_list->FromDIP(3), d.m_list->FromDIP(80)})
        {
            TapRow(d, 1, x);
            const ListRecord stored = Stored(list.id);
            EXPECT_EQ(1, stored.items[1].checked) << "x " << x;
            EXPECT_EQ(unchecked - 2, stored.uncheckedCount) << "x " << x;
            EXPECT_TRUE(d.m_list->IsItemChecked(1)) << "x " << x;
            EXPECT_EQ(1, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) << "x " << x;
            EXPECT_TRUE(Enabled(d, ID_EDIT_ITEM)) << "x " << x;
            buttonsFollowSelection("right of the box");
        }

        // A double tap on the box ticks twice and opens nothing.
        {
            wxTestingModalHook noDialogs;
            wxRect rect;
            ASSERT_TRUE(d.m_list->GetItemRect(4, rect));
            wxUIActionSimulator sim;
            sim.MouseMove(d.m_list->ClientToScreen(wxPoint((left + right) / 2, rect.y + rect.height / 2)));
            Pump(30);
            sim.MouseDblClick();
            Pump(300);
            noDialogs.CheckUnmetExpectations();
        }
        EXPECT_EQ(1, Stored(list.id).items[4].checked);
        EXPECT_EQ(unchecked - 2, Stored(list.id).uncheckedCount);
        EXPECT_TRUE(d.m_list->IsItemChecked(4));
        TapTitleBar(d, TitleArea::Cancel);
    });
}

TEST_F(ListDlgTest, TickingUnderShowUncheckedRemovesTheRow)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        Command(d, ID_SHOW_UNCHECKED);
        ASSERT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Jam"}), RowNames(d));
        TapRow(d, 1, d.m_list->FromDIP(10));
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Jam"}), RowNames(d));
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(1, stored.items[2].checked);
        EXPECT_EQ(2, stored.uncheckedCount);

        // The last row, and then the only one left: the list shrinks under
        // the tap that toggled it.
        TapRow(d, 1, d.m_list->FromDIP(10));
        TapRow(d, 0, d.m_list->FromDIP(10));
        EXPECT_EQ(0, d.m_list->GetItemCount());
        stored = Stored(list.id);
        EXPECT_EQ(0, stored.uncheckedCount);
        EXPECT_EQ(5, stored.itemCount);
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, FilterMenuCarriesExactlyOneCheckMark)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxMenu* items = d.GetBarMenu(ID_MENU_ITEMS);
        ASSERT_NE(nullptr, items);
        const int filters[] = {ID_SHOW_ALL, ID_SHOW_CHECKED, ID_SHOW_UNCHECKED};
        const size_t rows[] = {5, 2, 3};
        for (int pass = 0; pass < 2; ++pass)
        {
            for (size_t f = 0; f < 3; ++f)
            {
                Command(d, filters[f]);
                EXPECT_EQ(rows[f], static_cast<size_t>(d.m_list->GetItemCount()));
                items->UpdateUI(&d);
                for (size_t g = 0; g < 3; ++g)
                    EXPECT_EQ(f == g, items->IsChecked(filters[g])) << filters[f] << " " << filters[g];
            }
        }
        TapTitleBar(d, TitleArea::Ok);
    });
}

namespace
{
const int s_filterIds[] = {ID_SHOW_ALL, ID_SHOW_UNCHECKED, ID_SHOW_CHECKED};

// Opens the Items menu with a click on its button and its Filter submenu
// from the keyboard, as a user does, and reads the entries the open submenu
// shows ticked. Then chooses `choose` from it, or closes the menu when 0.
std::vector<int> OpenFilterMenu(CListDlg& d, int choose = 0)
{
    MenuWatch menus(&d);
    int highlighted = wxID_NONE;
    const auto onHighlight = [&](wxMenuEvent& event) {
        highlighted = event.GetMenuId();
        event.Skip();
    };
    d.Bind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    std::vector<int> marks;
    bool read = false;
    wxTimer open;
    wxTimer look;
    wxTimer step;
    wxTimer close;
    open.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (!menus.IsOpen())
            return;
        open.Stop();
        // Past "Purge...", the three bulk commands and the separators.
        wxUIActionSimulator keys;
        for (int i = 0; i < 5; ++i)
        {
            keys.Char(WXK_DOWN);
            wxMilliSleep(30);
        }
        keys.Char(WXK_RIGHT);
        look.StartOnce(400);
    });
    look.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxMenu* items = d.GetBarMenu(ID_MENU_ITEMS);
        read = true;
        for (int id : s_filterIds)
        {
            if (items->IsChecked(id))
                marks.push_back(id);
        }
        if (choose)
        {
            step.Start(150);
            return;
        }
        wxUIActionSimulator().Char(WXK_ESCAPE);
        close.StartOnce(300);
    });
    // Down until the entry to choose is highlighted, then Return.
    int steps = 0;
    step.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxUIActionSimulator keys;
        if (highlighted == choose || ++steps > 6)
        {
            step.Stop();
            keys.Char(WXK_RETURN);
            close.StartOnce(300);
            return;
        }
        keys.Char(WXK_DOWN);
    });
    // Escape closes the submenu or all of it: a second one only if needed,
    // so that none reaches the editor.
    close.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (menus.IsOpen())
            wxUIActionSimulator().Char(WXK_ESCAPE);
    });
    open.Start(300);
    ClickChild(d, ID_MENU_ITEMS);
    EXPECT_TRUE(WaitFor([&] { return read && !menus.IsOpen(); }, 5000));
    // The submenu opened inside the Items menu.
    EXPECT_EQ(2, menus.Opened());
    d.Unbind(wxEVT_MENU_HIGHLIGHT, onHighlight);
    Pump(50);
    return marks;
}
}

TEST_F(ListDlgTest, FilterSubmenuShowsTheCurrentFilterEveryTimeItOpens)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        EXPECT_EQ(std::vector<int>{ID_SHOW_ALL}, OpenFilterMenu(d));
        OpenFilterMenu(d, ID_SHOW_UNCHECKED);
        EXPECT_EQ(3, d.m_list->GetItemCount());
        EXPECT_EQ(std::vector<int>{ID_SHOW_UNCHECKED}, OpenFilterMenu(d, ID_SHOW_ALL));
        EXPECT_EQ(5, d.m_list->GetItemCount());
        EXPECT_EQ(std::vector<int>{ID_SHOW_ALL}, OpenFilterMenu(d, ID_SHOW_ALL));
        // Choosing the current filter again leaves it marked.
        EXPECT_EQ(std::vector<int>{ID_SHOW_ALL}, OpenFilterMenu(d, ID_SHOW_CHECKED));
        EXPECT_EQ(2, d.m_list->GetItemCount());
        EXPECT_EQ(std::vector<int>{ID_SHOW_CHECKED}, OpenFilterMenu(d));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, PriorityColumnFollowsThePreference)
{
    SetShowPriority(1);
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        // Column 0 holds the check box and the priority, column 1 the name.
        EXPECT_GE(d.m_list->GetColumnWidth(0), d.m_list->FromDIP(30));
        EXPECT_GT(d.m_list->GetColumnWidth(1), d.m_list->GetColumnWidth(0));
        EXPECT_EQ("3", d.m_list->GetItemText(0, 0));
        EXPECT_EQ("Bread", d.m_list->GetItemText(0, 1));

        // Turned off from the editor: the column goes at once.
        wxTEST_DIALOG(Command(d, ID_PREFERENCES), ExpectDialog<CPreferencesDlg>([](CPreferencesDlg& p) {
                          auto* box = wxDynamicCast(p.FindWindow(IDC_SHOW_PRIORITY), wxCheckBox);
                          EXPECT_TRUE(box && box->GetValue());
                          if (box)
                              box->SetValue(false);
                          return ConfirmNested(p);
                      }));
        EXPECT_EQ(0, d.m_list->GetColumnWidth(1));
        EXPECT_EQ("Bread", d.m_list->GetItemText(0, 0));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, SortByPriorityIsStableAndStays)
{
    const ListRecord list =
        MakeList(u"Chores", {{u"Sweep", 0, 3}, {u"Dust", 0, 1}, {u"Mop", 0, 3}, {u"Wash", 1, 2}});
    {
        CListDlg dlg;
        dlg.SetListId(list.id);
        Run(dlg, [&](CListDlg& d) {
            Command(d, ID_SORT_PRIORITY);
            EXPECT_EQ((std::vector<std::u16string>{u"Dust", u"Wash", u"Sweep", u"Mop"}), RowNames(d));
            TapTitleBar(d, TitleArea::Ok);
        });
    }
    const ListRecord stored = Stored(list.id);
    EXPECT_EQ((std::vector<std::u16string>{u"Dust", u"Wash", u"Sweep", u"Mop"}), Names(stored.items));
    for (size_t i = 0; i < stored.items.size(); ++i)
        EXPECT_EQ(static_cast<int16_t>(i), stored.items[i].position);

    CListDlg again;
    again.SetListId(list.id);
    Run(again, [&](CListDlg& d) {
        EXPECT_EQ((std::vector<std::u16string>{u"Dust", u"Wash", u"Sweep", u"Mop"}), RowNames(d));
        // Alphabetically: by code unit, capitals first.
        Command(d, ID_SORT_ALPHA);
        EXPECT_EQ((std::vector<std::u16string>{u"Dust", u"Mop", u"Sweep", u"Wash"}), RowNames(d));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, MoveButtonsFollowTheTappedRowAndTheMoves)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        const int text = d.m_list->FromDIP(80);
        // Nothing selected: Move Up does nothing.
        Command(d, ID_ITEM_MOVE_UP);
        EXPECT_EQ(Names(list.items), Names(Stored(list.id).items));

        TapRow(d, 0, text);
        EXPECT_FALSE(Enabled(d, ID_ITEM_MOVE_UP));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_DOWN));
        TapRow(d, 4, text);
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_UP));
        EXPECT_FALSE(Enabled(d, ID_ITEM_MOVE_DOWN));

        TapRow(d, 1, text);
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_UP));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_DOWN));
        ClickChild(d, ID_ITEM_MOVE_UP);
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Bread", u"Eggs", u"Tea", u"Jam"}), RowNames(d));
        EXPECT_EQ(0, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        EXPECT_FALSE(Enabled(d, ID_ITEM_MOVE_UP));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_DOWN));
        // The ticks moved with their items.
        EXPECT_EQ((std::vector<bool>{true, false, false, true, false}), RowTicks(d));

        ClickChild(d, ID_ITEM_MOVE_DOWN);
        ClickChild(d, ID_ITEM_MOVE_DOWN);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Milk", u"Tea", u"Jam"}), RowNames(d));
        EXPECT_EQ(2, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_UP));
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Milk", u"Tea", u"Jam"}),
              Names(Stored(list.id).items));
}

TEST_F(ListDlgTest, TapAndHoldMenuMovesUpLikeTheButton)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        wxRect rect;
        ASSERT_TRUE(d.m_list->GetItemRect(2, rect));
        // The menu runs its own loop: choose its third entry from the
        // keyboard once it is up.
        bool chose = false;
        wxTimer timer;
        timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            wxUIActionSimulator keys;
            for (int i = 0; i < 3; ++i)
            {
                keys.Char(WXK_DOWN);
                wxMilliSleep(30);
            }
            keys.Char(WXK_RETURN);
            chose = true;
        });
        timer.StartOnce(CGestureListCtrl::kHoldMs + 600);
        HoldAt(d.m_list, wxPoint(d.m_list->FromDIP(80), rect.y + rect.height / 2), CGestureListCtrl::kHoldMs + 200);
        WaitFor([&] { return chose; }, 5000);
        WaitFor([&] { return RowNames(d).front() != u"Bread" || RowNames(d)[1] == u"Eggs"; }, 2000);
        EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Milk", u"Tea", u"Jam"}), RowNames(d));
        EXPECT_EQ(1, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_UP));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_DOWN));
        TapTitleBar(d, TitleArea::Ok);
    });
    EXPECT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Milk", u"Tea", u"Jam"}),
              Names(Stored(list.id).items));
}

// The menu a hold opens is still there once the button is let go without
// moving, whether the hold was the mouse's or a touch's long press; its
// entry is then chosen from the keyboard.
TEST_F(ListDlgTest, TapAndHoldMenuStaysOpenAfterTheRelease)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    Run(dlg, [&](CListDlg& d) {
        MenuWatch menus(&d);
        const auto rowPoint = [&](long row) {
            wxRect rect;
            EXPECT_TRUE(d.m_list->GetItemRect(row, rect));
            return wxPoint(d.m_list->FromDIP(80), rect.y + rect.height / 2);
        };
        // Down once per entry: the first press of Down highlights the first.
        const auto choose = [&](int entry, bool& openAfterRelease) {
            return [&, entry] {
                openAfterRelease = menus.IsOpen();
                wxUIActionSimulator keys;
                if (!openAfterRelease)
                    return;
                for (int i = 0; i < entry; ++i)
                {
                    keys.Char(WXK_DOWN);
                    wxMilliSleep(30);
                }
                keys.Char(WXK_RETURN);
            };
        };

        // The mouse: Milk is held, released, and moved up by the menu.
        bool openAfterMouse = false;
        ASSERT_TRUE(HoldReleaseThen(d.m_list, rowPoint(1), CGestureListCtrl::kHoldMs + 300, 400,
                                    choose(3, openAfterMouse)));
        EXPECT_TRUE(openAfterMouse);
        WaitFor([&] { return RowNames(d).front() == u"Milk"; }, 2000);
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Bread", u"Eggs", u"Tea", u"Jam"}), Names(Stored(list.id).items));

        // A touch: the long press arrives while the finger is down, well
        // before the mouse's hold time; Eggs then moves down.
        bool openAfterTouch = false;
        const wxPoint eggs = rowPoint(2);
        wxTimer press;
        press.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
            wxLongPressEvent gesture(d.m_list->GetMainWindow()->GetId());
            gesture.SetPosition(d.m_list->ClientToMain(eggs));
            gesture.SetEventObject(d.m_list->GetMainWindow());
            d.m_list->GetMainWindow()->ProcessWindowEvent(gesture);
        });
        press.StartOnce(CGestureListCtrl::kHoldMs / 3);
        ASSERT_TRUE(HoldReleaseThen(d.m_list, eggs, CGestureListCtrl::kHoldMs / 3 + 300, 400,
                                    choose(4, openAfterTouch)));
        EXPECT_TRUE(openAfterTouch);
        EXPECT_EQ(2, menus.Opened());
        WaitFor([&] { return RowNames(d)[3] == u"Eggs"; }, 2000);
        EXPECT_EQ((std::vector<std::u16string>{u"Milk", u"Bread", u"Tea", u"Eggs", u"Jam"}), Names(Stored(list.id).items));
        TapTitleBar(d, TitleArea::Ok);
    });
}

TEST_F(ListDlgTest, KeyboardSpaceTicksDeleteAsksEnterOpensEscapeCancels)
{
    const ListRecord list = MakeList(u"Groceries", s_fiveItems);
    CListDlg dlg;
    dlg.SetListId(list.id);
    const int rc = Run(dlg, [&](CListDlg& d) {
        // Nothing selected yet: the arrow keys choose a row and offer the
        // buttons as a tap does.
        d.m_list->SetFocus();
        Pump(30);
        wxUIActionSimulator keys;
        keys.Char(WXK_DOWN);
        Pump(50);
        keys.Char(WXK_DOWN);
        Pump(50);
        const long row = d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
        ASSERT_GE(row, 1);
        EXPECT_TRUE(Enabled(d, ID_EDIT_ITEM));
        EXPECT_TRUE(Enabled(d, ID_ITEM_MOVE_UP));

        // Space ticks it: stored with the count, no item dialog, the row
        // stays chosen.
        const bool before = Stored(list.id).items[row].checked != 0;
        const int16_t unchecked = Stored(list.id).uncheckedCount;
        keys.Char(' ');
        Pump(100);
        ListRecord stored = Stored(list.id);
        EXPECT_EQ(!before, stored.items[row].checked != 0);
        EXPECT_EQ(unchecked + (before ? 1 : -1), stored.uncheckedCount);
        EXPECT_EQ(!before, d.m_list->IsItemChecked(row));
        EXPECT_EQ(row, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));

        // Again: back as it was.
        keys.Char(' ');
        Pump(100);
        stored = Stored(list.id);
        EXPECT_EQ(before, stored.items[row].checked != 0);
        EXPECT_EQ(unchecked, stored.uncheckedCount);

        // Under "Show Unchecked" the ticked row leaves; the next row takes its place.
        Command(d, ID_SHOW_UNCHECKED);
        ASSERT_EQ((std::vector<std::u16string>{u"Bread", u"Eggs", u"Jam"}), RowNames(d));
        d.m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        d.m_list->SetFocus();
        Pump(30);
        keys.Char(' ');
        Pump(100);
        EXPECT_EQ((std::vector<std::u16string>{u"Eggs", u"Jam"}), RowNames(d));
        EXPECT_EQ(0, d.m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
        EXPECT_EQ(1, Stored(list.id).items[0].checked);
        EXPECT_EQ(2, Stored(list.id).uncheckedCount);

        // Delete asks as the Delete button does.
        wxTEST_DIALOG(keys.Char(WXK_DELETE); Pump(50),
                      ExpectMessage("Delete the item 'Eggs'?", "Confirm Item Delete", wxID_YES));
        EXPECT_EQ((std::vector<std::u16string>{u"Jam"}), RowNames(d));
        EXPECT_EQ(4, Stored(list.id).itemCount);
        EXPECT_EQ(1, Stored(list.id).uncheckedCount);

        // Enter opens the chosen row; Escape closes the editor as Cancel.
        d.m_list->SetItemState(0, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        wxTEST_DIALOG(keys.Char(WXK_RETURN); Pump(50), ExpectDialog<CItemDlg>([](CItemDlg& item) {
                          EXPECT_EQ(u"Jam", item.m_item.name);
                          return wxID_CANCEL;
                      }));
        keys.Char(WXK_ESCAPE);
        Pump(50);
    });
    EXPECT_EQ(wxID_CANCEL, rc);
}
