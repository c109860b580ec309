// The simulated handheld behind the adapter's system calls.
#include "platform/gp2x/sim/sim.h"
#include "platform/gp2x/gp2x.h"
#include "platform/gp2x/system.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr const char* GP2X_CPUINFO = "Processor\t: ARM920Tid(wb) rev 0 (v4l)\n"
                                     "BogoMIPS\t: 199.47\n"
                                     "Features\t: swp half thumb\n"
                                     "Hardware\t: GP2X\n";
constexpr int FIRST_HANDLE = 3;
// A program run's clock: 100 us per poll, and the counter at 7372 steps per simulated
// millisecond, so that the adapter's milliseconds (counter / 7372) are the simulation's.
constexpr uint64_t PROGRAM_POLL_US = 100;
constexpr uint64_t PROGRAM_COUNTS_PER_MS = TIMER_HZ / 1000;
// The device plays 44100 stereo 16-bit frames a second.
constexpr uint64_t DSP_BYTES_PER_SECOND = 44100 * 4;
constexpr size_t MAX_RECORDED_DSP_WRITES = 4096;

struct Sim {
    SimConfig config;
    alignas(8) uint8_t registers[REGISTER_BLOCK_BYTES];
    std::vector<uint8_t> registers_at_unmap;
    std::vector<uint16_t> fb[2];
    std::map<uint32_t, std::vector<uint8_t>> memory;
    std::map<int, std::string> open_handles;
    std::map<int, size_t> read_offsets;
    int next_handle = FIRST_HANDLE;
    std::vector<SimEvent> events;
    std::map<uint32_t, std::vector<uint16_t>> port_writes;
    std::vector<std::vector<uint8_t>> dsp_writes;
    std::vector<std::thread> threads;
    std::vector<std::thread::id> thread_ids;
    std::vector<bool> threads_done;
    uint64_t time_us = 0;
    bool ending = false;
    // Stepped audio device.
    uint64_t dsp_granted = 0;
    uint64_t dsp_done = 0;
    uint32_t dsp_blocked = 0; // writes waiting for a grant
    bool dsp_free = false;
};

Sim sim;
std::mutex lock;
std::condition_variable dsp_changed;
std::condition_variable thread_ended;

SimEvent event(SimOp op) {
    SimEvent e;
    e.op = op;
    return e;
}

void record(SimEvent e) {
    std::lock_guard<std::mutex> guard(lock);
    sim.events.push_back(std::move(e));
}

std::string handle_path(int fd) {
    std::lock_guard<std::mutex> guard(lock);
    auto it = sim.open_handles.find(fd);
    return it == sim.open_handles.end() ? std::string() : it->second;
}

bool on_started_thread() {
    std::lock_guard<std::mutex> guard(lock);
    for (std::thread::id id : sim.thread_ids)
        if (id == std::this_thread::get_id()) return true;
    return false;
}

std::string card_path(const char* path) {
    static const char prefix[] = "/mnt/sd/";
    if (std::strncmp(path, prefix, sizeof prefix - 1) != 0) return path;
    std::string folder = sim.config.card_folder.empty() ? std::string(".") : sim.config.card_folder;
    return folder + "/" + (path + sizeof prefix - 1);
}

void program_clock_step() {
    sim.time_us += PROGRAM_POLL_US;
    uint32_t now_ms = uint32_t(sim.time_us / 1000);
    if (sim.config.run_ms != 0 && now_ms >= sim.config.run_ms && !sim.ending) {
        sim.ending = true;
        if (sim.config.at_end) sim.config.at_end();
        std::exit(0);
    }
    sim_set_reg32(reg::TIMER_COUNT, uint32_t(sim.time_us * PROGRAM_COUNTS_PER_MS / 1000));
    uint16_t held = 0;
    for (const SimPress& p : sim.config.presses)
        if (now_ms >= p.start_ms && now_ms < p.end_ms) held |= p.mask;
    sim_set_reg16(reg::STICK_PORT, uint16_t(0xFF00 | (~held & 0x00FF)));
    sim_set_reg16(reg::BUTTON_PORT, uint16_t(0x00FF | (~held & 0xFF00)));
    sim_set_reg16(reg::EXTRA_PORT, 0xFFFF);
}

} // namespace

// --- The test's side ---

