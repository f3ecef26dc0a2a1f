// A worker makes every kind of store change and reports each one it saw
// acknowledged; it is killed with SIGKILL at random moments. Whatever was
// acknowledged must be there afterwards, the change in flight must be there
// whole or not at all, and the file must stay sound.

#include "platform/Paths.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/StoreModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;

namespace
{
struct CrashRun
{
    int kills = 0;
    int acks = 0;
    int landedInFlight = 0;
    int integrityChecks = 0;
    std::map<std::string, int> inFlightKinds; // change in flight at the kill
    std::map<std::string, int> ackedKinds;
    std::vector<std::string> failures;

    int Acked(const std::string& kind) const
    {
        const auto it = ackedKinds.find(kind);
        return it == ackedKinds.end() ? 0 : it->second;
    }
};

std::string Field(const std::string& line, int n)
{
    std::istringstream in(line);
    std::string f;
    for (int i = 0; i <= n; ++i)
        if (!(in >> f))
            return "";
    return f;
}

std::string FreshStoreHash()
{
    StoreModel fresh;
    fresh.categories.push_back({u"Personal", 0});
    fresh.categories.push_back({u"Business", 1});
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(Fnv1a(fresh.Canonical())));
    return buf;
}

// Kills at a random moment: either some milliseconds after the start, or a
// few microseconds after the worker announced its m-th change.
void KillAtRandom(Worker& w, std::mt19937& rng, std::vector<std::string>& lines)
{
    std::string line;
    if (rng() % 4 == 0)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(rng() % 30000);
        while (std::chrono::steady_clock::now() < until)
            if (w.ReadLine(line, 1))
                lines.push_back(line);
    }
    else
    {
        const int target = 1 + static_cast<int>(rng() % 8);
        int announced = 0;
        while (announced < target && w.ReadLine(line, 2000))
        {
            lines.push_back(line);
            announced += line[0] == 'P';
        }
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 4000));
    }
    w.Kill();
    while (w.ReadLine(line, 0))
        lines.push_back(line);
}

CrashRun RunStoreCrashes(int kills, unsigned seed)
{
    CrashRun run;
    std::mt19937 rng(seed);
    std::string acked;   // hash of the store as last acknowledged ("" before the first start)
    std::string pending; // hash announced for the change in flight
    std::string pendingKind;
    for (int k = 0; k <= kills; ++k)
    {
        const bool last = k == kills; // one more start only to read the store back
        Worker w("store", {std::to_string(seed * 1000 + k), last ? "0" : "-1"});
        std::vector<std::string> lines;
        if (last)
        {
            std::string line;
            while (w.ReadLine(line, 10000))
                lines.push_back(line);
            w.Wait();
        }
        else
        {
            KillAtRandom(w, rng, lines);
            ++run.kills;
        }
        bool started = false;
        for (const std::string& line : lines)
        {
            switch (line[0])
            {
            case 'S':
                if (acked.empty() && Field(line, 1) != FreshStoreHash())
                    run.failures.push_back("kill " + std::to_string(k) + ": first start did not find a fresh store");
                if (!acked.empty() && Field(line, 1) != acked)
                {
                    if (!pending.empty() && Field(line, 1) == pending)
                        ++run.landedInFlight;
                    else
                        run.failures.push_back("kill " + std::to_string(k) + ": store after a kill during '" +
                                               pendingKind + "' is neither the acknowledged one nor that change whole");
                }
                if (k > 0)
                    ++run.inFlightKinds[pendingKind.empty() ? "(between changes)" : pendingKind];
                acked = Field(line, 1);
                pending.clear();
                pendingKind.clear();
                started = true;
                break;
            case 'P':
                pending = Field(line, 1);
                pendingKind = Field(line, 2);
                break;
            case 'A':
                acked = pending;
                ++run.acks;
                ++run.ackedKinds[pendingKind];
                pending.clear();
                pendingKind.clear();
                break;
            default:
                run.failures.push_back("kill " + std::to_string(k) + ": worker reported '" + line + "'");
            }
        }
        // Every other time the file is checked before the store recovers it itself.
        if (k % 2 == 1 || last)
        {
            const std::string check = IntegrityCheck(StorePath());
            ++run.integrityChecks;
            if (check != "ok" && !(acked.empty() && !started))
                run.failures.push_back("kill " + std::to_string(k) + ": integrity_check: " + check);
        }
        if (last && !started)
            run.failures.push_back("the store could not be read back after the last kill");
        if (run.failures.size() > 5)
            break;
    }
    return run;
}

std::string Summary(const CrashRun& run)
{
    std::ostringstream out;
    out << run.kills << " kills, " << run.acks << " acknowledged changes, " << run.landedInFlight
        << " in-flight changes found landed whole, " << run.integrityChecks
        << " integrity checks (" << run.Acked("undo") << " undos, " << run.Acked("redo")
        << " redos acknowledged); in flight at the kill:";
    for (auto& [kind, n] : run.inFlightKinds)
        out << ' ' << kind << '=' << n;
    return out.str();
}
}

TEST(Crash, KilledStoreKeepsEveryAcknowledgedChangeAndNoHalfChange)
{
    const CrashRun run = RunStoreCrashes(Scale(50, 500), 7);
    std::cout << "[ figures  ] store: " << Summary(run) << std::endl;
    for (const std::string& f : run.failures)
        ADD_FAILURE() << f;
    EXPECT_GT(run.acks, run.kills) << "the worker barely got to change anything";
    EXPECT_GE(run.inFlightKinds.size(), LongRun() ? 12u : 6u) << "kills hit too few kinds of change";
    EXPECT_GT(run.Acked("undo"), 0) << "no undo was acknowledged";
    EXPECT_GT(run.Acked("redo"), 0) << "no redo was acknowledged";
}

