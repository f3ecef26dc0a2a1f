// Mutated iCalendar files: no crash, and a refused file changes nothing.
// TALLYARD_FUZZ_COUNT sets the number of files (100 by default),
// TALLYARD_FUZZ_SEED the first seed.

#include "tests/sync/ExchangeSupport.h"

#include <random>

using namespace ExchangeSupport;

namespace
{
int EnvNumber(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    return value && *value ? std::atoi(value) : fallback;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line + "\n");
    return lines;
}

// One mutation of `text`, chosen by `rng`.
std::string Mutate(const std::string& text, std::mt19937& rng)
{
    auto pick = [&](size_t n) { return n == 0 ? size_t(0) : size_t(rng() % n); };
    std::string out = text;
    std::vector<std::string> lines = SplitLines(text);
    const std::vector<std::string> inserts = {
        "RELATED-TO:trip-2024@example.org\r\n", "RELATED-TO:8A7F1E2C-0002-4C55-9E7B-4D2C3B1A0F01\r\n",
        "UID:trip-2024@example.org\r\n",        "BEGIN:VTODO\r\n",
        "END:VTODO\r\n",                        "END:VCALENDAR\r\n",
        " folded continuation\r\n",             "X-APPLE-SORT-ORDER:99999999999999999999\r\n",
        "PRIORITY:-4\r\n",                      "CATEGORIES:\r\n",
        "STATUS:COMPLETED\r\n",                 "RELATED-TO;RELTYPE=CHILD:x\r\n",
        "\xC3\r\n",                             "DTSTART;TZID=Nowhere:20240101T000000\r\n",
        ":no name\r\n",                          ";\r\n"};
    switch (rng() % 8)
    {
    case 0: // flip bytes
        for (int n = 1 + int(rng() % 4); n > 0 && !out.empty(); --n)
            out[pick(out.size())] ^= char(1 << (rng() % 8));
        return out;
    case 1: // truncate
        return out.substr(0, pick(out.size()));
    case 2: // drop a line
        if (!lines.empty())
            lines.erase(lines.begin() + std::ptrdiff_t(pick(lines.size())));
        break;
    case 3: // repeat a line
        if (!lines.empty())
        {
            const size_t at = pick(lines.size());
            lines.insert(lines.begin() + std::ptrdiff_t(at), lines[at]);
        }
        break;
    case 4: // swap two lines
        if (lines.size() > 1)
            std::swap(lines[pick(lines.size())], lines[pick(lines.size())]);
        break;
    case 5: // insert a troublesome line
        lines.insert(lines.begin() + std::ptrdiff_t(pick(lines.size() + 1)), inserts[pick(inserts.size())]);
        break;
    case 6: // random bytes somewhere
    {
        std::string noise;
        for (int n = 1 + int(rng() % 12); n > 0; --n)
            noise.push_back(char(rng() % 256));
        out.insert(pick(out.size() + 1), noise);
        return out;
    }
    default: // several of the above
        out = Mutate(Mutate(text, rng), rng);
        return out;
    }
    std::string joined;
    for (const std::string& l : lines)
        joined += l;
    return joined;
}

class IcalFuzzTest : public StoreTest
{
};
}

TEST_F(IcalFuzzTest, MutatedFilesNeverCrashAndRefusalsChangeNothing)
{
    const int count = EnvNumber("TALLYARD_FUZZ_COUNT", 100);
    const int seed = EnvNumber("TALLYARD_FUZZ_SEED", 20261207);
    const std::vector<std::string> seeds = {ReadFile(FixturePath("flat-list.ics")),
                                            ReadFile(FixturePath("parent-child.ics")),
                                            ReadFile(FixturePath("Weekend chores.ics"))};
    for (const std::string& s : seeds)
        ASSERT_FALSE(s.empty());
    {
        // Something of every kind in the store to start from.
        IcalExchange::ImportCounts counts;
        std::string error;
        ASSERT_TRUE(IcalExchange::ImportText(seeds[1], "start.ics", counts, error)) << error;
    }
    int refused = 0;
    for (int i = 0; i < count; ++i)
    {
        std::mt19937 rng(unsigned(seed + i));
        const std::string text = Mutate(seeds[size_t(i) % seeds.size()], rng);
        const std::string before = Snapshot();
        IcalExchange::ImportCounts counts;
        std::string error;
        if (!IcalExchange::ImportText(text, "fuzz.ics", counts, error))
        {
            ++refused;
            ASSERT_EQ(before, Snapshot()) << "seed " << seed + i << ": " << error;
            ASSERT_EQ(0u, error.rfind("line ", 0)) << "seed " << seed + i << ": " << error;
            continue;
        }
        // An accepted file leaves counts that match the items stored.
        ListArray lists;
        ASSERT_TRUE(lists.LoadLists(u"All"));
        for (ListRecord& l : lists)
        {
            ASSERT_TRUE(l.LoadItems(FilterAll));
            const auto unchecked = std::count_if(l.items.begin(), l.items.end(),
                                                 [](const ItemRecord& item) { return item.checked == 0; });
            ASSERT_EQ(int(l.items.size()), l.itemCount) << "seed " << seed + i;
            ASSERT_EQ(unchecked, l.uncheckedCount) << "seed " << seed + i;
        }
        std::string exported;
        ASSERT_TRUE(IcalExchange::ExportText(u"", exported, error)) << error;
    }
    std::printf("%d mutated files, %d refused\n", count, refused);
    EXPECT_GT(refused, 0);
    EXPECT_LT(refused, count) << "some mutations are harmless and imported";
}
