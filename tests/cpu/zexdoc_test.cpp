// Runs the Z80 documented-instruction exerciser to completion on the test machine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/cpu/test_machine.h"

namespace {

std::string count_lines(const std::string& text, const std::string& what, int* count) {
    std::string failed;
    *count = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.find(what) != std::string::npos) ++*count;
        if (line.find("ERROR") != std::string::npos) failed += line + "\n";
        start = end + 1;
    }
    return failed;
}

} // namespace

TEST(Zexdoc, EveryGroupPasses) {
    std::string path = std::string(VELKORO_SHARED_DIR) + "/z80/zexdoc.com";
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) GTEST_SKIP() << "SKIPPED: " << path << " not found";
    Z80State s;
    test_machine_reset(s, 1000000);
    size_t n = std::fread(test_machine.ram + 0x100, 1, 0xE000, f);
    std::fclose(f);
    ASSERT_GT(n, 0u);
    test_machine.cpm = true;
    // 0x0000: trap + HALT ends the run; 0x0005: JP to the BDOS trap at 0xF000, whose address
    // doubles as the top of the stack.
    load(0x0000, {0xED, 0xFE, 0x76});
    load(0x0005, {0xC3, 0x00, 0xF0});
    load(0xF000, {0xED, 0xFE, 0xC9});
    s.PC = 0x0100;
    auto t0 = std::chrono::steady_clock::now();
    cpu_run(&s);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s\nZEXDOC took %.2f s\n", test_machine.output.c_str(), seconds);
    ASSERT_TRUE(test_machine.cpm_done);
    int ok = 0;
    std::string failed = count_lines(test_machine.output, "  OK", &ok);
    EXPECT_EQ(failed, "");
    EXPECT_EQ(ok, 67);
    EXPECT_NE(test_machine.output.find("Tests complete"), std::string::npos);
}