// The worker's writes reach the disk only when synced: a kill is a power cut.
TEST(Crash, PowerCutKeepsEveryAcknowledgedChangeAndNoHalfChange)
{
    setenv("TALLYARD_POWER_CUT", "1", 1);
    const CrashRun run = RunStoreCrashes(Scale(40, 300), 9);
    unsetenv("TALLYARD_POWER_CUT");
    std::cout << "[ figures  ] store, power cuts: " << Summary(run) << std::endl;
    for (const std::string& f : run.failures)
        ADD_FAILURE() << f;
    EXPECT_GT(run.acks, run.kills) << "the worker barely got to change anything";
}

class CrashRegistry : public testing::TestWithParam<bool>
{
};

TEST_P(CrashRegistry, KilledRegistryKeepsEveryAcknowledgedWrite)
{
    if (GetParam())
        setenv("TALLYARD_POWER_CUT", "1", 1);
    struct Unset
    {
        ~Unset() { unsetenv("TALLYARD_POWER_CUT"); }
    } unset;
    const int kills = GetParam() ? Scale(40, 300) : Scale(50, 500);
    std::mt19937 rng(11);
    long ackedNumber = 0, pendingNumber = -1;
    std::string ackedText, pendingText;
    bool textPending = false;
    int acks = 0, landed = 0;
    for (int k = 0; k <= kills; ++k)
    {
        Worker w("registry", {std::to_string(k)});
        std::vector<std::string> lines;
        std::string line;
        if (k == kills)
        {
            ASSERT_TRUE(w.ReadLine(line, 10000)) << "no start report";
            lines.push_back(line);
        }
        else
            KillAtRandom(w, rng, lines);
        w.Kill();
        for (const std::string& l : lines)
        {
            if (l[0] == 'S')
            {
                const long number = std::stol(Field(l, 1));
                const std::string text = l.size() > l.find(' ', 2) ? l.substr(l.find(' ', 2) + 1) : "";
                const bool numberOk = number == ackedNumber || number == pendingNumber;
                const bool textOk = text == ackedText || (textPending && text == pendingText);
                EXPECT_TRUE(numberOk) << "kill " << k << ": ShowPriority " << number << ", acknowledged "
                                      << ackedNumber;
                EXPECT_TRUE(textOk) << "kill " << k << ": LastCategory '" << text << "', acknowledged '" << ackedText
                                    << "'";
                landed += (number != ackedNumber) + (text != ackedText);
                ackedNumber = number;
                ackedText = text;
                pendingNumber = -1;
                textPending = false;
            }
            else if (l.rfind("P n ", 0) == 0)
                pendingNumber = std::stol(l.substr(4));
            else if (l.rfind("P s ", 0) == 0)
            {
                pendingText = l.substr(4);
                textPending = true;
            }
            else if (l == "A")
            {
                ++acks;
                if (textPending)
                    ackedText = pendingText;
                else
                    ackedNumber = pendingNumber;
                pendingNumber = -1;
                textPending = false;
            }
            else
            {
                ADD_FAILURE() << "kill " << k << ": worker reported '" << l << "'";
            }
        }
        if (k % 2 == 1 || k == kills)
        {
            EXPECT_EQ(IntegrityCheck(RegistryPath()), "ok") << "kill " << k;
        }
        if (HasFailure())
            break;
    }
    std::cout << "[ figures  ] registry" << (GetParam() ? ", power cuts: " : ": ") << kills << " kills, " << acks
              << " acknowledged writes, " << landed << " in-flight writes found landed" << std::endl;
    EXPECT_GT(acks, kills);
}

INSTANTIATE_TEST_SUITE_P(Crash, CrashRegistry, testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "PowerCut" : "Kill"); });

// Killed during the first start, the store and the registry are either not
// there yet or complete: the next start finds a fresh store with the two
// default categories, and the registry's values missing.
TEST(Crash, KilledWhileCreatingLeavesNothingOrACompleteFile)
{
    const int kills = Scale(30, 150);
    std::mt19937 rng(5);
    int storeThere = 0, registryThere = 0, leftovers = 0;
    for (int k = 0; k < kills; ++k)
    {
        fs::remove_all(Paths::DataDir());
        fs::remove_all(Paths::ConfigDir());
        {
            Worker store("store", {"1", "0"});
            Worker registry("registry", {"1", "0"});
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 12000));
            store.Kill();
            registry.Kill();
        }
        storeThere += fs::exists(StorePath());
        registryThere += fs::exists(RegistryPath());
        Worker store("store", {"1", "0"});
        Worker registry("registry", {"1", "0"});
        std::string s, r;
        ASSERT_TRUE(store.ReadLine(s, 10000));
        ASSERT_TRUE(registry.ReadLine(r, 10000));
        EXPECT_EQ(s, "S " + FreshStoreHash()) << "kill " << k << ": the store is not a fresh one";
        EXPECT_EQ(r, "S 0 ") << "kill " << k << ": the registry holds values";
        store.Wait();
        registry.Kill();
        for (const std::string& dir : {Paths::DataDir(), Paths::ConfigDir()})
            for (const auto& entry : fs::directory_iterator(dir))
            {
                const std::string name = entry.path().filename().string();
                leftovers +=
                    name[0] == '.' && name.find("-wal") == std::string::npos && name.find("-shm") == std::string::npos;
            }
        if (HasFailure())
            break;
    }
    std::cout << "[ figures  ] " << kills << " kills during the first start: the store file was there after "
              << storeThere << ", the registry file after " << registryThere << "; " << leftovers
              << " half-made temporary databases left behind" << std::endl;
}
