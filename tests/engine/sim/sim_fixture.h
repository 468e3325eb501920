#pragma once
// EngineTest against the simulated instrument, in-process and in virtual time.

#include <memory>
#include <optional>

#include "comlink/serial.h"
#include "engine_fixture.h"
#include "tools/instrument-sim/model/instrument_model.h"
#include "tools/instrument-sim/port/simulated_port.h"

namespace engine_test {

using instrument_sim::EventKind;
using instrument_sim::InstrumentConfig;
using instrument_sim::InstrumentModel;

class SimTest : public EngineTest {
protected:
    ~SimTest() override { worker.reset(); }

    // Builds the instrument from `config` (expecting the test's images) and
    // installs it behind every port index.
    void StartInstrument() {
        config.parentTag = info.parent_tag;
        config.expectedKernel.assign(kernel.begin(), kernel.end());
        config.expectedUpdate.assign(update.begin(), update.end());
        model = std::make_shared<InstrumentModel>(config);
        factory_.emplace(instrument_sim::SimulatedPortFactory(model));
    }
    // Runs a whole update on the test's thread; returns the posted lines.
    std::vector<std::string> RunWholeUpdate() {
        StartInstrument();
        OpenWorker().RunUpdate();
        return Posted();
    }
    std::int64_t EventTime(EventKind kind, int value) const { return model->Record().FirstTime(kind, value); }
    std::int64_t EventTime(EventKind kind) const { return model->Record().FirstTime(kind); }

    InstrumentConfig config;
    std::shared_ptr<InstrumentModel> model;

private:
    std::optional<ScopedPortFactory> factory_;
};

}  // namespace engine_test
