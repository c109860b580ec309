/* Counts the guest instructions a program executes under qemu's user-mode emulator, for the
 * handheld's instruction figures (bench/arm_instructions.sh). Loaded with
 *   qemu-arm -plugin libvelkoro_insn.so,total=FILE[,blocks=FILE][,screen=START:BYTES,stores=FILE] PROGRAM ...
 * At the program's exit it writes the total to `total`, and with `blocks` one line per
 * translated block: its guest address, its instructions and how often it ran (the raw material
 * of per-function figures: map the addresses to the program's symbols).
 *
 * With `screen` (a guest address range, hexadecimal) it also counts the stores into that range,
 * which on the handheld is uncached memory where every store instruction stalls the processor:
 * `stores` gets the store instructions that wrote there and the 32-bit words they wrote. A
 * multi-word store is one instruction that writes several words; an instruction is counted by
 * its block's runs, weighted by the share of its writes that went to the range (exact for the
 * presentation's stores, which always write there).
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
struct qemu_plugin_insn;
typedef uint32_t qemu_plugin_meminfo_t;
enum qemu_plugin_cb_flags { QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_CB_R_REGS, QEMU_PLUGIN_CB_RW_REGS };
enum qemu_plugin_mem_rw { QEMU_PLUGIN_MEM_R = 1, QEMU_PLUGIN_MEM_W, QEMU_PLUGIN_MEM_RW };
typedef void (*qemu_plugin_vcpu_mem_cb_t)(unsigned int vcpu_index, qemu_plugin_meminfo_t info, uint64_t vaddr,
                                          void* userdata);
struct qemu_plugin_insn* qemu_plugin_tb_get_insn(const struct qemu_plugin_tb* tb, size_t idx);
void qemu_plugin_register_vcpu_mem_cb(struct qemu_plugin_insn* insn, qemu_plugin_vcpu_mem_cb_t cb,
                                      enum qemu_plugin_cb_flags flags, enum qemu_plugin_mem_rw rw, void* userdata);
unsigned int qemu_plugin_mem_size_shift(qemu_plugin_meminfo_t info);
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

/* One instruction's writes, for the stores into the screen range. */
struct writer {
    struct block* block;
    uint64_t writes;        /* every write it made */
    uint64_t screen_writes; /* those into the range */
    uint64_t screen_bytes;
    struct writer* next;
};

static struct block* blocks;
static struct writer* writers;
static char total_path[1024];
static char blocks_path[1024];
static char stores_path[1024];
static uint64_t screen_start, screen_end;

static void wrote(unsigned int vcpu, qemu_plugin_meminfo_t info, uint64_t address, void* userdata) {
    (void)vcpu;
    struct writer* w = userdata;
    ++w->writes;
    if (address >= screen_start && address < screen_end) {
        ++w->screen_writes;
        w->screen_bytes += 1u << qemu_plugin_mem_size_shift(info);
    }
}

static void translated(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    struct block* b = calloc(1, sizeof *b);
    if (!b) return;
    b->address = qemu_plugin_tb_vaddr(tb);
    b->instructions = qemu_plugin_tb_n_insns(tb);
    b->next = blocks;
    blocks = b;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, QEMU_PLUGIN_INLINE_ADD_U64, &b->runs, 1);
    if (screen_end == 0) return;
    for (size_t i = 0; i < b->instructions; ++i) {
        struct writer* w = calloc(1, sizeof *w);
        if (!w) return;
        w->block = b;
        w->next = writers;
        writers = w;
        qemu_plugin_register_vcpu_mem_cb(qemu_plugin_tb_get_insn(tb, i), wrote, QEMU_PLUGIN_CB_NO_REGS,
                                         QEMU_PLUGIN_MEM_W, w);
    }
}

static void write_stores(void) {
    double instructions = 0;
    uint64_t bytes = 0;
    for (struct writer* w = writers; w; w = w->next) {
        if (w->screen_writes == 0) continue;
        instructions += (double)w->block->runs * (double)w->screen_writes / (double)w->writes;
        bytes += w->screen_bytes;
    }
    FILE* out = fopen(stores_path, "w");
    if (!out) return;
    fprintf(out, "%.0f %llu\n", instructions, (unsigned long long)(bytes / 4));
    fclose(out);
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
    if (stores_path[0]) write_stores();
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
        else if (strncmp(argv[i], "stores=", 7) == 0)
            snprintf(stores_path, sizeof stores_path, "%s", argv[i] + 7);
        else if (strncmp(argv[i], "screen=", 7) == 0) {
            char* end = NULL;
            screen_start = strtoull(argv[i] + 7, &end, 16);
            screen_end = *end == ':' ? screen_start + strtoull(end + 1, NULL, 16) : 0;
            if (screen_end <= screen_start) {
                fprintf(stderr, "velkoro insn plugin: screen=START:BYTES, hexadecimal\n");
                return -1;
            }
        }
        else {
            fprintf(stderr, "velkoro insn plugin: unknown argument %s\n", argv[i]);
            return -1;
        }
    }
    if ((screen_end != 0) != (stores_path[0] != 0)) {
        fprintf(stderr, "velkoro insn plugin: screen= and stores= go together\n");
        return -1;
    }
    qemu_plugin_register_vcpu_tb_trans_cb(id, translated);
    qemu_plugin_register_atexit_cb(id, finished, NULL);
    return 0;
}
