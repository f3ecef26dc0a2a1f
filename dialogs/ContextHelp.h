#ifndef TALLYARD_DIALOGS_CONTEXTHELP_H
#define TALLYARD_DIALOGS_CONTEXTHELP_H

/// Starts the help viewer on the help file at `anchor` ("#Item_Help").
/// Returns at once; failures are ignored.
void ShowHelpTopic(const char16_t* anchor);

#endif