void sim_reset(const SimConfig& config) {
    sim_threads_finish();
    {
        std::lock_guard<std::mutex> guard(lock);
        sim.threads.clear();
        sim.thread_ids.clear();
        sim.threads_done.clear();
        sim.config = config;
        if (sim.config.cpuinfo.empty()) sim.config.cpuinfo = GP2X_CPUINFO;
        std::memset(sim.registers, 0, sizeof sim.registers);
        sim.registers_at_unmap.clear();
        for (auto& b : sim.fb) b.assign(RGB_BUFFER_BYTES / 2, 0);
        sim.memory.clear();
        sim.open_handles.clear();
        sim.read_offsets.clear();
        sim.next_handle = FIRST_HANDLE;
        sim.events.clear();
        sim.port_writes.clear();
        sim.dsp_writes.clear();
        sim.time_us = 0;
        sim.ending = false;
        sim.dsp_granted = sim.dsp_done = 0;
        sim.dsp_blocked = 0;
        sim.dsp_free = !config.dsp_stepped;
    }
    // Nothing pressed.
    for (uint32_t port : {reg::BUTTON_PORT, reg::EXTRA_PORT, reg::STICK_PORT}) sim_set_reg16(port, 0xFFFF);
}

SimConfig& sim_config() { return sim.config; }
uint8_t* sim_registers() { return sim.registers; }

uint16_t sim_reg16(uint32_t offset) {
    uint16_t v;
    std::memcpy(&v, sim.registers + offset, 2);
    return v;
}
uint32_t sim_reg32(uint32_t offset) {
    uint32_t v;
    std::memcpy(&v, sim.registers + offset, 4);
    return v;
}
void sim_set_reg16(uint32_t offset, uint16_t value) { std::memcpy(sim.registers + offset, &value, 2); }
void sim_set_reg32(uint32_t offset, uint32_t value) { std::memcpy(sim.registers + offset, &value, 4); }
const std::vector<uint8_t>& sim_registers_at_unmap() { return sim.registers_at_unmap; }

uint16_t* sim_frame_buffer(int index) { return sim.fb[index].data(); }

const uint16_t* sim_shown_buffer() {
    uint32_t phys =
        uint32_t(sim_reg16(reg::RGB_ADDRESS_LOW_ODD)) | uint32_t(sim_reg16(reg::RGB_ADDRESS_HIGH_ODD)) << 16;
    for (int b = 0; b < 2; ++b)
        if (phys == sim.config.fb_phys[b]) return sim.fb[b].data();
    return nullptr;
}

std::vector<uint8_t>& sim_memory(uint32_t phys) { return sim.memory[phys]; }

std::vector<SimEvent> sim_events() {
    std::lock_guard<std::mutex> guard(lock);
    return sim.events;
}

std::vector<SimEvent> sim_events(SimOp op) {
    std::vector<SimEvent> out;
    for (SimEvent& e : sim_events())
        if (e.op == op) out.push_back(e);
    return out;
}

std::vector<uint16_t> sim_port_writes(uint32_t offset) {
    std::lock_guard<std::mutex> guard(lock);
    auto it = sim.port_writes.find(offset);
    return it == sim.port_writes.end() ? std::vector<uint16_t>() : it->second;
}

std::vector<std::vector<uint8_t>> sim_dsp_writes() {
    std::lock_guard<std::mutex> guard(lock);
    return sim.dsp_writes;
}

bool sim_dsp_grant(uint32_t writes, uint32_t timeout_ms) {
    std::unique_lock<std::mutex> guard(lock);
    sim.dsp_granted += writes;
    uint64_t target = sim.dsp_granted;
    dsp_changed.notify_all();
    return dsp_changed.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                                [&] { return sim.dsp_done >= target || sim.dsp_free; });
}

bool sim_dsp_wait_blocked(uint32_t timeout_ms) {
    std::unique_lock<std::mutex> guard(lock);
    return dsp_changed.wait_for(guard, std::chrono::milliseconds(timeout_ms), [] {
        return sim.dsp_blocked > 0 && !sim.dsp_free && sim.dsp_granted <= sim.dsp_done;
    });
}

void sim_dsp_free() {
    std::lock_guard<std::mutex> guard(lock);
    sim.dsp_free = true;
    dsp_changed.notify_all();
}

uint64_t sim_time_us() { return sim.time_us; }

// --- The adapter's side: system.h ---

int sys_open(const char* path, int flags) {
    static const std::set<std::string> devices = {"/dev/fb0", "/dev/fb1",   "/dev/mem",
                                                  "/dev/dsp", "/dev/mixer", "/proc/cpuinfo"};
    SimEvent e = event(SimOp::OPEN);
    e.path = path;
    e.value = flags;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (devices.count(path) && !sim.config.failing_opens.count(path)) {
            e.fd = sim.next_handle++;
            sim.open_handles[e.fd] = path;
        }
    }
    record(e);
    return e.fd;
}

