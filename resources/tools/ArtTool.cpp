// Developer tool for the program's pictures; not part of the build proper.
//   art_tool splash <out.png> <scale>     draws the start-up picture (240 x 270 at scale 1)
//   art_tool icon <size> <out.png> <in.svg>
//                                         rasterises one SVG at size x size (the installed icons)
//   art_tool sheet <w> <h> <scale> <zoom> <out.png> <in.svg>...
//                                         rasterises SVGs as the program does, side by side on a
//                                         light checkerboard, magnified `zoom` times for inspection
// Run under a display (xvfb-run); it writes PNG files only.
#include <wx/app.h>
#include <wx/bmpbndl.h>
#include <wx/brush.h>
#include <wx/pen.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/init.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{
wxGraphicsPath RoundRect(wxGraphicsContext& gc, double x, double y, double w, double h, double r)
{
    wxGraphicsPath p = gc.CreatePath();
    p.AddRoundedRectangle(x, y, w, h, r);
    return p;
}

// Text whose ink is `width` wide, centred on cx with its baseline at `baseline`.
void DrawWord(wxGraphicsContext& gc, const wxString& text, double cx, double baseline, double width,
              const wxColour& colour, bool bold)
{
    wxFontInfo info(40);
    info.FaceName("DejaVu Sans");
    if (bold)
        info.Bold();
    wxFont font(info);
    gc.SetFont(font, colour);
    double w = 0, h = 0, descent = 0, lead = 0;
    gc.GetTextExtent(text, &w, &h, &descent, &lead);
    font.SetFractionalPointSize(40.0 * width / w);
    gc.SetFont(font, colour);
    gc.GetTextExtent(text, &w, &h, &descent, &lead);
    gc.DrawText(text, cx - w / 2, baseline - (h - descent));
}

void DrawTick(wxGraphicsContext& gc, double x, double y, double s, const wxColour& colour)
{
    wxGraphicsPath p = gc.CreatePath();
    p.MoveToPoint(x + 0.18 * s, y + 0.52 * s);
    p.AddLineToPoint(x + 0.42 * s, y + 0.76 * s);
    p.AddLineToPoint(x + 0.86 * s, y + 0.2 * s);
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(colour, 0.2 * s).Cap(wxCAP_ROUND).Join(wxJOIN_ROUND)));
    gc.StrokePath(p);
}

void DrawSplash(wxGraphicsContext& gc)
{
    const double W = 240, H = 270;
    gc.SetAntialiasMode(wxANTIALIAS_DEFAULT);

    // Sky-to-cream background with a soft sun behind the board.
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.SetBrush(gc.CreateLinearGradientBrush(0, 0, 0, H, wxColour(0xcf, 0xe8, 0xef), wxColour(0xfb, 0xf5, 0xe6)));
    gc.DrawRectangle(0, 0, W, H);
    gc.SetBrush(gc.CreateRadialGradientBrush(120, 100, 120, 100, 120, wxColour(255, 255, 255, 190),
                                             wxColour(255, 255, 255, 0)));
    gc.DrawRectangle(0, 0, W, H);

    // Gentle hills along the bottom, kept low so the lettering stays on calm ground.
    wxGraphicsPath hill = gc.CreatePath();
    hill.MoveToPoint(0, 250);
    hill.AddCurveToPoint(60, 236, 140, 262, 240, 244);
    hill.AddLineToPoint(240, 270);
    hill.AddLineToPoint(0, 270);
    hill.CloseSubpath();
    gc.SetBrush(wxBrush(wxColour(0xb9, 0xdc, 0xc4)));
    gc.FillPath(hill);
    wxGraphicsPath hill2 = gc.CreatePath();
    hill2.MoveToPoint(0, 262);
    hill2.AddCurveToPoint(80, 252, 170, 272, 240, 258);
    hill2.AddLineToPoint(240, 270);
    hill2.AddLineToPoint(0, 270);
    hill2.CloseSubpath();
    gc.SetBrush(wxBrush(wxColour(0x93, 0xc9, 0xa6)));
    gc.FillPath(hill2);

    // Clipboard, slightly tilted, with its shadow.
    gc.PushState();
    gc.Translate(120, 101);
    gc.Rotate(-4.0 * M_PI / 180.0);
    gc.SetBrush(wxBrush(wxColour(40, 60, 70, 45)));
    gc.FillPath(RoundRect(gc, -56 + 4, -78 + 5, 112, 158, 9));
    gc.SetBrush(gc.CreateLinearGradientBrush(-56, -78, 56, 80, wxColour(0xd8, 0x9c, 0x5a), wxColour(0xa8, 0x6a, 0x32)));
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(wxColour(0x7a, 0x4a, 0x20), 1.2)));
    gc.DrawPath(RoundRect(gc, -56, -78, 112, 158, 9));

    // Paper.
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(wxColour(0xc8, 0xc0, 0xb0), 0.8)));
    gc.SetBrush(wxBrush(wxColour(0xff, 0xfd, 0xf7)));
    gc.DrawPath(RoundRect(gc, -46, -62, 92, 134, 3));

    // Clip.
    gc.SetBrush(gc.CreateLinearGradientBrush(0, -86, 0, -58, wxColour(0xee, 0xf1, 0xf4), wxColour(0x8d, 0x97, 0xa2)));
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(wxColour(0x55, 0x5f, 0x6a), 1.2)));
    gc.DrawPath(RoundRect(gc, -24, -72, 48, 16, 4));
    gc.DrawPath(RoundRect(gc, -11, -84, 22, 16, 7));
    gc.SetBrush(wxBrush(wxColour(0xa8, 0x6a, 0x32)));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawEllipse(-4, -80, 8, 8);

    // Rows: box, tick and a pencilled line.
    const double top = -42, step = 25;
    const bool ticked[] = {true, true, false, true, false};
    const double lineLen[] = {52, 40, 48, 34, 44};
    for (int i = 0; i < 5; ++i)
    {
        const double y = top + i * step;
        gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(wxColour(0x4a, 0x5a, 0x66), 1.4)));
        gc.SetBrush(wxBrush(wxColour(255, 255, 255)));
        gc.DrawPath(RoundRect(gc, -36, y, 14, 14, 2.5));
        if (ticked[i])
            DrawTick(gc, -37, y - 5, 20, wxColour(0x2e, 0xa0, 0x4f));
        gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(ticked[i] ? wxColour(0xb8, 0xc2, 0xc8) : wxColour(0x6d, 0x7d, 0x88), 3)
                      .Cap(wxCAP_ROUND)));
        gc.StrokeLine(-14, y + 7, -14 + lineLen[i], y + 7);
    }
    gc.PopState();

    // Wordmark with a soft shadow; the version text of the About box goes above its right end.
    DrawWord(gc, "Tallyard", 121, 242, 166, wxColour(40, 60, 70, 60), true);
    DrawWord(gc, "Tallyard", 120, 241, 166, wxColour(0x1f, 0x5a, 0x6e), true);
}

