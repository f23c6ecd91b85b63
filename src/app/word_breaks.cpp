#include "word_breaks.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The bytes of the character at `at`; a lead byte at the very end stands alone.
int characterWidth(const char* text, int at, int count, UINT codePage)
{
    return IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[at])) && at + 1 < count ? 2 : 1;
}

// Calls visit(position) for every position where the line may break, in
// order, until visit answers false: after a blank that a non-blank follows,
// and before and after every double-byte character.
template <typename Visit>
void forEachBreak(const char* text, int count, UINT codePage, Visit visit)
{
    bool previousDoubleByte = false;
    bool previousBlank = false;
    for (int at = 0, width = 0; at < count; at += width) {
        width = characterWidth(text, at, count, codePage);
        const bool doubleByte = width == 2;
        const bool blank = !doubleByte && isBlank(text[at]);
        const bool mayBreak = at > 0 && (previousDoubleByte || doubleByte || (previousBlank && !blank));
        if (mayBreak && !visit(at)) return;
        previousDoubleByte = doubleByte;
        previousBlank = blank;
    }
}

int lastBreakBefore(const char* text, int index, int count, UINT codePage)
{
    int found = 0;
    forEachBreak(text, count, codePage, [&](int position) {
        if (position >= index) return false;
        found = position;
        return true;
    });
    return found;
}

int firstBreakFrom(const char* text, int index, int count, UINT codePage)
{
    int found = count;
    forEachBreak(text, count, codePage, [&](int position) {
        if (position < index) return true;
        found = position;
        return false;
    });
    return found;
}

}  // namespace

int wordBreakPosition(const char* text, int index, int count, int action, UINT codePage)
{
    if (!text || count <= 0) return 0;
    if (index < 0) index = 0;
    if (index > count) index = count;
    switch (action) {
    case WB_LEFT: return lastBreakBefore(text, index, count, codePage);
    case WB_RIGHT: return firstBreakFrom(text, index, count, codePage);
    case WB_ISDELIMITER: return index < count && isBlank(text[index]) ? 1 : 0;
    default: return 0;
    }
}
