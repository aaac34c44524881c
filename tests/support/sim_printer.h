// The simulated printer as the tests start it: on a free loopback port, serving a
// store folder. Needs only the simulator (no Qt), so the command-line tests use it too.
#pragma once

#include "printer_sim.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

// Starts a printer for store with these knobs into sim (replacing any there was); a
// fatal failure, with the simulator's reason, when it cannot listen. Call it under
// ASSERT_NO_FATAL_FAILURE when more follows in the same function.
inline void StartSimPrinter(std::unique_ptr<qbxsim::PrinterSim>& sim, const std::filesystem::path& store,
                            const qbxsim::Knobs& knobs = {})
{
    qbxsim::Options o;
    o.root = store;
    o.port = 0;  // any free port; the test asks sim->Port()
    o.knobs = knobs;
    sim = std::make_unique<qbxsim::PrinterSim>(o);
    ASSERT_TRUE(sim->Start()) << sim->LastError();
}
