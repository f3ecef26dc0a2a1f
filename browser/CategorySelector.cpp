// The category drop-down of the frame, the two sorts and Preferences.
#include "browser/CTallyardView.h"

#include "browser/ViewHost.h"
#include "controls/MessageBox.h"
#include "controls/WxString.h"
#include "dialogs/CCategoriesDlg.h"
#include "dialogs/CPreferencesDlg.h"
#include "platform/UndoHistory.h"

#include <wx/combobox.h>

void CTallyardView::FillCategorySelector()
{
    CViewHost* host = FindHost();
    m_categorySelector = host ? host->GetCategorySelector() : nullptr;
    if (!m_categorySelector)
        return;
    m_categorySelector->Clear();
    m_categoryEntries.clear();

    CategoryList categories;
    if (!categories.LoadCategories())
    {
        ShowMessage("Error loading the categories!");
        categories.clear();
    }

    m_categoryEntries.push_back(u"All");
    for (const CategoryRecord& category : categories)
        m_categoryEntries.push_back(category.name);
    m_categoryEntries.push_back(u"Unfiled");
    m_categoryEntries.push_back(u"Edit...");

    wxArrayString texts;
    texts.reserve(m_categoryEntries.size());
    for (const std::u16string& entry : m_categoryEntries)
        texts.push_back(ToWx(entry));
    m_categorySelector->Append(texts);

    // The first equal entry wins, so a category named "All" selects index 0.
    const std::u16string name = m_settings.ReadString(u"LastCategory", u"All");
    for (size_t i = 0; i < m_categoryEntries.size(); ++i)
    {
        if (m_categoryEntries[i] == name)
        {
            m_categorySelector->SetSelection(static_cast<int>(i));
            break;
        }
    }
    m_answeredCategory = m_categorySelector->GetSelection();
}

void CTallyardView::OnCategoryDropDownClosed(wxCommandEvent&)
{
    QueueCategoryChoice();
}

void CTallyardView::OnCategorySelected(wxCommandEvent& event)
{
    // The keys and the mouse wheel change the entry without opening the
    // drop-down; that choice is answered like one made in it, so the shown
    // entry always names the rows below. A pick in the drop-down reports
    // both the change and the close: it is answered once.
    if (event.GetSelection() != m_answeredCategory)
        QueueCategoryChoice();
}

void CTallyardView::QueueCategoryChoice()
{
    // GTK reports the close before the choice made in the drop-down.
    if (m_categoryChoiceQueued)
        return;
    m_categoryChoiceQueued = true;
    CallAfter(&CTallyardView::OnCategoryCloseUp);
}

void CTallyardView::OnCategoryCloseUp()
{
    m_categoryChoiceQueued = false;
    CViewHost* host = FindHost();
    m_categorySelector = host ? host->GetCategorySelector() : nullptr;
    if (!m_categorySelector)
        return;
    const int sel = m_categorySelector->GetSelection();
    const int count = static_cast<int>(m_categorySelector->GetCount());
    m_answeredCategory = sel;

    if (sel >= 0 && sel == count - 1)
    {
        CCategoriesDlg dlg;
        dlg.ShowModal();
        FillCategorySelector();
        return;
    }

    // Our copy of the entries keeps names the display cannot show exactly.
    std::u16string text;
    if (sel >= 0)
        text = static_cast<size_t>(sel) < m_categoryEntries.size() ? m_categoryEntries[sel]
                                                                   : FromWx(m_categorySelector->GetString(sel));
    m_settings.WriteString(u"LastCategory", text.c_str());
    RefreshList();
}

void CTallyardView::SortAllChecklists(bool byName)
{
    {
        // Every checklist of every category is renumbered: one change.
        ObjectStore::UndoStep step(byName ? u"Sort Alphabetically" : u"Sort by Item Count");
        ListStore::Transaction transaction;
        m_lists.LoadLists(u"");
        if (byName)
            m_lists.SortListsByName();
        else
            m_lists.SortListsByItemsLeft();
        transaction.Commit();
    }
    RefreshList();
}

void CTallyardView::OnSortAlphabetically(wxCommandEvent&)
{
    SortAllChecklists(true);
}

void CTallyardView::OnSortByItemCount(wxCommandEvent&)
{
    SortAllChecklists(false);
}

void CTallyardView::OnPreferences(wxCommandEvent&)
{
    CPreferencesDlg dlg;
    dlg.ShowModal();
}
