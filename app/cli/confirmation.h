#pragma once
// Answers the worker's confirmation question on the console. The question is
// always written to standard error as one line; the answer comes from --yes
// or --no, or from the terminal (y/N), and is No without a terminal.

#include <cstdio>
#include <string>

#include "app/cli/cli_options.h"
#include "platform/window_services.h"

namespace cli {

// Returns Yes for an answer line "y" or "yes" (any letter case, blanks around
// allowed), else No.
platform::Answer ReadAnswer(const std::string& line);

struct ConfirmationStreams {
    std::FILE* err = stderr;  // the question and the prompt
    std::FILE* in = stdin;    // the operator's answer
    bool inputIsTerminal = false;
};

// Writes `question` to the error stream as one line, then answers it by
// `policy`. Asking reads one line from the input stream after the prompt
// "<caption> [y/N] "; end of input is No.
platform::Answer AnswerQuestion(AnswerPolicy policy, const std::string& question,
                                const std::string& caption, const ConfirmationStreams& streams);

}  // namespace cli
