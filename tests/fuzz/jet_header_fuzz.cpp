// The Access database header check: any bytes give a verdict without reading past them.
#include "preview/jet_header.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const JetHeader header = CheckJetHeader({data, size});
    if (size < JetHeader::kMinimumBytes && header.verdict != JetHeader::Verdict::NotJet)
        std::abort();
    return 0;
}
