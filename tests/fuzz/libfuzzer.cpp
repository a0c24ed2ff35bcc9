// The fuzz targets as a libFuzzer harness (clang, -fsanitize=fuzzer): the search is guided
// by coverage, under AddressSanitizer and UndefinedBehaviorSanitizer. The target comes from
// SABLIX_FUZZ_TARGET; tests/fuzz/libfuzzer.sh runs each one.
#include "fuzztargets.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const FuzzTarget *g_target = nullptr;

// The seeded driver's bound: the targets are about structure, not size.
constexpr size_t kMaxInput = 4096;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    const char *name = std::getenv("SABLIX_FUZZ_TARGET");
    g_target = FuzzTargets::find(QString::fromLatin1(name ? name : ""));
    if (!g_target) {
        std::fprintf(stderr, "fuzz: set SABLIX_FUZZ_TARGET to ini, list, address, instance or filters\n");
        std::exit(2);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > kMaxInput)
        return -1; // not added to the corpus
    g_target->check(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
