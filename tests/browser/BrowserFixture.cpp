#include "tests/browser/BrowserFixture.h"

#include "app/CTallyardApp.h"
#include "app/SettingsKey.h"
#include "controls/GestureListCtrl.h"
#include "controls/WxString.h"
#include "resources/ResourceIds.h"

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/toolbar.h>

#include "app/CToolStrip.h"

void BrowserTest::TearDown()
{
    Close();
}

void BrowserTest::Open(int startupWaitMs)
{
    m_manager = std::make_unique<wxDocManager>();
    CTallyardApp::AddDocTemplate(m_manager.get());
    m_frame = new CMainFrame(m_manager.get(), startupWaitMs);
    ASSERT_TRUE(m_frame->IsCreated());
    m_frame->Show();
    ASSERT_NE(nullptr, m_manager->CreateNewDocument());
    m_view = wxDynamicCast(m_manager->GetAnyUsableView(), CTallyardView);
    ASSERT_NE(nullptr, m_view);
    m_list = m_view->GetListCtrl();
    Pump(30);
}

void BrowserTest::Close()
{
    if (m_frame)
    {
        m_frame->Close(true);
        m_frame = nullptr;
        m_view = nullptr;
        m_list = nullptr;
        Pump(30);
    }
    m_manager.reset();
}

ListRecord BrowserTest::AddChecklist(const std::u16string& name, const std::u16string& category, int position,
                                     int unchecked, int checked)
{
    EXPECT_TRUE(ListStore::CreateDatabases());
    ListRecord list;
    list.name = name;
    list.category = category;
    list.position = static_cast<int16_t>(position);
    EXPECT_TRUE(list.SaveList());
    for (int i = 0; i < unchecked + checked; ++i)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = u"item " + FromWx(wxString::Format("%d", i));
        item.position = static_cast<int16_t>(i);
        item.checked = i < checked ? 1 : 0;
        item.priority = static_cast<int16_t>(1 + i % 5);
        EXPECT_TRUE(item.SaveItem());
    }
    list.itemCount = static_cast<int16_t>(unchecked + checked);
    list.uncheckedCount = static_cast<int16_t>(unchecked);
    EXPECT_TRUE(list.SaveList());
    return list;
}

void BrowserTest::AddCategories(const std::vector<std::u16string>& names)
{
    ASSERT_TRUE(ListStore::CreateDatabases());
    CategoryList categories;
    int16_t order = 0;
    for (const std::u16string& name : names)
        categories.push_back(CategoryRecord{name, order++});
    ASSERT_TRUE(categories.SaveCategories());
}

std::u16string BrowserTest::LastCategory()
{
    // Straight from the registry: a settings read would write a default.
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, kPreferencesKey, &key) != ERROR_SUCCESS)
        return u"<no key>";
    uint32_t type = 0;
    uint32_t size = 0;
    std::u16string value = u"<missing>";
    if (RegQueryValueEx(key, u"LastCategory", &type, nullptr, &size) == ERROR_SUCCESS)
    {
        std::u16string buffer(size / 2 + 1, u'\0');
        if (RegQueryValueEx(key, u"LastCategory", &type, buffer.data(), &size) == ERROR_SUCCESS)
            value = buffer.c_str();
    }
    RegCloseKey(key);
    return value;
}

void BrowserTest::SetLastCategory(const std::u16string& name)
{
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    ASSERT_TRUE(key.WriteString(u"LastCategory", name.c_str()));
}

ListArray BrowserTest::Stored()
{
    ListArray lists;
    EXPECT_TRUE(lists.LoadLists(u""));
    return lists;
}

void BrowserTest::Command(int id)
{
    CToolStrip* toolBar = m_frame->GetChecklistToolBar();
    wxCommandEvent event(wxEVT_TOOL, id);
    event.SetEventObject(toolBar);
    toolBar->GetEventHandler()->ProcessEvent(event);
}

void BrowserTest::CloseUpOn(int index)
{
    wxComboBox* combo = m_frame->GetCategorySelector();
    combo->SetSelection(index);
    wxCommandEvent event(wxEVT_COMBOBOX_CLOSEUP, combo->GetId());
    event.SetEventObject(combo);
    combo->GetEventHandler()->ProcessEvent(event);
    wxTheApp->ProcessPendingEvents();
}

bool BrowserTest::ToolEnabled(int id)
{
    CToolStrip* toolBar = m_frame->GetChecklistToolBar();
    toolBar->UpdateWindowUI();
    return toolBar->GetToolEnabled(id);
}

void BrowserTest::Select(long row)
{
    m_list->SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                         wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
}

std::vector<std::string> BrowserTest::Rows()
{
    std::vector<std::string> rows;
    for (long row = 0; row < m_list->GetItemCount(); ++row)
        rows.push_back((m_list->GetItemText(row, 0) + " " + m_list->GetItemText(row, 1)).utf8_string());
    return rows;
}

std::vector<std::string> BrowserTest::CategoryEntries()
{
    std::vector<std::string> entries;
    wxComboBox* combo = m_frame->GetCategorySelector();
    for (unsigned i = 0; i < combo->GetCount(); ++i)
        entries.push_back(combo->GetString(i).utf8_string());
    return entries;
}
