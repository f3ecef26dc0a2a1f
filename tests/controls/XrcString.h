#ifndef TALLYARD_TESTS_CONTROLS_XRCSTRING_H
#define TALLYARD_TESTS_CONTROLS_XRCSTRING_H

// Loads test templates given inline, through the program's XRC handlers.

#include <wx/sstream.h>
#include <wx/xml/xml.h>
#include <wx/xrc/xmlres.h>

/// Adds the objects of `body` (XRC <object> elements) under a unique name.
inline bool LoadXrcString(const wxString& name, const wxString& body)
{
    const wxString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                         "<resource xmlns=\"http://www.wxwidgets.org/wxxrc\" version=\"2.5.3.0\">" +
                         body + "</resource>";
    wxStringInputStream in(xml);
    auto* doc = new wxXmlDocument(in);
    if (!doc->IsOk())
    {
        delete doc;
        return false;
    }
    return wxXmlResource::Get()->LoadDocument(doc, name);
}

#endif
