// Registries of tracking mode: the live blocks of one kind, each with its
// element count, in order of registration, found by address in constant time.
//
// Entries sit in slots in order of registration; a removed entry leaves an
// empty slot (address null) until the slots are compacted, which happens when
// the slots are full and at least half of them are empty, so every operation
// costs constant time on average. A hash index (open addressing, linear
// probing) maps each live address to its slot. Slots and index grow by
// doubling; when the last entry goes, all storage is released.
#ifndef MORLA_REGISTRY_H
#define MORLA_REGISTRY_H

#include "general.h"

// The fatal texts of one registry's bookkeeping.
typedef struct {
    const char *create_addr;   // first address slots cannot be had
    const char *create_count;  // first count slots cannot be had
    const char *grow_count;    // count slots cannot grow
    const char *grow_addr;     // address slots (or the index) cannot grow
    const char *remove_empty;  // removal from an empty registry
} RegistryFailures;

typedef struct {
    void **addr;     // slots in order of registration; NULL: removed entry
    int *count;      // element count of each slot
    int slots;       // slots in use, live or removed
    int capacity;    // slots allocated
    int *index;      // hash index: slot + 1 of a live address, 0 empty
    int index_size;  // a power of two above twice the live entries, or 0
    int *entries;    // live entries (a global the tests and reports read)
    const RegistryFailures *fail;
} Registry;

// The slot of a registered address, or -1.
int registry_find(const Registry *reg, const void *address);
// Registers (address, n); the address must not be registered.
void registry_add(Registry *reg, void *address, int n);
// Removes the entry in `slot` (a slot registry_find returned).
void registry_remove(Registry *reg, int slot);
// The position of the entry in `slot` among the live entries, from 1.
int registry_position(const Registry *reg, int slot);
// Forgets every entry without releasing its block and releases the
// registry's own storage.
void registry_clear(Registry *reg);
// The k-th live entry in order of registration (k from 0): its address and
// count; FALSE when there are k entries or fewer.
boolean registry_entry(const Registry *reg, int k, void **address, int *n);

#endif
