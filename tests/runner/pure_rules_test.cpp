#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "command_run.h"
#include "run_state.h"

namespace {

struct ThrowingSink : FatalErrorSink {
    [[noreturn]] void allocationFailed(size_t bytes) override
    {
        throw std::runtime_error("allocation of " + std::to_string(bytes));
    }
};

TEST(OsFamily, MapsPlatformIds)
{
    const struct {
        DWORD platformId;
        OsFamily family;
        const char* prefix;
    } cases[] = {
        {VER_PLATFORM_WIN32s, kOsFamilyWin32s, "command.com /c "},
        {VER_PLATFORM_WIN32_WINDOWS, kOsFamilyWin9x, "command.com /c "},
        {VER_PLATFORM_WIN32_NT, kOsFamilyNt, "cmd.exe /c "},
        {3, kOsFamilyOther, "command.com /c "},
        {0xFFFFFFFFu, kOsFamilyOther, "command.com /c "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.platformId);
        EXPECT_EQ(osFamilyFromPlatformId(c.platformId), c.family);
        EXPECT_STREQ(shellPrefix(osFamilyFromPlatformId(c.platformId)), c.prefix);
    }
    EXPECT_EQ(queryOsFamily(), kOsFamilyNt);
}

}  // namespace
