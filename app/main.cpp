#include "app/CTallyardApp.h"

wxIMPLEMENT_APP(CTallyardApp);
