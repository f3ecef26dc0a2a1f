// Ids, strings and pictures of the embedded resources.
#include "tests/support/GuiTest.h"
#include "tests/support/HiddenResource.h"

#include "resources/ResourceIds.h"
#include "resources/Resources.h"

#include <wx/image.h>
#include <wx/menu.h>
#include <wx/xrc/xmlres.h>

#include <memory>
#include <set>
#include <vector>

namespace
{
struct Symbol
{
    const char* name;
    int value;
};

#define TALLYARD_SYMBOL(name, value) {#name, value},
const Symbol s_symbols[] = {TALLYARD_COMMAND_IDS(TALLYARD_SYMBOL) TALLYARD_CONTROL_IDS(TALLYARD_SYMBOL)
                                TALLYARD_RESOURCE_IDS(TALLYARD_SYMBOL)};
#undef TALLYARD_SYMBOL

const int s_bitmapIds[] = {IDB_TOOLBAR,         IDB_TITLE_BUTTONS,   IDB_DELETE,          IDB_DOWN,
                           IDB_NEW,             IDB_EDIT,            IDB_UP,              IDB_BUTTON_STRIP,
                           IDB_DELETE_DISABLED, IDB_DOWN_DISABLED,   IDB_EDIT_DISABLED,   IDB_UP_DISABLED,
                           IDB_ITEM_DELETE,     IDB_SPLASH};

wxImage Picture(int id, double scale = 1.0)
{
    const wxSize size = Resources::BitmapSize(id);
    return Resources::Bitmap(id).GetBitmap(size * scale).ConvertToImage();
}

bool IsOpaque(const wxImage& img, int x, int y)
{
    return !img.HasAlpha() || img.GetAlpha(x, y) > 128;
}

// Number of distinct colours among the opaque pixels of a rectangle.
size_t Colours(const wxImage& img, const wxRect& r)
{
    std::set<unsigned long> colours;
    for (int y = r.y; y < r.GetBottom() + 1; ++y)
        for (int x = r.x; x < r.GetRight() + 1; ++x)
            if (IsOpaque(img, x, y))
                colours.insert((img.GetRed(x, y) << 16) | (img.GetGreen(x, y) << 8) | img.GetBlue(x, y));
    return colours.size();
}

bool IsGrey(const wxImage& img, int x, int y)
{
    const int r = img.GetRed(x, y), g = img.GetGreen(x, y), b = img.GetBlue(x, y);
    return std::abs(r - g) < 12 && std::abs(g - b) < 12 && std::abs(r - b) < 12;
}
}

TEST(ResourceIds, EverySymbolMapsToItsNumber)
{
    EXPECT_EQ(1003, XRCID("IDC_TITLE_BAR"));
    for (const Symbol& s : s_symbols)
        EXPECT_EQ(s.value, wxXmlResource::GetXRCID(s.name)) << s.name;
}

TEST(ResourceIds, SecondInitKeepsNumbersAndTemplates)
{
    EXPECT_TRUE(Resources::Init());
    EXPECT_EQ(57664, XRCID("ID_APP_ABOUT"));
    EXPECT_EQ(1003, XRCID("IDC_TITLE_BAR"));
    std::unique_ptr<wxMenu> menu(wxXmlResource::Get()->LoadMenu("IDR_MAINFRAME"));
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(12u, menu->GetMenuItemCount());
}

TEST(ResourceStrings, TableEntries)
{
    EXPECT_EQ("Tallyard\n\nTallyard\n\n\nTallyard.Document\nTallyard Document", Resources::String(IDR_MAINFRAME));
    EXPECT_EQ("Tools", Resources::String(IDS_TOOLS));
    EXPECT_EQ("List", Resources::String(IDS_LIST));
    EXPECT_EQ("Items", Resources::String(IDS_ITEMS));
    EXPECT_EQ("Tools", Resources::String(IDS_LIST_TOOLS));
    EXPECT_EQ("", Resources::String(4242));
}

