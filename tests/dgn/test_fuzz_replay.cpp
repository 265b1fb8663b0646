// Replays the loader's fuzz target over the samples and mangled variants of them, so every
// build exercises it even without a fuzzing compiler.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dgnrequests/element_layout.h"
#include "tests/dgn/dgn_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

struct Lcg {
    uint64_t s;
    uint32_t next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(s >> 33);
    }
};

void replay(const std::vector<uint8_t> &b) {
    // Exact-size heap copy: an overread shows under the sanitizer build.
    std::vector<uint8_t> copy(b);
    EXPECT_EQ(LLVMFuzzerTestOneInput(copy.data(), copy.size()), 0);
}

TEST(DgnFuzzReplay, SamplesAndMangledVariants) {
    std::vector<std::string> names = dgn_v7_samples();
    names.push_back("v8-reject.dgn");
    Lcg rng{12345};
    for (const std::string &name : names) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> orig = read_bytes(dgn_sample(name));
        ASSERT_FALSE(orig.empty());
        replay(orig);
        replay(std::vector<uint8_t>());
        for (int round = 0; round < 200; ++round) {
            std::vector<uint8_t> m = orig;
            const size_t header = m.size() > 1536 ? 1536 : 0;
            switch (round % 4) {
            case 0:  // random bytes after the header
                for (int k = 0; k < 8; ++k) m[header + rng.next() % (m.size() - header)] = static_cast<uint8_t>(rng.next());
                break;
            case 1:  // a random word set to an extreme (counts, words to follow, indexes)
                if (m.size() > header + 2) {
                    const size_t at = (header + rng.next() % (m.size() - header - 1)) & ~size_t(1);
                    const uint16_t v[4] = {0, 0xFFFF, 0x8000, static_cast<uint16_t>(rng.next())};
                    elm_store16(m.data() + at, v[rng.next() % 4]);
                }
                break;
            case 2:  // cut
                m.resize(rng.next() % (m.size() + 1));
                break;
            case 3:  // bytes of one part copied over another
                if (m.size() > header + 64) {
                    const size_t from = header + rng.next() % (m.size() - header - 32);
                    const size_t to = header + rng.next() % (m.size() - header - 32);
                    for (int k = 0; k < 32; ++k) m[to + k] = m[from + k];
                }
                break;
            }
            replay(m);
        }
    }
}

}  // namespace
