#include "word_breaks.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Walks `text` a character at a time; a lead byte at the very end stands alone.
class CharacterWalk {
public:
    CharacterWalk(const char* text, int count, UINT codePage) : text_(text), count_(count), codePage_(codePage) {}

    bool atEnd() const { return start_ >= count_; }
    int start() const { return start_; }
    bool isDoubleByte() const { return width() == 2; }
    bool isBlankCharacter() const { return width() == 1 && isBlank(text_[start_]); }

    void next() { start_ += width(); }

private:
    int width() const
    {
        const bool lead = IsDBCSLeadByteEx(codePage_, static_cast<BYTE>(text_[start_]));
        return lead && start_ + 1 < count_ ? 2 : 1;
    }

    const char* text_;
    int count_;
    UINT codePage_;
    int start_ = 0;
};

struct Character {
    bool doubleByte = false;
    bool blank = false;
};

bool breakBetween(const Character& before, const Character& after)
{
    if (before.doubleByte || after.doubleByte) return true;
    return before.blank && !after.blank;
}

// Calls visit(position) for every position where the line may break, in
// order, until visit answers false.
template <typename Visit>
void forEachBreak(const char* text, int count, UINT codePage, Visit visit)
{
    CharacterWalk walk(text, count, codePage);
    Character before;
    bool first = true;
    for (; !walk.atEnd(); walk.next()) {
        const Character current{walk.isDoubleByte(), walk.isBlankCharacter()};
        if (!first && breakBetween(before, current) && !visit(walk.start())) return;
        before = current;
        first = false;
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
