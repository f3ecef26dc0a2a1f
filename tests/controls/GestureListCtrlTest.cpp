#include "tests/controls/XrcString.h"
#include "tests/support/GuiTest.h"

#include "controls/GestureListCtrl.h"

#include <wx/frame.h>
#include <wx/panel.h>
#include <wx/uiaction.h>

#include <memory>
#include <vector>

namespace
{
constexpr int kListId = 1016;

// A frame whose panel holds a CGestureListCtrl made from a template (with a
// column header, so that list and row coordinates differ) and records the
// context-menu requests the panel receives.
class ListFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        static const bool loaded = LoadXrcString("GestureListTest", R"(
<object class="wxPanel" name="GestureListTestPanel">
  <size>300,260</size>
  <object class="wxListCtrl" name="IDC_TEST_LIST" subclass="CGestureListCtrl">
    <style>wxLC_REPORT|wxLC_SINGLE_SEL</style>
    <pos>10,10</pos>
    <size>260,220</size>
  </object>
</object>)");
        ASSERT_TRUE(loaded);
        m_frame = new wxFrame(nullptr, wxID_ANY, "list test", wxPoint(40, 40), wxSize(320, 300));
        m_panel = wxXmlResource::Get()->LoadPanel(m_frame, "GestureListTestPanel");
        ASSERT_NE(nullptr, m_panel);
        m_list = dynamic_cast<CGestureListCtrl*>(m_panel->FindWindow(XRCID("IDC_TEST_LIST")));
        ASSERT_NE(nullptr, m_list);
        m_list->SetId(kListId);
        m_list->InsertColumn(0, "Name", wxLIST_FORMAT_LEFT, 200);
        for (const char* name : {"Apples", "Bread", "Coffee"})
            m_list->InsertItem(m_list->GetItemCount(), name);
        m_panel->Bind(wxEVT_LIST_CONTEXTMENU_REQUEST, &ListFixture::OnRequest, this);
        m_frame->Show();
        m_frame->Raise();
        WaitFor([&] { return m_list->IsShownOnScreen(); });
        Pump(150);
    }

    void TearDown() override
    {
        if (m_frame)
            m_frame->Destroy();
        Pump(30);
    }

    void OnRequest(wxCommandEvent& event)
    {
        m_requests.push_back(event.GetId());
        m_dataPointers.push_back(event.GetClientData());
        if (event.GetClientData())
            m_points.push_back(*static_cast<wxPoint*>(event.GetClientData()));
    }

    // A point inside row `item`, in list client coordinates.
    wxPoint RowPoint(long item, int dx = 30)
    {
        wxRect rect;
        EXPECT_TRUE(m_list->GetItemRect(item, rect));
        return wxPoint(rect.x + dx, rect.y + rect.height / 2);
    }

    // A point below the last row.
    wxPoint BelowRows()
    {
        wxRect rect;
        EXPECT_TRUE(m_list->GetItemRect(m_list->GetItemCount() - 1, rect));
        return wxPoint(rect.x + 30, rect.GetBottom() + 40);
    }

    long Selected() const
    {
        return m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    }

    void SelectRow(long item)
    {
        m_list->SetItemState(item, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                             wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
    }

    void ExpectOneRequestAt(const wxPoint& pt, long row)
    {
        ASSERT_TRUE(WaitFor([&] { return !m_requests.empty(); }, 2000));
        Pump(700); // a second request would come within the hold time
        ASSERT_EQ(1u, m_requests.size());
        EXPECT_EQ(kListId, m_requests[0]);
        EXPECT_EQ(static_cast<void*>(&m_list->m_pressPoint), m_dataPointers[0]);
        ASSERT_EQ(1u, m_points.size());
        EXPECT_EQ(pt, m_points[0]);
        EXPECT_EQ(row, Selected());
        EXPECT_EQ(row, m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED));
        EXPECT_EQ(-1, m_list->GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
    }

    wxFrame* m_frame = nullptr;
    wxPanel* m_panel = nullptr;
    CGestureListCtrl* m_list = nullptr;
    std::vector<int> m_requests;
    std::vector<void*> m_dataPointers;
    std::vector<wxPoint> m_points;
};
}

TEST_F(ListFixture, HoldingTheMouseStillSelectsTheRowAndAsksOnce)
{
    SelectRow(0);
    const wxPoint pt = RowPoint(2);
    HoldAt(m_list, pt, 900);
    ExpectOneRequestAt(pt, 2);
    EXPECT_FALSE(m_list->GetItemState(0, wxLIST_STATE_SELECTED));
}

TEST_F(ListFixture, HoldingWorksWithoutTheTouchGestureToo)
{
    // With the toolkit's own long-press recognition off, the hold timer alone
    // must ask.
    m_list->GetMainWindow()->EnableTouchEvents(wxTOUCH_NONE);
    const wxPoint pt = RowPoint(1, 60);
    HoldAt(m_list, pt, 900);
    ExpectOneRequestAt(pt, 1);
}

TEST_F(ListFixture, RightClickSelectsTheRowAndAsksOnce)
{
    SelectRow(2);
    const wxPoint pt = RowPoint(1, 50);
    wxUIActionSimulator sim;
    sim.MouseMove(m_list->ClientToScreen(pt));
    Pump(30);
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    ExpectOneRequestAt(pt, 1);
}

TEST_F(ListFixture, TouchLongPressSelectsTheRowAndAsksOnce)
{
    const wxPoint pt = RowPoint(0, 12);
    wxLongPressEvent press(m_list->GetMainWindow()->GetId());
    press.SetPosition(m_list->ClientToMain(pt));
    press.SetEventObject(m_list->GetMainWindow());
    m_list->GetMainWindow()->ProcessWindowEvent(press);
    ExpectOneRequestAt(pt, 0);
}

