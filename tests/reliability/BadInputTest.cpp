// Awkward text in names, notes and details: what the store accepts it gives
// back exactly; what it cannot hold it refuses and does not store mangled.

#include "app/SettingsKey.h"
#include "tests/reliability/StoreModel.h"

#include <gtest/gtest.h>

namespace
{
struct Sample
{
    const char* label;
    std::u16string text;
};

std::vector<Sample> Storable()
{
    std::u16string controls;
    for (char16_t c = 1; c < 0x20; ++c)
        controls += c;
    controls += u"\x7f";
    std::u16string longText;
    for (int i = 0; i < 100000; ++i)
        longText += static_cast<char16_t>(u'a' + i % 26);
    return {
        {"100,000 characters", longText},
        {"emoji", u"Packing \U0001F9F3\U0001F3D6\uFE0F \U0001F468\u200D\U0001F469\u200D\U0001F467 done \u2705"},
        {"right-to-left", u"\u05E8\u05E9\u05D9\u05DE\u05EA \u05E7\u05E0\u05D9\u05D5\u05EA "
                          u"\u0642\u0627\u0626\u0645\u0629 \u202Eevil\u202C"},
        {"control characters", controls},
        {"line breaks", u"first\nsecond\r\nthird\rfourth\u2028fifth"},
        {"quotes and SQL", u"'); DROP TABLE x; -- \"%s %n\\"},
        {"empty", u""},
        {"BMP edge", u"\uFFFD\uFEFF\uFFFF\u0000"},
    };
}

// Text a null-terminated wide string cannot hold, or that is not UTF-16.
std::vector<Sample> Doubtful()
{
    return {
        {"embedded NUL", std::u16string(u"before\0after", 12)},
        {"unpaired high surrogate", u"ab" + std::u16string(1, char16_t(0xD83D)) + u"cd"},
        {"unpaired low surrogate", u"ab" + std::u16string(1, char16_t(0xDE00)) + u"cd"},
        {"swapped surrogates", u"x" + std::u16string{char16_t(0xDE00), char16_t(0xD83D)}},
    };
}

// Saves a checklist and one item carrying `text` everywhere; reports whether
// each save was accepted and what came back.
struct RoundTrip
{
    bool listSaved = false, itemSaved = false;
    bool listBack = false, itemBack = false; // loaded and equal
    bool listStored = false, itemStored = false;
};

RoundTrip Try(const std::u16string& text)
{
    RoundTrip r;
    ListRecord list;
    list.name = text;
    list.note = text;
    list.category = text;
    r.listSaved = list.SaveList();
    ListRecord back;
    r.listStored = list.id != 0 && back.LoadList(list.id);
    r.listBack = r.listStored && back.name == text && back.note == text && back.category == text;

    ListRecord owner;
    owner.name = u"owner";
    EXPECT_TRUE(owner.SaveList());
    ItemRecord item;
    item.listId = owner.id;
    item.name = text;
    item.details = text;
    r.itemSaved = item.SaveItem();
    ItemRecord itemBack;
    r.itemStored = item.id != 0 && itemBack.LoadItem(item.id);
    r.itemBack = r.itemStored && itemBack.name == text && itemBack.details == text;
    return r;
}
}

TEST(BadInput, AwkwardTextRoundTripsExactly)
{
    ASSERT_TRUE(ListStore::CreateDatabases());
    for (const Sample& s : Storable())
    {
        if (s.text.find(u'\0') != std::u16string::npos)
            continue; // judged below with the other text a device string cannot hold
        const RoundTrip r = Try(s.text);
        EXPECT_TRUE(r.listSaved && r.listBack) << s.label << ": checklist name, note or category changed";
        EXPECT_TRUE(r.itemSaved && r.itemBack) << s.label << ": item name or details changed";
    }
    // Load by category finds the checklist under its exact awkward name.
    ListArray lists;
    ASSERT_TRUE(lists.LoadLists(Storable()[2].text));
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].name, Storable()[2].text);
}

TEST(BadInput, TextTheStoreCannotHoldIsRefusedNotMangled)
{
    ASSERT_TRUE(ListStore::CreateDatabases());
    std::vector<Sample> samples = Doubtful();
    samples.push_back(Storable().back()); // ends in U+0000 after U+FFFF
    for (const Sample& s : samples)
    {
        const RoundTrip r = Try(s.text);
        // Accepted means given back exactly; refused means nothing stored.
        EXPECT_TRUE(r.listSaved ? r.listBack : !r.listStored) << s.label << ": checklist stored mangled";
        EXPECT_TRUE(r.itemSaved ? r.itemBack : !r.itemStored) << s.label << ": item stored mangled";
        std::cout << "[ figures  ] " << s.label << ": checklist " << (r.listSaved ? "kept exactly" : "refused")
                  << ", item " << (r.itemSaved ? "kept exactly" : "refused") << std::endl;
    }
}

TEST(BadInput, RegistryStringsRoundTripExactly)
{
    SettingsKey key(HKEY_CURRENT_USER, kPreferencesKey);
    for (const Sample& s : Storable())
    {
        // A registry string ends at its first NUL, as on the device.
        const std::u16string text = s.text.substr(0, s.text.find(u'\0'));
        ASSERT_TRUE(key.WriteString(u"LastCategory", text.c_str())) << s.label;
        SettingsKey other(HKEY_CURRENT_USER, kPreferencesKey);
        EXPECT_EQ(other.ReadString(u"LastCategory", u"All"), text) << s.label;
    }
}
