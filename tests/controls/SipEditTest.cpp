#include "tests/controls/XrcString.h"
#include "tests/support/GuiTest.h"
#include "tests/support/SipPanelLog.h"

#include "controls/SipEdit.h"

#include <wx/dialog.h>
#include <wx/uiaction.h>

#include <algorithm>
#include <vector>

namespace
{
using SipPanel::CallKind;

// A flag bit of the panel that none of the fields touches.
constexpr uint32_t kDocked = 0x0002;

// Stands for any flag word in an expected call.
constexpr uint32_t kAnyFlags = 0xFFFFFFFF;

// The panel's flags apart from SIPF_ON, which may tell whether it is raised.
uint32_t PanelFlags()
{
    return SipPanel::Flags() & ~SIPF_ON;
}

// A dialog with a plain field, a multi-line field and a password field, all
// CSipEdit subclasses made from a template.
class SipFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        static const bool loaded = LoadXrcString("SipEditTest", R"(
<object class="wxDialog" name="SipEditTestDlg">
  <size>160,120d</size>
  <object class="wxTextCtrl" name="IDC_TEST_NAME" subclass="CSipEdit">
    <pos>5,20d</pos><size>120,12d</size>
  </object>
  <object class="wxTextCtrl" name="IDC_TEST_DETAILS" subclass="CSipEdit">
    <style>wxTE_MULTILINE</style>
    <pos>5,40d</pos><size>120,30d</size>
  </object>
  <object class="wxTextCtrl" name="IDC_TEST_SECRET" subclass="CSipEdit">
    <style>wxTE_PASSWORD</style>
    <pos>5,80d</pos><size>120,12d</size>
  </object>
  <object class="wxCheckBox" name="IDC_TEST_OTHER">
    <label>Other</label>
    <pos>5,100d</pos>
  </object>
</object>)");
        ASSERT_TRUE(loaded);
        m_dlg = new wxDialog;
        ASSERT_TRUE(wxXmlResource::Get()->LoadDialog(m_dlg, nullptr, "SipEditTestDlg"));
        m_name = Field("IDC_TEST_NAME");
        m_details = Field("IDC_TEST_DETAILS");
        m_secret = Field("IDC_TEST_SECRET");
        m_other = m_dlg->FindWindow(XRCID("IDC_TEST_OTHER"));
        ASSERT_NE(nullptr, m_other);
        m_dlg->Move(40, 40);
        m_dlg->Show();
        m_dlg->Raise();
        WaitFor([&] { return m_dlg->IsShownOnScreen(); });
        // Without a window manager the keyboard follows the pointer.
        wxUIActionSimulator().MouseMove(m_dlg->GetScreenRect().GetBottomRight() - wxPoint(5, 5));
        WaitFor([&] { return m_dlg->IsActive(); }, 2000);
        Pump(150);
        // Each test starts with the focus outside the text fields.
        if (wxWindow::FindFocus() != m_other)
            FocusOn(m_other);
    }

    void TearDown() override
    {
        delete m_dlg;
        Pump(30);
        SipPanel::Reset();
    }

    CSipEdit* Field(const char* name)
    {
        auto* field = dynamic_cast<CSipEdit*>(m_dlg->FindWindow(XRCID(name)));
        EXPECT_NE(nullptr, field) << name;
        return field;
    }

    // Gives `window` the keyboard focus and waits for its focus event.
    static void FocusOn(wxWindow* window)
    {
        ASSERT_NE(window, wxWindow::FindFocus()) << "already focused: no focus event would come";
        bool focused = false;
        auto onFocus = [&](wxFocusEvent& event) {
            focused = true;
            event.Skip();
        };
        window->Bind(wxEVT_SET_FOCUS, onFocus);
        window->SetFocus();
        EXPECT_TRUE(WaitFor([&] { return focused; }, 2000));
        window->Unbind(wxEVT_SET_FOCUS, onFocus);
        Pump(30);
    }

    // Lowers the panel, sets its flags to `flags` and starts counting calls.
    void StartWithFlags(uint32_t flags)
    {
        SipPanel::Reset();
        SIPINFO info{};
        info.cbSize = sizeof(SIPINFO);
        info.fdwFlags = flags;
        ASSERT_TRUE(SipInfo(SPI_SETSIPINFO, 0, &info, 0));
        ASSERT_EQ(flags, SipPanel::Flags());
        m_mark = SipPanel::Calls().size();
    }

    // The calls made since StartWithFlags().
    std::vector<SipPanel::Call> NewCalls() const
    {
        const auto& calls = SipPanel::Calls();
        return std::vector<SipPanel::Call>(calls.begin() + std::min(m_mark, calls.size()), calls.end());
    }

    // The calls of one focus gain, or one focus loss, for `window`.
    static std::vector<SipPanel::Call> Gained(uint32_t before, uint32_t written, const void* window)
    {
        return {{CallKind::GetInfo, before, 0, nullptr},
                {CallKind::SetInfo, written, 0, nullptr},
                {CallKind::Preference, 0, SIP_FORCEDOWN, window},
                {CallKind::Preference, 0, SIP_UP, window}};
    }
    static std::vector<SipPanel::Call> Lost(uint32_t before, uint32_t written, const void* window)
    {
        return {{CallKind::GetInfo, before, 0, nullptr},
                {CallKind::SetInfo, written, 0, nullptr},
                {CallKind::Preference, 0, SIP_FORCEDOWN, window}};
    }

    void ExpectCalls(const std::vector<SipPanel::Call>& expected) const
    {
        const auto calls = NewCalls();
        ASSERT_EQ(expected.size(), calls.size());
        for (size_t i = 0; i < expected.size(); ++i)
        {
            EXPECT_EQ(static_cast<int>(expected[i].kind), static_cast<int>(calls[i].kind)) << "call " << i;
            if (expected[i].kind == CallKind::Preference)
            {
                EXPECT_EQ(expected[i].state, calls[i].state) << "call " << i;
                EXPECT_EQ(expected[i].window, calls[i].window) << "call " << i;
            }
            else if (expected[i].flags != kAnyFlags)
            {
                EXPECT_EQ(expected[i].flags, calls[i].flags) << "call " << i;
            }
        }
    }

    wxDialog* m_dlg = nullptr;
    CSipEdit* m_name = nullptr;
    CSipEdit* m_details = nullptr;
    CSipEdit* m_secret = nullptr;
    wxWindow* m_other = nullptr;
    size_t m_mark = 0;
};

