// Undo steps: the changesets of a step's transactions, merged, applied and
// inverted by SQLite's session extension.
#include "platform/UndoHistory.h"

#include "platform/ObjectStoreConnection.h"
#include "platform/UndoRecorder.h"

#include <cstring>
#include <deque>
#include <mutex>

namespace ObjectStore
{
namespace
{
struct Step
{
    std::u16string name;
    std::string path;
    std::string changeset;

    size_t Bytes() const { return sizeof(Step) + name.size() * sizeof(char16_t) + path.size() + changeset.size(); }
};

struct History
{
    std::mutex mutex;
    std::deque<Step> undo; // newest last
    std::deque<Step> redo; // next to redo last
    size_t bytes = 0;
    size_t limit = Undo::kDefaultMemoryLimit;

    void Trim()
    {
        while (bytes > limit && undo.size() > 1)
        {
            bytes -= undo.front().Bytes();
            undo.pop_front();
        }
    }
    void ClearRedo()
    {
        for (const Step& s : redo)
            bytes -= s.Bytes();
        redo.clear();
    }
};

History& TheHistory()
{
    static History history;
    return history;
}

// The step being recorded on this thread.
struct OpenStep
{
    int depth = 0;
    int unrecorded = 0;
    std::u16string name;
    std::string path;
    sqlite3_changegroup* group = nullptr;
    // A change of the step could not be recorded: the step cannot be undone.
    bool incomplete = false;
    bool changed = false;
};

thread_local OpenStep t_step;

struct ApplyState
{
    sqlite3* db = nullptr;
    bool conflict = false;
};

int ApplyTable(void* context, const char* table)
{
    auto* state = static_cast<ApplyState*>(context);
    // A table that is gone would have its changes skipped: refuse instead.
    if (sqlite3_table_column_metadata(state->db, "main", table, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr) != SQLITE_OK)
    {
        state->conflict = true;
        return 0;
    }
    return 1;
}

int OnConflict(void* context, int, sqlite3_changeset_iter*)
{
    static_cast<ApplyState*>(context)->conflict = true;
    return SQLITE_CHANGESET_ABORT;
}

UndoOutcome Apply(bool undo)
{
    if (t_step.depth > 0)
    {
        detail::SetLastError("A change is in progress");
        return UndoOutcome::Failed;
    }
    const std::string path = StorePath();
    History& h = TheHistory();
    Step step;
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        std::deque<Step>& from = undo ? h.undo : h.redo;
        if (from.empty() || from.back().path != path)
            return UndoOutcome::Nothing;
        step = std::move(from.back());
        from.pop_back();
    }
    // Not under the lock: a refusal is reported to the program's hook, which
    // may ask for the step names again.
    ApplyState state;
    bool ok = false;
    if (auto c = detail::Acquire(); c && c->path == path)
    {
        state.db = c->db;
        ok = detail::InTransaction(*c, [&] {
            ++c->generation;
            const int rc = sqlite3changeset_apply_v2(c->db, int(step.changeset.size()), step.changeset.data(),
                                                     ApplyTable, OnConflict, &state, nullptr, nullptr,
                                                     undo ? SQLITE_CHANGESETAPPLY_INVERT : 0);
            ++c->generation;
            if (state.conflict)
            {
                detail::SetLastError("A record the step changed was changed since");
                return false;
            }
            if (rc != SQLITE_OK)
                return c->Fail(undo ? "Cannot undo the change" : "Cannot redo the change");
            return true;
        });
    }
    std::lock_guard<std::mutex> lock(h.mutex);
    // Done: the step moves to the other side; otherwise it stays where it was.
    const bool toRedo = undo ? ok : !ok;
    std::deque<Step>& to = toRedo ? h.redo : h.undo;
    to.push_back(std::move(step));
    if (ok)
        return UndoOutcome::Done;
    return state.conflict ? UndoOutcome::ChangedSince : UndoOutcome::Failed;
}

void FinishStep()
{
    OpenStep& s = t_step;
    std::string changes;
    if (s.group && !s.incomplete)
    {
        int size = 0;
        void* data = nullptr;
        if (sqlite3changegroup_output(s.group, &size, &data) == SQLITE_OK)
            changes.assign(static_cast<const char*>(data), size_t(size));
        else
            s.incomplete = true;
        sqlite3_free(data);
    }
    if (s.group)
        sqlite3changegroup_delete(s.group);
    s.group = nullptr;

    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    if (s.changed || !changes.empty())
        h.ClearRedo();
    if (!s.incomplete && !changes.empty())
    {
        // Steps of another store file cannot be undone here.
        if (!h.undo.empty() && h.undo.back().path != s.path)
        {
            h.undo.clear();
            h.bytes = 0;
        }
        Step step{std::move(s.name), std::move(s.path), std::move(changes)};
        h.bytes += step.Bytes();
        h.undo.push_back(std::move(step));
        h.Trim();
    }
    s = OpenStep{};
}
}

