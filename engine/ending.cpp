#include "engine/ending.h"

#include "console/cp932.h"

void close_conversation(console& con)
{
    // Two line breaks, 22 ideographic spaces, "－　完　－　": 58 bytes.
    console_print(con, "\n\n　　　　　　　　　　　　　　　　　　　　　　－　完　－　"_sj);
    console_wait_key(con);
}
