// Temporary sound chip and mixer: silent.
#include "sound/psg.h"
#include "platform/platform.h"

#include <cstring>

PsgState psg;

void psg_init(PsgState* s, PsgChannelUpdate callback) {
    std::memset(s, 0, sizeof *s);
    s->channel_update = callback;
}
void psg_write(PsgState*, uint8_t) {}
void psg_flush(PsgState* s, uint8_t mode) {
    s->pending_mask = 0;
    if (mode != PSG_FLUSH_ONLY) s->defer_mode = mode;
}
void mixer_set_channel(int32_t, int32_t, int32_t) {}
void mixer_reset() {}
void audio_fill(void*, uint8_t* destination, uint32_t count) { std::memset(destination, 0, size_t(count) * 4); }
