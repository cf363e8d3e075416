#include "cipher/commands/transfer_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cipher/commands/encrypt_command.h"
#include "cipher/messages.h"
#include "io_failure.h"
#include "tests/support/command_test_support.h"
#include "tests/support/scripted_ui.h"

namespace mus::fake {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// ---------------------------------------------------------------------------
// The error codes and their messages.

struct ErrnoRow {
    int error;
    int code;
    std::string message;
};

void PrintTo(const ErrnoRow& row, std::ostream* out)
{
    *out << "errno " << row.error;
}

class ErrnoMapping : public testing::TestWithParam<ErrnoRow> {};

TEST_P(ErrnoMapping, GivesCodeAndMessage)
{
    const IoError error = IoError::FromErrno(GetParam().error);
    EXPECT_EQ(error.Code(), GetParam().code);
    EXPECT_EQ(std::string(error.what()), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ErrnoMapping,
    testing::Values(ErrnoRow{EACCES, 5, "File access denied"}, ErrnoRow{EPERM, 5, "File access denied"},
                    ErrnoRow{EROFS, 5, "File access denied"}, ErrnoRow{ENOENT, 3, "Invalid filename"},
                    ErrnoRow{ENOTDIR, 3, "Invalid filename"}, ErrnoRow{EMFILE, 4, "Too many open files"},
                    ErrnoRow{ENFILE, 4, "Too many open files"}, ErrnoRow{ENOSPC, 112, "I/O error 112"},
                    ErrnoRow{EDQUOT, 112, "I/O error 112"},
                    // Unmapped numbers keep their own number, even where it
                    // equals a code of the table.
                    ErrnoRow{EIO, EIO, "I/O error " + std::to_string(EIO)},
                    ErrnoRow{ESRCH, ESRCH, "I/O error " + std::to_string(ESRCH)},
                    ErrnoRow{EISDIR, EISDIR, "I/O error " + std::to_string(EISDIR)},
                    ErrnoRow{EFBIG, EFBIG, "I/O error " + std::to_string(EFBIG)}));

TEST(IoErrorMessages, FollowTheTable)
{
    const std::pair<int, std::string> rows[] = {
        {2, "File not found"},
        {3, "Invalid filename"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {100, "Read beyond end of file"},
        {101, "Disk full"},
        {106, "Invalid numeric input"},
        {32, "I/O error 32"},
        {112, "I/O error 112"},
        {0, "I/O error 0"},
    };
    for (const auto& [code, message] : rows) {
        EXPECT_EQ(IoErrorMessage(code), message);
        EXPECT_EQ(std::string(IoError(code).what()), message);
    }
    EXPECT_EQ(CannotOpenTransferFileMessage(), "Cannot open file ~MUS~TMP.TMP");
}

// ---------------------------------------------------------------------------
// The file itself.

class TransferFileTest : public testing::Test {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_F(TransferFileTest, HoldsTheLinesWithCrLfAndIsGoneAfterwards)
{
    SystemTransferFiles files;
    {
        auto file = files.Create();
        struct stat st {};
        ASSERT_EQ(::stat(kTransferFileName.data(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        file->WriteLine("first");
        file->WriteLine("");
        file->WriteLine(std::string(5000, 'x')); // more than one buffer
        file->Finish();
        const std::string expected = "first\r\n\r\n" + std::string(5000, 'x') + "\r\n";
        EXPECT_EQ(ReadFile(directory_.TransferPath()), expected);
        EXPECT_EQ(file->ReadAll(), expected);
    }
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

TEST_F(TransferFileTest, LargestBlockIs31644Bytes)
{
    SystemTransferFiles files;
    auto file = files.Create();
    WriteArmouredBlock(std::string(22528, 'z'), "ABCDEFGHIJKLMNOP", 1,
                       [&](std::string_view line) { file->WriteLine(line); });
    file->Finish();
    // START 65, header 20, 469 full body lines of 65 and one of 49, the CRC
    // line of at most 12 (its value has up to 8 digits) and END 65, each with
    // CR LF.
    const std::string content = file->ReadAll();
    const std::size_t crcStart = content.rfind("MuS/");
    const std::size_t crcLine = content.find("\r\n", crcStart) - crcStart;
    ASSERT_LE(crcLine, 12u);
    EXPECT_EQ(content.size(), 31644u - (12u - crcLine));
}

// What stands at the name before an Encrypt, and what must survive it.
struct Planted {
    std::string name;
    std::function<void(const fs::path& name, const fs::path& victim)> plant;
};

void PrintTo(const Planted& row, std::ostream* out)
{
    *out << row.name;
}

class PlantedName : public testing::TestWithParam<Planted> {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_P(PlantedName, IsReplacedWithoutTouchingAnythingElse)
{
    const fs::path victim = directory_.Path() / "victim.txt";
    WriteFile(victim, "precious");
    GetParam().plant(directory_.TransferPath(), victim);

    ScriptedDocument document(log_, "Hello");
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod);

    EXPECT_EQ(document.Bytes(), BlockDocument("Hello"));
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlantedName,
    testing::Values(
        // Longer than the block, so that it shows whether the file was emptied.
        Planted{"RegularFileWithOldContent",
                [](const fs::path& at, const fs::path&) { WriteFile(at, std::string(40000, 'o')); }},
        Planted{"SymbolicLinkToAFile",
                [](const fs::path& at, const fs::path& victim) { fs::create_symlink(victim, at); }},
        Planted{"DanglingSymbolicLink",
                [](const fs::path& at, const fs::path& victim) {
                    fs::create_symlink(victim.parent_path() / "nowhere", at);
                }},
        Planted{"HardLinkToAFile",
                [](const fs::path& at, const fs::path& victim) { fs::create_hard_link(victim, at); }},
        Planted{"NamedPipe", [](const fs::path& at, const fs::path&) { ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); }},
        Planted{"EmptyDirectory", [](const fs::path& at, const fs::path&) { fs::create_directory(at); }}),
    [](const testing::TestParamInfo<Planted>& info) { return info.param.name; });

// Someone else's file at the name, held open to read what Encrypt writes
// there: it is removed and the block goes into a file of the run's own.
TEST_F(TransferFileTest, PlantedFileNeverReceivesTheBlock)
{
    WriteFile(directory_.TransferPath(), "planted");
    ::chmod(directory_.TransferPath().c_str(), 0666);
    const int held = ::open(kTransferFileName.data(), O_RDONLY);
    ASSERT_GE(held, 0);
    SystemTransferFiles files;
    {
        auto file = files.Create();
        file->WriteLine("secret");
        file->Finish();
        struct stat st {};
        ASSERT_EQ(::stat(kTransferFileName.data(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    char seen[64] = {};
    EXPECT_EQ(::pread(held, seen, sizeof seen - 1, 0), 7);
    EXPECT_STREQ(seen, "planted");
    ::close(held);
}

TEST_F(TransferFileTest, DanglingLinkTargetIsNotCreated)
{
    const fs::path target = directory_.Path() / "created-through-link";
    fs::create_symlink(target, directory_.TransferPath());
    SystemTransferFiles files;
    files.Create()->WriteLine("x");
    EXPECT_FALSE(Exists(target));
}

// ---------------------------------------------------------------------------
// Failures of create, write and close reach the caller as IoError after the
// file is gone and the cursor is back; the document keeps its text.

TEST_F(TransferFileTest, RemovedCurrentDirectoryGivesCode3)
{
    const fs::path gone = directory_.Path() / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    ScriptedDocument document(log_, "Hello");
    SystemTransferFiles files;
    ExpectIoFailure(EncryptExpectingIoError(user_, document, files), 3, "Invalid filename", user_, document, log_);
}

TEST_F(TransferFileTest, FileWhereADirectoryShouldBeGivesCode3)
{
    WriteFile(directory_.Path() / "plain", "");
    ScriptedDocument document(log_, "Hello");
    SystemTransferFiles files((directory_.Path() / "plain").string() + "/");
    ExpectIoFailure(EncryptExpectingIoError(user_, document, files), 3, "Invalid filename", user_, document, log_);
}

TEST_F(TransferFileTest, ReadOnlyFileGivesCode5AndStays)
{
    WriteFile(directory_.TransferPath(), "someone's");
    fs::permissions(directory_.TransferPath(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ScriptedDocument document(log_, "Hello");
    SystemTransferFiles files;
    ExpectIoFailure(EncryptExpectingIoError(user_, document, files), 5, "File access denied", user_, document, log_);
    EXPECT_EQ(ReadFile(directory_.TransferPath()), "someone's");
}

TEST_F(TransferFileTest, FileHeldByAnotherCopyGivesCode32AndIsLeftAlone)
{
    WriteFile(directory_.TransferPath(), "the other copy's block");
    const int other = ::open(kTransferFileName.data(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ScriptedDocument document(log_, "Hello");
    SystemTransferFiles files;
    ExpectIoFailure(EncryptExpectingIoError(user_, document, files), 32, "I/O error 32", user_, document, log_);
    ::close(other);
    EXPECT_EQ(ReadFile(directory_.TransferPath()), "the other copy's block");
}

TEST_F(TransferFileTest, NonEmptyDirectoryAtTheNameCannotBeReplaced)
{
    fs::create_directories(directory_.TransferPath() / "inside");
    ScriptedDocument document(log_, "Hello");
    SystemTransferFiles files;
    const auto error = EncryptExpectingIoError(user_, document, files);
    ExpectIoFailure(error, ENOTEMPTY, "I/O error " + std::to_string(ENOTEMPTY), user_, document, log_);
    EXPECT_TRUE(fs::is_directory(directory_.TransferPath() / "inside"));
}

TEST_F(TransferFileTest, WriteFailingHalfwayDeletesTheFile)
{
    // A file size limit makes the system refuse the write in the middle of
    // the block (EFBIG, read through "I/O error %d").
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    ScriptedDocument document(log_, std::string(4000, 'a'));
    SystemTransferFiles files;
    const auto error = EncryptExpectingIoError(user_, document, files);

    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);
    ExpectIoFailure(error, EFBIG, "I/O error " + std::to_string(EFBIG), user_, document, log_, std::string(4000, 'a'));
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

// ---------------------------------------------------------------------------
// Faults put into the file layer.

class FaultyFiles final : public TransferFiles {
public:
    std::function<void(std::string&)> corrupt; // changes what is read back
    bool readFails = false;
    int failAtLine = -1; // IoError 5 at this 0-based line

    std::unique_ptr<TransferFile> Create() override { return std::make_unique<File>(real_.Create(), *this); }

private:
    class File final : public TransferFile {
    public:
        File(std::unique_ptr<TransferFile> real, FaultyFiles& faults) : real_(std::move(real)), faults_(faults) {}
        void WriteLine(std::string_view line) override
        {
            if (lines_++ == faults_.failAtLine) throw IoError(kIoAccessDenied);
            real_->WriteLine(line);
        }
        void Finish() override { real_->Finish(); }
        std::string ReadAll() override
        {
            if (faults_.readFails) throw Failure(CannotOpenTransferFileMessage());
            std::string content = real_->ReadAll();
            if (faults_.corrupt) faults_.corrupt(content);
            return content;
        }

    private:
        std::unique_ptr<TransferFile> real_;
        FaultyFiles& faults_;
        int lines_ = 0;
    };

    SystemTransferFiles real_;
};

const Log kBeforeLoad = {NewDialogLine(16), PromptLine(msg::kPromptPhrase, PromptTopic::NewPhrase),
                         "phrase dialog destroyed", "busy cursor"};

// Another character of the Method 01 alphabet, so that the group decodes to
// other bytes.
void OtherGroupCharacter(char& c)
{
    c = c == 'B' ? 'C' : 'B';
}

struct Corruption {
    std::string name;
    std::function<void(std::string&)> corrupt;
};

void PrintTo(const Corruption& row, std::ostream* out)
{
    *out << row.name;
}

class CorruptedReadBack : public testing::TestWithParam<Corruption> {
protected:
    ScratchDirectory directory_;
    Log log_;
    ScriptedUser user_{log_};
};

TEST_P(CorruptedReadBack, LeavesTheDocumentUnchanged)
{
    const std::string text = "Text that must not be lost\r\n" + std::string(200, '#');
    ScriptedDocument document(log_, text);
    FaultyFiles files;
    files.corrupt = GetParam().corrupt;
    user_.Script({Phrase("PASS"), Phrase("PASS")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod, files);

    Log expected = {NewDialogLine(16),
                    PromptLine(msg::kPromptPhrase, PromptTopic::NewPhrase),
                    PromptLine(msg::kPromptConfirm, PromptTopic::Confirmation),
                    "phrase dialog destroyed",
                    "busy cursor",
                    SoundLine(AlertSound::Stop),
                    BoxLine(BoxKind::Error, "OK", kNotVerified),
                    "normal cursor"};
    EXPECT_EQ(log_, expected);
    EXPECT_EQ(document.Bytes(), text);
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CorruptedReadBack,
    testing::Values(
        // The first text group of the first body line, after the two phrase groups.
        Corruption{"ChangedTextGroup", [](std::string& s) { OtherGroupCharacter(s[s.find("\r\nC") + 2 + 1 + 8]); }},
        Corruption{"ChangedPhraseGroup", [](std::string& s) { OtherGroupCharacter(s[s.find("\r\nC") + 3]); }},
        Corruption{"ChangedCrcValue", [](std::string& s) { s[s.rfind("MuS/") + 4] ^= 0x01; }},
        Corruption{"ChangedTextLength", [](std::string& s) { s.insert(s.find("MuS/0120/01/4/") + 14, 1, '1'); }},
        Corruption{"ShortRead", [](std::string& s) { s.resize(s.size() / 2); }},
        Corruption{"ChangedStartLine", [](std::string& s) { s[0] = '#'; }},
        Corruption{"LostEndLine", [](std::string& s) { s.resize(s.rfind("*****  END") - 17); }},
        Corruption{"Empty", [](std::string& s) { s.clear(); }}),
    [](const testing::TestParamInfo<Corruption>& info) { return info.param.name; });

TEST_F(TransferFileTest, UnreadableFileShowsItsMessageWithoutSound)
{
    ScriptedDocument document(log_, "Hello");
    FaultyFiles files;
    files.readFails = true;
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod, files);

    Log expected = kBeforeLoad;
    expected.push_back(BoxLine(BoxKind::Error, "OK", "Cannot open file ~MUS~TMP.TMP"));
    expected.push_back("normal cursor");
    EXPECT_EQ(log_, expected);
    EXPECT_EQ(document.Bytes(), "Hello");
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

TEST_F(TransferFileTest, WriteErrorAtALineEndsTheRunAndDeletesTheFile)
{
    ScriptedDocument document(log_, "Hello");
    FaultyFiles files;
    files.failAtLine = 2;
    ExpectIoFailure(EncryptExpectingIoError(user_, document, files), 5, "File access denied", user_, document, log_);
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

TEST_F(TransferFileTest, LoadWithBreaksOtherThanCrLfIsNormalised)
{
    ScriptedDocument document(log_, "Hello");
    FaultyFiles files;
    // A layer that gave back lone LF breaks still yields the CR LF block.
    files.corrupt = [](std::string& s) {
        std::string lf;
        for (const char c : s)
            if (c != '\r') lf += c;
        s = lf;
    };
    user_.Script({Phrase("")});
    bool askForMethod = false;
    EncryptCommand(user_, document, askForMethod, files);
    EXPECT_EQ(document.Bytes(), BlockDocument("Hello"));
}

// ---------------------------------------------------------------------------
// Permission cases as an unprivileged user: root passes every access check,
// so the helper program runs these under setpriv in a directory prepared here.

constexpr uid_t kNobody = 65534;

bool HaveSetpriv()
{
    return std::system("command -v setpriv >/dev/null 2>&1") == 0;
}

// Runs `test` of the helper program as the unprivileged user in `directory`;
// true when it ran and passed.
bool PassesAsNobody(const std::string& test, const fs::path& directory, std::string& output)
{
    const std::string command = "MUS_NOBODY_DIR='" + directory.string() +
                                "' setpriv --reuid=65534 --regid=65534 --clear-groups '" MUS_AS_NOBODY_PROGRAM
                                "' --gtest_filter='AsNobody." +
                                test + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[512];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && output.find("[  PASSED  ] 1 test.") != std::string::npos;
}

class Unprivileged : public testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0) GTEST_SKIP() << "not root: cannot switch to the unprivileged user";
        if (!HaveSetpriv()) GTEST_SKIP() << "setpriv is missing";
        // The scratch directory lies in the temporary directory; the
        // unprivileged user needs to reach it.
        fs::permissions(directory_.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                               fs::perms::others_read | fs::perms::others_exec);
    }
    ScratchDirectory directory_;
};

TEST_F(Unprivileged, UnwritableDirectoryGivesCode5UntilItCanBeWritten)
{
    std::string output;
    EXPECT_TRUE(PassesAsNobody("CannotCreate", directory_.Path(), output)) << output;
    EXPECT_FALSE(Exists(directory_.TransferPath()));
    fs::permissions(directory_.Path(), fs::perms::all);
    output.clear();
    EXPECT_TRUE(PassesAsNobody("Encrypts", directory_.Path(), output)) << output;
    EXPECT_FALSE(Exists(directory_.TransferPath()));
}

// Another user's world-writable file in a folder with the sticky bit (the
// system's temporary folder): it cannot be removed, so nothing is written.
TEST_F(Unprivileged, OthersFileInStickyFolderGivesCode5AndIsNotWritten)
{
    fs::permissions(directory_.Path(), fs::perms::all | fs::perms::sticky_bit);
    WriteFile(directory_.TransferPath(), "planted");
    fs::permissions(directory_.TransferPath(),
                    fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    std::string output;
    EXPECT_TRUE(PassesAsNobody("CannotCreate", directory_.Path(), output)) << output;
    EXPECT_EQ(ReadFile(directory_.TransferPath()), "planted");
}

TEST_F(Unprivileged, ReadOnlyFileGivesCode5)
{
    fs::permissions(directory_.Path(), fs::perms::all);
    WriteFile(directory_.TransferPath(), "read only");
    ASSERT_EQ(::chown(directory_.TransferPath().c_str(), kNobody, kNobody), 0);
    fs::permissions(directory_.TransferPath(), fs::perms::owner_read | fs::perms::others_read);
    std::string output;
    EXPECT_TRUE(PassesAsNobody("CannotCreate", directory_.Path(), output)) << output;
    EXPECT_EQ(ReadFile(directory_.TransferPath()), "read only");
}

} // namespace
} // namespace mus::fake
