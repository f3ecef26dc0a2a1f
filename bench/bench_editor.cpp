// The checklist editor on a checklist of 1,000 items: opening it until its
// rows have painted, and one tick (a press on a row's check box) until the
// rebuilt rows have painted. Medians; run under a display (xvfb-run).
#include "bench/BenchSupport.h"
#include "bench/EditorInput.h"

#include "controls/Controls.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/app.h>

#include <chrono>
#include <cstdio>

namespace
{
constexpr int kItems = 1000;
constexpr int kRuns = 11;
constexpr int kTicksPerRun = 10;

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int32_t MakeChecklist(int16_t checked = 0)
{
    if (!ListStore::CreateDatabases())
        return 0;
    ListStore::Transaction transaction;
    ListRecord list;
    list.name = u"Bench";
    list.category = u"Personal";
    list.itemCount = kItems;
    list.uncheckedCount = checked ? 0 : kItems;
    if (!list.SaveList())
        return 0;
    for (int i = 0; i < kItems; ++i)
    {
        ItemRecord item;
        item.listId = list.id;
        item.name = BenchName16(i);
        item.priority = static_cast<int16_t>(1 + i % 5);
        item.position = static_cast<int16_t>(i);
        item.checked = checked;
        item.SaveItem();
    }
    return transaction.Commit() ? list.id : 0;
}
}

int main(int argc, char** argv)
{
    if (!std::getenv("XDG_DATA_HOME"))
        UseXdgRoot(MakeTempRoot());
    const int32_t listId = MakeChecklist();
    if (listId == 0)
        return 1;

    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return 2;
    RegisterControlXrcHandlers();
    Resources::Init();

    std::vector<double> opens;
    std::vector<double> ticks;
    int16_t expectedUnchecked = kItems;
    bool ok = true;
    for (int run = 0; run < kRuns && ok; ++run)
    {
        const Clock::time_point start = Clock::now();
        CListDlg dlg;
        dlg.SetListId(listId);
        dlg.SetTotalCount(1);
        dlg.CallAfter([&] {
            wxWindow* rows = dlg.m_list->GetMainWindow();
            if (!WaitShown(rows))
                ok = false;
            rows->Update();
            opens.push_back(MsSince(start));

            const int box = dlg.m_list->FromDIP(10);
            for (int t = 0; t < kTicksPerRun && ok; ++t)
            {
                Settle();
                const long row = t % 8;
                const bool wasChecked = dlg.m_list->IsItemChecked(row);
                const Clock::time_point tap = Clock::now();
                PressRow(dlg, row, box);
                rows->Update();
                ticks.push_back(MsSince(tap));
                expectedUnchecked = static_cast<int16_t>(expectedUnchecked + (wasChecked ? 1 : -1));
                if (dlg.m_list->IsItemChecked(row) == wasChecked || dlg.m_record.uncheckedCount != expectedUnchecked)
                    ok = false;
            }
            dlg.EndModal(wxID_OK);
        });
        dlg.ShowModal();
    }

    ListRecord stored;
    if (!ok || !stored.LoadList(listId) || stored.uncheckedCount != expectedUnchecked)
    {
        std::fprintf(stderr, "bench_editor: a tick was not stored\n");
        return 4;
    }

    // Purge every item of a checked checklist as the editor does, then undo
    // it from the Undo command until the rows are painted again.
    const int32_t purgeId = MakeChecklist(1);
    std::vector<double> undos;
    for (int run = 0; run < kRuns && ok && purgeId != 0; ++run)
    {
        CListDlg dlg;
        dlg.SetListId(purgeId);
        dlg.CallAfter([&] {
            wxWindow* rows = dlg.m_list->GetMainWindow();
            ok = WaitShown(rows);
            {
                ObjectStore::UndoStep step(u"Purge Checked Items");
                ok = ok && ListStore::PurgeChecked(dlg.m_record);
            }
            dlg.FillList();
            rows->Update();
            Settle();
            ok = ok && dlg.m_list->GetItemCount() == 0;
            const Clock::time_point start = Clock::now();
            wxCommandEvent undo(wxEVT_MENU, ID_EDIT_UNDO);
            undo.SetEventObject(&dlg);
            dlg.ProcessWindowEvent(undo);
            rows->Update();
            undos.push_back(MsSince(start));
            ok = ok && dlg.m_list->GetItemCount() == kItems;
            dlg.EndModal(wxID_OK);
        });
        dlg.ShowModal();
    }
    if (!ok || undos.empty())
    {
        std::fprintf(stderr, "bench_editor: the purge was not undone\n");
        return 5;
    }
    std::printf("editor open, %d items, until painted: median %.2f ms over %zu runs (limit 100 ms)\n", kItems,
                Median(opens), opens.size());
    std::printf("tick to rebuilt rows painted, %d items: median %.2f ms over %zu ticks (limit 16 ms)\n", kItems,
                Median(ticks), ticks.size());
    std::printf("undo of a purge of %d items to rebuilt rows painted: median %.2f ms over %zu runs (limit 50 ms)\n",
                kItems, Median(undos), undos.size());
    wxEntryCleanup();
    return 0;
}
