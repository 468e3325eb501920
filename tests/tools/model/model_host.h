#pragma once
// Drives an InstrumentModel the way a host's UART would: set a rate, write
// bytes, let time pass, read what has arrived.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/instrument-sim/model/instrument_model.h"

namespace instrument_sim::testing {

using Bytes = std::vector<std::uint8_t>;

class ModelHost {
public:
    explicit ModelHost(InstrumentConfig config = {}) : model(std::move(config)) {}

    void Rate(std::uint32_t baud) { model.SetHostRate(baud); }
    void Send(const Bytes& bytes) { model.HostWrite(bytes.data(), bytes.size()); }
    void SendText(const std::string& text) {
        Send(Bytes(text.begin(), text.end()));
    }
    // Lets `ms` pass and returns what arrived meanwhile.
    Bytes Wait(std::uint64_t ms) {
        now += ms;
        model.AdvanceTo(now);
        return model.HostRead();
    }
    std::string WaitText(std::uint64_t ms) {
        const Bytes bytes = Wait(ms);
        return std::string(bytes.begin(), bytes.end());
    }
    // Tag line in the default parent tag "<ORV72>".
    static std::string TagLine(const std::string& body) {
        return "<<ORV72>>" + body + "</<ORV72>>\n";
    }
    // From the application side (method 2) or straight (method 1) to the
    // moment the boot side has answered the first probe.
    Bytes SwitchAndSync() {
        if (model.Config().updateMethod == 2) {
            Rate(kApplicationBaud);
            SendText(TagLine("<PROGRAM>TRUE</PROGRAM>"));
            Wait(100);
        }
        Rate(kBootBaud);
        Send({kSyncProbe});
        return Wait(10);
    }
    // Sends each byte and collects what comes back within `waitMs`.
    Bytes Echoed(const Bytes& bytes, std::uint64_t waitMs = 5) {
        Bytes back;
        for (const std::uint8_t byte : bytes) {
            Send({byte});
            const Bytes got = Wait(waitMs);
            back.insert(back.end(), got.begin(), got.end());
        }
        return back;
    }

    InstrumentModel model;
    std::uint64_t now = 0;
};

}  // namespace instrument_sim::testing
