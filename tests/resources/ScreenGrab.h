#ifndef TALLYARD_TESTS_RESOURCES_SCREENGRAB_H
#define TALLYARD_TESTS_RESOURCES_SCREENGRAB_H

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/image.h>

#include <cstdlib>

/// What the screen shows in `r` (screen coordinates).
inline wxImage GrabScreen(const wxRect& r)
{
    wxScreenDC screen;
    wxBitmap bmp(r.GetSize(), 24);
    {
        wxMemoryDC mem(bmp);
        mem.Blit(0, 0, r.width, r.height, &screen, r.x, r.y);
    }
    return bmp.ConvertToImage();
}

/// Saves a grab for a person to look at when TALLYARD_SHOT_DIR is set.
inline void KeepShot(const wxImage& img, const char* name)
{
    if (const char* dir = std::getenv("TALLYARD_SHOT_DIR"))
        img.SaveFile(wxString(dir) + "/" + name + ".png", wxBITMAP_TYPE_PNG);
}

/// Largest difference of one colour channel between two pixels.
inline int PixelDistance(const wxImage& a, const wxPoint& pa, const wxImage& b, const wxPoint& pb)
{
    const int dr = std::abs(a.GetRed(pa.x, pa.y) - b.GetRed(pb.x, pb.y));
    const int dg = std::abs(a.GetGreen(pa.x, pa.y) - b.GetGreen(pb.x, pb.y));
    const int db = std::abs(a.GetBlue(pa.x, pa.y) - b.GetBlue(pb.x, pb.y));
    return std::max(dr, std::max(dg, db));
}

#endif
