#include "engine/ending.h"

#include <string>

#include "console/cp932.h"

namespace {

// Two line breaks, 22 ideographic spaces, "－　完　－　": the same 58 bytes after
// every ending.
constexpr const char* end_banner = "\n\n　　　　　　　　　　　　　　　　　　　　　　－　完　－　"_sj;
static_assert(std::char_traits<char>::length(end_banner) == 58);

} // namespace

void close_conversation(console& con)
{
    console_print(con, end_banner);
    console_wait_key(con);
}