int sys_close(int fd) {
    SimEvent e = event(SimOp::CLOSE);
    e.fd = fd;
    e.path = handle_path(fd);
    record(e);
    std::lock_guard<std::mutex> guard(lock);
    return sim.open_handles.erase(fd) ? 0 : -1;
}

int32_t sys_read(int fd, void* buffer, uint32_t bytes) {
    SimEvent e = event(SimOp::READ);
    e.fd = fd;
    e.path = handle_path(fd);
    record(e);
    if (e.path != "/proc/cpuinfo") return -1;
    size_t& at = sim.read_offsets[fd];
    const std::string& text = sim.config.cpuinfo;
    size_t n = std::min<size_t>(bytes, text.size() - std::min(at, text.size()));
    std::memcpy(buffer, text.data() + at, n);
    at += n;
    return int32_t(n);
}

int32_t sys_write(int fd, const void* buffer, uint32_t bytes) {
    SimEvent e = event(SimOp::WRITE);
    e.fd = fd;
    e.path = handle_path(fd);
    e.value = bytes;
    if (fd == 2) {
        record(e);
        return int32_t(std::fwrite(buffer, 1, bytes, stderr));
    }
    if (e.path != "/dev/dsp") {
        record(e);
        return -1;
    }
    std::unique_lock<std::mutex> guard(lock);
    ++sim.dsp_blocked;
    dsp_changed.notify_all();
    dsp_changed.wait(guard, [] { return sim.dsp_free || sim.dsp_granted > sim.dsp_done; });
    --sim.dsp_blocked;
    sim.events.push_back(e);
    if (sim.dsp_writes.size() < MAX_RECORDED_DSP_WRITES) {
        const uint8_t* b = static_cast<const uint8_t*>(buffer);
        sim.dsp_writes.emplace_back(b, b + bytes);
    }
    ++sim.dsp_done;
    bool free_running = sim.dsp_free;
    dsp_changed.notify_all();
    guard.unlock();
    // A device that plays as it takes: a free-running write lasts as long as its samples.
    if (free_running)
        std::this_thread::sleep_for(
            std::chrono::microseconds(uint64_t(bytes) * 1000000 / DSP_BYTES_PER_SECOND));
    return int32_t(bytes);
}

int sys_ioctl(int fd, uint32_t request, void* argument) {
    SimEvent e = event(SimOp::IOCTL);
    e.fd = fd;
    e.path = handle_path(fd);
    e.request = request;
    if (request != FBIOGET_FSCREENINFO && request != SNDCTL_DSP_GETOSPACE && argument)
        e.value = *static_cast<int32_t*>(argument);
    record(e);
    if (e.path == "/dev/fb0" || e.path == "/dev/fb1") {
        if (request != FBIOGET_FSCREENINFO) return -1;
        FbFixScreenInfo* info = static_cast<FbFixScreenInfo*>(argument);
        *info = FbFixScreenInfo{};
        std::snprintf(info->id, sizeof info->id, "GP2X simulated");
        info->smem_start = sim.config.fb_phys[e.path == "/dev/fb1"];
        info->smem_len = RGB_BUFFER_BYTES;
        info->line_length = RGB_LINE_BYTES;
        return 0;
    }
    if (e.path == "/dev/dsp") {
        if (request == SNDCTL_DSP_GETOSPACE) {
            int32_t f = sim.config.dsp_fragment;
            *static_cast<AudioBufferInfo*>(argument) = AudioBufferInfo{8, 8, f, 8 * f};
            return 0;
        }
        return request == SNDCTL_DSP_SPEED || request == SNDCTL_DSP_SETFMT || request == SNDCTL_DSP_STEREO ||
                       request == SNDCTL_DSP_SETFRAGMENT
                   ? 0
                   : -1;
    }
    if (e.path == "/dev/mixer") return request == SOUND_MIXER_WRITE_PCM ? 0 : -1;
    return -1;
}

void* sys_mmap(uint32_t length, int prot, int flags, int fd, uint32_t offset) {
    SimEvent e = event(SimOp::MMAP);
    e.fd = fd;
    e.path = handle_path(fd);
    e.offset = offset;
    e.length = length;
    e.value = (int64_t(prot) << 8) | flags;
    if (e.path == "/dev/mem" && !sim.config.failing_mem_maps.count(offset)) {
        if (offset == REGISTER_BLOCK_PHYS) {
            if (length <= REGISTER_BLOCK_BYTES) e.address = sim.registers;
        } else {
            std::vector<uint8_t>& block = sim.memory[offset];
            if (block.size() < length) block.resize(length);
            e.address = block.data();
        }
    } else if (e.path == "/dev/fb0" || e.path == "/dev/fb1") {
        int b = e.path == "/dev/fb1";
        if (!sim.config.failing_fb_maps[b] && offset == 0 && length <= RGB_BUFFER_BYTES)
            e.address = sim.fb[b].data();
    }
    record(e);
    return const_cast<void*>(e.address);
}

