#include "dialogs/ContextHelp.h"

#include "platform/Process.h"

#include <string>

void ShowHelpTopic(const char16_t* anchor)
{
    std::u16string commandLine = u"\\Windows\\Tallyard.htm";
    if (anchor)
        commandLine += anchor;
    // The viewer runs on its own; whether it could be started is not reported.
    CreateProcess(u"PegHelp.exe", commandLine);
}
