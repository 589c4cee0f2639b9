#include "engine/keywords.h"

bool keyword_in_line(const char* line, const char* keyword)
{
    (void)line;
    (void)keyword;
    return false;
}

int classify_line(const char* line)
{
    (void)line;
    return no_keyword;
}

const char* keyword_text(int code)
{
    (void)code;
    return "";
}
