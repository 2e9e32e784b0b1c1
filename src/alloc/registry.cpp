// Registries of tracking mode: ordered slots with a hash index by address.
#include "alloc/registry.h"

#include <cstdint>
#include <cstdlib>

#include "numeric/nrerror.h"

namespace {

const int FIRST_CAPACITY = 16;

// Home position of an address in an index of `size` (a power of two) entries:
// Fibonacci hashing of the address without its alignment bits.
int home(const void *address, int size)
{
    uint64_t key = ((uint64_t)(uintptr_t)address >> 4) * 0x9E3779B97F4A7C15ull;
    int bits = __builtin_ctz((unsigned)size);
    return (int)(key >> (64 - bits));
}

void index_insert(Registry *reg, int slot)
{
    int mask = reg->index_size - 1;
    int i = home(reg->addr[slot], reg->index_size);
    while (reg->index[i] != 0)
        i = (i + 1) & mask;
    reg->index[i] = slot + 1;
}

// A fresh index of `size` entries holding every live slot.
void index_rebuild(Registry *reg, int size, const char *failure)
{
    free(reg->index);
    reg->index = (int *)calloc((size_t)size, sizeof(int));
    if (reg->index == NULL)
        nrerror(failure);
    reg->index_size = size;
    for (int s = 0; s < reg->slots; s++)
        if (reg->addr[s] != NULL)
            index_insert(reg, s);
}

// The index position that holds `slot`.
int index_position(const Registry *reg, int slot)
{
    int mask = reg->index_size - 1;
    int i = home(reg->addr[slot], reg->index_size);
    while (reg->index[i] != slot + 1)
        i = (i + 1) & mask;
    return i;
}

// Empties index position i, moving later entries of the same probe run back
// so that every live address stays reachable from its home position.
void index_erase(Registry *reg, int i)
{
    int mask = reg->index_size - 1;
    int j = i;
    for (;;) {
        j = (j + 1) & mask;
        if (reg->index[j] == 0)
            break;
        int k = home(reg->addr[reg->index[j] - 1], reg->index_size);
        // The entry at j may move to i unless its home lies cyclically in (i, j].
        boolean stays = (i <= j) ? (i < k && k <= j) : (i < k || k <= j);
        if (!stays) {
            reg->index[i] = reg->index[j];
            i = j;
        }
    }
    reg->index[i] = 0;
}

// Moves the live entries to the front, keeping their order.
void compact(Registry *reg)
{
    int live = 0;
    for (int s = 0; s < reg->slots; s++)
        if (reg->addr[s] != NULL) {
            reg->addr[live] = reg->addr[s];
            reg->count[live] = reg->count[s];
            live++;
        }
    reg->slots = live;
    index_rebuild(reg, reg->index_size, reg->fail->grow_addr);
}

void release_all(Registry *reg)
{
    free(reg->count);
    free(reg->addr);
    free(reg->index);
    reg->count = NULL;
    reg->addr = NULL;
    reg->index = NULL;
    reg->slots = reg->capacity = reg->index_size = 0;
    *reg->entries = 0;
}

} // namespace

int registry_find(const Registry *reg, const void *address)
{
    if (reg->index_size == 0 || address == NULL)
        return -1;
    int mask = reg->index_size - 1;
    for (int i = home(address, reg->index_size); reg->index[i] != 0; i = (i + 1) & mask)
        if (reg->addr[reg->index[i] - 1] == address)
            return reg->index[i] - 1;
    return -1;
}

void registry_add(Registry *reg, void *address, int n)
{
    const RegistryFailures *f = reg->fail;
    if (reg->capacity == 0) {
        reg->addr = (void **)malloc(FIRST_CAPACITY * sizeof(void *));
        if (reg->addr == NULL)
            nrerror(f->create_addr);
        reg->count = (int *)malloc(FIRST_CAPACITY * sizeof(int));
        if (reg->count == NULL)
            nrerror(f->create_count);
        reg->capacity = FIRST_CAPACITY;
        reg->slots = 0;
        index_rebuild(reg, 2 * FIRST_CAPACITY, f->create_addr);
    } else if (reg->slots == reg->capacity) {
        if (2 * *reg->entries <= reg->slots) {
            compact(reg);
        } else {
            int grown = 2 * reg->capacity;
            int *count = (int *)realloc(reg->count, (size_t)grown * sizeof(int));
            if (count == NULL)
                nrerror(f->grow_count);
            reg->count = count;
            void **addr = (void **)realloc(reg->addr, (size_t)grown * sizeof(void *));
            if (addr == NULL)
                nrerror(f->grow_addr);
            reg->addr = addr;
            reg->capacity = grown;
            index_rebuild(reg, 2 * grown, f->grow_addr);
        }
    }
    int slot = reg->slots++;
    reg->addr[slot] = address;
    reg->count[slot] = n;
    index_insert(reg, slot);
    (*reg->entries)++;
}

void registry_remove(Registry *reg, int slot)
{
    if (*reg->entries == 0)
        nrerror(reg->fail->remove_empty);
    if (*reg->entries == 1) {
        release_all(reg);
        return;
    }
    index_erase(reg, index_position(reg, slot));
    reg->addr[slot] = NULL;
    (*reg->entries)--;
    // Trailing removed slots are given back at once.
    while (reg->slots > 0 && reg->addr[reg->slots - 1] == NULL)
        reg->slots--;
}

void registry_clear(Registry *reg)
{
    release_all(reg);
}

int registry_position(const Registry *reg, int slot)
{
    int position = 0;
    for (int s = 0; s <= slot; s++)
        if (reg->addr[s] != NULL)
            position++;
    return position;
}

boolean registry_entry(const Registry *reg, int k, void **address, int *n)
{
    for (int s = 0; s < reg->slots; s++) {
        if (reg->addr[s] == NULL)
            continue;
        if (k-- == 0) {
            *address = reg->addr[s];
            *n = reg->count[s];
            return TRUE;
        }
    }
    return FALSE;
}
