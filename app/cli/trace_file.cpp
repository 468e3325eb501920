#include "app/cli/trace_file.h"

#include <cerrno>
#include <cstring>

#include "wiretrace/trace_format.h"

namespace cli {

TraceFile::TraceFile(const std::string& path, std::FILE* warnings)
    : path_(path), warnings_(warnings), start_(std::chrono::steady_clock::now()) {
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        error_ = path + ": " + std::strerror(errno);
        return;
    }
    Put(std::string(wire_trace::kHeaderLine) + "\n");
}

TraceFile::~TraceFile() {
    if (file_ == nullptr) return;
    EndRun();
    std::fclose(file_);
}

std::int64_t TraceFile::NowUs() const {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now() - start_).count();
}

void TraceFile::Put(const std::string& text) {
    const bool written = std::fwrite(text.data(), 1, text.size(), file_) == text.size();
    if ((std::fflush(file_) == 0 && written) || writeFailed_) return;
    writeFailed_ = true;
    std::fprintf(warnings_, "warning: the trace %s cannot be written (%s); the update goes on\n", path_.c_str(),
                 std::strerror(errno));
    std::fflush(warnings_);
}

void TraceFile::EndRun() {
    if (!runOpen_) return;
    Put("\n");
    runOpen_ = false;
}

void TraceFile::Bytes(TraceDirection direction, const std::uint8_t* bytes, std::size_t count, std::int32_t baud) {
    if (file_ == nullptr || count == 0) return;
    std::lock_guard lock(mutex_);
    const std::int64_t now = NowUs();
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        const bool continues = runOpen_ && runDirection_ == direction && runBaud_ == baud &&
                               now - runLastUs_ <= kRunGapUs && runBytes_ < kMaxRunBytes;
        if (!continues) {
            if (runOpen_) text += '\n';
            text += wire_trace::FormatRunStart(
                now, direction == TraceDirection::kSent ? wire_trace::kSentMark : wire_trace::kReceivedMark, baud);
            runOpen_ = true;
            runDirection_ = direction;
            runBaud_ = baud;
            runBytes_ = 0;
        }
        text += wire_trace::FormatByte(bytes[i]);
        ++runBytes_;
        runLastUs_ = now;
    }
    Put(text);
}

void TraceFile::Marker(const std::string& text) {
    if (file_ == nullptr) return;
    std::lock_guard lock(mutex_);
    EndRun();
    Put(wire_trace::FormatMarker(NowUs(), text) + "\n");
}

}  // namespace cli
