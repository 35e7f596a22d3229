#include "user_texts.h"

#include "bounded_text.h"
#include "platform_seam.h"

void EnvironmentNameOf(const char* key, char* out)
{
    const char* product = key;
    const char* version = key;
    for (const char* p = key; *p; p = NextChar(p))
        if (AtSeparator(p)) {
            product = version;
            version = p + 1;
        }
    unsigned at = 0;
    for (const char* p = product; *p && *p != '\\' && at < EnvironmentNameSize - 4; ++p) out[at++] = *p;
    out[at++] = ' ';
    for (const char* p = version; *p && *p != '.' && at < EnvironmentNameSize - 1; ++p) out[at++] = *p;
    out[at] = 0;
}

namespace {

void FormatCount(unsigned count, char* out, const char* one, const char* many)
{
    char digits[11];
    unsigned length = 0;
    do {
        digits[length++] = static_cast<char>('0' + count % 10);
        count /= 10;
    } while (count != 0);
    char* p = out;
    while (length) *p++ = digits[--length];
    *p = 0;
    AppendText(out, LeftTextSize, out[0] == '1' && out[1] == 0 ? one : many);
}

}  // namespace

void FormatLeftFiles(unsigned count, char* out)
{
    FormatCount(count, out, " file could not be deleted !", " files could not be deleted !");
}

void FormatLeftItems(unsigned count, char* out)
{
    FormatCount(count, out, " item could not be removed !", " items could not be removed !");
}
