#include "transcript.h"

#include "file_bytes.h"
#include "platform/text_codec.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace kitemail::test {
namespace {

// A function, not a constant: tests build their openings before main().
std::filesystem::path Folder()
{
    return std::filesystem::path(KITEMAIL_TEST_DATA_DIR) / "transcripts";
}

void ReadSteps(const std::filesystem::path& file, const Variables& variables, Transcript& out, bool withHeaders)
{
    if (!std::filesystem::is_regular_file(file)) {
        throw std::invalid_argument("no transcript " + file.string());
    }
    std::istringstream text(ReadBytes(file));
    bool inHeaders = withHeaders;
    for (std::string line; std::getline(text, line);) {
        if (line.starts_with("#")) {
            continue;
        }
        if (line.empty()) {
            inHeaders = false;
            continue;
        }
        if (inHeaders) {
            const std::size_t colon = line.find(": ");
            if (colon == std::string::npos) {
                throw std::invalid_argument(file.string() + ": a header line without \": \": " + line);
            }
            out.headers[line.substr(0, colon)] = ExpandTranscriptText(line.substr(colon + 2), variables);
        } else if (line.starts_with("< ")) {
            ReadSteps(Folder() / "openings" / (line.substr(2) + ".txt"), variables, out, false);
        } else {
            out.steps.push_back(ExpandTranscriptText(line, variables));
        }
    }
}

} // namespace

std::string Transcript::Header(std::string_view key, std::string fallback) const
{
    const auto found = headers.find(key);
    return found != headers.end() ? found->second : fallback;
}

Transcript ReadTranscript(const std::filesystem::path& file, const Variables& variables)
{
    Transcript t;
    t.name = TranscriptName(file);
    ReadSteps(file, variables, t, true);
    return t;
}

Steps Opening(std::string_view name, const Variables& variables)
{
    Transcript t;
    ReadSteps(Folder() / "openings" / (std::string(name) + ".txt"), variables, t, false);
    return t.steps;
}


std::vector<std::filesystem::path> TranscriptFiles(std::string_view dialogue)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(Folder() / dialogue)) {
        if (entry.path().extension() == ".txt") {
            files.push_back(entry.path());
        }
    }
    std::ranges::sort(files);
    return files;
}

std::string TranscriptName(const std::filesystem::path& file)
{
    return file.stem().string();
}

Steps Replay(const Steps& steps, const std::function<Steps(const std::string& step)>& play)
{
    Steps happened;
    for (const std::string& step : steps) {
        if (step.starts_with("C: ") || step.starts_with("!: ")) {
            continue;
        }
        happened.push_back(step);
        const Steps answer = play(step);
        happened.insert(happened.end(), answer.begin(), answer.end());
    }
    return happened;
}

Steps Expected(const Transcript& transcript)
{
    Steps expected = transcript.steps;
    if (transcript.Has("end")) {
        expected.push_back(transcript.Header("end"));
    }
    return expected;
}

} // namespace kitemail::test
