/* The few operations on a target_core_user command ring, in C: the kernel's uapi header
 * for the ring is not valid C++. Offsets are from the start of the ring's mapping. */
#ifndef KDU_TCMU_UAPI_H
#define KDU_TCMU_UAPI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct kdu_tcmu_entry {
    uint32_t tail;        /* where the entry starts in the command ring */
    uint64_t cdb_offset;
    uint32_t buffer_count;
};

/* Nonzero when the mapping holds a ring this program speaks. */
int kdu_tcmu_known_version(const void *map);
/* Takes the next command: passes over padding and notices; 0 when the ring is empty. */
int kdu_tcmu_next(void *map, struct kdu_tcmu_entry *entry);
/* Data buffer `index` of the command at `tail`. */
void kdu_tcmu_buffer(const void *map, uint32_t tail, uint32_t index, uint64_t *offset, uint64_t *length);
/* Answers the command at `tail` and moves the ring's tail past it. The data-in length is
 * reported where the kernel takes it. */
void kdu_tcmu_complete(void *map, uint32_t tail, uint8_t status, const uint8_t *sense, size_t sense_length,
                       uint32_t data_in_length);

#ifdef __cplusplus
}
#endif

#endif
