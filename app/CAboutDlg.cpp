#include "app/CAboutDlg.h"

#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/valgen.h>
#include <wx/xrc/xmlres.h>

wxBEGIN_EVENT_TABLE(CAboutDlg, wxDialog)
    EVT_INIT_DIALOG(CAboutDlg::OnInitDialog)
wxEND_EVENT_TABLE()

const wxString CAboutDlg::VersionText = "1.0";

CAboutDlg::CAboutDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, parent, "CAboutDlg");
    // The template's size was converted before its own font was applied.
    SetClientSize(ConvertDialogToPixels(wxSize(160, 223)));
    if (wxWindow* version = FindWindow(IDC_VERSION))
        version->SetValidator(wxGenericValidator(&m_version));
    SetEscapeId(wxID_OK);
    ShowPicture();
}

// The picture fills its template rectangle whatever the font makes of the
// dialog units, drawn from the bitmap at the screen's own density.
void CAboutDlg::ShowPicture()
{
    auto* picture = dynamic_cast<wxStaticBitmap*>(FindWindow(XRCID("IDC_ABOUT_PICTURE")));
    if (!picture)
        return;
    const wxBitmapBundle bundle = Resources::Bitmap(IDB_SPLASH);
    if (!bundle.IsOk())
        return;
    const wxSize size = ConvertDialogToPixels(wxSize(160, 197));
    const double scale = GetContentScaleFactor();
    wxBitmap bitmap = bundle.GetBitmap(wxSize(wxRound(size.x * scale), wxRound(size.y * scale)));
    bitmap.SetScaleFactor(scale);
    picture->SetBitmap(bitmap);
    picture->SetSize(wxRect(wxPoint(0, 0), size));
}

void CAboutDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    CentreOnParent();
    m_version = "v" + VersionText;
    TransferDataToWindow();
}
