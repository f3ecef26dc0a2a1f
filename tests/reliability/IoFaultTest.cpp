// I/O faults: the k-th write, sync, truncate or delete of a change fails, once
// or from then on, for every k the change makes. The change must report false
// and leave the store as it was, or report true and be there whole; the file
// must stay sound, and the store must work again once the fault is gone.

#include "platform/ObjectStore.h"
#include "tests/reliability/Child.h"
#include "tests/reliability/FaultVfs.h"
#include "tests/reliability/StoreChanges.h"
#include "tests/support/TempXdg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace
{
constexpr unsigned kPlanSeed = 17;

// Faults are simulated, so the points need no real disk: memory is faster.
std::string MakeScratch()
{
    std::string templ =
        (fs::is_directory("/dev/shm") ? std::string("/dev/shm") : TempXdgListener::Root()) + "/tallyard-faults-XXXXXX";
    return mkdtemp(templ.data()) ? templ : TempXdgListener::Root() + "/scratch";
}

// What follows the faulty change: a crash at once, a further edit in the
// same process, or closing the store (its checkpoint then meets the fault).
enum class Then
{
    Crash,
    Edit,
    Close
};

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
    int backAfterFailedSync = 0;      // refused, then found whole after a crash
    std::map<std::string, int> perOp; // operations of each kind the change makes
    std::vector<std::string> failures;
};

void RunPoint(const std::string& scratch, const std::string& templ, const std::string& kind, FaultVfs::Op op, int k,
              bool persistent, Then then, Sweep& sweep, bool& beyond)
{
    const std::string dir = scratch + "/point";
    fs::remove_all(dir);
    fs::create_directories(dir + "/tallyard");
    fs::copy_file(templ + "/tallyard/objectstore.db", dir + "/tallyard/objectstore.db");
    if (fs::exists(templ + "/tallyard/objectstore.db-wal"))
        fs::copy_file(templ + "/tallyard/objectstore.db-wal", dir + "/tallyard/objectstore.db-wal");
    std::ostringstream where;
    where << kind << ", " << FaultVfs::Name(op) << " #" << k << (persistent ? " onwards" : " once")
          << (then == Then::Edit    ? ", then an edit"
              : then == Then::Close ? ", then closing the store"
                                    : ", then a crash");
    const bool retry = then == Then::Edit;

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
        if (then == Then::Close)
            ObjectStore::ResetConnection(); // checkpoint and WAL removal, still under the fault
        const int injected = FaultVfs::Injected();
        FaultVfs::Disarm();
        StoreModel after;
        std::string state =
            after.Load() ? StateOf(after, before.Canonical(), change.expected.Canonical()) : "unreadable";
        bool retryOk = true;
        if (retry)
        {
            // The store must take edits again without a restart.
            StoreModel now;
            PlannedChange again;
            std::mt19937 rng(5);
            int counter = 900000;
            retryOk = now.Load() && PlanChange("renamelist", now, rng, counter, again) && again.run() && now.Load() &&
                      now.Canonical() == again.expected.Canonical();
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
    {
        // Reopened after a failed sync: see below.
        if (op == FaultVfs::Op::Sync && then == Then::Close)
            ++sweep.backAfterFailedSync;
        else
            sweep.failures.push_back(where.str() + ": reported failed but changed");
    }
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
        // A failed sync leaves it unknown what reached the disk: a crash right
        // after may find the change whole in the WAL. Whole, never partial.
        if (!o.ok && op == FaultVfs::Op::Sync && onDisk == after)
            ++sweep.backAfterFailedSync;
        else if (onDisk != want)
            sweep.failures.push_back(where.str() + ": after reopening the store is " +
                                     (onDisk == after    ? "changed"
                                      : onDisk == before ? "unchanged"
                                                         : "partly changed") +
                                     " though the change " + (o.ok ? "succeeded" : "failed"));
    }
}

// With `withWal` the store starts with a WAL left by a crash, so the change
// appends to it after recovery; otherwise it starts a fresh WAL.
Sweep SweepChange(const std::string& kind, bool withWal)
{
    const std::string scratch = MakeScratch();
    const std::string templ = scratch + "/template";
    ChildResult made = RunInChild([&] {
        Setenv(templ);
        std::mt19937 rng(2);
        int counter = 1;
        const bool ok = Populate(rng, counter, 3, 4);
        if (!withWal)
            ObjectStore::ResetConnection();
        return std::string(ok ? "ok" : "failed");
    });
    Sweep sweep;
    if (made.output != "ok")
    {
        sweep.failures.push_back("cannot make the store: " + made.Describe());
        fs::remove_all(scratch);
        return sweep;
    }
    for (FaultVfs::Op op : {FaultVfs::Op::Write, FaultVfs::Op::Sync, FaultVfs::Op::Truncate, FaultVfs::Op::Delete})
        for (bool persistent : {false, true})
            for (Then then : {Then::Crash, Then::Edit, Then::Close})
                for (int k = 1; k < 200; ++k)
                {
                    bool beyond = false;
                    RunPoint(scratch, templ, kind, op, k, persistent, then, sweep, beyond);
                    if (beyond)
                        sweep.perOp[std::string(FaultVfs::Name(op)) + (then == Then::Close ? "s with closing" : "s")] =
                            k - 1;
                    if (beyond || sweep.failures.size() > 8)
                        break;
                }
    fs::remove_all(scratch);
    return sweep;
}

void Report(const std::string& kind, const Sweep& s)
{
    std::cout << "[ figures  ] " << kind << ": " << s.points << " fault points, " << s.refused << " refused, "
              << s.landedDespiteFault << " done despite the fault, " << s.backAfterFailedSync
              << " refused after a failed sync but found whole after a crash, " << s.messages
              << " store messages; the change makes";
    for (auto& [op, n] : s.perOp)
        std::cout << ' ' << n << ' ' << op << ',';
    std::cout << std::endl;
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
    for (bool withWal : {false, true})
    {
        const Sweep s = SweepChange(GetParam(), withWal);
        Report(std::string(GetParam()) + (withWal ? " after WAL recovery" : ""), s);
        EXPECT_GT(s.refused, 0) << "no fault made the change fail: the sweep did not reach it";
    }
}

INSTANTIATE_TEST_SUITE_P(Changes, IoFault, testing::Values("tick", "copy", "renamecat"));

// The other kinds of change: two in the quick run, all in the long one.
TEST(IoFaultOther, EveryOtherKindLandsWholeOrNotAtAll)
{
    FaultVfs::Install();
    std::vector<std::string> kinds;
    for (const std::string& kind : ChangeKinds())
        if (kind != "tick" && kind != "copy" && kind != "renamecat" &&
            (LongRun() || kind == "delete" || kind == "purge"))
            kinds.push_back(kind);
    for (const std::string& kind : kinds)
    {
        const Sweep s = SweepChange(kind, LongRun());
        Report(kind, s);
        EXPECT_GT(s.refused, 0) << kind << ": no fault made the change fail";
    }
}
