#include "controls/SipEdit.h"

#include "platform/SipPanel.h"

wxIMPLEMENT_DYNAMIC_CLASS(CSipEdit, wxTextCtrl);

wxBEGIN_EVENT_TABLE(CSipEdit, wxTextCtrl)
    EVT_SET_FOCUS(              CSipEdit::OnSetFocus)
    EVT_KILL_FOCUS(             CSipEdit::OnKillFocus)
wxEND_EVENT_TABLE()

CSipEdit::CSipEdit() = default;

CSipEdit::~CSipEdit()
{
    if (m_holdsPanel)
        GiveBackPanel();
}

void CSipEdit::OnSetFocus(wxFocusEvent& event)
{
    event.Skip();
    SIPINFO info{};
    info.cbSize = sizeof(SIPINFO);
    if (!SipInfo(SPI_GETSIPINFO, 0, &info, 0))
        return;
    m_savedSipFlags = info.fdwFlags;
    if (HasFlag(wxTE_PASSWORD))
        info.fdwFlags |= SIPF_DISABLECOMPLETION;
    SipInfo(SPI_SETSIPINFO, 0, &info, 0);
    SHSipPreference(this, SIP_FORCEDOWN);
    SHSipPreference(this, SIP_UP);
    m_holdsPanel = true;
}

void CSipEdit::OnKillFocus(wxFocusEvent& event)
{
    event.Skip();
    if (m_holdsPanel)
        GiveBackPanel();
    else
        SHSipPreference(this, SIP_FORCEDOWN); // the flags were never saved: leave them
}

void CSipEdit::GiveBackPanel()
{
    m_holdsPanel = false;
    SIPINFO info{};
    info.cbSize = sizeof(SIPINFO);
    SipInfo(SPI_GETSIPINFO, 0, &info, 0);
    info.fdwFlags = m_savedSipFlags;
    SipInfo(SPI_SETSIPINFO, 0, &info, 0);
    SHSipPreference(this, SIP_FORCEDOWN);
}
