#include "dialogs/CCategoriesDlg.h"

#include "controls/MessageBox.h"
#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "dialogs/CCategoryNameDlg.h"
#include "dialogs/ContextHelp.h"
#include "dialogs/DialogSupport.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/listbox.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>

namespace
{
const char16_t* const kUnfiled = u"Unfiled";
const char* const kNameCaption = "Category Name";

bool HasName(const CategoryList& list, const std::u16string& name)
{
    return std::any_of(list.begin(), list.end(), [&](const CategoryRecord& c) { return c.name == name; });
}

void ShowNameExists(const std::u16string& name, wxWindow* parent)
{
    ShowMessage(wxString::Format("The category %s already exists.  Please use a different name.", ToWx(name)),
                kNameCaption, wxOK, parent);
}

// Stores `categories` and re-files the checklists of `from` under `to`, all
// or nothing, as one undo step.
bool StoreChange(const char16_t* step, const CategoryList& categories, const std::u16string& from,
                 const std::u16string& to)
{
    ObjectStore::UndoStep undoStep(step);
    ListStore::Transaction transaction;
    ListStore::MoveCategoryLists(from, to);
    categories.SaveCategories();
    return transaction.Commit();
}
}

wxBEGIN_EVENT_TABLE(CCategoriesDlg, wxDialog)
    EVT_INIT_DIALOG(                          CCategoriesDlg::OnInitDialog)
    EVT_BUTTON(     IDC_NEW_CATEGORY,         CCategoriesDlg::OnNew)
    EVT_BUTTON(     IDC_RENAME_CATEGORY,      CCategoriesDlg::OnRename)
    EVT_BUTTON(     IDC_DELETE_CATEGORY,      CCategoriesDlg::OnDelete)
    EVT_HELP(       wxID_ANY,                 CCategoriesDlg::OnHelp)
    EVT_CHAR_HOOK(                            CCategoriesDlg::OnCharHook)
wxEND_EVENT_TABLE()

CCategoriesDlg::CCategoriesDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CCategoriesDlg");
    m_titleBar = wxDynamicCast(FindWindow(IDC_TITLE_BAR), CTitleBar);
    m_listBox = wxDynamicCast(FindWindow(IDC_CATEGORY_LIST), wxListBox);
    wxASSERT_MSG(m_titleBar && m_listBox, "CCategoriesDlg template is incomplete");
}

int CCategoriesDlg::ShowModal()
{
    // Loaded before the dialog shows, so a failure never flashes it open.
    if (!m_categories.LoadCategories())
    {
        ShowMessage("The categories failed to load!", wxString(), wxOK);
        return wxID_CANCEL;
    }
    return wxDialog::ShowModal();
}

void CCategoriesDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    MakeFullScreen(*this, IDC_TITLE_BAR);
    FillListBox();
    if (m_listBox)
        m_listBox->SetFocus();
}

void CCategoriesDlg::FillListBox()
{
    if (!m_listBox)
        return;
    m_listBox->Clear();
    for (size_t i = 0; i < m_categories.size(); ++i)
        m_listBox->Insert(ToWx(m_categories[i].name), static_cast<unsigned>(i));
}

void CCategoriesDlg::Reload()
{
    m_categories.LoadCategories();
    FillListBox();
}

void CCategoriesDlg::OnNew(wxCommandEvent&)
{
    CCategoryNameDlg dlg(nullptr);
    if (dlg.ShowModal() != wxID_OK)
        return;
    const std::u16string name = dlg.GetName();

    // "Unfiled" always exists, though it is never stored.
    if (name == kUnfiled || HasName(m_categories, name))
    {
        ShowNameExists(name, this);
        return;
    }

    CategoryList changed = m_categories;
    changed.push_back(CategoryRecord{name, static_cast<int16_t>(m_categories.size())});
    ObjectStore::UndoStep step(u"New Category");
    if (!changed.SaveCategories())
    {
        Reload();
        return;
    }
    m_categories = std::move(changed);
    m_listBox->Insert(ToWx(name), m_listBox->GetCount());
}

void CCategoriesDlg::OnDelete(wxCommandEvent&)
{
    const int sel = m_listBox->GetSelection();
    if (sel == wxNOT_FOUND || static_cast<size_t>(sel) >= m_categories.size())
        return;
    if (ShowMessage("Deleting a category name will cause all entries in that category to be moved to the Unfiled "
                    "category.  Do you wish to continue?",
                    "Remove Category", wxYES_NO, this) != wxID_YES)
        return;

    // The list box shows m_categories in order; the record keeps the exact name.
    const std::u16string name = m_categories[sel].name;
    CategoryList rest;
    for (const CategoryRecord& c : m_categories)
        if (c.name != name)
            rest.push_back(c);

    if (!StoreChange(u"Delete Category", rest, name, kUnfiled))
    {
        Reload();
        return;
    }
    m_categories = std::move(rest);
    // Every line of that name goes, so that each line still shows the
    // category at its own index (a name stored twice appears twice).
    FillListBox();
}

void CCategoriesDlg::OnRename(wxCommandEvent&)
{
    const int sel = m_listBox->GetSelection();
    if (sel == wxNOT_FOUND || static_cast<size_t>(sel) >= m_categories.size())
        return;
    const std::u16string oldName = m_categories[sel].name;

    CCategoryNameDlg dlg(nullptr);
    dlg.SetName(oldName);
    if (dlg.ShowModal() != wxID_OK)
        return;
    const std::u16string newName = dlg.GetName();
    if (newName == oldName)
        return;
    // Refused as New refuses it: "Unfiled" is never a stored category.
    if (newName == kUnfiled)
    {
        ShowNameExists(newName, this);
        return;
    }

    CategoryList stored;
    stored.LoadCategories();
    const bool merge = HasName(stored, newName);
    if (merge && ShowMessage("You have renamed the category to one that already exists.  This will merge those two "
                             "categories.  Do you wish to continue?",
                             "Merge Category", wxYES_NO, this) != wxID_YES)
        return;

    CategoryList rebuilt;
    for (CategoryRecord c : stored)
    {
        if (c.name == oldName)
        {
            if (merge)
                continue;
            c.name = newName;
        }
        rebuilt.push_back(c);
    }

    if (StoreChange(merge ? u"Merge Categories" : u"Rename Category", rebuilt, oldName, newName))
        m_categories = std::move(rebuilt);
    else
        m_categories.LoadCategories();
    FillListBox();
}

void CCategoriesDlg::OnHelp(wxHelpEvent& event)
{
    ShowHelpTopic(u"#Categories_Help");
    event.Skip();
}

void CCategoriesDlg::OnCharHook(wxKeyEvent& event)
{
    if (!HandleDialogKey(*this, event))
        event.Skip();
}
