#ifndef TALLYARD_PLATFORM_UNDOHISTORY_H
#define TALLYARD_PLATFORM_UNDOHISTORY_H

// Undo and redo of the changes this process makes to the object store.
//
// Each step is the SQLite changeset of the changes committed while an
// UndoStep lived. Undo applies the inverted changeset, redo the changeset,
// each as one durable transaction; a record the step touched that holds
// anything else now (changed by another instance, another program or an
// unrecorded change) refuses the whole undo or redo. No wxWidgets.

#include <cstddef>
#include <string>

namespace ObjectStore
{
/// While one lives on this thread, every change this thread commits to the
/// store joins one undo step named `name`. Steps nest: inner ones join the
/// outermost. A step that changed nothing is not kept; one that changed
/// something clears the redo steps.
class UndoStep
{
public:
    explicit UndoStep(std::u16string name);
    ~UndoStep();
    UndoStep(const UndoStep&) = delete;
    UndoStep& operator=(const UndoStep&) = delete;

    /// Renames the step in progress after what it turned out to do.
    static void Rename(std::u16string name);
};

/// Changes committed on this thread while one lives belong to no undo step
/// (for example what a sync brings in), even inside an UndoStep.
class UnrecordedChanges
{
public:
    UnrecordedChanges();
    ~UnrecordedChanges();
    UnrecordedChanges(const UnrecordedChanges&) = delete;
    UnrecordedChanges& operator=(const UnrecordedChanges&) = delete;
};

enum class UndoOutcome
{
    Done,
    /// No step to undo or redo (for the store in use).
    Nothing,
    /// A record the step touched was changed since; nothing was changed.
    ChangedSince,
    /// The store refused or failed the change; nothing was changed.
    Failed
};

namespace Undo
{
bool CanUndo();
bool CanRedo();
/// The name of the step Undo() / Redo() would take back or make again.
std::u16string UndoName();
std::u16string RedoName();
UndoOutcome UndoLast();
UndoOutcome RedoLast();
/// Forgets every step.
void Clear();

size_t UndoCount();
size_t RedoCount();
/// Bytes the kept steps take (changesets, names and bookkeeping).
size_t MemoryUsed();
/// Oldest steps are forgotten beyond this many bytes; the newest step is
/// always kept.
constexpr size_t kDefaultMemoryLimit = size_t(64) << 20;
void SetMemoryLimit(size_t bytes);
}
}

#endif