int sys_munmap(void* address, uint32_t length) {
    SimEvent e = event(SimOp::MUNMAP);
    e.address = address;
    e.length = length;
    if (address == sim.registers)
        sim.registers_at_unmap.assign(sim.registers, sim.registers + REGISTER_BLOCK_BYTES);
    record(e);
    return 0;
}

void sys_sleep_us(uint32_t microseconds) {
    // The audio thread's paused looks are not worth a record; the main thread's sleeps are.
    if (!on_started_thread()) {
        SimEvent e = event(SimOp::SLEEP);
        e.value = microseconds;
        record(e);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(std::min<uint32_t>(microseconds, 1000)));
}

uint64_t sys_clock_us() { return sim.config.clock_origin_us + sim.time_us; }

int sys_thread_start(void* (*entry)(void*), void* argument) {
    SimEvent e = event(SimOp::THREAD_START);
    std::lock_guard<std::mutex> guard(lock);
    size_t slot = sim.threads.size();
    sim.threads_done.push_back(false);
    sim.threads.emplace_back([entry, argument, slot] {
        entry(argument);
        std::lock_guard<std::mutex> ended(lock);
        sim.threads_done[slot] = true;
        thread_ended.notify_all();
    });
    sim.thread_ids.push_back(sim.threads.back().get_id());
    e.value = int64_t(sim.threads.size());
    sim.events.push_back(e);
    return int(sim.threads.size());
}

bool sys_thread_wait(int handle, uint32_t timeout_us) {
    SimEvent e = event(SimOp::THREAD_WAIT);
    e.fd = handle;
    e.value = timeout_us;
    record(e);
    std::thread worker;
    {
        std::unique_lock<std::mutex> guard(lock);
        if (handle <= 0 || size_t(handle) > sim.threads.size()) return true;
        size_t slot = size_t(handle) - 1;
        if (!thread_ended.wait_for(guard, std::chrono::microseconds(timeout_us),
                                   [slot] { return bool(sim.threads_done[slot]); }))
            return false;
        worker = std::move(sim.threads[slot]);
    }
    if (worker.joinable()) worker.join();
    return true;
}

void sim_threads_finish() {
    std::vector<std::thread> running;
    {
        std::lock_guard<std::mutex> guard(lock);
        for (std::thread& t : sim.threads)
            if (t.joinable()) running.push_back(std::move(t));
    }
    for (std::thread& t : running) t.join();
}

int sys_atexit(void (*handler)()) {
    record(event(SimOp::ATEXIT));
    return sim.config.real_atexit ? std::atexit(handler) : 0;
}

void sys_exit(int status) {
    SimEvent e = event(SimOp::EXIT);
    e.value = status;
    record(e);
    std::exit(status);
}

int sys_chdir(const char* path) {
    SimEvent e = event(SimOp::CHDIR);
    e.path = path;
    record(e);
    return 0;
}

int sys_execl(const char* path, const char* arg0) {
    SimEvent e = event(SimOp::EXECL);
    e.path = path;
    e.argument = arg0;
    record(e);
    return -1;
}

void sys_write_port16(volatile uint16_t* port, const uint16_t* values, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) *port = values[i];
    // Only the simulated register block's ports are recorded (not the adapter's stand-in block).
    uintptr_t at = reinterpret_cast<uintptr_t>(port), base = reinterpret_cast<uintptr_t>(sim.registers);
    if (at < base || at >= base + REGISTER_BLOCK_BYTES) return;
    std::lock_guard<std::mutex> guard(lock);
    std::vector<uint16_t>& log = sim.port_writes[uint32_t(at - base)];
    log.insert(log.end(), values, values + count);
}

void sys_register_poll() {
    if (sim.config.program_run)
        program_clock_step();
    else if (sim.config.counter_step)
        sim_set_reg32(reg::TIMER_COUNT, sim_reg32(reg::TIMER_COUNT) + sim.config.counter_step);
    if (sim.config.on_poll) sim.config.on_poll();
}

FILE* sys_fopen(const char* path, const char* mode) { return std::fopen(card_path(path).c_str(), mode); }
DIR* sys_opendir(const char* path) { return opendir(card_path(path).c_str()); }
