// The byte-level writer and reader of the machine's state record (machine/state.h). Every
// subsystem writes its own fields through these, one by one, little-endian and at fixed widths,
// so that a record is the same on every host whatever its byte order, word size or struct
// layout. The state module owns the buffers; the subsystems' save and load functions take the
// writer or the reader it gives them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

struct RecordWriter {
    uint8_t* data;
    uint32_t size; // room in data
    uint32_t at;   // bytes written so far; counts on past `size` (nothing is stored there)
};

// A reader that runs out of bytes, or meets a value its caller refuses, stays failed: every
// later read returns 0, so a load function may read all its fields and look at `ok` once.
struct RecordReader {
    const uint8_t* data;
    uint32_t size;
    uint32_t at;
    bool ok;
};

inline void record_bytes(RecordWriter* w, const uint8_t* bytes, uint32_t n) {
    if (w->data && w->at <= w->size && n <= w->size - w->at) std::memcpy(w->data + w->at, bytes, n);
    w->at += n;
}

inline void record_u8(RecordWriter* w, uint8_t v) { record_bytes(w, &v, 1); }

inline void record_u16(RecordWriter* w, uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    record_bytes(w, b, 2);
}

inline void record_u32(RecordWriter* w, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    record_bytes(w, b, 4);
}

inline void record_i32(RecordWriter* w, int32_t v) { record_u32(w, uint32_t(v)); }

inline void record_u64(RecordWriter* w, uint64_t v) {
    record_u32(w, uint32_t(v));
    record_u32(w, uint32_t(v >> 32));
}

// The next n bytes, or nullptr (and the reader failed) when fewer are left.
inline const uint8_t* read_span(RecordReader* r, uint32_t n) {
    if (!r->ok || r->at > r->size || n > r->size - r->at) {
        r->ok = false;
        return nullptr;
    }
    const uint8_t* p = r->data + r->at;
    r->at += n;
    return p;
}

inline void read_bytes(RecordReader* r, uint8_t* out, uint32_t n) {
    const uint8_t* p = read_span(r, n);
    if (p)
        std::memcpy(out, p, n);
    else
        std::memset(out, 0, n);
}

inline uint8_t read_u8(RecordReader* r) {
    const uint8_t* p = read_span(r, 1);
    return p ? p[0] : 0;
}

inline uint16_t read_u16(RecordReader* r) {
    const uint8_t* p = read_span(r, 2);
    return p ? uint16_t(p[0] | p[1] << 8) : 0;
}

inline uint32_t read_u32(RecordReader* r) {
    const uint8_t* p = read_span(r, 4);
    return p ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24 : 0;
}

inline int32_t read_i32(RecordReader* r) { return int32_t(read_u32(r)); }

inline uint64_t read_u64(RecordReader* r) {
    uint64_t lo = read_u32(r);
    return lo | uint64_t(read_u32(r)) << 32;
}

// Reads a value that must lie in lo..hi; any other fails the reader (a record the program
// never writes, whatever its checksum says).
inline uint32_t read_ranged(RecordReader* r, uint32_t value, uint32_t lo, uint32_t hi) {
    if (value < lo || value > hi) r->ok = false;
    return r->ok ? value : lo;
}
inline uint8_t read_u8_upto(RecordReader* r, uint8_t hi) { return uint8_t(read_ranged(r, read_u8(r), 0, hi)); }

// A signed value that must lie in lo..hi.
inline int32_t read_i32_within(RecordReader* r, int32_t lo, int32_t hi) {
    int32_t v = read_i32(r);
    if (v < lo || v > hi) r->ok = false;
    return r->ok ? v : lo;
}
