#include "dialogs/UndoCommands.h"

#include "controls/MessageBox.h"
#include "controls/WxString.h"
#include "platform/UndoHistory.h"
#include "resources/ResourceIds.h"

#include <wx/accel.h>
#include <wx/event.h>
#include <wx/listctrl.h>

#include <algorithm>

namespace UndoCommands
{
bool Run(bool undo, wxWindow* parent)
{
    const std::u16string name = undo ? ObjectStore::Undo::UndoName() : ObjectStore::Undo::RedoName();
    const ObjectStore::UndoOutcome outcome =
        undo ? ObjectStore::Undo::UndoLast() : ObjectStore::Undo::RedoLast();
    if (outcome == ObjectStore::UndoOutcome::ChangedSince)
    {
        const wxString text = wxString::Format(undo ? "\"%s\" cannot be undone: a checklist, item or category it "
                                                      "changed has been changed elsewhere since. Nothing was changed."
                                                    : "\"%s\" cannot be redone: a checklist, item or category it "
                                                      "changed has been changed elsewhere since. Nothing was changed.",
                                               ToWx(name));
        ShowMessage(text, undo ? "Undo" : "Redo", wxOK, parent);
    }
    // A change the file refused is told by the store's own notice.
    return outcome == ObjectStore::UndoOutcome::Done;
}

void Update(bool undo, wxUpdateUIEvent& event)
{
    const std::u16string name = undo ? ObjectStore::Undo::UndoName() : ObjectStore::Undo::RedoName();
    const wxString verb = undo ? "Undo" : "Redo";
    event.Enable(!name.empty());
    event.SetText(name.empty() ? verb : verb + " " + ToWx(name));
}

void Accelerators(wxAcceleratorEntry (&entries)[kAcceleratorCount])
{
    entries[0].Set(wxACCEL_CTRL, 'Z', ID_EDIT_UNDO);
    entries[1].Set(wxACCEL_CTRL, 'Y', ID_EDIT_REDO);
    entries[2].Set(wxACCEL_CTRL | wxACCEL_SHIFT, 'Z', ID_EDIT_REDO);
}
}
