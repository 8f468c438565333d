#pragma once
// Dialogues with a server as data: one transcript format and one runner for
// the SMTP component, the POP3 login and the loopback SMTP test. A
// transcript is a file under tests/data/transcripts/<dialogue>/, named as
// its test (smtp/, pop3/, loopback/; socket/ and pop_login/ hold scripts
// for the scripted peer, in its steps, see scripted_peer.h); openings shared by several are
// in tests/data/transcripts/openings/.
//
//   # a comment
//   key: value          header lines, up to the first blank line: what the
//                       run is given (security, user, ...) and what it
//                       must end with (end: ...), see the players below
//
//   < name              the steps of openings/name.txt
//   S: text             the server sends text and CR LF in one read
//   R: text             the server sends text as it is, in one read
//   C: text             the client's line (its CR LF not shown)
//   !: text             the failure the dialogue reports
//   X                   the server closes the connection
//   E [n]               a network failure (Windows Sockets number n)
//   T                   the reply deadline passes
//   TLS / TLSFAIL       the handshake succeeds / the certificate is refused
//   ...                 and the steps a player knows of its own
//
// In every line, \r \n \t \\ and \xHH stand for their bytes, \{N:text} for
// N times the text and {name} for a value the player sets (the local host
// name, say). The text is UTF-8 and given to the dialogues as code
// page 932.

#include "golden.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kitemail::test {

using Steps = std::vector<std::string>;
// Applies the escapes, repetitions and variables above to one line, and
// converts it to code page 932.
[[nodiscard]] inline std::string ExpandTranscriptText(std::string_view text, const Variables& variables)
{
    return Unescape(text, variables, true);
}

struct Transcript {
    std::string name;
    std::map<std::string, std::string, std::less<>> headers; // expanded
    Steps steps;                                             // expanded, openings inlined

    [[nodiscard]] std::string Header(std::string_view key, std::string fallback = {}) const;
    [[nodiscard]] bool Has(std::string_view key) const { return headers.contains(key); }
};

[[nodiscard]] Transcript ReadTranscript(const std::filesystem::path& file, const Variables& variables = {});
// The steps of openings/name.txt.
[[nodiscard]] Steps Opening(std::string_view name, const Variables& variables = {});
// The transcripts of one dialogue's folder, by name.
[[nodiscard]] std::vector<std::filesystem::path> TranscriptFiles(std::string_view dialogue);
// For INSTANTIATE_TEST_SUITE_P's row names.
[[nodiscard]] std::string TranscriptName(const std::filesystem::path& file);

// The runner: plays the server's side of steps through play (which answers
// with what the client did in reaction, as "C: " and "!: " lines) and gives
// back the whole exchange as it happened, to be compared with the steps.
[[nodiscard]] Steps Replay(const Steps& steps, const std::function<Steps(const std::string& step)>& play);

// Steps followed by the line of the header "end".
[[nodiscard]] Steps Expected(const Transcript& transcript);

} // namespace kitemail::test
