#ifndef TALLYARD_TESTS_BROWSER_BROWSERFIXTURE_H
#define TALLYARD_TESTS_BROWSER_BROWSERFIXTURE_H

// A main window as the program builds it (document manager, template, frame,
// document and view) on the test's fresh store and registry.

#include "app/CMainFrame.h"
#include "browser/CTallyardView.h"
#include "store/ListStore.h"
#include "tests/support/GuiTest.h"

#include <wx/docview.h>

#include <memory>
#include <string>
#include <vector>

class BrowserTest : public testing::Test
{
protected:
    void TearDown() override;

    /// Builds frame, document and view; the first showing runs inside. The
    /// frame keeps the splash up for startupWaitMs (none by default).
    void Open(int startupWaitMs = 0);
    void Close();

    /// Stores a checklist directly (id given by the store).
    static ListRecord AddChecklist(const std::u16string& name, const std::u16string& category, int position,
                                   int unchecked = 0, int checked = 0);
    static void AddCategories(const std::vector<std::u16string>& names);
    static std::u16string LastCategory();
    static void SetLastCategory(const std::u16string& name);
    /// Every stored checklist, in load order.
    static ListArray Stored();

    /// Sends a command the way the toolbar does, from the toolbar upwards.
    void Command(int id);
    /// Selects entry `index` of the drop-down and closes it.
    void CloseUpOn(int index);
    /// Whether the toolbar shows the command enabled after an update.
    bool ToolEnabled(int id);
    void Select(long row);

    std::vector<std::string> Rows();
    std::vector<std::string> CategoryEntries();

    std::unique_ptr<wxDocManager> m_manager;
    CMainFrame* m_frame = nullptr;
    CTallyardView* m_view = nullptr;
    CGestureListCtrl* m_list = nullptr;
};

#endif
