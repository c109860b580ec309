// Every fuzz target over its corpus: the seeds our tools and tests made, and each finding of a
// fuzzing run, kept so that the fault it found stays mended. A target aborts on a finding.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_targets.h"

namespace {

std::vector<std::string> corpus_files(const std::string& target) {
    std::vector<std::string> files;
    std::filesystem::path folder = std::filesystem::path(VELKORO_FUZZ_CORPUS) / target;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

struct FuzzCorpus : ::testing::TestWithParam<FuzzTarget> {};

TEST_P(FuzzCorpus, ReplaysEveryFile) {
    std::vector<std::string> files = corpus_files(GetParam().name);
    EXPECT_FALSE(files.empty()) << "no corpus for " << GetParam().name;
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = fuzz_read_file(file.c_str());
        GetParam().run(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(FUZZ_TARGETS),
                         [](const ::testing::TestParamInfo<FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
