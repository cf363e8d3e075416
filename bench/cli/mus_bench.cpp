// `mus detect` and `mus decrypt` on big generated documents, each run in a
// fresh process: wall time, peak memory (the kernel's count) against the
// document's size, and the exit status and a hash of standard output, so that
// two builds can be compared run for run.
//
//   mus_bench [--mus PATH] [--runs N] [DOCUMENT...]   (default: every document at 50 MB)
//     crlf:MB lf:MB cr:MB   MB of text lines with CR LF, LF or CR breaks and a block at the end
//     empty:MB              MB of empty lines (LF)
//     body:MB               one block whose body is MB of groups that decode without end
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "cipher/armoured_block.h"

namespace {

std::string Block(const std::string& breakBytes)
{
    std::string block;
    mus::WriteArmouredBlock("The text at the end.\r\nIts second line.", "", 1, [&](std::string_view line) {
        block += line;
        block += breakBytes;
    });
    return block;
}

std::string Document(const std::string& kind, std::size_t bytes)
{
    std::string text;
    text.reserve(bytes + 2000);
    if (kind == "empty") return std::string(bytes, '\n');
    if (kind == "body") {
        // Method 01 "AAAA" groups are three zero bytes: their CRC terms are 0,
        // so no length of body overflows the sum.
        text = "MuS/0120/01/0/2000000000\n";
        const std::string line = "C" + std::string(64, 'A') + "\n";
        while (text.size() + line.size() < bytes) text += line;
        return text + "MuS/1\n";
    }
    const std::string lineBreak = kind == "crlf" ? "\r\n" : kind == "lf" ? "\n" : "\r";
    std::uint32_t state = 1;
    while (text.size() < bytes) {
        const std::uint32_t length = 10 + (state = state * 1103515245u + 12345u) % 91;
        for (std::uint32_t i = 0; i < length; ++i) text += char('a' + (state = state * 1103515245u + 12345u) % 26);
        text += lineBreak;
    }
    return text + Block(lineBreak);
}

std::uint64_t Fnv1a(const std::string& path, std::uint64_t& size)
{
    std::ifstream in(path, std::ios::binary);
    std::uint64_t hash = 14695981039346656037ull;
    size = 0;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        for (std::streamsize i = 0; i < in.gcount(); ++i) hash = (hash ^ std::uint8_t(buffer[i])) * 1099511628211ull;
        size += std::uint64_t(in.gcount());
    }
    return hash;
}

} // namespace

int main(int argc, char** argv)
{
    std::string mus = MUS_BINARY;
    int runs = 3;
    std::vector<std::string> documents;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mus" && i + 1 < argc) mus = argv[++i];
        else if (arg == "--runs" && i + 1 < argc) runs = std::max(1, std::atoi(argv[++i]));
        else documents.push_back(arg);
    }
    if (documents.empty()) documents = {"crlf:50", "lf:50", "cr:50", "empty:50", "body:50"};

    char pattern[] = "/tmp/mus-bench-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string input = dir + "/document";
    const std::string output = dir + "/out";
    std::printf("%s, medians of %d runs\n", mus.c_str(), runs);
    std::printf("%-10s %-8s %10s %10s %10s %7s %7s %12s %18s\n", "document", "command", "MiB", "ms", "peak MiB",
                "x doc", "status", "out bytes", "out hash");
    for (const std::string& d : documents) {
        const auto colon = d.find(':');
        const std::string kind = d.substr(0, colon);
        const double megabytes = colon == std::string::npos ? 50 : std::atof(d.c_str() + colon + 1);
        double documentMiB = 0;
        {
            // Written and dropped before any run: a forked child starts out
            // with the parent's memory, which would count in its peak.
            const std::string text = Document(kind, std::size_t(megabytes * 1e6));
            std::ofstream(input, std::ios::binary) << text;
            documentMiB = double(text.size()) / 1048576.0;
        }
        for (const char* command : {"detect", "decrypt"}) {
            std::vector<double> seconds, peaks;
            mus::bench::ChildRun run;
            for (int r = 0; r < runs; ++r) {
                run = mus::bench::RunChild({mus, command, input}, "/dev/null", output);
                seconds.push_back(run.seconds);
                peaks.push_back(run.peakMiB);
            }
            std::sort(seconds.begin(), seconds.end());
            std::sort(peaks.begin(), peaks.end());
            std::uint64_t size = 0;
            const std::uint64_t hash = Fnv1a(output, size);
            const double peak = peaks[peaks.size() / 2];
            std::printf("%-10s %-8s %10.1f %10.1f %10.1f %7.2f %7d %12llu %18llx\n", d.c_str(), command, documentMiB,
                        seconds[seconds.size() / 2] * 1000, peak, peak / documentMiB, run.status,
                        static_cast<unsigned long long>(size), static_cast<unsigned long long>(hash));
            std::fflush(stdout);
        }
    }
    std::filesystem::remove_all(dir);
    return 0;
}
