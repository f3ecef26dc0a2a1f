#include "controls/Controls.h"

#include "controls/GestureListCtrl.h"
#include "controls/SipEdit.h"
#include "controls/TitleBar.h"

#include <wx/xrc/xmlres.h>

namespace
{
/// <object class="CTitleBar" name="IDC_TITLE_BAR"><label>..</label>
/// <pos>0,0d</pos><size>141,14d</size></object>
class CTitleBarXmlHandler : public wxXmlResourceHandler
{
public:
    bool CanHandle(wxXmlNode* node) override
    {
        return IsOfClass(node, "CTitleBar");
    }

    wxObject* DoCreateResource() override
    {
        XRC_MAKE_INSTANCE(bar, CTitleBar)
        bar->Create(m_parentAsWindow, GetID(), GetText("label"), GetPosition(), GetSize());
        SetupWindow(bar);
        return bar;
    }
};
}

void RegisterControlXrcHandlers()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    // XRC creates the subclasses by name; reading their class information
    // here keeps the linker from dropping them from the static library (an
    // unread table is optimised away, and the classes with it).
    static const wxClassInfo* const subclasses[] = {wxCLASSINFO(CSipEdit), wxCLASSINFO(CGestureListCtrl),
                                                     wxCLASSINFO(CTitleBar)};
    for (const wxClassInfo* info : subclasses)
        wxCHECK_RET(info->IsDynamic(), "XRC class without a default constructor");

    CTitleBar::InitSharedColours();
    wxXmlResource::Get()->AddHandler(new CTitleBarXmlHandler);
}
