// The process entry. The back end first reads its own options (the headless runner's card folder
// and button script, for instance; the handheld takes none), then the program starts.
#include "machine/play.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    platform_configure(argc, argv);
    return program_main();
}
