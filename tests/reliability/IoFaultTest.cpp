// I/O faults: the k-th write, sync, truncate or delete of a change fails, once
// or from then on, for every k the change makes. The change must report false
// and leave the store as it was, or report true and be there whole; the file
// must stay sound, and the store must work again once the fault is gone.

#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/support/TempXdg.h"
#include "tests/reliability/FaultVfs.h"
#include "tests/reliability/StoreChanges.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace
{
constexpr unsigned kPlanSeed = 17;

struct Outcome
{
    bool ok = false;
    int injected = 0;
    std::string state; // "before", "after" or "other"
    int messages = 0;
    bool retryOk = true;
};

std::string StateOf(const StoreModel& m, const std::string& before, const std::string& after)
{
    const std::string c = m.Canonical();
    return c == after ? "after" : c == before ? "before" : "other";
}

std::string Setenv(const std::string& dir)
{
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    return dir;
}

// The change of `kind` planned on the store as it is, always the same one.
bool Plan(const std::string& kind, StoreModel& before, PlannedChange& change)
{
    if (!before.Load())
        return false;
    std::mt19937 rng(kPlanSeed);
    int counter = NextCounter(before);
    return PlanChange(kind, before, rng, counter, change);
}

struct Sweep
{
    int points = 0;
    int refused = 0;
    int landedDespiteFault = 0; // true with a fault injected (e.g. a failed checkpoint after the commit)
    int messages = 0;
    std::vector<std::string> failures;
};

void RunPoint(const std::string& templ, const std::string& kind, FaultVfs::Op op, int k, bool persistent,
              bool retry, Sweep& sweep, bool& beyond)
{
    const std::string dir = TempXdgListener::Root() + "/point";
    fs::remove_all(dir);
    fs::create_directories(dir + "/tallyard");
    fs::copy_file(templ + "/tallyard/objectstore.db", dir + "/tallyard/objectstore.db");
    std::ostringstream where;
    where << kind << ", " << FaultVfs::Name(op) << " #" << k << (persistent ? " onwards" : " once")
          << (retry ? ", then an edit" : ", then a crash");

    ChildResult a = RunInChild([&] {
        Setenv(dir);
        StoreModel before;
        PlannedChange change;
        if (!Plan(kind, before, change))
            return std::string("cannot plan");
        int messages = 0;
        ListStore::SetMessageHook([&](const std::u16string&, const std::u16string&) { ++messages; });
        FaultVfs::Arm(op, k, persistent);
        const bool ok = change.run();
        const int injected = FaultVfs::Injected();
        FaultVfs::Disarm();
        StoreModel after;
        std::string state = after.Load() ? StateOf(after, before.Canonical(), change.expected.Canonical()) : "unreadable";
        bool retryOk = true;
        if (retry)
        {
            // The store must take edits again without a restart.
            StoreModel now;
            PlannedChange again;
            std::mt19937 rng(5);
            int counter = 900000;
            retryOk = now.Load() && PlanChange("renamelist", now, rng, counter, again) && again.run() &&
                      now.Load() && now.Canonical() == again.expected.Canonical();
        }
        std::ostringstream out;
        out << ok << ' ' << injected << ' ' << state << ' ' << messages << ' ' << retryOk;
        return out.str();
    });
    if (a.Crashed() || a.output == "cannot plan")
    {
        sweep.failures.push_back(where.str() + ": " + a.Describe());
        return;
    }
    Outcome o;
    std::istringstream in(a.output);
    in >> o.ok >> o.injected >> o.state >> o.messages >> o.retryOk;
    if (o.injected == 0)
    {
        beyond = true; // k is past the last such operation of the change
        if (!o.ok || o.state != "after")
            sweep.failures.push_back(where.str() + ": failed without a fault: " + a.output);
        return;
    }
    ++sweep.points;
    sweep.messages += o.messages;
    if (o.ok)
        ++sweep.landedDespiteFault;
    else
        ++sweep.refused;
    if (o.state == "other" || o.state == "unreadable")
        sweep.failures.push_back(where.str() + ": store partly changed (" + o.state + ")");
    else if (o.ok && o.state != "after")
        sweep.failures.push_back(where.str() + ": reported done but missing");
    else if (!o.ok && o.state != "before")
        sweep.failures.push_back(where.str() + ": reported failed but changed");
    if (!o.retryOk)
        sweep.failures.push_back(where.str() + ": the next edit failed once the fault was gone");

    // A fresh process reads what is on disk after recovery.
    ChildResult b = RunInChild([&] {
        Setenv(dir);
        std::string check = IntegrityCheck(dir + "/tallyard/objectstore.db");
        StoreModel now;
        if (!now.Load())
            return "unreadable " + check;
        return check + "\n" + now.CountErrors() + OrphanErrors() + "\n" + now.Canonical();
    });
    if (b.Crashed())
    {
        sweep.failures.push_back(where.str() + ": reopening: " + b.Describe());
        return;
    }
    const std::string check = b.output.substr(0, b.output.find('\n'));
    if (check != "ok")
        sweep.failures.push_back(where.str() + ": after reopening: " + check);
    const size_t errStart = b.output.find('\n') + 1, errEnd = b.output.find('\n', errStart);
    if (errEnd != errStart)
        sweep.failures.push_back(where.str() + ": " + b.output.substr(errStart, errEnd - errStart));
    if (!retry)
    {
        ChildResult plan = RunInChild([&] {
            Setenv(templ);
            StoreModel before;
            PlannedChange change;
            Plan(kind, before, change);
            return before.Canonical() + '\0' + change.expected.Canonical();
        });
        const std::string before = plan.output.substr(0, plan.output.find('\0'));
        const std::string after = plan.output.substr(plan.output.find('\0') + 1);
        const std::string onDisk = b.output.substr(errEnd + 1);
        const std::string want = o.ok ? after : before;
        if (onDisk != want)
            sweep.failures.push_back(where.str() + ": after reopening the store is " +
                                     (onDisk == after ? "changed" : onDisk == before ? "unchanged" : "partly changed") +
                                     " though the change " + (o.ok ? "succeeded" : "failed"));
    }
}

Sweep SweepChange(const std::string& kind)
{
    const std::string templ = TempXdgListener::Root() + "/template";
    ChildResult made = RunInChild([&] {
        Setenv(templ);
        std::mt19937 rng(2);
        int counter = 1;
        const bool ok = Populate(rng, counter, 3, 4);
        ObjectStore::ResetConnection();
        return std::string(ok ? "ok" : "failed");
    });
    Sweep sweep;
    if (made.output != "ok")
    {
        sweep.failures.push_back("cannot make the store: " + made.Describe());
        return sweep;
    }
    for (FaultVfs::Op op : {FaultVfs::Op::Write, FaultVfs::Op::Sync, FaultVfs::Op::Truncate, FaultVfs::Op::Delete})
        for (bool persistent : {false, true})
            for (bool retry : {false, true})
                for (int k = 1; k < 200; ++k)
                {
                    bool beyond = false;
                    RunPoint(templ, kind, op, k, persistent, retry, sweep, beyond);
                    if (beyond || sweep.failures.size() > 8)
                        break;
                }
    return sweep;
}

void Report(const std::string& kind, const Sweep& s)
{
    std::cout << "[ figures  ] " << kind << ": " << s.points << " fault points, " << s.refused << " refused, "
              << s.landedDespiteFault << " done despite the fault, " << s.messages << " store messages" << std::endl;
    for (const std::string& f : s.failures)
        ADD_FAILURE() << f;
}
}

class IoFault : public testing::TestWithParam<const char*>
{
protected:
    void SetUp() override { FaultVfs::Install(); }
};

TEST_P(IoFault, ChangeLandsWholeOrNotAtAllAndTheStoreRecovers)
{
    const Sweep s = SweepChange(GetParam());
    Report(GetParam(), s);
    EXPECT_GT(s.refused, 0) << "no fault made the change fail: the sweep did not reach it";
}

INSTANTIATE_TEST_SUITE_P(Changes, IoFault, testing::Values("tick", "copy", "renamecat"));