TEST(ResourceBitmaps, EveryBitmapLoadsAtItsSizeAndDoubleSize)
{
    for (int id : s_bitmapIds)
    {
        SCOPED_TRACE(id);
        const wxBitmapBundle b = Resources::Bitmap(id);
        ASSERT_TRUE(b.IsOk());
        EXPECT_EQ(Resources::BitmapSize(id), b.GetDefaultSize());
        const wxBitmap normal = b.GetBitmap(Resources::BitmapSize(id));
        ASSERT_TRUE(normal.IsOk());
        EXPECT_EQ(Resources::BitmapSize(id), normal.GetSize());
        EXPECT_EQ(Resources::BitmapSize(id) * 2, b.GetBitmap(Resources::BitmapSize(id) * 2).GetSize());
        // A picture that failed to parse comes out empty or a single colour.
        const wxImage img = normal.ConvertToImage();
        EXPECT_GE(Colours(img, wxRect(img.GetSize())), 2u);
    }
    EXPECT_EQ(wxSize(240, 270), Resources::BitmapSize(IDB_SPLASH));
    EXPECT_EQ(wxSize(112, 16), Resources::BitmapSize(IDB_TOOLBAR));
    EXPECT_EQ(wxSize(65, 17), Resources::BitmapSize(IDB_TITLE_BUTTONS));
    EXPECT_EQ(wxSize(304, 28), Resources::BitmapSize(IDB_BUTTON_STRIP));
    EXPECT_EQ(wxSize(16, 16), Resources::BitmapSize(IDB_ITEM_DELETE));
    EXPECT_FALSE(Resources::Bitmap(4242).IsOk());
}

TEST(ResourceBitmaps, AFileGoneFromTheRegisteredOnesMakesThatBitmapAloneMissing)
{
    {
        CHiddenResource hidden("splash.png");
        ASSERT_TRUE(hidden.IsHidden());
        EXPECT_FALSE(Resources::Bitmap(IDB_SPLASH).IsOk());
        EXPECT_TRUE(Resources::Bitmap(IDB_NEW).IsOk());
        CHiddenResource svg("new.svg");
        EXPECT_FALSE(Resources::Bitmap(IDB_NEW).IsOk());
        EXPECT_TRUE(Resources::Bitmap(IDB_EDIT).IsOk());
    }
    EXPECT_TRUE(Resources::Bitmap(IDB_SPLASH).IsOk());
    EXPECT_TRUE(Resources::Bitmap(IDB_NEW).IsOk());
    // Without its double-size companion the splash still loads, at 1x only.
    {
        CHiddenResource large("splash@2x.png");
        ASSERT_TRUE(large.IsHidden());
        const wxBitmapBundle b = Resources::Bitmap(IDB_SPLASH);
        ASSERT_TRUE(b.IsOk());
        EXPECT_EQ(wxSize(240, 270), b.GetDefaultSize());
    }
    EXPECT_FALSE(CHiddenResource("nothing.png").IsHidden());
}

TEST(ResourceBitmaps, ToolbarStripHasSevenImages)
{
    const wxImage strip = Picture(IDB_TOOLBAR);
    for (int i = 0; i < 7; ++i)
        EXPECT_GE(Colours(strip, wxRect(i * 16, 0, 16, 16)), 3u) << "image " << i;
}

TEST(ResourceBitmaps, TitleButtonsAreDiscsOnWhite)
{
    const wxImage img = Picture(IDB_TITLE_BUTTONS);
    // Gaps between the discs and the corners are white.
    for (const wxPoint& p : {wxPoint(20, 8), wxPoint(44, 8), wxPoint(0, 0), wxPoint(64, 16)})
    {
        EXPECT_TRUE(IsOpaque(img, p.x, p.y));
        EXPECT_EQ(255, img.GetRed(p.x, p.y) & img.GetGreen(p.x, p.y) & img.GetBlue(p.x, p.y)) << p.x;
    }
    // Each disc is dark blue at its rim and carries a white symbol near its centre.
    for (int left : {0, 24, 48})
    {
        const int x = left + 1, y = 8;
        EXPECT_LT(img.GetRed(x, y), 80) << left;
        EXPECT_GT(img.GetBlue(x, y), img.GetRed(x, y) + 40) << left;
        int white = 0;
        for (int yy = 4; yy < 13; ++yy)
            for (int xx = left + 4; xx < left + 13; ++xx)
                white += img.GetRed(xx, yy) > 200 && img.GetBlue(xx, yy) > 200;
        EXPECT_GE(white, 6) << left;
    }
}

