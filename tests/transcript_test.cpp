// Recorded conversations in tests/transcripts/, replayed in-process: a fixed
// seed, the typed lines in, the exact bytes out. Each file reads as a transcript:
//
//     # what it shows
//     seed: 3002
//     === input
//     太郎
//     そうか
//     === output
//     (everything the program prints, to the end of the file)
//
// Texts are UTF-8 in the files and code page 932 on both sides of the program.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support.h"

namespace {

struct transcript {
    std::string name;
    std::uint32_t seed = 0;
    std::string input;   // UTF-8
    std::string output;  // UTF-8
};

transcript read_transcript(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string all = text.str();
    const std::string input_mark = "=== input\n";
    const std::string output_mark = "=== output\n";
    std::size_t seed_at = all.find("seed: ");
    std::size_t input_at = all.find(input_mark);
    std::size_t output_at = all.find(output_mark);
    if (seed_at == std::string::npos || input_at == std::string::npos || output_at == std::string::npos)
        throw std::runtime_error("malformed transcript " + path.string());
    transcript t;
    t.name = path.filename().string();
    t.seed = static_cast<std::uint32_t>(std::stoul(all.substr(seed_at + 6)));
    t.input = all.substr(input_at + input_mark.size(), output_at - input_at - input_mark.size());
    t.output = all.substr(output_at + output_mark.size());
    return t;
}

std::vector<transcript> all_transcripts()
{
    std::vector<transcript> found;
    for (const auto& entry : std::filesystem::directory_iterator(ONIGAWARA_TRANSCRIPTS))
        if (entry.path().extension() == ".txt") found.push_back(read_transcript(entry.path()));
    return found;
}

TEST(Transcripts, ReplayByteForByte)
{
    std::vector<transcript> transcripts = all_transcripts();
    ASSERT_GE(transcripts.size(), 10u);
    for (const transcript& t : transcripts) {
        EXPECT_BYTES(sjis(t.output), converse(t.seed, sjis(t.input))) << t.name;
        // The same with the input trickling in a few bytes per read.
        EXPECT_BYTES(sjis(t.output), converse(t.seed, sjis(t.input), 3)) << t.name << ", 3 bytes per read";
    }
}

} // namespace
