// Import... and Export... of the main view's Tools menu.

#include "tests/browser/BrowserFixture.h"
#include "tests/browser/ExpectDialog.h"
#include "tests/support/TempXdg.h"

#include "controls/WxString.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/filedlg.h>
#include <wx/testing.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace
{
std::string Fixture(const std::string& name)
{
    const char* src = std::getenv("TALLYARD_SOURCE_DIR");
    return std::string(src ? src : TALLYARD_SOURCE) + "/tests/sync/fixtures/" + name;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}

class ExchangeTest : public BrowserTest
{
protected:
    static std::string StoredText()
    {
        std::string text;
        for (const ListRecord& l : Stored())
            text += ToWx(l.name).utf8_string() + "/" + ToWx(l.category).utf8_string() + "/" +
                    std::to_string(l.itemCount) + ";";
        return text;
    }
};

TEST_F(ExchangeTest, ImportShowsTheSummaryAndTheImportedChecklists)
{
    AddChecklist(u"Mine", u"Business", 0, 2);
    SetLastCategory(u"Business");
    Open();
    ASSERT_EQ(1u, Rows().size());
    wxTEST_DIALOG(Command(ID_IMPORT),
                  ExpectDialog<wxFileDialog>([](wxFileDialog* dlg) {
                      EXPECT_TRUE(dlg->HasFlag(wxFD_OPEN));
                      EXPECT_NE(wxNOT_FOUND, dlg->GetWildcard().Find("*.ics"));
                      dlg->SetPath(wxString::FromUTF8(Fixture("parent-child.ics")));
                      return wxID_OK;
                  }),
                  ExpectMessage("2 checklists and 4 items added, 0 checklists and 0 items updated.", "Import"));
    EXPECT_EQ(std::vector<std::string>({"1. Mine (2)", "2. Trip to the coast (2)", "3. Books to read (1)"}), Rows())
        << "the view turns to All, where the imported checklists are";
    EXPECT_EQ(u"All", LastCategory());
    const auto entries = CategoryEntries();
    EXPECT_NE(entries.end(), std::find(entries.begin(), entries.end(), "Travel")) << "the new category is offered";
    EXPECT_EQ(3u, Stored().size());
}

TEST_F(ExchangeTest, AnImportIsOneUndoStepUidsIncluded)
{
    ObjectStore::Undo::Clear();
    AddChecklist(u"Mine", u"Business", 0, 2);
    Open();
    const auto import = [&](const char* summary) {
        wxTEST_DIALOG(Command(ID_IMPORT), ExpectDialog<wxFileDialog>([](wxFileDialog* dlg) {
                          dlg->SetPath(wxString::FromUTF8(Fixture("parent-child.ics")));
                          return wxID_OK;
                      }),
                      ExpectMessage(summary, "Import"));
    };
    const char* const added = "2 checklists and 4 items added, 0 checklists and 0 items updated.";
    import(added);
    ASSERT_EQ(3u, Stored().size());
    const std::string imported = StoredText();
    EXPECT_EQ(u"Import", ObjectStore::Undo::UndoName());

    Command(ID_EDIT_UNDO);
    EXPECT_EQ("Mine/Business/2;", StoredText());
    EXPECT_EQ(std::vector<std::string>({"1. Mine (2)"}), Rows());
    const auto entries = CategoryEntries();
    EXPECT_EQ(entries.end(), std::find(entries.begin(), entries.end(), "Travel")) << "the added category goes too";

    Command(ID_EDIT_REDO);
    EXPECT_EQ(imported, StoredText());
    Command(ID_EDIT_UNDO);
    // The kept UIDs went with the undo: the same file adds its checklists again.
    import(added);
    EXPECT_EQ(3u, Stored().size());
    ObjectStore::Undo::Clear();
}

TEST_F(ExchangeTest, RefusedImportSaysWhereAndChangesNothing)
{
    AddChecklist(u"Mine", u"Personal", 0);
    Open();
    const std::string bad = TempXdgListener::Root() + "/bad.ics";
    std::ofstream(bad) << "BEGIN:VCALENDAR\r\nBEGIN:VTODO\r\nUID:a\r\nEND:VTODO\r\nBEGIN:VTODO\r\nUID:a\r\n"
                          "END:VTODO\r\nEND:VCALENDAR\r\n";
    const std::string before = StoredText();
    wxTEST_DIALOG(Command(ID_IMPORT), wxExpectModal<wxFileDialog>(wxString::FromUTF8(bad)),
                  ExpectMessage("The file was not imported: line 5: UID \"a\" repeats the VTODO of line 2", "Import"));
    EXPECT_EQ(before, StoredText());
    EXPECT_EQ(std::vector<std::string>({"1. Mine (0)"}), Rows());

    wxTEST_DIALOG(Command(ID_IMPORT), wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));
    EXPECT_EQ(before, StoredText());
}

TEST_F(ExchangeTest, ExportWritesEveryChecklistToTheChosenFile)
{
    AddChecklist(u"Groceries", u"Personal", 0, 1, 2);
    AddChecklist(u"Office", u"Business", 1);
    SetLastCategory(u"Personal");
    Open();
    const std::string path = TempXdgListener::Root() + "/backup";
    wxTEST_DIALOG(Command(ID_EXPORT), ExpectDialog<wxFileDialog>([&](wxFileDialog* dlg) {
                      EXPECT_TRUE(dlg->HasFlag(wxFD_SAVE));
                      EXPECT_TRUE(dlg->HasFlag(wxFD_OVERWRITE_PROMPT));
                      dlg->SetPath(wxString::FromUTF8(path));
                      return wxID_OK;
                  }));
    const std::string text = ReadAll(path + ".ics");
    EXPECT_EQ(0u, text.rfind("BEGIN:VCALENDAR\r\n", 0));
    EXPECT_NE(std::string::npos, text.find("SUMMARY:Groceries\r\n"));
    EXPECT_NE(std::string::npos, text.find("SUMMARY:Office\r\n")) << "the whole store, not the category shown";
    EXPECT_EQ(3, [&] {
        int n = 0;
        for (size_t at = text.find("RELATED-TO"); at != std::string::npos; at = text.find("RELATED-TO", at + 1))
            ++n;
        return n;
    }());

    const std::string blocked = TempXdgListener::Root() + "/no/such/folder/x.ics";
    wxTEST_DIALOG(Command(ID_EXPORT), wxExpectModal<wxFileDialog>(wxString::FromUTF8(blocked)),
                  ExpectDialog<wxMessageDialog>([](wxMessageDialog* dlg) {
                      EXPECT_TRUE(dlg->GetMessage().StartsWith("The checklists were not exported: cannot write"))
                          << dlg->GetMessage();
                      return wxID_OK;
                  }));
}