TEST(ResourceBitmaps, ButtonStripIsGreyUnderABlackLine)
{
    const wxImage img = Picture(IDB_BUTTON_STRIP);
    for (int x : {0, 150, 303})
    {
        EXPECT_EQ(0, img.GetRed(x, 0) | img.GetGreen(x, 0) | img.GetBlue(x, 0));
        EXPECT_TRUE(IsGrey(img, x, 14));
        EXPECT_GT(img.GetRed(x, 14), 120);
        EXPECT_LT(img.GetRed(x, 14), 240);
    }
}

TEST(ResourceBitmaps, DisabledPicturesAreGreyVersionsOfTheNormalOnes)
{
    const int pairs[][2] = {{IDB_EDIT, IDB_EDIT_DISABLED},
                            {IDB_DELETE, IDB_DELETE_DISABLED},
                            {IDB_UP, IDB_UP_DISABLED},
                            {IDB_DOWN, IDB_DOWN_DISABLED}};
    for (const auto& pair : pairs)
    {
        const wxImage normal = Picture(pair[0]), grey = Picture(pair[1]);
        int coloured = 0, sameShape = 0, shape = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
            {
                EXPECT_TRUE(!IsOpaque(grey, x, y) || IsGrey(grey, x, y)) << pair[1] << " at " << x << "," << y;
                coloured += IsOpaque(normal, x, y) && !IsGrey(normal, x, y);
                shape += IsOpaque(normal, x, y);
                sameShape += IsOpaque(normal, x, y) == IsOpaque(grey, x, y);
            }
        EXPECT_GT(coloured, 10) << pair[0];
        EXPECT_GT(shape, 20) << pair[0];
        EXPECT_EQ(256, sameShape) << pair[1];
    }
}

TEST(ResourceBitmaps, RedCrossesAndArrowsSitOverABlackBar)
{
    auto isRed = [](const wxImage& img, int x, int y) {
        return img.GetRed(x, y) > 180 && img.GetGreen(x, y) < 80 && img.GetBlue(x, y) < 80;
    };
    auto isBlack = [](const wxImage& img, int x, int y) {
        return img.GetRed(x, y) < 30 && img.GetGreen(x, y) < 30 && img.GetBlue(x, y) < 30;
    };
    for (int id : {IDB_DELETE, IDB_ITEM_DELETE, IDB_DOWN})
    {
        const wxImage img = Picture(id);
        EXPECT_TRUE(isRed(img, 8, 7)) << id;
        EXPECT_TRUE(isBlack(img, 8, 14)) << id;
    }
    const wxImage up = Picture(IDB_UP);
    EXPECT_TRUE(isBlack(up, 8, 2));
    EXPECT_TRUE(isRed(up, 8, 9));
}

TEST(ResourceBitmaps, SplashIsAPictureWithACalmVersionArea)
{
    const wxImage img = Picture(IDB_SPLASH);
    EXPECT_GT(Colours(img, wxRect(img.GetSize())), 200u);
    // The About box writes the version at (115,142)-(131,150) of a 160 x 197
    // unit rectangle: that area must be plain enough for dark text.
    const wxRect version(172, 194, 26, 13);
    for (int y = version.y; y <= version.GetBottom(); ++y)
        for (int x = version.x; x <= version.GetRight(); ++x)
        {
            const int luma = (img.GetRed(x, y) * 3 + img.GetGreen(x, y) * 6 + img.GetBlue(x, y)) / 10;
            ASSERT_GT(luma, 200) << x << "," << y;
        }
}

TEST(ResourceBitmaps, ProgramIcon)
{
    const wxBitmapBundle icon = Resources::AppIcon();
    ASSERT_TRUE(icon.IsOk());
    EXPECT_EQ(wxSize(64, 64), icon.GetBitmap(wxSize(64, 64)).GetSize());
    const wxIconBundle icons = Resources::AppIcons();
    EXPECT_TRUE(icons.GetIcon(wxSize(16, 16), wxIconBundle::FALLBACK_NONE).IsOk());
    EXPECT_TRUE(icons.GetIcon(wxSize(48, 48), wxIconBundle::FALLBACK_NONE).IsOk());
}
