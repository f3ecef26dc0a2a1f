#include "tests/resources/ScreenGrab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace
{
struct DisplayCloser
{
    void operator()(Display* d) const { XCloseDisplay(d); }
};
struct ImageDestroyer
{
    void operator()(XImage* i) const { XDestroyImage(i); }
};

int ChannelShift(unsigned long mask)
{
    int shift = 0;
    while (mask && !(mask & 1))
    {
        mask >>= 1;
        ++shift;
    }
    return shift;
}
}

wxImage GrabScreen(const wxRect& r)
{
    wxImage out(r.width, r.height);
    std::unique_ptr<Display, DisplayCloser> dpy(XOpenDisplay(nullptr));
    if (!dpy)
        return out;
    XSync(dpy.get(), False);
    std::unique_ptr<XImage, ImageDestroyer> img(
        XGetImage(dpy.get(), DefaultRootWindow(dpy.get()), r.x, r.y, r.width, r.height, AllPlanes, ZPixmap));
    if (!img)
        return out;
    const int rs = ChannelShift(img->red_mask), gs = ChannelShift(img->green_mask), bs = ChannelShift(img->blue_mask);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
        {
            const unsigned long p = XGetPixel(img.get(), x, y);
            out.SetRGB(x, y, (p & img->red_mask) >> rs, (p & img->green_mask) >> gs, (p & img->blue_mask) >> bs);
        }
    return out;
}

bool WaitForScreen(const wxRect& r, const std::function<bool(const wxImage&)>& pred, int ms)
{
    return WaitFor([&] { return pred(GrabScreen(r)); }, ms);
}

void KeepShot(const wxImage& img, const char* name)
{
    if (const char* dir = std::getenv("TALLYARD_SHOT_DIR"))
        img.SaveFile(wxString(dir) + "/" + name + ".png", wxBITMAP_TYPE_PNG);
}

int PixelDistance(const wxImage& a, const wxPoint& pa, const wxImage& b, const wxPoint& pb)
{
    const int dr = std::abs(a.GetRed(pa.x, pa.y) - b.GetRed(pb.x, pb.y));
    const int dg = std::abs(a.GetGreen(pa.x, pa.y) - b.GetGreen(pb.x, pb.y));
    const int db = std::abs(a.GetBlue(pa.x, pa.y) - b.GetBlue(pb.x, pb.y));
    return std::max(dr, std::max(dg, db));
}
