#ifndef TALLYARD_TESTS_RELIABILITY_STOREMODEL_H
#define TALLYARD_TESTS_RELIABILITY_STOREMODEL_H

// The whole store as plain records, read through the store's own operations,
// and a canonical text of it that leaves out ids (new ids are random) so two
// stores with the same content compare equal.

#include "store/ListStore.h"

#include <cstdint>
#include <string>
#include <vector>

struct StoreModel
{
    CategoryList categories;
    std::vector<ListRecord> lists; // with their items

    /// Reads every category, checklist and item. False when a load fails.
    bool Load();
    /// Lists sorted by name, items by name: independent of ids and load order.
    std::string Canonical() const;
    /// Empty when every checklist's counts match its items, else what is wrong.
    std::string CountErrors() const;

    ListRecord* Find(int32_t id);
};

/// Empty when every stored item belongs to a stored checklist, else which do
/// not. Reads the raw records, which the store's loads never show.
std::string OrphanErrors();

uint64_t Fnv1a(const std::string& text);
std::string Utf8(const std::u16string& text);

/// Path of the object store and of the registry of the current XDG folders.
std::string StorePath();
std::string RegistryPath();

/// Result of PRAGMA integrity_check on `path` through a fresh connection
/// ("ok" when sound; the error text when it cannot even be opened).
std::string IntegrityCheck(const std::string& path);

/// The file's bytes ("" when missing).
std::string ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::string& bytes);

#endif
