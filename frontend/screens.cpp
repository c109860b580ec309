// Temporary screens: the welcome screen returns at once and the manager keeps the current
// cartridge, after a short pause so that the play cycle does not spin without the clock moving.
#include "frontend/screens.h"
#include "platform/platform.h"

void show_welcome() {}

void cartridge_manager() { timer_delay(200); }
