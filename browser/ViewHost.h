#ifndef TALLYARD_BROWSER_VIEWHOST_H
#define TALLYARD_BROWSER_VIEWHOST_H

class wxComboBox;
class wxWindow;

/// What the main view needs of the frame it lives in: the category drop-down
/// of the frame's command bar and the place for its form.
class CViewHost
{
public:
    virtual ~CViewHost() = default;

    /// The category drop-down (control 1002); null until the bars exist.
    virtual wxComboBox* GetCategorySelector() = 0;
    /// Makes `form` the client area above the bars (null removes it).
    virtual void SetViewWindow(wxWindow* form) = 0;
};

#endif