namespace detail
{
void StartRecording(Connection& c)
{
    OpenStep& s = t_step;
    c.recording = false;
    if (s.depth == 0 || s.unrecorded > 0)
        return;
    if (s.path.empty())
        s.path = c.path;
    if (s.path != c.path)
    {
        s.incomplete = true;
        return;
    }
    if (!c.recorder)
        c.recorder = std::make_shared<UndoRecorder>();
    c.recorder->Start(c.db);
    c.recording = true;
}

void TakeRecording(Connection& c, std::string& changes)
{
    changes.clear();
    if (c.recording && !c.recorder->Take(changes))
        t_step.incomplete = true;
}

void EndRecording(Connection& c, bool committed, const std::string& changes)
{
    const bool recorded = c.recording;
    if (c.recording)
        c.recorder->Stop(c.db);
    c.recording = false;
    OpenStep& s = t_step;
    if (!recorded || !committed || s.depth == 0 || changes.empty())
        return;
    s.changed = true;
    if (!s.group && sqlite3changegroup_new(&s.group) != SQLITE_OK)
        s.group = nullptr;
    if (!s.group || sqlite3changegroup_add(s.group, int(changes.size()), const_cast<char*>(changes.data())) !=
                        SQLITE_OK)
        s.incomplete = true;
}
}

UndoStep::UndoStep(std::u16string name)
{
    if (t_step.depth++ == 0)
        t_step.name = std::move(name);
}

void UndoStep::Rename(std::u16string name)
{
    if (t_step.depth > 0)
        t_step.name = std::move(name);
}

UndoStep::~UndoStep()
{
    if (--t_step.depth == 0)
        FinishStep();
}

UnrecordedChanges::UnrecordedChanges()
{
    ++t_step.unrecorded;
}

UnrecordedChanges::~UnrecordedChanges()
{
    --t_step.unrecorded;
}

namespace Undo
{
bool CanUndo()
{
    return !UndoName().empty();
}

bool CanRedo()
{
    return !RedoName().empty();
}

namespace
{
std::u16string NameOf(bool undo)
{
    const std::string path = StorePath();
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    const std::deque<Step>& steps = undo ? h.undo : h.redo;
    if (steps.empty() || steps.back().path != path)
        return std::u16string();
    // Every step has a name to show, even one opened without.
    return steps.back().name.empty() ? u"Change" : steps.back().name;
}
}

std::u16string UndoName()
{
    return NameOf(true);
}

std::u16string RedoName()
{
    return NameOf(false);
}

UndoOutcome UndoLast()
{
    return Apply(true);
}

UndoOutcome RedoLast()
{
    return Apply(false);
}

void Clear()
{
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.undo.clear();
    h.redo.clear();
    h.bytes = 0;
}

size_t UndoCount()
{
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.undo.size();
}

size_t RedoCount()
{
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.redo.size();
}

size_t MemoryUsed()
{
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    return h.bytes;
}

void SetMemoryLimit(size_t bytes)
{
    History& h = TheHistory();
    std::lock_guard<std::mutex> lock(h.mutex);
    h.limit = bytes;
    h.Trim();
}
}
}
