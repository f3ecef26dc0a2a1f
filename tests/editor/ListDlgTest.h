#ifndef TALLYARD_TESTS_EDITOR_LISTDLGTEST_H
#define TALLYARD_TESTS_EDITOR_LISTDLGTEST_H

// Running the checklist editor on checklists made for each test.

#include "tests/dialogs/DialogTest.h"

#include "app/SettingsKey.h"
#include "controls/GestureListCtrl.h"
#include "controls/TitleBar.h"
#include "controls/WxString.h"
#include "editor/CListDlg.h"
#include "resources/ResourceIds.h"
#include "store/ListStore.h"

#include <wx/bmpbuttn.h>

#include <string>
#include <vector>

struct ItemSpec
{
    std::u16string name;
    int16_t checked = 0;
    int16_t priority = 1;
};

class ListDlgTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(ListStore::CreateDatabases()); }

    /// A stored checklist with these items at positions 0, 1, ... and the
    /// counts they give.
    ListRecord MakeList(const std::u16string& name, const std::vector<ItemSpec>& items,
                        const std::u16string& category = u"Personal")
    {
        ListRecord list;
        list.name = name;
        list.category = category;
        EXPECT_TRUE(list.SaveList());
        int16_t position = 0;
        for (const ItemSpec& spec : items)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = spec.name;
            item.checked = spec.checked;
            item.priority = spec.priority;
            item.position = position++;
            EXPECT_TRUE(item.SaveItem());
            list.items.push_back(item);
            ++list.itemCount;
            if (spec.checked == 0)
                ++list.uncheckedCount;
        }
        EXPECT_TRUE(list.SaveList());
        return list;
    }

    /// The checklist and all its items as stored now.
    static ListRecord Stored(int32_t id)
    {
        ListRecord list;
        list.LoadList(id);
        list.id = id;
        list.LoadItems(FilterAll);
        return list;
    }

    static std::vector<std::u16string> Names(const ItemArray& items)
    {
        std::vector<std::u16string> names;
        for (const ItemRecord& item : items)
            names.push_back(item.name);
        return names;
    }

    /// The names the rows show (the name column follows the priority one).
    static std::vector<std::u16string> RowNames(CListDlg& dlg)
    {
        std::vector<std::u16string> names;
        const int column = dlg.m_list->GetColumnWidth(1) > 0 ? 1 : 0;
        for (long row = 0; row < dlg.m_list->GetItemCount(); ++row)
            names.push_back(FromWx(dlg.m_list->GetItemText(row, column)));
        return names;
    }

    /// The rows whose check box shows a tick.
    static std::vector<bool> RowTicks(CListDlg& dlg)
    {
        std::vector<bool> ticks;
        for (long row = 0; row < dlg.m_list->GetItemCount(); ++row)
            ticks.push_back(dlg.m_list->IsItemChecked(row));
        return ticks;
    }

    static void SetShowPriority(uint32_t value)
    {
        SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
        ASSERT_TRUE(key.WriteNumber(u"ShowPriority", value));
    }

    static int Run(CListDlg& dlg, std::function<void(CListDlg&)> act)
    {
        return RunModal<CListDlg>(dlg, std::move(act));
    }

    /// A real click on `row` at `x` pixels from the list's left edge.
    static void TapRow(CListDlg& dlg, long row, int x)
    {
        wxRect rect;
        ASSERT_TRUE(dlg.m_list->GetItemRect(row, rect));
        SpacedClickAt(dlg.m_list, wxPoint(x, rect.y + rect.height / 2));
        Pump(30);
    }

    /// A command as the menus issue it.
    static void Command(CListDlg& dlg, int id)
    {
        wxCommandEvent command(wxEVT_MENU, id);
        command.SetEventObject(&dlg);
        dlg.ProcessWindowEvent(command);
    }

    static bool Enabled(CListDlg& dlg, int id)
    {
        wxWindow* button = dlg.FindWindow(id);
        return button && button->IsEnabled();
    }
};

#endif
