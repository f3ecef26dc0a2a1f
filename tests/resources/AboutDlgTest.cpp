// The About box.
#include "tests/resources/ScreenGrab.h"
#include "tests/support/GuiTest.h"

#include "app/CAboutDlg.h"
#include "resources/ResourceIds.h"

#include <wx/button.h>
#include <wx/display.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>
#include <wx/xrc/xmlres.h>

#include <functional>

namespace
{
class TestAboutDlg : public CAboutDlg
{
public:
    using CAboutDlg::CAboutDlg;
    const wxString& Version() const { return m_version; }
};

// Runs `whileOpen` once the dialog is up, then returns ShowModal's result.
int RunModal(TestAboutDlg& dlg, const std::function<void()>& whileOpen)
{
    dlg.CallAfter([&] {
        WaitFor([&] { return dlg.IsShownOnScreen(); });
        Pump(150);
        whileOpen();
        // Whatever happened, do not leave the test hanging in the dialog.
        if (dlg.IsModal())
            dlg.CallAfter([&] {
                if (dlg.IsModal())
                    dlg.EndModal(wxID_ABORT);
            });
    });
    return dlg.ShowModal();
}
}

TEST(AboutDlg, TemplateCaptionAndEmptyVersionBeforeOpening)
{
    TestAboutDlg dlg;
    EXPECT_EQ("About Tallyard", dlg.GetTitle());
    EXPECT_EQ("", dlg.Version());
    EXPECT_EQ(dlg.ConvertDialogToPixels(wxSize(160, 223)), dlg.GetClientSize());
    EXPECT_FALSE(dlg.HasExtraStyle(wxDIALOG_EX_CONTEXTHELP));
    EXPECT_EQ(nullptr, dlg.FindWindow(IDC_TITLE_BAR));
}

TEST(AboutDlg, ShowsVersionOverThePictureCentredAndClosesWithOk)
{
    TestAboutDlg dlg;
    wxString label;
    wxRect picture, version, dialog;
    wxSize bitmapSize;
    const int result = RunModal(dlg, [&] {
        auto* text = dynamic_cast<wxStaticText*>(dlg.FindWindow(IDC_VERSION));
        auto* bitmap = dynamic_cast<wxStaticBitmap*>(dlg.FindWindow(XRCID("IDC_ABOUT_PICTURE")));
        ASSERT_NE(nullptr, text);
        ASSERT_NE(nullptr, bitmap);
        label = text->GetLabel();
        picture = bitmap->GetRect();
        version = text->GetRect();
        bitmapSize = bitmap->GetBitmap().GetLogicalSize();
        dialog = dlg.GetScreenRect();
        auto* ok = dlg.FindWindow(wxID_OK);
        ASSERT_NE(nullptr, ok);
        ClickAt(ok, wxPoint(ok->GetSize().x / 2, ok->GetSize().y / 2));
    });
    EXPECT_EQ(wxID_OK, result);
    EXPECT_EQ("v1.0", label);
    EXPECT_EQ("v1.0", dlg.Version());
    EXPECT_EQ(wxRect(wxPoint(0, 0), dlg.ConvertDialogToPixels(wxSize(160, 197))), picture);
    EXPECT_EQ(picture.GetSize(), bitmapSize);
    EXPECT_EQ(dlg.ConvertDialogToPixels(wxPoint(115, 142)), version.GetPosition());
    EXPECT_TRUE(picture.Contains(version));

    const wxRect screen = wxDisplay(&dlg).GetClientArea();
    EXPECT_NEAR(screen.x + screen.width / 2, dialog.x + dialog.width / 2, 2);
    EXPECT_NEAR(screen.y + screen.height / 2, dialog.y + dialog.height / 2, 2);
}

TEST(AboutDlg, EnterAndEscapeCloseIt)
{
    for (int key : {WXK_RETURN, WXK_ESCAPE})
    {
        TestAboutDlg dlg;
        const int result = RunModal(dlg, [&] {
            wxUIActionSimulator sim;
            sim.MouseMove(dlg.GetScreenRect().GetPosition() + wxPoint(40, 40));
            Pump(50);
            dlg.FindWindow(wxID_OK)->SetFocus();
            Pump(50);
            sim.Char(key);
            Pump(200);
        });
        EXPECT_EQ(wxID_OK, result) << key;
    }
}

TEST(AboutDlg, VersionIsDrawnOverThePicture)
{
    TestAboutDlg dlg;
    bool textShows = false;
    RunModal(dlg, [&] {
        wxWindow* text = dlg.FindWindow(IDC_VERSION);
        ASSERT_NE(nullptr, text);
        // The calm area of the picture is light, so the text shows as dark
        // pixels among light ones: neither hidden behind the picture nor on
        // a plain background of its own.
        textShows = WaitForScreen(text->GetScreenRect(), [](const wxImage& shot) {
            int dark = 0, light = 0;
            for (int y = 0; y < shot.GetHeight(); ++y)
                for (int x = 0; x < shot.GetWidth(); ++x)
                {
                    const int sum = shot.GetRed(x, y) + shot.GetGreen(x, y) + shot.GetBlue(x, y);
                    dark += sum < 300;
                    light += sum > 600;
                }
            return dark > 8 && light > dark;
        });
        KeepShot(GrabScreen(dlg.GetScreenRect()), "about");
        dlg.EndModal(wxID_OK);
    });
    EXPECT_TRUE(textShows);
}
