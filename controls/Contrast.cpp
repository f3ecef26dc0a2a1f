#include "controls/Contrast.h"

#include <algorithm>
#include <cmath>
#include <map>

double RelativeLuminance(const wxColour& c)
{
    auto channel = [](unsigned char v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.Red()) + 0.7152 * channel(c.Green()) + 0.0722 * channel(c.Blue());
}

double Contrast(const wxColour& a, const wxColour& b)
{
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDark(const wxColour& c)
{
    // Where white text reads better than black.
    return Contrast(c, *wxWHITE) > Contrast(c, *wxBLACK);
}

wxColour ReadableOn(const wxColour& back, wxColour c)
{
    const bool darker = RelativeLuminance(back) > 0.5;
    for (int i = 0; i < 20 && Contrast(c, back) < 4.5; ++i)
        c = c.ChangeLightness(darker ? 85 : 115);
    return c;
}

namespace
{
unsigned char Mix(unsigned char from, unsigned char to, double t)
{
    return static_cast<unsigned char>(std::lround(from + (to - from) * t));
}
}

void LiftFromDarkBackground(wxImage& img, const wxColour& back, double minContrast)
{
    if (!img.IsOk() || !IsDark(back))
        return;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
        {
            if (img.HasAlpha() && img.GetAlpha(x, y) == 0)
                continue;
            const wxColour c(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
            if (Contrast(c, back) >= minContrast)
                continue;
            // Towards white in steps until it stands out.
            wxColour lifted = c;
            for (int step = 1; step <= 10 && Contrast(lifted, back) < minContrast; ++step)
            {
                const double t = step / 10.0;
                lifted = wxColour(Mix(c.Red(), 255, t), Mix(c.Green(), 255, t), Mix(c.Blue(), 255, t));
            }
            img.SetRGB(x, y, lifted.Red(), lifted.Green(), lifted.Blue());
        }
}

wxBitmapBundle ReadableOn(const wxBitmapBundle& bundle, const wxSize& size, const wxColour& back)
{
    if (!bundle.IsOk() || !IsDark(back))
        return bundle;
    wxVector<wxBitmap> bitmaps;
    for (double scale : {1.0, 1.5, 2.0})
    {
        const wxSize pixels(std::lround(size.x * scale), std::lround(size.y * scale));
        wxImage img = bundle.GetBitmap(pixels).ConvertToImage();
        if (!img.IsOk())
            continue;
        LiftFromDarkBackground(img, back, 3.0);
        bitmaps.push_back(wxBitmap(img));
    }
    return wxBitmapBundle::FromBitmaps(bitmaps);
}

wxColour MainColour(const wxImage& img)
{
    std::map<unsigned long, int> counts;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
        {
            if (img.HasAlpha() && img.GetAlpha(x, y) < 255)
                continue;
            const unsigned char r = img.GetRed(x, y), g = img.GetGreen(x, y), b = img.GetBlue(x, y);
            if (r >= 240 && g >= 240 && b >= 240)
                continue;
            ++counts[(static_cast<unsigned long>(r) << 16) | (g << 8) | b];
        }
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    if (most == counts.end())
        return wxColour();
    return wxColour((most->first >> 16) & 0xff, (most->first >> 8) & 0xff, most->first & 0xff);
}

void RecolourDiscs(wxImage& img, const wxColour& face, const wxColour& symbol)
{
    const wxColour drawn = MainColour(img);
    if (!img.IsOk() || !drawn.IsOk())
        return;
    // How far each pixel lies from the disc's colour towards white.
    const double from = (drawn.Red() + drawn.Green() + drawn.Blue()) / 3.0;
    for (int y = 0; y < img.GetHeight(); ++y)
        for (int x = 0; x < img.GetWidth(); ++x)
        {
            if (img.HasAlpha() && img.GetAlpha(x, y) == 0)
                continue;
            const double v = (img.GetRed(x, y) + img.GetGreen(x, y) + img.GetBlue(x, y)) / 3.0;
            const double t = std::clamp((v - from) / std::max(1.0, 255.0 - from), 0.0, 1.0);
            img.SetRGB(x, y, Mix(face.Red(), symbol.Red(), t), Mix(face.Green(), symbol.Green(), t),
                       Mix(face.Blue(), symbol.Blue(), t));
        }
}
