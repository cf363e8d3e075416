// Every vector of tests/vectors/ through the engine (DecryptDocument, the
// phrase attempts given by a scripted prompt) and through `mus decrypt`
// (the attempts in a phrase file): the text, the warning or refusal, the
// repair items and the exit status must be what NAME.json says.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cipher/block_reader.h"
#include "cipher/messages.h"
#include "cipher/phrase.h"
#include "cipher/transport_repair.h"
#include "cipher/utf8.h"

namespace mus {
namespace {

namespace fs = std::filesystem;

const fs::path kVectors = fs::path(MUS_SOURCE_DIR) / "tests" / "vectors";

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// ------------------------------------------------------------------ JSON

// The one object of an expectation file: strings, whole numbers and lists
// of strings. Anything else fails the test that reads it.
struct Expected {
    std::map<std::string, std::string> strings;
    std::vector<std::string> phrases;
    int exit = -1;

    std::string Get(const std::string& key) const
    {
        const auto it = strings.find(key);
        return it == strings.end() ? std::string() : it->second;
    }
};

class JsonReader {
public:
    explicit JsonReader(std::string_view text) : s_(text) {}

    Expected Object()
    {
        Expected e;
        Take('{');
        while (!failed_ && Peek() != '}') {
            const std::string key = String();
            Take(':');
            if (Peek() == '"') {
                e.strings[key] = String();
            } else if (Peek() == '[') {
                Take('[');
                while (!failed_ && Peek() != ']') {
                    e.phrases.push_back(String());
                    if (Peek() == ',') Take(',');
                }
                Take(']');
            } else {
                e.exit = 0;
                while (!failed_ && at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9')
                    e.exit = e.exit * 10 + (s_[at_++] - '0');
            }
            if (Peek() == ',') Take(',');
        }
        Take('}');
        return e;
    }
    bool Failed() { return failed_ || Peek() != '\0'; }

private:
    char Peek()
    {
        while (at_ < s_.size() && (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t')) ++at_;
        return at_ < s_.size() ? s_[at_] : '\0';
    }
    void Take(char c)
    {
        if (Peek() != c) failed_ = true;
        else ++at_;
    }
    char32_t Hex4()
    {
        if (at_ + 4 > s_.size()) return failed_ = true, 0;
        const char32_t value = static_cast<char32_t>(std::stoul(std::string(s_.substr(at_, 4)), nullptr, 16));
        at_ += 4;
        return value;
    }
    std::string String()
    {
        std::string out;
        Take('"');
        while (!failed_ && at_ < s_.size() && s_[at_] != '"') {
            const char c = s_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = at_ < s_.size() ? s_[at_++] : '\0';
            switch (e) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case '"':
            case '\\':
            case '/': out += e; break;
            case 'u': {
                char32_t cp = Hex4();
                if (cp >= 0xD800 && cp < 0xDC00 && s_.substr(at_, 2) == "\\u") {
                    at_ += 2;
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                }
                AppendUtf8(cp, out);
                break;
            }
            default: failed_ = true;
            }
        }
        Take('"');
        return out;
    }

    std::string_view s_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

// The decrypted bytes a vector expects: "text_hex" when the text is not
// UTF-8, else "text".
std::string ExpectedBytes(const Expected& e)
{
    const std::string hex = e.Get("text_hex");
    if (hex.empty()) return e.Get("text");
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

struct Vector {
    std::string name;
    std::string document;
    Expected expected;
};

std::vector<Vector> AllVectors()
{
    std::vector<Vector> vectors;
    for (const fs::directory_entry& entry : fs::directory_iterator(kVectors)) {
        if (entry.path().extension() != ".json") continue;
        fs::path txt = entry.path();
        txt.replace_extension(".txt");
        const std::string json = ReadFile(entry.path());
        JsonReader reader(json);
        Vector v{entry.path().stem().string(), ReadFile(txt), reader.Object()};
        if (reader.Failed()) v.expected.exit = -1; // reported by the test
        vectors.push_back(std::move(v));
    }
    std::sort(vectors.begin(), vectors.end(), [](const Vector& a, const Vector& b) { return a.name < b.name; });
    return vectors;
}

bool IsMismatch(std::string_view line)
{
    return line.starts_with(msg::kPhraseMismatch);
}

// ---------------------------------------------------------------- engine

// The attempts in order, each as `mus` takes a phrase-file line; every
// message the reader tells is kept.
class AttemptPrompt final : public PhrasePrompt {
public:
    explicit AttemptPrompt(const std::vector<std::string>& attempts) : attempts_(attempts.begin(), attempts.end()) {}

    std::optional<std::string> Ask(std::string_view, PromptTopic, const PhraseRule&) override
    {
        if (attempts_.empty()) return std::nullopt;
        std::string next = attempts_.front(); // as typed: the block's family folds it
        attempts_.pop_front();
        return next;
    }
    bool RetryAfter(std::string_view message) override
    {
        told.emplace_back(message);
        return true;
    }

    std::vector<std::string> told;

private:
    std::deque<std::string> attempts_;
};

// The name alone in test output, not the bytes of the object.
void PrintTo(const Vector& v, std::ostream* os)
{
    *os << v.name;
}

class VectorTest : public testing::TestWithParam<Vector> {};

TEST_P(VectorTest, Engine)
{
    const Vector& v = GetParam();
    const Expected& e = v.expected;
    ASSERT_GE(e.exit, 0) << "unreadable expectation file";
    AttemptPrompt prompt(e.phrases);
    const ReadOutcome outcome = DecryptDocument(v.document, prompt);

    std::string message;
    if (outcome.refusal == Refusal::PhraseCancelled && !prompt.told.empty()) message = prompt.told.back();
    else if (outcome.refusal) message = RefusalMessage(*outcome.refusal, outcome.header);
    EXPECT_EQ(message, e.Get("message"));
    EXPECT_EQ(outcome.refusal ? 2 : DecodeWarning(outcome.decoded) ? 1 : 0, e.exit);
    if (!outcome.refusal) {
        EXPECT_EQ(outcome.decoded.text, ExpectedBytes(e));
        EXPECT_EQ(std::string(DecodeWarning(outcome.decoded).value_or("")), e.Get("warning"));
        EXPECT_EQ(RepairItems(outcome.repairs), e.Get("repair"));
        // Every attempt before the one that fitted was refused as the wrong phrase.
        EXPECT_EQ(prompt.told.size(), e.phrases.empty() ? 0 : e.phrases.size() - 1);
    } else {
        EXPECT_EQ(outcome.decoded.text, "");
    }
    for (const std::string& told : prompt.told) EXPECT_TRUE(IsMismatch(told)) << told;
}

// ------------------------------------------------------------------ mus

struct MusRun {
    int status = -1;
    std::string out;
    std::vector<std::string> errLines;
};

// `mus decrypt [--phrase-file FILE] DOCUMENT` in a new session, so that no
// terminal can be asked.
MusRun Decrypt(const Vector& v)
{
    char pattern[] = "/tmp/mus-vectors-XXXXXX";
    const fs::path dir = mkdtemp(pattern);
    std::ofstream(dir / "document", std::ios::binary) << v.document;
    std::vector<std::string> args{MUS_BINARY, "decrypt"};
    if (!v.expected.phrases.empty()) {
        std::ofstream phrases(dir / "phrases", std::ios::binary);
        for (const std::string& p : v.expected.phrases) phrases << p << "\n";
        args.insert(args.end(), {"--phrase-file", (dir / "phrases").string()});
    }
    args.push_back((dir / "document").string());
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        const int in = open("/dev/null", O_RDONLY);
        const int out = open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(in, 0), dup2(out, 1), dup2(err, 2);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(MUS_BINARY, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    MusRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(dir / "out");
    std::istringstream err(ReadFile(dir / "err"));
    for (std::string line; std::getline(err, line);) run.errLines.push_back(line);
    fs::remove_all(dir);
    return run;
}

TEST_P(VectorTest, Mus)
{
    const Vector& v = GetParam();
    const Expected& e = v.expected;
    ASSERT_GE(e.exit, 0) << "unreadable expectation file";
    const MusRun run = Decrypt(v);
    EXPECT_EQ(run.status, e.exit);

    // Standard error: a wrong phrase told for every failed attempt, then the
    // repair, the warning or the refusal.
    std::vector<std::string> expected;
    const std::string message = e.Get("message");
    if (!message.empty() && IsMismatch(message)) {
        expected.assign(e.phrases.size(), message);
    } else {
        if (!e.phrases.empty() && message.empty())
            expected.assign(e.phrases.size() - 1, std::string(msg::kPhraseMismatch));
        if (!message.empty()) expected.push_back(message);
        if (!e.Get("repair").empty()) expected.push_back("mus: repaired: " + e.Get("repair") + ".");
        if (!e.Get("warning").empty()) expected.push_back(e.Get("warning"));
    }
    EXPECT_EQ(run.errLines, expected);
    EXPECT_EQ(run.out, message.empty() ? ExpectedBytes(e) : std::string());
}

INSTANTIATE_TEST_SUITE_P(Vectors, VectorTest, testing::ValuesIn(AllVectors()),
                         [](const testing::TestParamInfo<Vector>& info) { return info.param.name; });

TEST(VectorSetTest, CoversEveryKind)
{
    const std::vector<Vector> vectors = AllVectors();
    EXPECT_GE(vectors.size(), 30u);
    for (const char* prefix : {"good_", "fail_", "repair_"}) {
        EXPECT_TRUE(std::any_of(vectors.begin(), vectors.end(), [prefix](const Vector& v) {
            return v.name.starts_with(prefix);
        })) << prefix;
    }
}

} // namespace
} // namespace mus
