// Import and Export of the Tools menu: the store as an iCalendar file.
#include "browser/CTallyardView.h"

#include "controls/MessageBox.h"
#include "platform/UndoHistory.h"
#include "sync/IcalExchange.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/frame.h>

namespace
{
const char* const s_filter = "iCalendar files (*.ics)|*.ics|All files (*)|*";

// The chosen file, from the chooser's folder and name (both are set
// whenever a file was chosen).
wxFileName ChosenFile(const wxFileDialog& chooser)
{
    return wxFileName(chooser.GetDirectory(), chooser.GetFilename());
}
}

void CTallyardView::OnImport(wxCommandEvent&)
{
    wxFileDialog chooser(GetFrame(), "Import", wxString(), wxString(), s_filter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() != wxID_OK)
        return;
    IcalExchange::ImportCounts counts;
    std::string error;
    bool done = false;
    {
        ObjectStore::UndoStep step(u"Import");
        done = IcalExchange::ImportFile(ChosenFile(chooser).GetFullPath().utf8_string(), counts, error);
    }
    if (done && counts.checklistsAdded + counts.checklistsUpdated + counts.itemsAdded + counts.itemsUpdated > 0)
    {
        // The imported checklists may be filed anywhere: show them all.
        m_settings.WriteString(u"LastCategory", u"All");
    }
    RefreshList();
    FillCategorySelector();
    if (done)
        ShowMessage(wxString::FromUTF8(IcalExchange::Summary(counts)), "Import");
    else
        ShowMessage("The file was not imported: " + wxString::FromUTF8(error), "Import", wxOK | wxICON_ERROR);
}

void CTallyardView::OnExport(wxCommandEvent&)
{
    wxFileDialog chooser(GetFrame(), "Export", wxString(), "Tallyard.ics", s_filter,
                         wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (chooser.ShowModal() != wxID_OK)
        return;
    wxFileName path = ChosenFile(chooser);
    if (!path.HasExt() && chooser.GetFilterIndex() == 0)
        path.SetExt("ics");
    std::string error;
    if (!IcalExchange::ExportFile(path.GetFullPath().utf8_string(), u"", error))
        ShowMessage("The checklists were not exported: " + wxString::FromUTF8(error), "Export", wxOK | wxICON_ERROR);
}
