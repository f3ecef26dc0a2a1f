#ifndef TALLYARD_TESTS_RELIABILITY_STORECHANGES_H
#define TALLYARD_TESTS_RELIABILITY_STORECHANGES_H

// Every kind of change the program makes to the store, each as the calls the
// program makes plus the store it must leave behind when it succeeds.

#include "tests/reliability/StoreModel.h"

#include <functional>
#include <random>
#include <string>
#include <vector>

struct PlannedChange
{
    std::string kind;
    StoreModel expected; // the store after the change has landed whole
    std::function<bool()> run;
};

/// All kinds, in a fixed order.
const std::vector<std::string>& ChangeKinds();

/// Plans a change of `kind` on the store `now`. False when the kind does not
/// apply (e.g. a tick on a store without items). `counter` numbers new names.
bool PlanChange(const std::string& kind, const StoreModel& now, std::mt19937& rng, int& counter, PlannedChange& out);

/// A random applicable change, weighted to keep the store small.
PlannedChange PlanRandomChange(const StoreModel& now, std::mt19937& rng, int& counter);

/// One more than the largest number in any name of the store.
int NextCounter(const StoreModel& now);

/// Fills a fresh store with a few categories, checklists and items.
bool Populate(std::mt19937& rng, int& counter, int lists, int items);

#endif
