// A parameter report from the wire: any bytes decode without reading past the block, a block too
// short for the image gives nothing, and every value written back sends the word it came from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "settings/nvm_parameters.h"

using namespace korvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> block(data, size);
    const auto values = DecodeNvmReport(block);
    if (size < NVM_REPORT_SIZE) {
        if (values) std::abort();
        return 0;
    }
    if (!values || values->size() != NVM_PARAMETER_COUNT) std::abort();
    const auto image = block.subspan(1);
    for (const TNvmParameter& p : NvmParameters()) {
        double value = (*values)[p.Address / 2];
        // The single-precision fields hold what the report gave them as a float.
        if (p.Kind == TNvmFieldKind::RealSingle) value = static_cast<float>(value);
        uint16_t word = NvmWordAt(image, p.Address);
        if (p.ReadAs == TNvmReadAs::LowByte) word &= 0xFF;
        if (p.Kind == TNvmFieldKind::RadioGroup) {
            if (value < -1 || value > 4) std::abort();
            continue;  // clamped to the group's items
        }
        if (NvmWordOf(ScaleNvmValue(p, value)) != word) std::abort();
    }
    return 0;
}
