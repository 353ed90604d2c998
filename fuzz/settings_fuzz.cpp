// The settings reader: the input is the settings file's content. Start-up
// must fail exactly when the file holds fewer than five lines; otherwise the
// file written at shutdown must read back as the same five values.
#include <cstdint>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "check.h"
#include "platform/headless/headless_toolkit.h"

using namespace qv;

namespace {

// The settings file, held in memory.
class MemoryFiles : public FileSystem {
public:
    std::string content;
    bool exists(const std::string&) override { return true; }
    bool canRead(const std::string&) override { return true; }
    std::vector<std::string> readLines(const std::string&) override { return splitLines(content); }
    void replaceFile(const std::string&, const std::string& text) override { content = text; }
};

class NoPort : public SerialPort {
public:
    void setPortNumber(int) override {}
    int portNumber() const override { return 0; }
    void setSettings(const std::string&) override {}
    const std::string& settings() const override { return text; }
    void open() override { throw SerialError(SerialError::InvalidPort, "no port"); }
    void close() override {}
    bool isOpen() const override { return false; }
    void write(const std::string&) override {}
    std::string readAvailable() override { return {}; }
    bool waitReadable(int) override { return false; }
    std::string otherUsers() const override { return {}; }
    std::string text;
};

struct Run {
    HeadlessToolkit ui{"/settings"};
    NoPort port;
    SystemClock clock;
    MemoryFiles files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
    explicit Run(std::string content) { files.content = std::move(content); }
    std::vector<std::string> values() const {
        return {form.PortNumber, form.BaudRate, form.UnitID, form.TableFileName, form.BaroModeSwitch};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string content(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> lines = splitLines(content);
    Run first(content);
    bool loaded = first.form.Form_Load();
    FUZZ_CHECK(loaded == (lines.size() >= 5));
    if (!loaded) {
        FUZZ_CHECK(first.ui.boxes.size() == 1 && first.files.content == content);
        return 0;
    }
    FUZZ_CHECK(first.ui.boxes.empty());
    std::vector<std::string> read = first.values();
    for (size_t i = 0; i < read.size(); ++i) {
        size_t blank = lines[i].find_first_not_of(' ');
        FUZZ_CHECK(read[i] == (blank == std::string::npos ? "" : lines[i].substr(blank)));
    }
    FUZZ_CHECK(first.form.Frame12.visible() == (read[4] != "0"));
    FUZZ_CHECK(first.form.Combo1.text() == read[0] && first.form.Text1.text() == read[3]);

    first.form.Form_Unload();
    Run second(first.files.content);
    FUZZ_CHECK(second.form.Form_Load());
    FUZZ_CHECK(second.values() == read);
    return 0;
}