int Splash(const char* out, double scale)
{
    const int w = static_cast<int>(std::lround(240 * scale)), h = static_cast<int>(std::lround(270 * scale));
    wxImage image(w, h);
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsRenderer::GetDefaultRenderer()->CreateContextFromImage(image));
        gc->Scale(scale, scale);
        DrawSplash(*gc);
    }
    return image.SaveFile(out, wxBITMAP_TYPE_PNG) ? 0 : 1;
}

wxImage Rasterise(const char* in, int w, int h, double scale, int zoom)
{
    wxBitmapBundle b = wxBitmapBundle::FromSVGFile(in, wxSize(w, h));
    if (!b.IsOk())
        return wxImage();
    wxImage img = b.GetBitmap(wxSize(std::lround(w * scale), std::lround(h * scale))).ConvertToImage();
    wxImage view(img.GetWidth(), img.GetHeight());
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
        {
            const int back = ((x / 4 + y / 4) % 2) ? 0xf0 : 0xdc;
            const double a = img.HasAlpha() ? img.GetAlpha(x, y) / 255.0 : 1.0;
            view.SetRGB(x, y, static_cast<unsigned char>(img.GetRed(x, y) * a + back * (1 - a)),
                        static_cast<unsigned char>(img.GetGreen(x, y) * a + back * (1 - a)),
                        static_cast<unsigned char>(img.GetBlue(x, y) * a + back * (1 - a)));
        }
    view.Rescale(view.GetWidth() * zoom, view.GetHeight() * zoom, wxIMAGE_QUALITY_NEAREST);
    return view;
}

// Every SVG side by side, each as `Rasterise` makes it.
int Sheet(int argc, char** argv)
{
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]), zoom = std::atoi(argv[5]);
    const double scale = std::atof(argv[4]);
    std::vector<wxImage> images;
    int width = 0, height = 0;
    for (int i = 7; i < argc; ++i)
    {
        images.push_back(Rasterise(argv[i], w, h, scale, zoom));
        if (!images.back().IsOk())
            return 1;
        width += images.back().GetWidth() + 8;
        height = std::max(height, images.back().GetHeight());
    }
    wxImage sheet(width, height);
    sheet.SetRGB(wxRect(0, 0, width, height), 255, 255, 255);
    int x = 0;
    for (const wxImage& img : images)
    {
        sheet.Paste(img, x, 0);
        x += img.GetWidth() + 8;
    }
    return sheet.SaveFile(argv[6], wxBITMAP_TYPE_PNG) ? 0 : 1;
}
}

int Icon(int size, const char* out, const char* svg)
{
    const wxBitmapBundle bundle = wxBitmapBundle::FromSVGFile(svg, wxSize(size, size));
    if (!bundle.IsOk())
        return 1;
    wxImage image = bundle.GetBitmap(wxSize(size, size)).ConvertToImage();
    return image.IsOk() && image.SaveFile(out, wxBITMAP_TYPE_PNG) ? 0 : 1;
}

int main(int argc, char** argv)
{
    wxInitializer init(argc, argv);
    if (!init.IsOk())
        return 2;
    wxInitAllImageHandlers();
    const wxString mode = argc > 1 ? argv[1] : "";
    if (mode == "splash" && argc == 4)
        return Splash(argv[2], std::atof(argv[3]));
    if (mode == "icon" && argc == 5)
        return Icon(std::atoi(argv[2]), argv[3], argv[4]);
    if (mode == "sheet" && argc >= 8)
        return Sheet(argc, argv);
    std::fprintf(stderr, "usage: art_tool splash <out.png> <scale> | icon <size> <out.png> <in.svg> | sheet <w> <h> <scale> <zoom> <out.png> <in.svg>...\n");
    return 2;
}
