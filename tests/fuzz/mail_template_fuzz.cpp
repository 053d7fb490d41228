// A mail template file in any encoding an editor may save: its lines are
// UTF-8 without CR or NUL, and saved lines read back the same.
#include <sys/stat.h>

#include <fstream>

#include "notify/compose/mail_templates.h"
#include "notify/settings/stored_text.h"
#include "tests/fuzz/scratch_folder.h"

FUZZ_TARGET(mail_template) {
    using namespace raid;
    fuzz::EmptyScratchFolder();
    const std::string path = (fuzz::ScratchFolder() / "EmailSubject RAID Fail.txt").string();
    {
        std::ofstream out(path, std::ios::binary);
        const std::string_view text = fuzz::AsText(input);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    FUZZ_CHECK(::chmod(path.c_str(), 0600) == 0);
    const std::vector<std::string> lines = LoadTemplate(path);
    for (const std::string& line : lines) {
        FUZZ_CHECK(IsUtf8(line));
        FUZZ_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    }
    FUZZ_CHECK(SaveTemplate(path, lines).empty());
    FUZZ_CHECK(LoadTemplate(path) == lines);
}
