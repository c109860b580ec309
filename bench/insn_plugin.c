/* Counts the guest instructions a program executes under qemu's user-mode emulator, for the
 * handheld's instruction figures (bench/arm_instructions.sh, bench/gpe_instructions.sh), and with
 * `model=1` estimates what they cost on the handheld's ARM920T (bench/arm_cycles.sh, whose header
 * gives every figure of that model and why). Loaded with
 *   qemu-arm -plugin libvelkoro_insn.so,total=FILE[,blocks=FILE][,screen=START:BYTES,stores=FILE][,model=1] PROGRAM ...
 * At the program's exit it writes the total to `total`, and with `blocks` one line per
 * translated block: its guest address, its instructions and how often it ran (the raw material
 * of per-function figures: map the addresses to the program's symbols). With the model each
 * line goes on with the block's modelled cycles over all its runs, its instruction-cache
 * misses, its data-cache line fills, its uncached accesses and how many of those were reads,
 * and `total` gets those totals too.
 *
 * With `screen` (a guest address range, hexadecimal) it also counts the stores into that range,
 * which on the handheld is uncached memory where every store instruction stalls the processor:
 * `stores` gets the store instructions that wrote there and the 32-bit words they wrote. A
 * multi-word store is one instruction that writes several words; an instruction is counted by
 * its block's runs, weighted by the share of its writes that went to the range (exact for the
 * presentation's stores, which always write there). The model takes the range as uncached too,
 * as it does the device mappings.
 *
 * qemu ships the plugin interface without its header in Debian, so the few declarations used
 * here are written out: plugin interface version 1, as qemu 7.2 provides. Counting alone gives
 * every translated block a counter that qemu's generated code increments in place, so it costs
 * no call per block; a block that ends early (a fault) still counts whole, which a user-mode
 * program of ours never does outside its system calls. The model calls back into the plugin at
 * every block and every memory access, about fifty times slower. */
#include <pthread.h>
#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
struct qemu_plugin_insn;
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
typedef uint32_t qemu_plugin_meminfo_t;
enum qemu_plugin_op { QEMU_PLUGIN_INLINE_ADD_U64 };
enum qemu_plugin_cb_flags { QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_CB_R_REGS, QEMU_PLUGIN_CB_RW_REGS };
enum qemu_plugin_mem_rw { QEMU_PLUGIN_MEM_R = 1, QEMU_PLUGIN_MEM_W, QEMU_PLUGIN_MEM_RW };
typedef void (*qemu_plugin_vcpu_tb_trans_cb_t)(qemu_plugin_id_t id, struct qemu_plugin_tb* tb);
typedef void (*qemu_plugin_udata_cb_t)(qemu_plugin_id_t id, void* userdata);
typedef void (*qemu_plugin_vcpu_udata_cb_t)(unsigned int vcpu_index, void* userdata);
typedef void (*qemu_plugin_vcpu_mem_cb_t)(unsigned int vcpu_index, qemu_plugin_meminfo_t info, uint64_t vaddr,
                                          void* userdata);
typedef void (*qemu_plugin_vcpu_syscall_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index, int64_t num,
                                              uint64_t a1, uint64_t a2, uint64_t a3, uint64_t a4, uint64_t a5,
                                              uint64_t a6, uint64_t a7, uint64_t a8);
typedef void (*qemu_plugin_vcpu_syscall_ret_cb_t)(qemu_plugin_id_t id, unsigned int vcpu_index, int64_t num,
                                                  int64_t ret);
void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_tb_trans_cb_t cb);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb* tb, enum qemu_plugin_op op, void* ptr,
                                              uint64_t imm);
void qemu_plugin_register_vcpu_tb_exec_cb(struct qemu_plugin_tb* tb, qemu_plugin_vcpu_udata_cb_t cb,
                                          enum qemu_plugin_cb_flags flags, void* userdata);
void qemu_plugin_register_vcpu_mem_cb(struct qemu_plugin_insn* insn, qemu_plugin_vcpu_mem_cb_t cb,
                                      enum qemu_plugin_cb_flags flags, enum qemu_plugin_mem_rw rw, void* userdata);
