// fuzz_load.cpp - fuzz target for the design-file loader.
//
// Loads the input as a design file; when it is accepted, decodes, re-encodes and translates
// every element to the server layout and back, and walks its linkages. Any input must end
// in a status, never a crash or a read outside the buffer.
// With clang: clang++ -fsanitize=fuzzer,address -DNW_FUZZ_MAIN ... (see tests/dgn/CMakeLists.txt).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dgn/dgn_element.h"
#include "dgn/dgn_file.h"
#include "dgn/dgn_server_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    DgnFile f;
    std::string err;
    if (!dgn_load_buffer(data, size, &f, &err)) return 0;
    for (size_t i = 0; i < f.elements.size(); ++i) {
        uint32_t n = 0;
        const uint8_t *p = dgn_element_bytes(&f, static_cast<int>(i), &n);
        // An exact copy so any overread of the element is seen by the sanitizer.
        const std::vector<uint8_t> el(p, p + n);
        DgnElement e;
        if (dgn_decode_element(el.data(), el.size(), f.is3d, &e, &err)) {
            std::vector<uint8_t> out;
            dgn_encode_element(e, &out, &err);
            std::vector<DgnLinkage> ls;
            dgn_parse_linkages(e.linkages.data(), e.linkages.size(), &ls);
        }
        std::vector<uint8_t> server, back;
        if (dgn_file_to_server(el.data(), el.size(), f.is3d, &server, &err))
            dgn_server_to_file(server.data(), server.size(), f.is3d, &back, &err);
        // Server-layout input straight from the file bytes too: both directions see junk.
        dgn_server_to_file(el.data(), el.size(), f.is3d, &back, &err);
    }
    return 0;
}
