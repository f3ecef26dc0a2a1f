#ifndef TALLYARD_BROWSER_MOVEROWS_H
#define TALLYARD_BROWSER_MOVEROWS_H

#include "store/ListStore.h"

#include <cstddef>
#include <vector>

/// Exchanges the checklists of rows `upper` and upper + 1 and their
/// positions, so the one moving up takes over the position of the one it
/// passes. When both held the same position the exchange alone would change
/// nothing stored, so the pair is then made strictly ordered with the fewest
/// changed positions (neighbours are pushed along only where they would
/// otherwise tie or cross). Returns every row whose record must be saved,
/// the two exchanged rows first.
std::vector<size_t> ExchangeChecklists(ListArray& lists, size_t upper, size_t selectedRow);

/// The position part of the above on plain numbers: makes pos[upper] <
/// pos[upper + 1] while keeping the sequence non-decreasing elsewhere,
/// changing as few entries as possible within 16-bit range. Returns the
/// changed indexes (empty when no change fits the range).
std::vector<size_t> SeparateEqualPositions(std::vector<int>& pos, size_t upper);

#endif