void qemu_plugin_register_vcpu_syscall_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_cb_t cb);
void qemu_plugin_register_vcpu_syscall_ret_cb(qemu_plugin_id_t id, qemu_plugin_vcpu_syscall_ret_cb_t cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb* tb);
uint64_t qemu_plugin_tb_vaddr(const struct qemu_plugin_tb* tb);
struct qemu_plugin_insn* qemu_plugin_tb_get_insn(const struct qemu_plugin_tb* tb, size_t idx);
const void* qemu_plugin_insn_data(const struct qemu_plugin_insn* insn);
size_t qemu_plugin_insn_size(const struct qemu_plugin_insn* insn);
uint64_t qemu_plugin_insn_vaddr(const struct qemu_plugin_insn* insn);
unsigned int qemu_plugin_mem_size_shift(qemu_plugin_meminfo_t info);
bool qemu_plugin_mem_is_store(qemu_plugin_meminfo_t info);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t id, qemu_plugin_udata_cb_t cb, void* userdata);

#define EXPORTED __attribute__((visibility("default")))
EXPORTED int qemu_plugin_version = 1;

/* --- The model's figures (bench/arm_cycles.sh says why each is what it is) --- */
enum {
    LINE_SHIFT = 5,     /* 32-byte lines */
    SETS = 8,           /* 16 KB / 32 bytes / 64 ways */
    WAYS = 64,
    FIRST_WORD = 20,    /* core cycles until the first word of an SDRAM access arrives */
    NEXT_WORD = 2,      /* each following word of a burst: one 100 MHz bus cycle */
    LINE_FILL = FIRST_WORD + 7 * NEXT_WORD,
    WRITE_ENTRIES = 4,  /* the write buffer's addresses */
    ENTRY_WORDS = 4,    /* data words one address can carry */
    TAKEN_BRANCH = 2,   /* pipeline refill after any change of flow */
    LOAD_USE = 1,       /* a loaded word used by the next instruction */
    LOAD_USE_NARROW = 2 /* a loaded byte or halfword used by the next instruction */
};

struct block {
    uint64_t address;
    uint64_t instructions;
    uint64_t runs; /* incremented by qemu's generated code, or by the model */
    /* The model's figures over all runs. */
    uint64_t cycles, icache_misses, dcache_fills, uncached, uncached_reads;
    uint32_t base;       /* cycles of one run with every access hitting the caches */
    uint32_t first_line, last_line;
    uint64_t end;        /* the address after the block's last instruction */
    struct block* next;
};

