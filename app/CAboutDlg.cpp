#include "app/CAboutDlg.h"

#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/app.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/valgen.h>
#include <wx/xrc/xmlres.h>

#include <algorithm>

wxBEGIN_EVENT_TABLE(CAboutDlg, wxDialog)
    EVT_INIT_DIALOG(CAboutDlg::OnInitDialog)
wxEND_EVENT_TABLE()

const wxString CAboutDlg::VersionText = "1.0";

namespace
{
// The main window, when one is up to hold the box.
wxWindow* MainWindow(wxWindow* parent)
{
    if (parent)
        return parent;
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    return top && top->IsShown() ? top : nullptr;
}
}

CAboutDlg::CAboutDlg(wxWindow* parent)
{
    wxXmlResource::Get()->LoadDialog(this, MainWindow(parent), "CAboutDlg");
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
    const wxSize full = ConvertDialogToPixels(wxSize(160, 197));
    const wxSize size(wxRound(full.x * m_pictureScale), wxRound(full.y * m_pictureScale));
    const double scale = GetContentScaleFactor();
    wxBitmap bitmap = bundle.GetBitmap(wxSize(wxRound(size.x * scale), wxRound(size.y * scale)));
    bitmap.SetScaleFactor(scale);
    picture->SetBitmap(bitmap);
    picture->SetSize(wxRect(wxPoint(0, 0), size));
}

// Shrinks the box, picture and all, to the main window's client area when it
// is larger: with a frame like the main window's it then lies within it.
void CAboutDlg::FitWithinParent()
{
    wxWindow* parent = GetParent();
    if (!parent)
        return;
    const wxSize room = parent->GetClientSize();
    const wxSize size = GetClientSize();
    const double scale = std::min({1.0, double(room.x) / size.x, double(room.y) / size.y});
    if (scale >= 1.0)
        return;
    auto scaled = [scale](int v) { return wxRound(v * scale); };
    for (wxWindow* child : GetChildren())
    {
        const wxRect r = child->GetRect();
        const bool picture = child->GetId() == XRCID("IDC_ABOUT_PICTURE");
        // Texts and buttons keep their size (the font does not shrink); their
        // centres move with the picture.
        const wxSize childSize = picture ? wxSize(scaled(r.width), scaled(r.height)) : r.GetSize();
        const wxPoint centre(scaled(r.x + r.width / 2), scaled(r.y + r.height / 2));
        child->SetSize(wxRect(centre - wxPoint(childSize.x / 2, childSize.y / 2), childSize));
    }
    m_pictureScale = scale;
    ShowPicture();
    SetClientSize(wxSize(scaled(size.x), scaled(size.y)));
}

void CAboutDlg::OnInitDialog(wxInitDialogEvent& event)
{
    wxDialog::OnInitDialog(event);
    FitWithinParent();
    CentreOnParent();
    m_version = "v" + VersionText;
    TransferDataToWindow();
}