TEST_F(ListFixture, MenuKeyAsksForTheFocusedRow)
{
    SelectRow(1);
    wxUIActionSimulator sim;
    sim.MouseMove(m_list->ClientToScreen(BelowRows()));
    WaitFor([&] { return m_frame->IsActive(); }, 2000);
    m_list->SetFocus();
    Pump(200);
    sim.Char(WXK_MENU);
    ASSERT_TRUE(WaitFor([&] { return m_requests.size() == 1; }, 1000));
    ASSERT_EQ(1u, m_points.size());
    EXPECT_EQ(1, m_list->HitTestClient(m_points[0]));
    EXPECT_EQ(1, Selected());
}

TEST_F(ListFixture, RequestIsPostedNotSent)
{
    wxMouseEvent down(wxEVT_RIGHT_DOWN);
    down.SetPosition(m_list->ClientToMain(RowPoint(1)));
    down.SetEventObject(m_list);
    m_list->ProcessWindowEvent(down);
    EXPECT_TRUE(m_requests.empty());
    EXPECT_EQ(1, Selected());
    EXPECT_TRUE(WaitFor([&] { return m_requests.size() == 1; }, 1000));
}

TEST_F(ListFixture, NothingIsAskedBelowTheLastRowNorOnAnEmptyList)
{
    SelectRow(1);
    HoldAt(m_list, BelowRows(), 900);
    wxUIActionSimulator sim;
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    Pump(300);
    EXPECT_TRUE(m_requests.empty());

    m_list->DeleteAllItems();
    Pump(50);
    HoldAt(m_list, wxPoint(40, m_list->GetClientSize().y / 2), 900);
    sim.MouseClick(wxMOUSE_BTN_RIGHT);
    Pump(300);
    EXPECT_TRUE(m_requests.empty());
}

TEST_F(ListFixture, PlainTapSelectsTheRowAndAsksNothing)
{
    const wxPoint pt = RowPoint(1);
    ClickAt(m_list, pt);
    Pump(900);
    EXPECT_TRUE(m_requests.empty());
    EXPECT_EQ(1, Selected());
    EXPECT_EQ(pt, m_list->m_pressPoint);
}

TEST_F(ListFixture, MovingAwayWhileHoldingAsksNothing)
{
    wxUIActionSimulator sim;
    const wxPoint pt = RowPoint(0);
    sim.MouseMove(m_list->ClientToScreen(pt));
    Pump(30);
    sim.MouseDown();
    Pump(100);
    sim.MouseMove(m_list->ClientToScreen(pt + wxPoint(40, 0)));
    Pump(800);
    sim.MouseUp();
    Pump(100);
    EXPECT_TRUE(m_requests.empty());
}

TEST_F(ListFixture, DoubleClickStillActivatesTheRow)
{
    long activated = -1;
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [&](wxListEvent& e) { activated = e.GetIndex(); });
    wxUIActionSimulator sim;
    sim.MouseMove(m_list->ClientToScreen(RowPoint(2)));
    Pump(30);
    sim.MouseDblClick();
    EXPECT_TRUE(WaitFor([&] { return activated == 2; }, 1000));
    Pump(700);
    EXPECT_TRUE(m_requests.empty());
}

TEST_F(ListFixture, DoubleClickHeldActivatesTheRowAndAsksNothing)
{
    long activated = -1;
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, [&](wxListEvent& e) { activated = e.GetIndex(); });
    wxUIActionSimulator sim;
    sim.MouseMove(m_list->ClientToScreen(RowPoint(1)));
    Pump(30);
    sim.MouseDown();
    sim.MouseUp();
    sim.MouseDown();
    EXPECT_TRUE(WaitFor([&] { return activated == 1; }, 1000));
    Pump(CGestureListCtrl::kHoldMs + 300);
    sim.MouseUp();
    Pump(50);
    EXPECT_TRUE(m_requests.empty());
}

TEST(GestureListCtrl, VirtualRowsComeFromTheProviders)
{
    auto frame = new wxFrame(nullptr, wxID_ANY, "virtual", wxPoint(40, 40), wxSize(320, 300));
    auto list = new CGestureListCtrl(frame, kListId, wxDefaultPosition, wxSize(300, 280),
                                     wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_HEADER | wxLC_SINGLE_SEL);
    list->InsertColumn(0, wxString(), wxLIST_FORMAT_LEFT, 60);
    list->InsertColumn(1, wxString(), wxLIST_FORMAT_LEFT, 200);
    ASSERT_TRUE(list->EnableCheckBoxes());
    list->SetVirtualProviders([](long item, long col) { return wxString::Format("%ld:%ld", item, col); },
                              [](long item) { return item % 3 == 0; });
    list->SetItemCount(5000);
    EXPECT_EQ("4321:1", list->GetItemText(4321, 1));
    EXPECT_TRUE(list->IsItemChecked(3999));
    EXPECT_FALSE(list->IsItemChecked(4000));

    std::vector<wxPoint> points;
    frame->Bind(wxEVT_LIST_CONTEXTMENU_REQUEST,
                [&](wxCommandEvent& e) { points.push_back(*static_cast<wxPoint*>(e.GetClientData())); });
    frame->Show();
    WaitFor([&] { return list->IsShownOnScreen(); });
    Pump(150);
    wxRect rect;
    ASSERT_TRUE(list->GetItemRect(3, rect));
    const wxPoint pt(rect.x + 80, rect.y + rect.height / 2);
    HoldAt(list, pt, 900);
    EXPECT_TRUE(WaitFor([&] { return points.size() == 1; }, 1000));
    ASSERT_EQ(1u, points.size());
    EXPECT_EQ(pt, points[0]);
    EXPECT_EQ(3, list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED));
    frame->Destroy();
    Pump(30);
}
