/* Counts the guest instructions a program executes under qemu's user-mode emulator, for the
 * handheld's instruction figures (bench/arm_instructions.sh). Loaded with
 *   qemu-arm -plugin libvelkoro_insn.so,total=FILE[,blocks=FILE] PROGRAM ...
 * At the program's exit it writes the total to `total`, and with `blocks` one line per
 * translated block: its guest address, its instructions and how often it ran (the raw material
 * of per-function figures: map the addresses to the program's symbols).
 *
 * qemu ships the plugin interface without its header in Debian, so the few declarations used
 * here are written out: plugin interface version 1, as qemu 7.2 provides. Every translated
 * block gets a counter that qemu's generated code increments in place, so counting costs no call
 * per block; a block that ends early (a fault) still counts whole, which a user-mode program of
 * ours never does outside its system calls. */
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct {
    const char* target_name;
    struct {
        int min;
        int cur;
    } version;
    bool system_emulation;
    union {
        struct {
            int smp_vcpus;
            int max_vcpus;
        } system;
    };
} qemu_info_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb* tb);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

#define EXPORTED __attribute__((visibility("default")))
EXPORTED int qemu_plugin_version = 1;

struct block {
    uint64_t address;
    uint64_t instructions;
    uint64_t runs; /* incremented by qemu's generated code */
    struct block* next;
};

static struct block* blocks;
static char total_path[1024];
static char blocks_path[1024];

static void translated(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    struct block* b = calloc(1, sizeof *b);
    if (!b) return;
    b->address = qemu_plugin_tb_vaddr(tb);
    b->instructions = qemu_plugin_tb_n_insns(tb);
    b->next = blocks;
    blocks = b;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->runs, 1);
}

static void finished(qemu_plugin_id_t id, void* userdata) {
    (void)id;
    (void)userdata;
    uint64_t total = 0;
    FILE* out = blocks_path[0] ? fopen(blocks_path, "w") : NULL;
    for (struct block* b = blocks; b; b = b->next) {
        total += b->instructions * b->runs;
        if (out && b->runs)
            fprintf(out, "%08llx %llu %llu\n", (unsigned long long)b->address,
                    (unsigned long long)b->instructions, (unsigned long long)b->runs);
    }
    if (out) fclose(out);
    out = total_path[0] ? fopen(total_path, "w") : stderr;
    if (!out) return;
    fprintf(out, "%llu\n", (unsigned long long)total);
    if (out != stderr) fclose(out);
}

EXPORTED int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info, int argc, char** argv) {
    (void)info;
    for (int i = 0; i < argc; ++i) {
        if (strncmp(argv[i], "total=", 6) == 0)
            snprintf(total_path, sizeof total_path, "%s", argv[i] + 6);
        else if (strncmp(argv[i], "blocks=", 7) == 0)
            snprintf(blocks_path, sizeof blocks_path, "%s", argv[i] + 7);
        else {
            fprintf(stderr, "velkoro insn plugin: unknown argument %s\n", argv[i]);
            return -1;
        }
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, translated);
    qemu_plugin_register_atexit_cb(id, finished, NULL);
    return 0;
}
