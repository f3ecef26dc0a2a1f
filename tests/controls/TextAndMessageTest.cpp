#include "tests/support/GuiTest.h"

#include "controls/MessageBox.h"
#include "controls/WxString.h"

#include <wx/app.h>

TEST(WxString, RoundTripsEveryCodeUnitSequenceThatIsValidUtf16)
{
    const std::u16string texts[] = {
        u"",
        u"Groceries",
        u"Caf\u00e9 \u00fcber \u4e2d\u6587 \u20ac",
        u"\U0001F600 emoji \U0001F44D\U0001F3FD at both ends \U00010348",
        std::u16string(u"nul\0inside", 10),
        u"\uFFFD\uFFFF\uD7FF\uE000",
    };
    for (const auto& text : texts)
        EXPECT_EQ(text, FromWx(ToWx(text))) << ToWx(text).utf8_str();
}

TEST(WxString, SupplementaryCharactersAreOneWxCharacterAndAPairInUtf16)
{
    const wxString smile = ToWx(u"a\U0001F600b");
    EXPECT_EQ(wxString::FromUTF8("a\xF0\x9F\x98\x80" "b"), smile);
    const std::u16string units = FromWx(wxString::FromUTF8("\xF0\x9F\x98\x80"));
    EXPECT_EQ((std::u16string{char16_t(0xD83D), char16_t(0xDE00)}), units);
    EXPECT_EQ(std::u16string(u"\u00e9"), FromWx(wxString::FromUTF8("\xC3\xA9")));
}

TEST(WxString, UnpairedSurrogatesBecomeReplacementCharacters)
{
    const char16_t hi = 0xD83D, lo = 0xDE00;
    EXPECT_EQ(wxString(wchar_t(0xFFFD)) + "x", ToWx(std::u16string{hi, u'x'}));
    EXPECT_EQ("x" + wxString(wchar_t(0xFFFD)), ToWx(std::u16string{u'x', lo}));
    EXPECT_EQ(wxString(wchar_t(0xFFFD)), ToWx(std::u16string{hi}));
    // Reversed order is two strays, not a pair.
    EXPECT_EQ(std::u16string(u"\uFFFD\uFFFD"), FromWx(ToWx(std::u16string{lo, hi})));
}

TEST(MessageBox, EmptyCaptionShowsTheApplicationTitle)
{
    EXPECT_EQ(wxTheApp->GetAppName(), ApplicationTitle());
    EXPECT_FALSE(ApplicationTitle().empty());
    int rc = 0;
    wxTEST_DIALOG(rc = ShowMessage("The Item Name cannot be empty."),
                  ExpectMessage("The Item Name cannot be empty.", AppTitle(), wxID_OK));
    EXPECT_EQ(wxID_OK, rc);
}

TEST(MessageBox, QuestionsReturnTheAnswerGiven)
{
    for (int answer : {wxID_YES, wxID_NO})
    {
        int rc = 0;
        wxTEST_DIALOG(rc = ShowMessage("Delete current checklist?", "Delete List", wxYES_NO | wxICON_QUESTION),
                      ExpectMessage("Delete current checklist?", "Delete List", answer));
        EXPECT_EQ(answer, rc);
    }
}
