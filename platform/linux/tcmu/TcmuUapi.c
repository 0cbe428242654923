#include "platform/linux/tcmu/TcmuUapi.h"

#include <string.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic" /* the header's zero-length iovec array */
#include <linux/target_core_user.h>
#pragma GCC diagnostic pop

static struct tcmu_mailbox *mailbox(const void *map) { return (struct tcmu_mailbox *)map; }

static struct tcmu_cmd_entry *entry_at(const void *map, uint32_t tail) {
    return (struct tcmu_cmd_entry *)((char *)map + mailbox(map)->cmdr_off + tail);
}

static void advance(void *map, uint32_t length) {
    struct tcmu_mailbox *mb = mailbox(map);
    __atomic_store_n(&mb->cmd_tail, (mb->cmd_tail + length) % mb->cmdr_size, __ATOMIC_RELEASE);
}

int kdu_tcmu_known_version(const void *map) { return mailbox(map)->version == TCMU_MAILBOX_VERSION; }

int kdu_tcmu_next(void *map, struct kdu_tcmu_entry *out) {
    struct tcmu_mailbox *mb = mailbox(map);
    for (;;) {
        const uint32_t head = __atomic_load_n(&mb->cmd_head, __ATOMIC_ACQUIRE);
        const uint32_t tail = mb->cmd_tail;
        if (head == tail) return 0;
        struct tcmu_cmd_entry *entry = entry_at(map, tail);
        if (tcmu_hdr_get_op(entry->hdr.len_op) != TCMU_OP_CMD) {
            advance(map, tcmu_hdr_get_len(entry->hdr.len_op)); /* padding, or a notice wanting no answer */
            continue;
        }
        out->tail = tail;
        out->cdb_offset = entry->req.cdb_off;
        out->buffer_count = entry->req.iov_cnt;
        return 1;
    }
}

void kdu_tcmu_buffer(const void *map, uint32_t tail, uint32_t index, uint64_t *offset, uint64_t *length) {
    struct iovec v;
    /* the entry is packed: copy the vector out rather than point into it */
    memcpy(&v, (const char *)entry_at(map, tail)->req.iov + index * sizeof v, sizeof v);
    *offset = (uint64_t)(uintptr_t)v.iov_base;
    *length = v.iov_len;
}

void kdu_tcmu_complete(void *map, uint32_t tail, uint8_t status, const uint8_t *sense, size_t sense_length,
                       uint32_t data_in_length) {
    struct tcmu_cmd_entry *entry = entry_at(map, tail);
    const uint32_t length = tcmu_hdr_get_len(entry->hdr.len_op);
    entry->rsp.scsi_status = status;
    if (sense_length > 0)
        memcpy(entry->rsp.sense_buffer, sense,
               sense_length < TCMU_SENSE_BUFFERSIZE ? sense_length : TCMU_SENSE_BUFFERSIZE);
    if (mailbox(map)->flags & TCMU_MAILBOX_FLAG_CAP_READ_LEN) {
        entry->hdr.uflags |= TCMU_UFLAG_READ_LEN;
        entry->rsp.read_len = data_in_length;
    }
    advance(map, length);
}
