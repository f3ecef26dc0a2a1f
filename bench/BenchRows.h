#ifndef TALLYARD_BENCH_BENCHROWS_H
#define TALLYARD_BENCH_BENCHROWS_H

// The rows the benchmarks show: the same names and counts in the program's
// store and in the bare yardstick list.

#include <wx/listctrl.h>
#include <wx/string.h>

inline wxString BenchName(int i)
{
    return wxString::Format("Checklist %05d", i);
}

inline int BenchUnchecked(int i)
{
    return i % 37;
}

/// Fills a plain report list the ordinary way, row by row.
inline void FillBareList(wxListCtrl* list, int rows)
{
    list->DeleteAllItems();
    for (int i = 0; i < rows; ++i)
    {
        list->InsertItem(i, wxString::Format("%d. %s", i + 1, BenchName(i)));
        list->SetItem(i, 1, wxString::Format("(%d)", BenchUnchecked(i)));
    }
}

#endif
