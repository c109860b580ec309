// Temporary video chip: keeps its state record and draws nothing.
#include "video/vdp.h"

VdpState vdp;
uint8_t* vdp_picture = nullptr;

void vdp_reset() {}
void vdp_write_data(uint8_t) {}
void vdp_write_control(uint8_t) {}
uint8_t vdp_read_data() { return 0xFF; }
uint8_t vdp_read_status() { return 0x9F; }
void vdp_render_line(uint8_t) {}
bool vdp_frame_end() { return false; }
void present_frame() {}