/* One memory-accessing instruction: the block it belongs to, for the attribution of its stalls. */
struct access_site {
    struct block* block;
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
static bool model;

static void wrote(unsigned int vcpu, qemu_plugin_meminfo_t info, uint64_t address, void* userdata) {
    (void)vcpu;
    struct writer* w = userdata;
    ++w->writes;
    if (address >= screen_start && address < screen_end) {
        ++w->screen_writes;
        w->screen_bytes += 1u << qemu_plugin_mem_size_shift(info);
    }
}

/* --- The ARM920T model. qemu runs the program's threads on threads of its own; the handheld
 * has one core, so every thread goes through the one model, under a lock. */
static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;

struct cache {
    uint32_t tag[SETS][WAYS]; /* line number + 1; 0 = empty */
    uint8_t dirty[SETS][WAYS];
    uint8_t next_victim[SETS]; /* round robin */
    uint8_t last_hit[SETS];
};
static struct cache icache, dcache;

static uint64_t now;                          /* modelled core cycles since the start */
static uint64_t write_retire[WRITE_ENTRIES];  /* when each buffered write has reached the SDRAM */
static unsigned write_words[WRITE_ENTRIES];
static uint32_t write_next_address[WRITE_ENTRIES];
static const struct access_site* write_site[WRITE_ENTRIES];
static unsigned write_head, write_count;
static uint64_t bus_free;                     /* when the bus has finished everything queued */
static const struct access_site* last_uncached_site;
static uint32_t last_uncached_next;

/* Shared mappings of devices and files: the frame buffers and the register block. */
enum { MAX_REGIONS = 32, MAX_VCPUS = 64 };
static uint32_t region_start[MAX_REGIONS], region_end[MAX_REGIONS];
static unsigned regions;
static uint32_t pending_map_length[MAX_VCPUS];
static uint64_t pending_unmap[MAX_VCPUS];
static const struct block* last_block[MAX_VCPUS];

static bool uncached_address(uint32_t a) {
    if (a >= screen_start && a < screen_end) return true;
    for (unsigned r = 0; r < regions; ++r)
        if (a >= region_start[r] && a < region_end[r]) return true;
    return false;
}

/* Looks the line up; on a miss with `allocate` the round-robin victim makes room. Returns 1 for
 * a hit, 0 for a miss, and sets *castout when the victim was dirty. */
static int cache_access(struct cache* c, uint32_t line, bool allocate, bool store, bool* castout) {
    unsigned set = line & (SETS - 1);
    uint32_t tag = line + 1;
    unsigned w = c->last_hit[set];
    if (c->tag[set][w] != tag) {
        for (w = 0; w < WAYS && c->tag[set][w] != tag; ++w) {}
    }
    *castout = false;
    if (w < WAYS) {
        c->last_hit[set] = (uint8_t)w;
        if (store) c->dirty[set][w] = 1;
        return 1;
    }
    if (!allocate) return 0;
    w = c->next_victim[set];
    c->next_victim[set] = (uint8_t)((w + 1) % WAYS);
    *castout = c->tag[set][w] != 0 && c->dirty[set][w];
    c->tag[set][w] = tag;
    c->dirty[set][w] = 0;
    c->last_hit[set] = (uint8_t)w;
    return 0;
}

static void retire_writes(void) {
    while (write_count && write_retire[write_head] <= now) {
        write_head = (write_head + 1) % WRITE_ENTRIES;
        --write_count;
    }
}

/* The core waits `cycles`, charged to the block that waits. */
static void stall(struct block* b, uint64_t cycles) {
    now += cycles;
    b->cycles += cycles;
}

/* Reads and unbuffered writes on the bus come after every buffered write. */
static void drain_writes(struct block* b) {
    if (bus_free > now) stall(b, bus_free - now);
    write_count = 0;
}

static void buffer_write(struct block* b, const struct access_site* site, uint32_t address, unsigned cost,
                         bool mergeable) {
    retire_writes();
    if (mergeable && write_count) {
        unsigned last = (write_head + write_count - 1) % WRITE_ENTRIES;
        if (write_site[last] == site && write_next_address[last] == address && write_words[last] < ENTRY_WORDS &&
            write_retire[last] > now) {
            write_retire[last] += NEXT_WORD;
            bus_free += NEXT_WORD;
            ++write_words[last];
            write_next_address[last] = address + 4;
            return;
        }
    }
    if (write_count == WRITE_ENTRIES) {
        stall(b, write_retire[write_head] - now);
        retire_writes();
    }
    uint64_t start = bus_free > now ? bus_free : now;
    unsigned e = (write_head + write_count) % WRITE_ENTRIES;
    write_retire[e] = bus_free = start + cost;
    write_words[e] = 1;
    write_next_address[e] = address + 4;
    write_site[e] = mergeable ? site : NULL;
    ++write_count;
}

static void memory_access(unsigned int vcpu, qemu_plugin_meminfo_t info, uint64_t vaddr, void* userdata) {
    (void)vcpu;
    const struct access_site* site = userdata;
    struct block* b = site->block;
    uint32_t address = (uint32_t)vaddr;
    bool store = qemu_plugin_mem_is_store(info);
    pthread_mutex_lock(&lock);
    if (uncached_address(address)) {
        /* Neither cached nor buffered: the core waits for the bus, a multiple transfer's later
         * words following as a burst. */
        ++b->uncached;
        b->uncached_reads += !store;
        if (site == last_uncached_site && address == last_uncached_next && bus_free >= now) {
            stall(b, NEXT_WORD);
        } else {
            drain_writes(b);
            stall(b, FIRST_WORD);
        }
        bus_free = now;
        last_uncached_site = site;
        last_uncached_next = address + (1u << qemu_plugin_mem_size_shift(info));
    } else {
        bool castout;
        /* Reads allocate; a write that misses goes to the write buffer and allocates nothing. */
        if (!cache_access(&dcache, address >> LINE_SHIFT, !store, store, &castout)) {
            if (store) {
                buffer_write(b, site, address, FIRST_WORD, true);
            } else {
                ++b->dcache_fills;
                drain_writes(b);
                stall(b, LINE_FILL);
                bus_free = now;
                if (castout) buffer_write(b, site, address, LINE_FILL, false);
            }
        }
        last_uncached_site = NULL;
    }
    pthread_mutex_unlock(&lock);
}

static void block_runs(unsigned int vcpu, void* userdata) {
    struct block* b = userdata;
    pthread_mutex_lock(&lock);
    ++b->runs;
    if (vcpu < MAX_VCPUS) {
        /* The block before this one on the thread branched here unless it simply ran on. */
        struct block* before = (struct block*)last_block[vcpu];
        if (before && before->end != b->address) stall(before, TAKEN_BRANCH);
        last_block[vcpu] = b;
    }
    now += b->base;
    b->cycles += b->base;
    for (uint32_t line = b->first_line; line <= b->last_line; ++line) {
        bool castout;
        if (!cache_access(&icache, line, true, false, &castout)) {
            ++b->icache_misses;
            drain_writes(b);
            stall(b, LINE_FILL);
            bus_free = now;
        }
    }
    pthread_mutex_unlock(&lock);
}

/* mmap2 of a device or file with MAP_SHARED: an uncached region from the address it returns. */
static void syscall_entered(qemu_plugin_id_t id, unsigned int vcpu, int64_t num, uint64_t a1, uint64_t a2,
                            uint64_t a3, uint64_t a4, uint64_t a5, uint64_t a6, uint64_t a7, uint64_t a8) {
    (void)id, (void)a3, (void)a6, (void)a7, (void)a8;
    if (vcpu >= MAX_VCPUS) return;
    pthread_mutex_lock(&lock);
    pending_map_length[vcpu] = 0;
    pending_unmap[vcpu] = 0;
    if (num == 192 && (a4 & 1) && (int32_t)a5 >= 0) pending_map_length[vcpu] = (uint32_t)a2;
    if (num == 91) pending_unmap[vcpu] = a1 | (1ull << 32);
    pthread_mutex_unlock(&lock);
}

static void syscall_returned(qemu_plugin_id_t id, unsigned int vcpu, int64_t num, int64_t ret) {
    (void)id;
    if (vcpu >= MAX_VCPUS) return;
    pthread_mutex_lock(&lock);
    uint32_t result = (uint32_t)ret;
    if (num == 192 && pending_map_length[vcpu] && result < 0xFFFFF000u && regions < MAX_REGIONS) {
        region_start[regions] = result;
        region_end[regions] = result + pending_map_length[vcpu];
        ++regions;
    }
    if (num == 91 && pending_unmap[vcpu] && result == 0) {
        for (unsigned r = 0; r < regions; ++r)
            if (region_start[r] == (uint32_t)pending_unmap[vcpu]) {
                region_start[r] = region_start[--regions];
                region_end[r] = region_end[regions];
                break;
            }
    }
    pthread_mutex_unlock(&lock);
}

/* --- What a run costs with every access hitting the caches --- */

static bool is_load_single(uint32_t w) {
    if ((w & 0x0C000000) == 0x04000000) return (w >> 20) & 1; /* LDR, LDRB */
    if ((w & 0x0E000090) == 0x00000090 && (w & 0x60)) return (w >> 20) & 1; /* LDRH, LDRSB, LDRSH */
    return false;
}

static bool loads_narrow(uint32_t w) {
    return (w & 0x0C000000) == 0x04000000 ? (w >> 22) & 1 : true;
}

/* Whether instruction `w` reads register r (Rn, Rm, Rs, or the register a store writes out). */
static bool reads_register(uint32_t w, unsigned r) {
    unsigned rn = (w >> 16) & 15, rd = (w >> 12) & 15, rs = (w >> 8) & 15, rm = w & 15;
    switch ((w >> 25) & 7) {
    case 0:
        if ((w & 0x0FC000F0) == 0x00000090) return rm == r || rs == r || (((w >> 21) & 1) && rd == r) || rn == r;
        return rn == r || rm == r || (((w >> 4) & 1) && rs == r) || (!((w >> 20) & 1) && rd == r);
    case 1: return rn == r;
    case 2: return rn == r || (!((w >> 20) & 1) && rd == r);
    case 3: return rn == r || rm == r || (!((w >> 20) & 1) && rd == r);
    case 4: return rn == r || (!((w >> 20) & 1) && ((w >> r) & 1));
    default: return false;
    }
}

static unsigned popcount16(uint32_t v) {
    unsigned n = 0;
    for (v &= 0xFFFF; v; v &= v - 1) ++n;
    return n;
}

/* One instruction's cycles in the ARM9 integer pipeline when its condition passes and its
 * accesses hit; a change of flow is charged when the next block shows it happened. */
static unsigned instruction_cycles(uint32_t w) {
    unsigned rd = (w >> 12) & 15;
    switch ((w >> 25) & 7) {
    case 0:
        if ((w & 0x0FC000F0) == 0x00000090) return 3 + ((w >> 21) & 1);     /* MUL, MLA */
        if ((w & 0x0F8000F0) == 0x00800090) return 4 + ((w >> 21) & 1);     /* long multiplies */
        if ((w & 0x0FB00FF0) == 0x01000090) return 2;                        /* SWP */
        if ((w & 0x0E000090) == 0x00000090 && (w & 0x60)) return 1 + ((w >> 20) & 1 && rd == 15) * 2;
        return 1 + ((w & 0x90) == 0x10);                                    /* shift by register */
    case 1: return 1;
    case 2:
    case 3: return 1 + (((w >> 20) & 1) && rd == 15) * 2;                   /* a load into pc */
    case 4: {
        unsigned n = popcount16(w);
        return n ? n : 1;
    }
    case 7: return ((w >> 24) & 1) ? 3 : 1;                                  /* SWI */
    default: return 1;
    }
}

static uint32_t instruction_word(const struct qemu_plugin_insn* insn) {
    const uint8_t* p = qemu_plugin_insn_data(insn);
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void model_block(struct qemu_plugin_tb* tb, struct block* b) {
    size_t n = qemu_plugin_tb_n_insns(tb);
    uint64_t end = b->address;
    uint32_t previous = 0;
    bool previous_arm = false;
    for (size_t i = 0; i < n; ++i) {
        struct qemu_plugin_insn* insn = qemu_plugin_tb_get_insn(tb, i);
        size_t size = qemu_plugin_insn_size(insn);
        end = qemu_plugin_insn_vaddr(insn) + size;
        bool arm = size == 4;
        uint32_t w = arm ? instruction_word(insn) : 0;
        b->base += arm ? instruction_cycles(w) : 1;
        if (arm && previous_arm && is_load_single(previous) && reads_register(w, (previous >> 12) & 15))
            b->base += loads_narrow(previous) ? LOAD_USE_NARROW : LOAD_USE;
        previous = w;
        previous_arm = arm;
        struct access_site* site = calloc(1, sizeof *site);
        if (!site) continue;
        site->block = b;
        qemu_plugin_register_vcpu_mem_cb(insn, memory_access, QEMU_PLUGIN_CB_NO_REGS, QEMU_PLUGIN_MEM_RW, site);
    }
    b->end = end;
    b->first_line = (uint32_t)(b->address >> LINE_SHIFT);
    b->last_line = (uint32_t)((end > b->address ? end - 1 : b->address) >> LINE_SHIFT);
    qemu_plugin_register_vcpu_tb_exec_cb(tb, block_runs, QEMU_PLUGIN_CB_NO_REGS, b);
}

static void translated(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    struct block* b = calloc(1, sizeof *b);
    if (!b) return;
    b->address = qemu_plugin_tb_vaddr(tb);
    b->instructions = qemu_plugin_tb_n_insns(tb);
    if (model) {
        model_block(tb, b);
        pthread_mutex_lock(&lock);
    }
    b->next = blocks;
    blocks = b;
    if (model)
        pthread_mutex_unlock(&lock);
    else
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
    uint64_t total = 0, cycles = 0, imisses = 0, fills = 0, uncached = 0;
    FILE* out = blocks_path[0] ? fopen(blocks_path, "w") : NULL;
    for (struct block* b = blocks; b; b = b->next) {
        total += b->instructions * b->runs;
        cycles += b->cycles;
        imisses += b->icache_misses;
        fills += b->dcache_fills;
        uncached += b->uncached;
        if (!out || !b->runs) continue;
        fprintf(out, "%08llx %llu %llu", (unsigned long long)b->address, (unsigned long long)b->instructions,
                (unsigned long long)b->runs);
        if (model)
            fprintf(out, " %llu %llu %llu %llu %llu", (unsigned long long)b->cycles,
                    (unsigned long long)b->icache_misses, (unsigned long long)b->dcache_fills,
                    (unsigned long long)b->uncached, (unsigned long long)b->uncached_reads);
        fputc('\n', out);
    }
    if (out) fclose(out);
    if (stores_path[0]) write_stores();
    out = total_path[0] ? fopen(total_path, "w") : stderr;
    if (!out) return;
    fprintf(out, "%llu\n", (unsigned long long)total);
    if (model)
        fprintf(out, "cycles %llu\ninstruction cache misses %llu\ndata cache line fills %llu\nuncached accesses %llu\n",
                (unsigned long long)cycles, (unsigned long long)imisses, (unsigned long long)fills,
                (unsigned long long)uncached);
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
        } else if (strcmp(argv[i], "model=1") == 0)
            model = true;
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
    if (model) {
        qemu_plugin_register_vcpu_syscall_cb(id, syscall_entered);
        qemu_plugin_register_vcpu_syscall_ret_cb(id, syscall_returned);
    }
    qemu_plugin_register_atexit_cb(id, finished, NULL);
    return 0;
}
