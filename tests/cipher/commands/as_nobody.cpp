// The halves of the permission tests that run as the unprivileged user: the
// command tests start this program under setpriv in a directory they
// prepared (MUS_NOBODY_DIR), one test at a time. It is no test of its own.

#include <gtest/gtest.h>

#include <cstdlib>

#include <unistd.h>

#include "io_failure.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

class AsNobody : public testing::Test {
protected:
    void SetUp() override
    {
        const char* directory = std::getenv("MUS_NOBODY_DIR");
        ASSERT_NE(directory, nullptr) << "started without a directory";
        ASSERT_NE(::geteuid(), 0u) << "runs as root";
        ASSERT_EQ(::chdir(directory), 0);
    }
    Log log_;
    ScriptedUser user_{log_};
    ScriptedDocument document_{log_, "Hello"};
    SystemTransferFiles files_;
};

TEST_F(AsNobody, CannotCreate)
{
    ExpectIoFailure(EncryptExpectingIoError(user_, document_, files_), 5, "File access denied", user_, document_, log_);
}

TEST_F(AsNobody, Encrypts)
{
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document_, askForMethod, files_);
    EXPECT_EQ(document_.Bytes(), BlockDocument("Hello"));
}

} // namespace
} // namespace mus::fake
