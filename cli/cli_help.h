#pragma once

#include <string>

namespace raid::cli {

// `raidcli VERB --help`: what the verb does and every option it takes, or an
// empty text for a verb that does not exist.
std::string VerbHelp(const std::string& verb);

}  // namespace raid::cli
