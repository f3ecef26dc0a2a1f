#include "resources/Resources.h"

#include "resources/Embedded.h"
#include "resources/ResourceIds.h"

#include <wx/filesys.h>
#include <wx/fs_mem.h>
#include <wx/image.h>
#include <wx/xrc/xmlres.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace
{
struct BitmapEntry
{
    int id;
    const char* file;
    int width;
    int height;
};

// Sizes are device pixels at 1x; the pictures scale with the display.
const BitmapEntry s_bitmaps[] = {
    {IDB_TOOLBAR, "toolbar.svg", 112, 16},
    {IDB_TITLE_BUTTONS, "title_buttons.svg", 65, 17},
    {IDB_DELETE, "delete.svg", 16, 16},
    {IDB_DOWN, "down.svg", 16, 16},
    {IDB_NEW, "new.svg", 16, 16},
    {IDB_EDIT, "edit.svg", 16, 16},
    {IDB_UP, "up.svg", 16, 16},
    {IDB_BUTTON_STRIP, "button_strip.svg", 304, 28},
    {IDB_DELETE_DISABLED, "delete_disabled.svg", 16, 16},
    {IDB_DOWN_DISABLED, "down_disabled.svg", 16, 16},
    {IDB_EDIT_DISABLED, "edit_disabled.svg", 16, 16},
    {IDB_UP_DISABLED, "up_disabled.svg", 16, 16},
    {IDB_ITEM_DELETE, "item_delete.svg", 16, 16},
    {IDB_SPLASH, "splash.png", 240, 270},
};

const char* const s_iconFile = "tallyard.svg";

const BitmapEntry* FindBitmap(int id)
{
    for (const BitmapEntry& e : s_bitmaps)
        if (e.id == id)
            return &e;
    return nullptr;
}

bool EndsWith(const char* s, const char* suffix)
{
    const std::size_t n = std::strlen(s), m = std::strlen(suffix);
    return n >= m && std::strcmp(s + n - m, suffix) == 0;
}

// A file registered by Init(); null when there is none of that name.
std::unique_ptr<wxFSFile> OpenResource(const wxString& file)
{
    wxFileSystem fs;
    return std::unique_ptr<wxFSFile>(fs.OpenFile("memory:tallyard/" + file));
}

wxBitmap PngBitmap(const wxString& file)
{
    const std::unique_ptr<wxFSFile> f = OpenResource(file);
    wxImage image;
    if (!f || !f->GetStream() || !image.LoadFile(*f->GetStream(), wxBITMAP_TYPE_PNG))
        return wxBitmap();
    return wxBitmap(image);
}

// A PNG may come with a double-size companion "name@2x.png" for dense screens.
wxBitmapBundle PngBundle(const char* file)
{
    wxBitmap normal = PngBitmap(file);
    if (!normal.IsOk())
        return wxBitmapBundle();
    wxString base(file);
    base.RemoveLast(4);
    wxBitmap large = PngBitmap(base + "@2x.png");
    if (large.IsOk())
        return wxBitmapBundle::FromBitmaps(normal, large);
    return wxBitmapBundle::FromBitmap(normal);
}

wxBitmapBundle SvgBundle(const char* file, const wxSize& size)
{
    const std::unique_ptr<wxFSFile> f = OpenResource(file);
    wxInputStream* in = f ? f->GetStream() : nullptr;
    if (!in)
        return wxBitmapBundle();
    std::string text;
    char buffer[4096];
    while (in->Read(buffer, sizeof buffer).LastRead() > 0)
        text.append(buffer, in->LastRead());
    // The parser accepts any text, so a file that is no SVG counts as missing.
    if (text.find("<svg") == std::string::npos)
        return wxBitmapBundle();
    return wxBitmapBundle::FromSVG(text.c_str(), size);
}

wxAssertHandler_t s_previousAssertHandler = nullptr;

void FilterAsserts(const wxString& file, int line, const wxString& func, const wxString& cond, const wxString& msg)
{
    if (Resources::IsHarmlessAssert(file, line, func, cond, msg))
        return;
    if (s_previousAssertHandler)
        s_previousAssertHandler(file, line, func, cond, msg);
}

void RegisterIds()
{
#define TALLYARD_REGISTER_ID(name, value) wxXmlResource::GetXRCID(#name, value);
    TALLYARD_COMMAND_IDS(TALLYARD_REGISTER_ID)
    TALLYARD_CONTROL_IDS(TALLYARD_REGISTER_ID)
    TALLYARD_RESOURCE_IDS(TALLYARD_REGISTER_ID)
#undef TALLYARD_REGISTER_ID
}
}

namespace Resources
{
bool Init()
{
    static bool s_done = false;
    static bool s_ok = false;
    if (s_done)
        return s_ok;
    s_done = true;

    // Ids first: the first lookup of a name fixes its number.
    RegisterIds();
    s_previousAssertHandler = wxSetAssertHandler(FilterAsserts);

    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxFileSystem::AddHandler(new wxMemoryFSHandler);

    wxXmlResource* xrc = wxXmlResource::Get();
    xrc->InitAllHandlers();

    bool ok = true;
    for (const EmbeddedFile* f = EmbeddedResource_all(); f->name; ++f)
    {
        const wxString name = wxString("tallyard/") + f->name;
        wxMemoryFSHandler::AddFile(name, f->data, f->size);
        if (EndsWith(f->name, ".xrc") && !xrc->Load("memory:" + name))
            ok = false;
    }
    s_ok = ok;
    return ok;
}

wxBitmapBundle Bitmap(int id)
{
    const BitmapEntry* e = FindBitmap(id);
    if (!e)
        return wxBitmapBundle();
    if (EndsWith(e->file, ".png"))
        return PngBundle(e->file);
    return SvgBundle(e->file, wxSize(e->width, e->height));
}

wxSize BitmapSize(int id)
{
    const BitmapEntry* e = FindBitmap(id);
    return e ? wxSize(e->width, e->height) : wxDefaultSize;
}

wxBitmapBundle AppIcon()
{
    return SvgBundle(s_iconFile, wxSize(48, 48));
}

wxIconBundle AppIcons()
{
    wxIconBundle icons;
    const wxBitmapBundle b = AppIcon();
    if (!b.IsOk())
        return icons;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
    {
        wxIcon icon;
        icon.CopyFromBitmap(b.GetBitmap(wxSize(size, size)));
        icons.AddIcon(icon);
    }
    return icons;
}

bool IsHarmlessAssert(const wxString&, int, const wxString& func, const wxString&, const wxString& msg)
{
    // Menu items warn about ids above 0x7FFF, a limit of 16-bit menu
    // messages elsewhere; GTK keeps the whole int, and the command numbers
    // are fixed.
    return func == "wxMenuItemBase" && msg == "invalid itemid value";
}

wxString String(int id)
{
    static const std::map<int, const char*> table = {
        {IDR_MAINFRAME, "Tallyard\n\nTallyard\n\n\nTallyard.Document\nTallyard Document"},
        {IDS_TOOLS, "Tools"},
        {IDS_LIST, "List"},
        {IDS_ITEMS, "Items"},
        {IDS_LIST_TOOLS, "Tools"},
    };
    const auto it = table.find(id);
    return it == table.end() ? wxString() : wxString::FromUTF8(it->second);
}
}
