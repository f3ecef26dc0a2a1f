#ifndef TALLYARD_CONTROLS_CONTROLS_H
#define TALLYARD_CONTROLS_CONTROLS_H

/// Registers the XRC handlers of the program's own controls (CTitleBar as
/// class "CTitleBar"; CSipEdit and CGestureListCtrl are XRC subclasses of
/// wxTextCtrl and wxListCtrl). Safe to call more than once.
void RegisterControlXrcHandlers();

#endif
