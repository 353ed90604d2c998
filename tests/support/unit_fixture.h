// A MainForm on the headless backend talking over a real POSIX serial port to
// a simulated unit on a pseudo terminal, both in a fresh program folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "platform/headless/headless_toolkit.h"
#include "platform/posix/posix_serial_port.h"
#include "sim/pty_unit.h"
#include "support/form_fixture.h"
#include "support/pty_peer.h"
#include "support/temp_dir.h"

namespace qv::test {

class UnitFixture : public FormFixtureWith<PosixSerialPort> {
protected:
    std::unique_ptr<sim::PtyUnit> unit;

    // A fast (unpaced) unit, its default configuration changed by `edit`; the
    // Communications boxes are set to reach it.
    void startUnit(sim::UnitConfig cfg = sim::defaultConfig()) {
        cfg.paced = false;
        unit = std::make_unique<sim::PtyUnit>(dir.path(), cfg);
        setLink(std::to_string(unit->port()), cfg.id);
    }
    void startUnitWith(const std::function<void(sim::UnitConfig&)>& edit) {
        sim::UnitConfig cfg = sim::defaultConfig();
        edit(cfg);
        startUnit(cfg);
    }
    void setLink(const std::string& portText, const std::string& id) {
        form.Combo1.setText(portText), form.Combo2.setText("9600"), form.Combo3.setText(id);
    }

    // The lines the unit got, once it has had time to take in the last one.
    std::vector<std::string> unitReceived() {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return unit->received();
    }
    sim::UnitConfig stored() {
        sim::UnitConfig cfg;
        unit->withModel([&](sim::UnitModel& m) { cfg = m.config(); });
        return cfg;
    }

    std::vector<Box> boxes() const {
        std::vector<Box> out;
        for (const MessageRecord& r : ui.boxes) {
            EXPECT_EQ(r.buttons, Buttons::OK) << r.text;
            out.push_back({r.text, r.title, r.icon});
        }
        return out;
    }
};

// A scripted unit for replies the simulated one does not give: a raw peer
// answered from the window's event passes, so every reply is sent only after
// the program wrote its line. The script maps each received line (without
// CR LF) to the bytes sent back; an empty answer sends nothing.
class ScriptedFixture : public UnitFixture {
protected:
    std::unique_ptr<PtyPeer> peer;
    std::vector<std::string> lines;
    std::function<std::string(const std::string& line)> script;

    void startPeer(const std::string& id = "01") {
        peer = std::make_unique<PtyPeer>(dir.path());
        setLink(std::to_string(peer->port()), id);
        ui.onEvents = [this] { answerPending(); };
    }

private:
    std::string pending_;
    void answerPending() {
        pending_ += peer->readAll(0);
        size_t end;
        while ((end = pending_.find("\r\n")) != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 2);
            lines.push_back(line);
            std::string reply = script ? script(line) : std::string();
            if (!reply.empty()) peer->send(reply);
        }
    }
};

}  // namespace qv::test
