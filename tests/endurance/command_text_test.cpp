// The command box's text reaches the interpreter as typed: quotes,
// operators, escapes, environment references, blanks at either end,
// double-byte text with a 0x5C trail byte, long texts, the empty text.
#include <cstdlib>

#include "endurance_app.h"

namespace {

using CommandText = EnduranceApp;

// "乗" and "昞" in GBK: both trail bytes are 0x5C, a backslash on its own.
const std::string kTrailBackslashWords = "\x81\x5C\x95\x5C";

std::string environmentPath()
{
    const char* path = std::getenv("PATH");
    return path ? path : "";
}

TEST_F(CommandText, ReachesTheInterpreterUntouched)
{
    ScratchFile redirected("cmdpane_redirect_");
    const std::string child = childCommand("");
    const struct {
        const char* what;
        std::string command;
        std::string expected;
    } cases[] = {
        {"quotes", "echo \"a b\"  \"c\"", "\"a b\"  \"c\"\r\n"},
        {"ampersand", "echo one&echo two", "one\r\ntwo\r\n"},
        {"pipe", childCommand("outs:piped") + "|" + childCommand("stdin"), "stdin:5\r\n"},
        {"redirections", "echo redirected>" + redirected.path() + "& " + childCommand("stdin") + " <" +
                             redirected.path(),
         "stdin:12\r\n"},
        {"carets", "echo a^&b^|c^>d", "a&b|c>d\r\n"},
        {"environment reference", "echo %PATH%", environmentPath() + "\r\n"},
        {"leading blanks", "   echo lead", "lead\r\n"},
        {"trailing blanks", "echo trail   ", "trail   \r\n"},
        {"double-byte text with trail byte 0x5C", "echo " + kTrailBackslashWords, kTrailBackslashWords + "\r\n"},
        {"8000 characters", "echo " + std::string(8000, 'x'), std::string(8000, 'x') + "\r\n"},
        {"what the child is given", childCommand("cmdline \"quoted arg\" a^&b " + kTrailBackslashWords + "  "),
         child + "cmdline \"quoted arg\" a&b " + kTrailBackslashWords + "  "},
        {"empty text", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(runToEnd(c.command));
        const std::string shown = settledOutput(c.expected);
        EXPECT_EQ(shown, c.expected) << firstDifference(shown, c.expected);
        EXPECT_TRUE(windowAnswers());
    }
}

TEST_F(CommandText, LongerThanACommandLineReportsAFailedStart)
{
    ASSERT_TRUE(runToEnd(std::string(40000, 'x')));
    ASSERT_TRUE(waitUntil([&] { return !outputText().empty(); }, 5000));
    const std::string shown = outputText();
    EXPECT_EQ(shown.compare(0, kStartFailureLeadIn.size(), kStartFailureLeadIn), 0) << shown.substr(0, 200);
    EXPECT_EQ(shown.find_first_of("\r\n"), std::string::npos) << "more than one line";
    EXPECT_EQ(windowText(commandBox()).size(), 40000u) << "the command box lost its text";
    EXPECT_TRUE(windowAnswers());
    expectTheNextRunWorks();
}

}  // namespace
