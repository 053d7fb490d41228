// One SG_IO outcome, with header fields and sense bytes as a broken bridge or
// driver may leave them: exactly one category, and no byte read past what was
// really written.
#include <vector>

#include "device/transport_linux.h"
#include "tests/fuzz/input_reader.h"

FUZZ_TARGET(sg_classify) {
    using namespace raid;
    fuzz::InputReader in(input);
    const int ioctlResult = (in.Byte() & 1) ? -1 : 0;
    sg_io_hdr_t hdr{};
    hdr.status = in.Byte();
    hdr.masked_status = in.Byte();
    hdr.host_status = static_cast<unsigned short>(in.Word());
    hdr.driver_status = static_cast<unsigned short>(in.Word());
    hdr.sb_len_wr = in.Byte();
    hdr.info = in.Byte();
    // The sense buffer is exactly as long as the rest, so ASan sees any read past it.
    const fuzz::Input rest = in.Rest();
    const std::vector<std::uint8_t> sense(rest.begin(), rest.end());
    const SgOutcome outcome = ClassifySgIo(ioctlResult, hdr, sense);
    if (ioctlResult < 0) {
        FUZZ_CHECK(outcome.kind == SgOutcomeKind::OsError);
    }
    if (outcome.kind != SgOutcomeKind::Sense) {
        FUZZ_CHECK(!outcome.senseKey.has_value());
    }
    if (outcome.senseKey) {
        FUZZ_CHECK(*outcome.senseKey <= 0x0F);
    }
}