std::vector<SipPanel::Call> operator+(std::vector<SipPanel::Call> a, const std::vector<SipPanel::Call>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}

TEST_F(SipFixture, FocusRaisesThePanelAfterOneForceDownWithFlagsUnchanged)
{
    ASSERT_NE(nullptr, m_name);
    StartWithFlags(kDocked);
    FocusOn(m_name);
    ExpectCalls(Gained(kDocked, kDocked, m_name));
    EXPECT_TRUE(SipPanel::IsRaised());
    EXPECT_EQ(kDocked, m_name->m_savedSipFlags);
}

TEST_F(SipFixture, MovingBetweenFieldsLowersAndRaisesThePanel)
{
    ASSERT_NE(nullptr, m_details);
    FocusOn(m_name);
    StartWithFlags(kDocked);
    FocusOn(m_details);
    ExpectCalls(Lost(kDocked, m_name->m_savedSipFlags, m_name) + Gained(m_name->m_savedSipFlags,
                                                                       m_name->m_savedSipFlags, m_details));
    EXPECT_TRUE(SipPanel::IsRaised());
}

TEST_F(SipFixture, PasswordFieldTurnsCompletionOffOnlyWhileFocused)
{
    ASSERT_NE(nullptr, m_secret);
    FocusOn(m_name);
    StartWithFlags(kDocked);
    m_name->m_savedSipFlags = kDocked;
    FocusOn(m_secret);
    EXPECT_EQ(kDocked | SIPF_DISABLECOMPLETION, PanelFlags());
    EXPECT_EQ(kDocked, m_secret->m_savedSipFlags);
    EXPECT_TRUE(SipPanel::IsRaised());

    FocusOn(m_name);
    EXPECT_EQ(kDocked, PanelFlags());
    EXPECT_EQ(kDocked, m_name->m_savedSipFlags);
    ExpectCalls(Lost(kDocked, kDocked, m_name) + Gained(kDocked, kDocked | SIPF_DISABLECOMPLETION, m_secret) +
                Lost(kAnyFlags, kDocked, m_secret) +
                Gained(kDocked, kDocked, m_name));
}

TEST_F(SipFixture, FailedQueryLeavesThePanelAndItsFlagsAlone)
{
    ASSERT_NE(nullptr, m_details);
    FocusOn(m_name);
    StartWithFlags(kDocked);
    // Both queries fail: the one of the field losing the focus (its result
    // is not used) and the one of the field gaining it.
    SipPanel::FailQueries(2);
    FocusOn(m_details);
    EXPECT_FALSE(SipPanel::IsRaised());
    std::vector<CallKind> kinds;
    for (const auto& call : NewCalls())
        kinds.push_back(call.kind);
    EXPECT_EQ((std::vector<CallKind>{CallKind::GetInfo, CallKind::SetInfo, CallKind::Preference,
                                     CallKind::GetInfo}),
              kinds);
    ASSERT_EQ(4u, NewCalls().size());
    EXPECT_FALSE(NewCalls()[3].succeeded);

    // Leaving the field whose focus gain failed lowers the panel but writes
    // no stale flags over the panel's own.
    StartWithFlags(kDocked | SIPF_DISABLECOMPLETION);
    FocusOn(m_name);
    EXPECT_EQ(kDocked | SIPF_DISABLECOMPLETION, PanelFlags());
    EXPECT_EQ(kDocked | SIPF_DISABLECOMPLETION, m_name->m_savedSipFlags);
    const auto calls = NewCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(CallKind::Preference, calls.front().kind);
    EXPECT_EQ(SIP_FORCEDOWN, calls.front().state);
    EXPECT_EQ(static_cast<const void*>(m_details), calls.front().window);
    EXPECT_TRUE(SipPanel::IsRaised());
}

TEST_F(SipFixture, ClosingTheDialogLowersThePanelAndRestoresTheFlags)
{
    ASSERT_NE(nullptr, m_secret);
    StartWithFlags(kDocked);
    FocusOn(m_secret);
    ASSERT_TRUE(SipPanel::IsRaised());
    ASSERT_EQ(kDocked | SIPF_DISABLECOMPLETION, PanelFlags());
    delete m_dlg;
    m_dlg = nullptr;
    Pump(50);
    EXPECT_FALSE(SipPanel::IsRaised());
    EXPECT_EQ(kDocked, PanelFlags());
}
