#include "app/cli/confirmation.h"

#include <cctype>

namespace cli {
namespace {

constexpr int kLongestAnswer = 256;

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

}  // namespace

platform::Answer ReadAnswer(const std::string& line) {
    std::string word = Trimmed(line);
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return (word == "y" || word == "yes") ? platform::Answer::Yes : platform::Answer::No;
}

platform::Answer AnswerQuestion(AnswerPolicy policy, const std::string& question,
                                const std::string& caption, const ConfirmationStreams& streams) {
    // One line, whatever the instrument put into its version text.
    std::string line = question;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), streams.err);
    std::fflush(streams.err);
    switch (policy) {
    case AnswerPolicy::kYes:
        return platform::Answer::Yes;
    case AnswerPolicy::kNo:
        return platform::Answer::No;
    case AnswerPolicy::kAskTerminal:
        break;
    }
    if (!streams.inputIsTerminal) return platform::Answer::No;

    std::fprintf(streams.err, "%s [y/N] ", caption.c_str());
    std::fflush(streams.err);
    char buffer[kLongestAnswer];
    if (std::fgets(buffer, sizeof buffer, streams.in) == nullptr) {
        std::fputc('\n', streams.err);
        return platform::Answer::No;
    }
    return ReadAnswer(buffer);
}

}  // namespace cli
