#ifndef TALLYARD_DIALOGS_UNDOCOMMANDS_H
#define TALLYARD_DIALOGS_UNDOCOMMANDS_H

// Undo and Redo as the main view and the checklist editor offer them.

#include <wx/string.h>

#include <cstdint>
#include <functional>

class wxAcceleratorEntry;
class wxListCtrl;
class wxUpdateUIEvent;
class wxWindow;

namespace UndoCommands
{
/// Takes back (undo) or makes again (redo) the latest step. A step the
/// store refuses because a record it touched changed since is reported in
/// a message box over `parent`. True when the store changed.
bool Run(bool undo, wxWindow* parent);

/// Enables the entry when there is a step, and names it: "Undo Tick".
void Update(bool undo, wxUpdateUIEvent& event);

/// Ctrl+Z undoes; Ctrl+Y and Ctrl+Shift+Z redo.
constexpr int kAcceleratorCount = 3;
void Accelerators(wxAcceleratorEntry (&entries)[kAcceleratorCount]);
}

#endif
