// The fuzz target of the headless runner's button-script parser: whatever the text, it either
// refuses it with a reason or yields presses that hold something for a real time range.
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "tests/fuzz/fuzz_targets.h"

int fuzz_script(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptedPress> presses;
    std::string error;
    if (!parse_button_script(text, presses, error)) {
        fuzz_check(!error.empty(), "a script was refused without a reason");
        return 0;
    }
    for (const ScriptedPress& p : presses) {
        fuzz_check(p.start_ms < p.end_ms && p.end_ms <= 999999999u, "a press with a bad time range");
        fuzz_check(p.mask || p.second_mask || p.keypad != KEYPAD_NONE || p.second_keypad != KEYPAD_NONE || p.spin,
                   "a press of nothing");
        fuzz_check(p.spin <= (SPIN_FIRST_RIGHT | SPIN_FIRST_LEFT | SPIN_SECOND_RIGHT | SPIN_SECOND_LEFT),
                   "a spinner out of range");
        fuzz_check((p.keypad <= 11 || p.keypad == KEYPAD_NONE) &&
                       (p.second_keypad <= 11 || p.second_keypad == KEYPAD_NONE),
                   "a keypad key out of range");
    }
    return 0;
}
