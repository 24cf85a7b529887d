// Every seed of every fuzz target's corpus, run through the target's entry point in an ordinary
// build: a seed that crashes, aborts or trips an assertion of the target fails here, without
// clang or libFuzzer.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#define TOLVEK_FUZZ_TARGET(name) extern "C" int tolvekFuzz_##name(const std::uint8_t*, std::size_t);
#include "FuzzTargets.inc"
#undef TOLVEK_FUZZ_TARGET

namespace {

struct FuzzTarget
{
    const char* name;
    int (*run)(const std::uint8_t*, std::size_t);
};

const std::vector<FuzzTarget> Targets = {
#define TOLVEK_FUZZ_TARGET(name) {#name, tolvekFuzz_##name},
#include "FuzzTargets.inc"
#undef TOLVEK_FUZZ_TARGET
};

// Names the target in test output instead of printing the struct's bytes.
void PrintTo(const FuzzTarget& target, std::ostream* out)
{
    *out << target.name;
}

class FuzzSeedsTest : public ::testing::TestWithParam<FuzzTarget>
{
};

TEST_P(FuzzSeedsTest, EverySeedRunsCleanly)
{
    const FuzzTarget target = GetParam();
    const QDir corpus(QStringLiteral(TOLVEK_FUZZ_CORPUS_DIR "/") + QLatin1String(target.name));
    const QFileInfoList seeds = corpus.entryInfoList(QDir::Files, QDir::Name);
    ASSERT_FALSE(seeds.isEmpty()) << "no seeds in " << corpus.path().toStdString();
    for (const QFileInfo& seed : seeds) {
        SCOPED_TRACE(seed.fileName().toStdString());
        QFile file(seed.filePath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // The entry points abort on a broken invariant and return 0 otherwise.
        EXPECT_EQ(
            target.run(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())),
            0);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, FuzzSeedsTest, ::testing::ValuesIn(Targets),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
