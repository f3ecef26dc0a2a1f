// The copy dialog's choices.
#include "tests/dialogs/DialogTest.h"

#include "editor/CCopyListDlg.h"
#include "resources/ResourceIds.h"

TEST(CopyListDlg, ChoicesZeroOneTwoAndCancel)
{
    // -1: confirm untouched; otherwise click that radio button first.
    struct Case
    {
        int click;
        TitleArea end;
        int rc;
        int choice;
    };
    for (const Case& c : {Case{-1, TitleArea::Ok, wxID_OK, 0}, Case{IDC_COPY_CHECKED, TitleArea::Ok, wxID_OK, 1},
                          Case{IDC_COPY_UNCHECKED, TitleArea::Ok, wxID_OK, 2},
                          Case{IDC_COPY_UNCHECKED, TitleArea::Cancel, wxID_CANCEL, 0}})
    {
        CCopyListDlg dlg(nullptr);
        const int rc = RunModal<CCopyListDlg>(dlg, [&](CCopyListDlg& d) {
            if (c.click >= 0)
                ClickChild(d, c.click);
            TapTitleBar(d, c.end, IDC_COPY_TITLE);
        });
        EXPECT_EQ(c.rc, rc) << c.click;
        EXPECT_EQ(c.choice, dlg.GetChoice()) << c.click;
    }
}

TEST(CopyListDlg, SmallCaptionedDialogWithItsOwnTitleAndNoHelpTopic)
{
    LaunchRecorder launches;
    CCopyListDlg dlg(nullptr);
    RunModal<CCopyListDlg>(dlg, [](CCopyListDlg& d) {
        EXPECT_EQ("Dialog", d.GetTitle());
        EXPECT_EQ("Copy Checklist", d.FindWindow(IDC_COPY_TITLE)->GetLabel());
        EXPECT_EQ(d.ConvertDialogToPixels(wxSize(141, 105)), d.GetClientSize());
        TapTitleBar(d, TitleArea::Help, IDC_COPY_TITLE);
        EXPECT_TRUE(d.IsModal());
        TapTitleBar(d, TitleArea::Cancel, IDC_COPY_TITLE);
    });
    EXPECT_EQ(0u, launches.Count());
}

TEST(CopyListDlg, SitsWithinTheMainWindow)
{
    ScopedMainWindow main;
    CCopyListDlg dlg(nullptr);
    wxRect shown;
    RunModal<CCopyListDlg>(dlg, [&](CCopyListDlg& d) {
        Pump(200);
        shown = d.GetScreenRect();
        TapTitleBar(d, TitleArea::Cancel, IDC_COPY_TITLE);
    });
    EXPECT_TRUE(main.ScreenRect().Contains(shown)) << "dialog " << shown.x << "," << shown.y << " " << shown.width
                                                    << "x" << shown.height;
}
