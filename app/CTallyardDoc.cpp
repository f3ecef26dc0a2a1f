#include "app/CTallyardDoc.h"

wxIMPLEMENT_DYNAMIC_CLASS(CTallyardDoc, wxDocument);

bool CTallyardDoc::OnNewDocument()
{
    return wxDocument::OnNewDocument();
}
