// The main view's commands change one thing of the checklist as stored and
// never write back what its rows showed before the categories were edited.
#include "tests/browser/BrowserFixture.h"
#include "tests/dialogs/DialogTest.h"

#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CCategoryNameDlg.h"
#include "dialogs/CNoteDlg.h"
#include "resources/ResourceIds.h"

#include <wx/listbox.h>
#include <wx/timer.h>

#include <algorithm>
#include <functional>

using Strings = std::vector<std::string>;

namespace
{
ListRecord StoredNamed(const std::u16string& name)
{
    ListArray lists;
    EXPECT_TRUE(lists.LoadLists(u""));
    auto it = std::find_if(lists.begin(), lists.end(), [&](const ListRecord& r) { return r.name == name; });
    EXPECT_NE(lists.end(), it) << std::string(name.begin(), name.end());
    return it == lists.end() ? ListRecord() : *it;
}

// Answers a nested dialog after its opening ran (it is not really shown).
// Named apart from the browser tests' own helper, which takes a pointer.
template <class T>
class AnswerDialog : public wxExpectModalBase<T, AnswerDialog<T>>
{
public:
    explicit AnswerDialog(std::function<int(T&)> act) : m_act(std::move(act)) {}

protected:
    int OnInvoked(T* dlg) const override
    {
        dlg->InitDialog();
        return m_act(*dlg);
    }

private:
    std::function<int(T&)> m_act;
};

// Acts on the Edit Categories dialog once it is up and really modal.
class CategoriesDialogDriver
{
public:
    explicit CategoriesDialogDriver(std::function<void(CCategoriesDlg&)> act) : m_act(std::move(act))
    {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
            for (wxWindow* window : wxTopLevelWindows)
            {
                auto* dlg = dynamic_cast<CCategoriesDlg*>(window);
                if (!dlg || !dlg->IsModal() || !dlg->IsShownOnScreen())
                    continue;
                m_timer.Stop();
                Pump(30);
                m_act(*dlg);
                m_ran = true;
                if (dlg->IsModal())
                {
                    ADD_FAILURE() << "Edit Categories was left open";
                    dlg->EndModal(wxID_ABORT);
                }
                return;
            }
        });
        m_timer.Start(50);
    }
    bool Ran() const { return m_ran; }

private:
    std::function<void(CCategoriesDlg&)> m_act;
    wxTimer m_timer;
    bool m_ran = false;
};

void SelectLine(CCategoriesDlg& dlg, const wxString& name)
{
    auto* box = wxDynamicCast(dlg.FindWindow(IDC_CATEGORY_LIST), wxListBox);
    ASSERT_NE(nullptr, box);
    const int line = box->FindString(name, true);
    ASSERT_NE(wxNOT_FOUND, line);
    box->SetSelection(line);
}
}

TEST_F(BrowserTest, CommandsAfterEditingCategoriesKeepTheChecklistsAsStored)
{
    AddChecklist(u"Groceries", u"Business", 0, 2);
    AddChecklist(u"Trip", u"Business", 1, 1);
    Open();
    ASSERT_EQ((Strings{"1. Groceries (2)", "2. Trip (1)"}), Rows());

    // "Edit...": rename Business to Work, then delete Work, with the dialog's
    // own buttons.
    CategoriesDialogDriver driver([](CCategoriesDlg& d) {
        SelectLine(d, "Business");
        wxTEST_DIALOG(ClickChild(d, IDC_RENAME_CATEGORY), AnswerDialog<CCategoryNameDlg>([](CCategoryNameDlg& n) {
                          TextField(n, IDC_CATEGORY_NAME)->ChangeValue("Work");
                          return ConfirmNested(n);
                      }));
        SelectLine(d, "Work");
        wxTEST_DIALOG(ClickChild(d, IDC_DELETE_CATEGORY),
                      ExpectMessage("Deleting a category name will cause all entries in that category to be moved "
                                    "to the Unfiled category.  Do you wish to continue?",
                                    "Remove Category", wxID_YES));
        TapTitleBar(d, TitleArea::Ok);
    });
    CloseUpOn(static_cast<int>(CategoryEntries().size()) - 1);
    ASSERT_TRUE(driver.Ran());
    EXPECT_EQ(u"Unfiled", StoredNamed(u"Groceries").category);
    EXPECT_EQ(u"Unfiled", StoredNamed(u"Trip").category);
    EXPECT_EQ((Strings{"All", "Personal", "Unfiled", "Edit..."}), CategoryEntries());
    EXPECT_EQ(u"All", LastCategory());

    // List Note on Trip changes the note only.
    Select(1);
    wxTEST_DIALOG(Command(ID_LIST_NOTE), AnswerDialog<CNoteDlg>([](CNoteDlg& n) {
                      TextField(n, IDC_NOTE)->ChangeValue("passport");
                      return ConfirmNested(n);
                  }));
    const ListRecord trip = StoredNamed(u"Trip");
    EXPECT_EQ(u"passport", trip.note);
    EXPECT_EQ(u"Unfiled", trip.category);
    EXPECT_EQ(1, trip.uncheckedCount);

    // Move Down on Groceries changes positions only.
    Select(0);
    Command(ID_MOVE_DOWN);
    EXPECT_EQ((Strings{"1. Trip (1)", "2. Groceries (2)"}), Rows());
    const ListRecord groceries = StoredNamed(u"Groceries");
    EXPECT_EQ(u"Unfiled", groceries.category);
    EXPECT_EQ(2, groceries.uncheckedCount);
    EXPECT_LT(StoredNamed(u"Trip").position, groceries.position);
    EXPECT_EQ(u"passport", StoredNamed(u"Trip").note);
}

TEST_F(BrowserTest, NoteAndMovesLeaveWhatAnotherInstanceStoredMeanwhile)
{
    AddChecklist(u"Groceries", u"Personal", 0, 2);
    AddChecklist(u"Trip", u"Personal", 1, 1);
    Open();

    // Another instance renames Trip, files it elsewhere and ticks items.
    ListRecord elsewhere = StoredNamed(u"Trip");
    elsewhere.name = u"Holiday";
    elsewhere.category = u"Business";
    elsewhere.uncheckedCount = 0;
    ASSERT_TRUE(elsewhere.SaveList());

    Select(1);
    wxTEST_DIALOG(Command(ID_LIST_NOTE), AnswerDialog<CNoteDlg>([](CNoteDlg& n) {
                      TextField(n, IDC_NOTE)->ChangeValue("tickets");
                      return ConfirmNested(n);
                  }));
    Select(1);
    Command(ID_MOVE_UP);
    const ListRecord holiday = StoredNamed(u"Holiday");
    EXPECT_EQ(u"tickets", holiday.note);
    EXPECT_EQ(u"Business", holiday.category);
    EXPECT_EQ(0, holiday.uncheckedCount);
    EXPECT_LT(holiday.position, StoredNamed(u"Groceries").position);
}
