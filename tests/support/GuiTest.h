#ifndef TALLYARD_TESTS_SUPPORT_GUITEST_H
#define TALLYARD_TESTS_SUPPORT_GUITEST_H

// Helpers for the tests that run real windows under a (virtual) display.

#include <gtest/gtest.h>
#include <wx/testing.h>
#include <wx/msgdlg.h>
#include <wx/menu.h>
#include <wx/window.h>

#include <functional>
#include <string>
#include <vector>

/// Processes pending events for about `ms` milliseconds.
void Pump(int ms = 50);

/// Processes events until pred() holds or `ms` milliseconds passed.
bool WaitFor(const std::function<bool()>& pred, int ms = 3000);

/// Moves the mouse to `pt` (client coordinates of `win`) and clicks the
/// left button there with real input events.
void ClickAt(wxWindow* win, const wxPoint& pt);
/// Presses the left button at `pt` and holds it still for `holdMs`.
void HoldAt(wxWindow* win, const wxPoint& pt, int holdMs);

/// Presses `button` at `pt`, holds it still for `holdMs` and lets it go
/// without moving; `afterMs` after the release runs `then`. Release and
/// `then` come from timers, so they also happen while a menu the press opened
/// runs its own loop. False when `then` did not run within a few seconds.
bool HoldReleaseThen(wxWindow* win, const wxPoint& pt, int holdMs, int afterMs, const std::function<void()>& then,
                     int button = wxMOUSE_BTN_LEFT);

/// Whether a popup menu shown by `win` is open now (every window that shows
/// menus sends their opening and closing to itself).
class MenuWatch
{
public:
    explicit MenuWatch(wxWindow* win);
    ~MenuWatch();
    MenuWatch(const MenuWatch&) = delete;
    MenuWatch& operator=(const MenuWatch&) = delete;

    bool IsOpen() const { return m_open > 0; }
    int Opened() const { return m_opened; }

private:
    void OnOpen(wxMenuEvent& event);
    void OnClose(wxMenuEvent& event);

    wxWindow* m_win;
    int m_open = 0;
    int m_opened = 0;
};

/// Opens a popup menu of `shower` by calling `open` (a real tap), reads how
/// the open menu shows the entries `read` ("Label" or "Label (disabled)"),
/// then walks to `choose` with the arrow keys and presses Return. A `choose`
/// the keys cannot reach closes the menu with Escape and fails the test.
std::vector<std::string> ChooseFromMenu(wxWindow* shower, wxMenu* menu, const std::function<void()>& open,
                                        const std::vector<int>& read, int choose);

/// Expects a message box with exactly this text and caption, answered `answer`
/// (wxID_OK, wxID_YES or wxID_NO). Use inside wxTEST_DIALOG(...).
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage>
{
public:
    ExpectMessage(const wxString& text, const wxString& caption, int answer = wxID_OK)
        : m_text(text), m_caption(caption), m_answer(answer)
    {
    }

protected:
    int OnInvoked(wxMessageDialog* dlg) const override
    {
        EXPECT_EQ(m_text, dlg->GetMessage());
        EXPECT_EQ(m_caption, dlg->GetCaption());
        return m_answer;
    }
    wxString GetDefaultDescription() const override
    {
        return "message box \"" + m_text + "\"";
    }

private:
    wxString m_text;
    wxString m_caption;
    int m_answer;
};

/// The caption of message boxes shown without one of their own.
wxString AppTitle();

#endif
