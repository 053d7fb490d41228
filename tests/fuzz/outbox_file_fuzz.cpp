// A waiting mail's file, as another run, an editor or a broken disk left it:
// read or moved aside, never sent with times that overflow or never end.
#include <sys/stat.h>

#include <fstream>

#include "notify/delivery/outbox.h"
#include "tests/fuzz/scratch_folder.h"

FUZZ_TARGET(outbox_file) {
    using namespace raid;
    constexpr std::int64_t kNow = 1'796'551'200;
    fuzz::EmptyScratchFolder();
    const std::string folder = (fuzz::ScratchFolder() / "outbox").string();
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/1796551200-1.mail";
    {
        std::ofstream out(path, std::ios::binary);
        const std::string_view text = fuzz::AsText(input);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    FUZZ_CHECK(::chmod(path.c_str(), 0600) == 0);
    Outbox outbox(folder);
    const std::vector<std::string> problems = outbox.Resume(kNow);
    if (outbox.Size() == 0) {
        FUZZ_CHECK(!problems.empty());
        return;
    }
    const Outbox::Mail* mail = outbox.Find("1796551200-1");
    FUZZ_CHECK(mail != nullptr);
    FUZZ_CHECK(mail->created >= 0 && mail->created <= kNow + Outbox::kGiveUpAfter);
    FUZZ_CHECK(mail->nextAttempt >= 0 && mail->nextAttempt <= kNow + Outbox::kGiveUpAfter);
    // Two days on, any mail read is old enough to be given up at its next failure.
    FUZZ_CHECK(outbox.Failed(mail->id, kNow + 2 * Outbox::kGiveUpAfter, "down"));
    FUZZ_CHECK(outbox.Size() == 0);
}
